#pragma once
// mbox2pst show: one message as the file viewer shows it: the four header texts and the attachment
// names; optionally the preview file and the rendered document.
#include <cstdint>
#include <ostream>
#include <string>

#include "cli/cli_session.h"

namespace cli {

struct ShowRequest {
    std::string file;
    std::uint64_t index = 0;  // 0-based, as `list` numbers the rows
    std::string mhtOut;       // copy of the preview file
    std::string htmlOut;      // the document the viewer renders
};

int runShow(const ShowRequest& request, const GlobalOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
