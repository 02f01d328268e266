#pragma once
// mbox2pst scan: Open with the given files (or a snapshot) and report each mailbox and its count.
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace cli {

struct ScanRequest {
    std::vector<std::string> files;
    bool offsets = false;  // print the offset lists as JSON instead of the log lines
};

// Returns the process exit status.
int runScan(const ScanRequest& request, const GlobalOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
