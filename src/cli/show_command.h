#pragma once
// mbox2pst show: one message as the file viewer shows it: the four header texts and the attachment
// names; optionally the body text, the preview file and the rendered document.
#include <cstdint>
#include <ostream>
#include <string>

#include "cli/cli_session.h"

namespace cli {

struct ShowRequest {
    std::string file;
    long long index = 0;  // 0-based, as `list` numbers the rows; out of range: a usage error
    std::string mhtOut;   // copy of the preview file
    std::string htmlOut;  // the document the viewer renders
    bool text = false;    // also print the body text after a blank line
};

// The usage problem of an index for a mailbox of `count` messages, naming the valid range; or empty.
std::string indexRangeError(long long index, std::uint64_t count);

int runShow(const ShowRequest& request, const GlobalOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
