#pragma once
// mbox2pst list: the message list of one mailbox, row by row as the listing job adds them, as text
// or as one JSON object.
#include <ostream>
#include <string>

#include "cli/cli_session.h"

namespace cli {

struct ListRequest {
    std::string file;
    bool json = false;
};

int runList(const ListRequest& request, const GlobalOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
