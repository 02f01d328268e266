// mbox2pst: the command-line front end.
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/scan_command.h"

int main(int argc, char** argv) {
    CLI::App app{"KelvaTools MBOX to PST Converter (command line)", "mbox2pst"};
    app.set_version_flag("--version", "mbox2pst 1.0.0");
    app.require_subcommand(1);

    cli::ScanRequest scanRequest;
    CLI::App* scanCommand = app.add_subcommand("scan", "Find the messages of each mailbox and count them");
    scanCommand->add_flag("--offsets", scanRequest.offsets, "Print each file's message offsets as JSON");
    scanCommand->add_option("FILE", scanRequest.files, "Mailbox files (mbox, or .imm)")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int code = app.exit(error);
        return code == 0 ? 0 : 2;
    }
    if (scanCommand->parsed()) return cli::runScan(scanRequest, std::cout, std::cerr);
    return 2;
}
