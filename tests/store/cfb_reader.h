#pragma once
// A small, strict compound file reader for the tests: it reads a whole file, checks the header, the
// FAT/DIFAT, the mini FAT and every chain (each sector used once, lengths as the sizes say) and each
// storage's red-black tree, and gives the streams by path ("box/name").
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace store_test {

struct CfbContents {
    std::map<std::u16string, std::string> streams;  // path -> bytes
    std::vector<std::u16string> storages;           // paths
    std::uint32_t fatSectors = 0;
    std::uint32_t difatSectors = 0;
    std::uint32_t miniFatSectors = 0;
};

// Reads and checks the file; on the first fault, `error` says what is wrong.
bool readCompoundFile(const std::filesystem::path& path, CfbContents& out, std::string& error);

}  // namespace store_test
