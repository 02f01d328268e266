#include "cli/scan_command.h"

#include <nlohmann/json.hpp>

#include "platform/codepage.h"
#include "scan/mbox_file.h"

namespace cli {

int runScan(const ScanRequest& request, std::ostream& out, std::ostream& err) {
    nlohmann::json files = nlohmann::json::array();
    int status = 0;
    for (const std::string& path : request.files) {
        std::u16string widePath = platform::utf8ToUtf16(path);
        scan::CMboxFile mbox;
        if (!mbox.file.open(widePath)) {
            err << "Cannot open file: " << path << '\n';
            status = 1;
            continue;
        }
        if (!request.offsets) out << "Processing File: " << path << '\n';
        if (scan::isImmPath(widePath))
            mbox.scanMimeVersion(widePath);
        else
            mbox.scanFromLines();
        if (request.offsets)
            files.push_back({{"path", path}, {"offsets", mbox.messageOffsets}});
        else
            out << "Total number of emails found: (" << mbox.messageCount() << ")\n";
    }
    if (request.offsets) out << files.dump() << '\n';
    return status;
}

}  // namespace cli
