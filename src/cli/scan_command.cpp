#include "cli/scan_command.h"

#include <nlohmann/json.hpp>

#include "cli/convert_summary.h"
#include "platform/codepage.h"

namespace cli {

int runScan(const ScanRequest& request, const GlobalOptions& options, std::ostream& out, std::ostream& err) {
    // With --offsets the JSON is the only thing on the output; the log lines go with the messages.
    CliSession session(options, request.offsets ? err : out, err);
    if (!session.start()) return 1;
    session.fillCatalogue(request.files);
    if (request.offsets) {
        nlohmann::json files = nlohmann::json::array();
        for (const scan::MboxEntry& row : session.frame().catalogue)
            if (row.mbox->file.isOpen())
                files.push_back({{"path", platform::utf16ToUtf8(platform::visibleText(row.path))},
                                 {"offsets", row.mbox->messageOffsets}});
        out << files.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else if (options.verbosity == Verbosity::Normal) {
        for (const scan::MboxEntry& row : session.frame().catalogue)
            if (row.mbox->file.isOpen())
                out << platform::utf16ToUtf8(platform::visibleText(row.path)) << ": "
                    << groupedNumber(static_cast<long long>(row.mbox->messageCount()))
                    << (row.mbox->messageCount() == 1 ? " message\n" : " messages\n");
    }
    session.close();
    return session.failed() ? 1 : 0;
}

}  // namespace cli
