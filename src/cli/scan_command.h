#pragma once
// mbox2pst scan: finds the messages of each mailbox and reports them.
#include <ostream>
#include <string>
#include <vector>

namespace cli {

struct ScanRequest {
    std::vector<std::string> files;
    bool offsets = false;  // print the offset lists as JSON instead of the log lines
};

// Returns the process exit status.
int runScan(const ScanRequest& request, std::ostream& out, std::ostream& err);

}  // namespace cli
