// mbox2pst: the command-line front end, driving the application's controller on a headless host.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>

#include "cli/cli_session.h"
#include "cli/convert_command.h"
#include "cli/list_command.h"
#include "cli/scan_command.h"
#include "cli/show_command.h"
#include "cli/snapshot_command.h"
#include "scan/mbox_variants.h"

namespace {

constexpr const char* kFooter = R"(
Log lines go to the standard output (to the standard error with --offsets or --json). The activity log
file is written as the desktop program writes it: KelvaMbox2PSTConv_log_<date-time>.txt in the desktop
folder, or in the --log-dir folder. A snapshot name without an extension gets ".MBOX2PSTKLV".

Exit status: 0 when everything worked, 1 when some file or step failed, 2 for usage errors, 128 + the
signal number when SIGINT (130) or SIGTERM (143) stopped the run.)";

int usageError(const std::string& text) {
    std::cerr << "mbox2pst: " << text << "\nRun with --help for more information.\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"KelvaTools MBOX to PST Converter (command line)", "mbox2pst"};
    app.set_version_flag("--version", "mbox2pst 1.0.0");
    app.footer(kFooter);
    app.require_subcommand(1);

    cli::GlobalOptions options;
    app.add_option("--snapshot", options.snapshot, "Load the mailboxes from this snapshot file instead of scanning");
    app.add_option("--search", options.search, "Also add every file found under this folder (scan, snapshot save)");
    app.add_option("--temp", options.temp, "Temporary base folder (default: a private folder removed at exit)");
    app.add_option("--log-dir", options.logDir, "Folder of the activity log file (default: the desktop folder)");
    app.add_flag("!--no-progress", options.progress, "Never draw the progress bar");
    app.add_flag("--mailboxes-only", options.mailboxesOnly,
                 "With --search: only files that start with a \"From \" line, and .imm files");
    app.add_flag("--content-length", options.contentLength,
                 "A correct Content-Length header ends its message (mboxcl2): a \"From \" line inside the body "
                 "does not split it");

    cli::ScanRequest scanRequest;
    CLI::App* scan = app.add_subcommand("scan", "Find the messages of each mailbox and count them");
    scan->add_flag("--offsets", scanRequest.offsets, "Print each file's message offsets as JSON");
    scan->add_option("FILE", scanRequest.files, "Mailbox files (mbox, or .imm)");
    scan->fallthrough();

    cli::ListRequest listRequest;
    CLI::App* list = app.add_subcommand("list", "List the messages of one mailbox: To, From, Subject, Date");
    list->add_flag("--json", listRequest.json, "Print one JSON object with the rows");
    list->add_option("FILE", listRequest.file, "The mailbox file")->required();
    list->fallthrough();

    cli::ShowRequest showRequest;
    CLI::App* show = app.add_subcommand("show", "Show one message as the file viewer does: header texts, attachments");
    show->add_option("FILE", showRequest.file, "The mailbox file")->required();
    show->add_option("INDEX", showRequest.index, "The message number, from 0 (as list prints it)")->required();
    show->add_option("--mht", showRequest.mhtOut, "Also write the preview file (.mht) here");
    show->add_option("--html", showRequest.htmlOut, "Also write the document the viewer renders here");
    show->fallthrough();

    cli::ConvertRequest convertRequest;
    CLI::App* convert = app.add_subcommand("convert", "Save every mailbox as PST files, or one file per message");
    convert->add_option("FILE", convertRequest.files, "Mailbox files (mbox, or .imm)");
    convert->add_option("--to", convertRequest.format, "pst (one per mailbox), single-pst (Resultant.pst), eml, msg, rtf or html")
        ->required();
    convert->add_option("--dest", convertRequest.destination, "The destination folder (it must exist)")->required();
    convert->add_flag("--hierarchy", convertRequest.hierarchy, "Keep the folder path of each mailbox");
    convert->add_flag("--attach", convertRequest.attach, "Add the PST files to the profile's store list");
    convert->add_flag("--labels{every}", convertRequest.labels,
                      "Gmail labels as folders, a message in each of its labels' folders (--labels=first: only "
                      "in the first)");
    convert->add_flag("--message-state", convertRequest.messageState,
                      "Keep read, replied, forwarded and flagged state (Gmail labels, X-Mozilla-Status, Status)");
    convert->add_flag("--unescape-from", convertRequest.unescapeFrom,
                      "Unescape \">From \" lines by one level (mboxrd)");
    convert->add_option("--hierarchy-root", convertRequest.hierarchyRoot,
                        "Keep each mailbox's folder path relative to this folder (Thunderbird NAME.sbd becomes NAME)");
    convert->fallthrough();

    CLI::App* snapshot = app.add_subcommand("snapshot", "Snapshot files");
    snapshot->require_subcommand(1);
    cli::SnapshotSaveRequest saveRequest;
    CLI::App* save = snapshot->add_subcommand("save", "Scan the files and save the result as a snapshot");
    save->add_option("OUT", saveRequest.target, "The snapshot file to write")->required();
    save->add_option("FILE", saveRequest.files, "Mailbox files");
    save->fallthrough();
    snapshot->fallthrough();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int code = app.exit(error);
        return code == 0 ? 0 : 2;
    }

    if (!options.temp.empty() && !std::filesystem::is_directory(options.temp))
        return usageError("--temp: not a folder: " + options.temp);
    if (!options.search.empty() && !std::filesystem::is_directory(options.search))
        return usageError("--search: not a folder: " + options.search);
    if (!options.snapshot.empty() && !options.search.empty())
        return usageError("--snapshot and --search cannot be used together");

    scan::g_honourContentLength = options.contentLength ? 1 : 0;
    cli::installInterruptHandler();
    if (scan->parsed()) {
        if (options.snapshot.empty() && options.search.empty() && scanRequest.files.empty())
            return usageError("scan: give at least one FILE, --search or --snapshot");
        if (!options.snapshot.empty() && !scanRequest.files.empty())
            return usageError("scan: FILE arguments cannot be used with --snapshot");
        return cli::exitStatus(cli::runScan(scanRequest, options, std::cout, std::cerr));
    }
    if (list->parsed()) {
        if (!options.search.empty()) return usageError("list: --search cannot be used with list");
        return cli::exitStatus(cli::runList(listRequest, options, std::cout, std::cerr));
    }
    if (show->parsed()) {
        if (!options.search.empty()) return usageError("show: --search cannot be used with show");
        return cli::exitStatus(cli::runShow(showRequest, options, std::cout, std::cerr));
    }
    if (convert->parsed()) {
        if (auto problem = cli::convertUsageError(convertRequest)) return usageError(*problem);
        if (options.snapshot.empty() && options.search.empty() && convertRequest.files.empty())
            return usageError("convert: give at least one FILE, --search or --snapshot");
        if (!options.snapshot.empty() && !convertRequest.files.empty())
            return usageError("convert: FILE arguments cannot be used with --snapshot");
        return cli::exitStatus(cli::runConvert(convertRequest, options, std::cout, std::cerr));
    }
    if (save->parsed()) {
        if (options.snapshot.empty() && options.search.empty() && saveRequest.files.empty())
            return usageError("snapshot save: give at least one FILE, --search or --snapshot");
        if (!options.snapshot.empty() && !saveRequest.files.empty())
            return usageError("snapshot save: FILE arguments cannot be used with --snapshot");
        return cli::exitStatus(cli::runSnapshotSave(saveRequest, options, std::cout, std::cerr));
    }
    return 2;
}
