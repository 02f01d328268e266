#pragma once
// mbox2pst snapshot save: Open (or load a snapshot) and save the catalogue to a snapshot file.
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace cli {

struct SnapshotSaveRequest {
    std::string target;
    std::vector<std::string> files;
};

int runSnapshotSave(const SnapshotSaveRequest& request, const GlobalOptions& options, std::ostream& out,
                    std::ostream& err);

}  // namespace cli
