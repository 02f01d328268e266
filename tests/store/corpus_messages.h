#pragma once
// The messages of the shared corpus one by one: every .eml file, and every message of every mailbox
// file split with the project's scanner (readMessage with the skip flag).
#include <filesystem>
#include <string>
#include <vector>

namespace store_test {

struct CorpusMessage {
    std::string name;   // unique, usable as a file stem: "eml__mikel-mail__plain_emails__x", "mbox__gmime__substring.mbox__2"
    std::string bytes;
};

std::vector<CorpusMessage> corpusMessages(const std::filesystem::path& corpus);

}  // namespace store_test
