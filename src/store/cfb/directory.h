#pragma once
// The directory of a compound file being written: the root storage, storages and streams, each storage's
// children kept as a red-black tree ordered by name length, then by upper-cased name.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/cfb/cfb_format.h"

namespace store::cfb {

using EntryId = std::uint32_t;
inline constexpr EntryId kRootEntry = 0;

struct DirEntry {
    std::u16string name;
    std::uint64_t nameHash = 0;  // equal for names equal without regard to case
    EntryType type = EntryType::Unused;
    EntryId parent = NOSTREAM;
    std::vector<EntryId> children;
    std::array<std::uint8_t, 16> clsid{};
    std::uint32_t startSector = ENDOFCHAIN;
    std::uint64_t size = 0;
    // Tree links, filled in by Directory::buildTrees.
    EntryId left = NOSTREAM;
    EntryId right = NOSTREAM;
    EntryId child = NOSTREAM;
    Color color = Color::Black;
};

// Order of names within a storage: shorter first, then by upper-cased UTF-16 code units.
int compareNames(std::u16string_view a, std::u16string_view b);
// A name a storage or stream may have: 1 to 31 code units, none of '/', '\', ':', '!'.
bool isValidName(std::u16string_view name);

class Directory {
public:
    Directory();  // holds the root entry, "Root Entry"

    // Adds a storage or stream under a storage; nothing when the parent is no storage, the name is not
    // valid or a sibling already has it (names compare without regard to case).
    std::optional<EntryId> add(EntryId parent, std::u16string_view name, EntryType type);

    DirEntry& operator[](EntryId id) { return entries_[id]; }
    const DirEntry& operator[](EntryId id) const { return entries_[id]; }
    std::size_t size() const { return entries_.size(); }

    // Links every storage's children into a balanced tree, colored so that it is a valid red-black tree.
    void buildTrees();
    // All entries, 128 bytes each, padded with unused entries to whole sectors.
    std::string encode() const;

private:
    EntryId buildTree(std::vector<EntryId>& sorted, std::size_t begin, std::size_t end, int depth, int redDepth);

    std::vector<DirEntry> entries_;
};

}  // namespace store::cfb
