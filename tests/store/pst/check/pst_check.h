#pragma once
// A structural check of a Unicode PST file, written for the tests apart from the writer's own code:
// the header, both B-trees, every block's trailer and CRC, the data and subnode trees, the
// allocation maps against the space in use, the density list, and every heap, property context and
// table context, including Outlook's layout habits that readers rely on.
#include <cstddef>
#include <string>
#include <vector>

namespace pst_check {

struct Report {
    std::vector<std::string> errors;  // empty when the file is sound
    std::size_t nodes = 0;
    std::size_t blocks = 0;
    std::size_t heaps = 0;
    std::size_t tables = 0;
    std::size_t rows = 0;
    bool ok() const { return errors.empty(); }
    // The first errors, one a line, for a test failure message.
    std::string summary(std::size_t max = 20) const;
};

Report checkFile(const std::string& path);

}  // namespace pst_check
