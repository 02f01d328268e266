#pragma once
// The directory of a compound file being written. Entries are numbered as they are handed out, not as
// they are added: when a storage is closed its children are sorted (by name length, then by upper-cased
// name), linked into a red-black tree, numbered and encoded, and only the storage itself stays in
// memory until its own parent closes. The root storage is closed last and numbered 0. A file with many
// storages (a message with many recipients) thus keeps only the open storages' children in memory.
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/cfb/cfb_format.h"

namespace store::cfb {

// Names an entry while it is being written (not its number in the file).
using EntryId = std::uint32_t;
inline constexpr EntryId kRootEntry = 0;

// A valid entry name (at most 31 code units) held in the entry itself: no allocation per entry.
class EntryName {
public:
    EntryName() = default;
    explicit EntryName(std::u16string_view name) : size_(static_cast<std::uint8_t>(std::min<std::size_t>(name.size(), 31))) {
        std::copy_n(name.begin(), size_, units_.begin());
    }
    operator std::u16string_view() const { return {units_.data(), size_}; }
    std::size_t size() const { return size_; }
    char16_t operator[](std::size_t i) const { return units_[i]; }

private:
    std::array<char16_t, 31> units_{};
    std::uint8_t size_ = 0;
};

struct DirEntry {
    EntryName name;
    EntryType type = EntryType::Unused;
    EntryId parent = NOSTREAM;
    std::array<std::uint8_t, 16> clsid{};
    std::uint32_t startSector = ENDOFCHAIN;
    std::uint64_t size = 0;
    // Set when the entry's storage is closed (left, right, color) or when it closes itself (child).
    std::uint32_t number = NOSTREAM;
    std::uint32_t left = NOSTREAM;
    std::uint32_t right = NOSTREAM;
    std::uint32_t child = NOSTREAM;
    Color color = Color::Black;
    bool closed = false;  // a closed storage takes no more children
};

// Order of names within a storage: shorter first, then by upper-cased UTF-16 code units.
int compareNames(std::u16string_view a, std::u16string_view b);
// A name a storage or stream may have: 1 to 31 code units, none of '/', '\', ':', '!'.
bool isValidName(std::u16string_view name);

// Receives the encoded entries (128 bytes each) in the order of their numbers, from 1 on; the root
// entry (number 0) is the last one handed over.
using EntrySink = std::function<void(std::uint32_t number, std::string_view entry)>;

class Directory {
public:
    Directory();  // holds the root entry, "Root Entry"
    ~Directory();
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    // Adds a storage or stream under an open storage; nothing when the parent is no open storage, the
    // name is not valid or a sibling already has it (names compare without regard to case).
    std::optional<EntryId> add(EntryId parent, std::u16string_view name, EntryType type);

    // An entry not yet handed to the sink (the root and storages until their parent closes, streams
    // until their storage closes); null otherwise.
    DirEntry* find(EntryId id);
    DirEntry& operator[](EntryId id) { return *find(id); }

    // Closes a storage and every storage still open below it: their children are numbered, linked
    // into balanced trees colored as valid red-black trees, and handed to the sink. Closing the root
    // also hands over the root entry. False when `storage` is no open storage.
    bool close(EntryId storage, const EntrySink& sink);

    // An unused entry, as padding after the last one.
    static std::string unusedEntry();

private:
    // A name's place in the order of compareNames as bytes that compare alike with memcmp: the
    // upper-cased code units, most significant byte first.
    struct SortKey {
        std::array<unsigned char, 62> bytes{};
        std::uint8_t size = 0;  // code units
        bool operator<(const SortKey& other) const;
        bool operator==(const SortKey& other) const;
    };
    struct Slot {
        DirEntry entry;
        SortKey key;
        std::uint64_t nameHash = 0;  // equal for names equal without regard to case
        bool inUse = false;
        // Storages only: the children, and their name hashes for the duplicate check: a list while it
        // is short (most storages of a message file hold a few streams), indexed once it grows.
        std::vector<EntryId> children;
        std::vector<std::pair<std::uint64_t, EntryId>> fewChildNames;
        std::unordered_multimap<std::uint64_t, EntryId> childNames;
    };
    void closeOne(EntryId storage, const EntrySink& sink);
    bool hasChildNamed(const Slot& owner, std::uint64_t hash, const SortKey& key) const;
    std::uint32_t linkTree(const std::vector<EntryId>& sorted, std::size_t begin, std::size_t end, int depth,
                           int redDepth);
    std::array<char, kDirEntrySize> encode(const DirEntry& entry) const;
    void release(EntryId id);

    // Slots in blocks that never move. (A deque would give each slot, which is large, a block of its
    // own: an allocation per entry.)
    class Slots {
    public:
        Slot& operator[](EntryId id) { return blocks_[id / kBlock][id % kBlock]; }
        const Slot& operator[](EntryId id) const { return blocks_[id / kBlock][id % kBlock]; }
        std::size_t size() const { return size_; }
        Slot& emplace_back() {
            if (size_ % kBlock == 0) blocks_.push_back(std::make_unique<Slot[]>(kBlock));
            return (*this)[static_cast<EntryId>(size_++)];
        }

    private:
        static constexpr std::size_t kBlock = 16;
        std::vector<std::unique_ptr<Slot[]>> blocks_;
        std::size_t size_ = 0;
    };
    Slots slots_;
    std::vector<EntryId> freeSlots_;
    std::uint32_t nextNumber_ = 1;  // 0 is the root's
};

}  // namespace store::cfb
