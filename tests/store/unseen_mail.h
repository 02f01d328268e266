#pragma once
// Mail the converter's other tests were not written from, for the round trips through the readers:
// the shapes message_shapes.py writes, and Python's own email test messages where the machine has them
// (libpython3.x-testsuite, which scripts/deps installs); they are read where they are, never copied
// into the project.
#include <filesystem>
#include <string>
#include <vector>

namespace store_test {

struct UnseenMailSet {
    std::string name;              // "shapes", "python-email"
    std::filesystem::path folder;  // .eml files, in file-name order the messages of the set
};

// Writes the shapes into `into`/shapes and gathers Python's messages into `into`/python-email;
// a set whose source is missing (no python3, no test suite) is left out.
std::vector<UnseenMailSet> unseenMail(const std::filesystem::path& into);

}  // namespace store_test
