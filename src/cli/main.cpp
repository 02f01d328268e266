// mbox2pst: the command-line front end, driving the application's controller on a headless host.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <set>

#include "cli/cli_session.h"
#include "cli/convert_command.h"
#include "cli/list_command.h"
#include "cli/scan_command.h"
#include "cli/show_command.h"
#include "cli/snapshot_command.h"
#include "scan/mbox_variants.h"

namespace {

constexpr const char* kFooter = R"(
Examples:
  mbox2pst convert ~/Mail/Inbox.mbox --to pst --dest ~/pst
  mbox2pst --search ~/Mail convert --to single-pst --hierarchy --dest ~/pst
  mbox2pst list ~/Mail/Inbox.mbox
  mbox2pst show --text ~/Mail/Inbox.mbox 3
  mbox2pst convert --json ~/Mail/Inbox.mbox --to eml --dest out > summary.json

The terminal shows a progress bar, the problems, and a summary at the end; --verbose adds every line
of the activity log, --quiet keeps only the problems. The activity log file,
KelvaMbox2PSTConv_log_<date-time>.txt, goes to $XDG_STATE_HOME/kelva-mbox2pst (~/.local/state/
kelva-mbox2pst) or the --log-dir folder, as UTF-8 (--log-encoding utf-16: the desktop program's form).
A snapshot name without an extension gets ".MBOX2PSTKLV"; --snapshot finds it by either name.

Exit status: 0 when everything worked, 1 when some file or step failed, 2 for usage errors, 128 + the
signal number when SIGINT (130) or SIGTERM (143) stopped the run.

Run "mbox2pst COMMAND --help" for a command's options; "man mbox2pst" for the manual.)";

const std::vector<std::string> kCommands = {"scan", "list", "show", "convert", "snapshot"};
// The global options that take a value (the next argument, unless written with "=").
const std::set<std::string> kValueOptions = {"--snapshot", "--search", "--temp", "--log-dir", "--log-encoding"};

int usageError(const std::string& text) {
    std::cerr << "mbox2pst: " << text << "\nRun with --help for more information.\n";
    return 2;
}

// The first argument in the place of a command when it names none, or empty.
std::string unknownCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--") return i + 1 < argc ? argv[i + 1] : "";
        if (argument.starts_with("-")) {
            if (kValueOptions.contains(argument)) ++i;
            continue;
        }
        for (const std::string& command : kCommands)
            if (argument == command) return {};
        return argument;
    }
    return {};
}

// FILE arguments, --search and --snapshot: where the mailboxes of a command come from.
std::optional<std::string> sourceError(const std::string& command, const std::vector<std::string>& files,
                                       const cli::GlobalOptions& options) {
    if (options.snapshot.empty() && options.search.empty() && files.empty())
        return command + ": give at least one FILE, --search or --snapshot";
    if (!options.snapshot.empty() && !files.empty()) return command + ": FILE arguments cannot be used with --snapshot";
    return std::nullopt;
}

