#pragma once
// mbox2pst convert: Open (or a snapshot), every mailbox checked, Save with the chosen format and
// options; the destination folder made when missing; a one-line or a JSON summary at the end.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace cli {

struct ConvertRequest {
    std::vector<std::string> files;
    std::string format;  // pst, single-pst, eml, msg, rtf or html
    std::string destination;
    bool hierarchy = false;
    bool attach = false;
    bool json = false;  // the JSON summary on the output instead of the summary line
    std::string labels{};       // empty, "every" or "first": Gmail labels as folders
    bool messageState = false;  // keep read, replied, forwarded and flagged state
    bool unescapeFrom = false;  // mboxrd: unescape ">From " lines by one level
    std::string hierarchyRoot{};  // the hierarchy relative to this folder
    int threads = 0;              // worker threads of the export; 0: one per core
};

// The formats convert accepts, in the order the help lists them.
const std::vector<std::string>& convertFormats();
// A usage problem of the request, or nothing.
std::optional<std::string> convertUsageError(const ConvertRequest& request);

int runConvert(const ConvertRequest& request, const GlobalOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