void addGlobalOptions(CLI::App& app, cli::GlobalOptions& options) {
    CLI::Option* search = app.add_option("--search", options.search,
                                         "Also add every file found under this folder (scan, convert, snapshot save)")
                              ->check(CLI::ExistingDirectory);
    app.add_option("--snapshot", options.snapshot, "Load the mailboxes from this snapshot file instead of scanning")
        ->excludes(search);
    app.add_option("--temp", options.temp, "Temporary base folder (default: a private folder removed at exit)")
        ->check(CLI::ExistingDirectory);
    app.add_option("--log-dir", options.logDir,
                   "Folder of the activity log file (default: $XDG_STATE_HOME/kelva-mbox2pst)");
    app.add_option_function<std::string>(
           "--log-encoding",
           [&options](const std::string& name) {
               options.logEncoding = name == "utf-16" ? app::LogEncoding::Utf16 : app::LogEncoding::Utf8;
           },
           "utf-8 (the default) or utf-16 (the desktop program's form)")
        ->check(CLI::IsMember({"utf-8", "utf-16"}));
    app.add_flag_callback("--no-progress", [&options] { options.progress = false; }, "Never draw the progress bar");
    CLI::Option* verbose = app.add_flag_callback(
        "-v,--verbose", [&options] { options.verbosity = cli::Verbosity::Verbose; },
        "Print every line of the activity log");
    app.add_flag_callback("-q,--quiet", [&options] { options.verbosity = cli::Verbosity::Quiet; },
                          "Print only problems (no progress bar, no summary)")
        ->excludes(verbose);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"KelvaTools MBOX to PST Converter (command line)", "mbox2pst"};
    app.set_version_flag("--version", "mbox2pst 1.0.0");
    app.footer(kFooter);
    app.require_subcommand(1);

    cli::GlobalOptions options;
    addGlobalOptions(app, options);
    app.add_flag("--mailboxes-only", options.mailboxesOnly,
                 "With --search: only files that start with a \"From \" line, and .imm files");
    app.add_flag("--content-length", options.contentLength,
                 "A correct Content-Length header ends its message (mboxcl2): a \"From \" line inside the body "
                 "does not split it");

    cli::ScanRequest scanRequest;
    CLI::App* scan = app.add_subcommand("scan", "Find the messages of each mailbox and count them");
    scan->add_flag("--offsets", scanRequest.offsets, "Print each file's message offsets as JSON");
    scan->add_option("FILE", scanRequest.files, "Mailbox files (mbox, or .imm)");
    scan->footer("\nExample: mbox2pst scan ~/Mail/Inbox.mbox ~/Mail/Sent.mbox");
    scan->fallthrough();

    cli::ListRequest listRequest;
    CLI::App* list = app.add_subcommand("list", "List the messages of one mailbox: To, From, Subject, Date");
    list->add_flag("--json", listRequest.json, "Print one JSON object with the rows");
    list->add_option("FILE", listRequest.file, "The mailbox file")->required();
    list->footer("\nExample: mbox2pst list --json ~/Mail/Inbox.mbox");
    list->fallthrough();

    cli::ShowRequest showRequest;
    CLI::App* show = app.add_subcommand("show", "Show one message as the file viewer does: header texts, attachments");
    show->add_option("FILE", showRequest.file, "The mailbox file")->required();
    show->add_option("INDEX", showRequest.index, "The message number, from 0 (as list prints it)")->required();
    show->add_flag("--text", showRequest.text, "Also print the message's body text");
    show->add_option("--mht", showRequest.mhtOut, "Also write the preview file (.mht) here");
    show->add_option("--html", showRequest.htmlOut, "Also write the document the viewer renders here");
    show->footer("\nExample: mbox2pst show --text ~/Mail/Inbox.mbox 0");
    show->fallthrough();

    cli::ConvertRequest convertRequest;
    CLI::App* convert = app.add_subcommand("convert", "Save every mailbox as PST files, or one file per message");
    convert->add_option("FILE", convertRequest.files, "Mailbox files (mbox, or .imm)");
    convert->add_option("--to", convertRequest.format, "pst (one per mailbox), single-pst (Resultant.pst), eml, msg, rtf or html")
        ->required()
        ->check(CLI::IsMember(cli::convertFormats()));
    convert->add_option("--dest", convertRequest.destination, "The destination folder (made when missing)")->required();
    convert->add_flag("--hierarchy", convertRequest.hierarchy, "Keep the folder path of each mailbox");
    convert->add_flag("--attach", convertRequest.attach, "Add the PST files to the profile's store list");
    convert->add_flag("--json", convertRequest.json, "Print a JSON summary: files, messages saved and failed, time");
    convert->footer("\nExamples:\n  mbox2pst convert ~/Mail/Inbox.mbox --to pst --dest ~/pst\n"
                    "  mbox2pst convert ~/Mail/*.mbox --to eml --hierarchy --dest ~/eml");
    convert->add_flag("--labels{every}", convertRequest.labels,
                      "Gmail labels as folders, a message in each of its labels' folders (--labels=first: only "
                      "in the first)");
    convert->add_flag("--message-state", convertRequest.messageState,
                      "Keep read, replied, forwarded and flagged state (Gmail labels, X-Mozilla-Status, Status)");
    convert->add_flag("--unescape-from", convertRequest.unescapeFrom,
                      "Unescape \">From \" lines by one level (mboxrd)");
    convert->add_option("--hierarchy-root", convertRequest.hierarchyRoot,
                        "Keep each mailbox's folder path relative to this folder (Thunderbird NAME.sbd becomes NAME)");
    convert->add_option("--threads", convertRequest.threads, "Worker threads that read and convert messages (default: one per core)")
        ->check(CLI::Range(1, 64));
    convert->fallthrough();

    CLI::App* snapshot = app.add_subcommand("snapshot", "Snapshot files");
    snapshot->require_subcommand(1);
    cli::SnapshotSaveRequest saveRequest;
    CLI::App* save = snapshot->add_subcommand("save", "Scan the files and save the result as a snapshot");
    save->add_option("OUT", saveRequest.target, "The snapshot file to write")->required();
    save->add_option("FILE", saveRequest.files, "Mailbox files");
    save->footer("\nExample: mbox2pst snapshot save mail ~/Mail/*.mbox; mbox2pst --snapshot mail list ~/Mail/Inbox.mbox");
    save->fallthrough();
    snapshot->fallthrough();

    if (std::string command = unknownCommand(argc, argv); !command.empty())
        return usageError("unknown command \"" + command + "\"; the commands are scan, list, show, convert, snapshot");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int code = app.exit(error);
        return code == 0 ? 0 : 2;
    }

    scan::g_honourContentLength = options.contentLength ? 1 : 0;
    cli::installInterruptHandler();
    if (scan->parsed()) {
        if (auto problem = sourceError("scan", scanRequest.files, options)) return usageError(*problem);
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
        if (auto problem = sourceError("convert", convertRequest.files, options)) return usageError(*problem);
        return cli::exitStatus(cli::runConvert(convertRequest, options, std::cout, std::cerr));
    }
    if (save->parsed()) {
        if (auto problem = sourceError("snapshot save", saveRequest.files, options)) return usageError(*problem);
        return cli::exitStatus(cli::runSnapshotSave(saveRequest, options, std::cout, std::cerr));
    }
    return 2;
}
