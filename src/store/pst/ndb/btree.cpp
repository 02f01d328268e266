#include "store/pst/ndb/btree.h"

#include <algorithm>
#include <array>

#include "store/pst/ndb/bytes.h"

namespace store::pst {
namespace {

constexpr int kMaxLevels = 8;

// Writes one level of pages from entries produced one at a time and collects the entries of the
// level above (first key and page reference of each page).
class LevelWriter {
public:
    LevelWriter(PageType type, std::uint8_t level, const PageSink& sink)
        : sink_(sink), entrySize_(btreeEntrySize(type, level)), capacity_(btreeCapacity(entrySize_)) {
        page_.type = type;
        page_.level = level;
        page_.entrySize = entrySize_;
    }

    void add(std::uint64_t key, std::string_view entry) { std::copy(entry.begin(), entry.end(), add(key)); }

    // Room for the next entry, to be filled in place; bytes the caller leaves alone are zero.
    char* add(std::uint64_t key) {
        if (page_.count == capacity_) flush();
        if (page_.count == 0) firstKey_ = key;
        return area_.data() + static_cast<std::size_t>(page_.count++) * entrySize_;
    }

    // Writes the last page (an empty root page when there were no entries) and returns the parents.
    std::string finish() {
        if (page_.count > 0 || parents_.empty()) flush();
        return std::move(parents_);
    }

private:
    void flush() {
        const BlockRef ref = sink_.allocate();
        page_.entries.assign(area_.data(), static_cast<std::size_t>(page_.count) * entrySize_);
        sink_.write(ref, encodeBTreePage(page_, ref));
        putU64(parents_, page_.count > 0 ? firstKey_ : 0);
        putU64(parents_, ref.bid.value());
        putU64(parents_, ref.ib);
        page_.count = 0;
    }

    const PageSink& sink_;
    std::uint8_t entrySize_;
    std::size_t capacity_;
    BTreePage page_;
    // The entries of the page being filled; every entry of a level writes the same bytes of its slot.
    std::array<char, kBTreeEntryArea> area_{};
    std::uint64_t firstKey_ = 0;
    std::string parents_;  // 24-byte BTENTRY records
};

// Writes the levels above the leaves until one page remains; returns the root.
BlockRef writeUpperLevels(PageType type, std::string parents, const PageSink& sink) {
    for (std::uint8_t level = 1; parents.size() > 24; ++level) {
        LevelWriter writer(type, level, sink);
        for (std::size_t pos = 0; pos < parents.size(); pos += 24)
            writer.add(loadU64(parents.data() + pos), std::string_view(parents).substr(pos, 24));
        parents = writer.finish();
    }
    return BlockRef{Bid(loadU64(parents.data() + 8)), loadU64(parents.data() + 16)};
}

}  // namespace

BlockRef writeNodeBTree(const std::vector<NbtEntry>& entries, const PageSink& sink) {
    LevelWriter leaves(PageType::NodeBTree, 0, sink);
    for (const NbtEntry& e : entries) {
        char* at = leaves.add(e.nid.value());
        storeU64(at, e.nid.value());
        storeU64(at + 8, e.data.value());
        storeU64(at + 16, e.subnodes.value());
        storeU32(at + 24, e.parent.value());
    }
    return writeUpperLevels(PageType::NodeBTree, leaves.finish(), sink);
}

BlockRef writeBlockBTree(const std::vector<BbtEntry>& entries, const PageSink& sink) {
    LevelWriter leaves(PageType::BlockBTree, 0, sink);
    for (const BbtEntry& e : entries) {
        char* at = leaves.add(e.ref.bid.value());
        storeU64(at, e.ref.bid.value());
        storeU64(at + 8, e.ref.ib);
        storeU16(at + 16, e.size);
        storeU16(at + 18, e.refCount);
    }
    return writeUpperLevels(PageType::BlockBTree, leaves.finish(), sink);
}

namespace {

template <typename Leaf>
bool readTree(const PageReader& read, BlockRef ref, PageType type, int depth, std::vector<Leaf>& out,
              std::vector<BlockRef>& pages, Leaf (*decodeLeaf)(const char*)) {
    if (depth > kMaxLevels) return false;
    const auto page = decodeBTreePage(read(ref.ib, kPageSize), ref);
    if (!page || page->type != type || page->entrySize != btreeEntrySize(type, page->level)) return false;
    pages.push_back(ref);
    for (std::size_t i = 0; i < page->count; ++i) {
        const char* entry = page->entries.data() + i * page->entrySize;
        if (page->level == 0) {
            out.push_back(decodeLeaf(entry));
        } else if (!readTree(read, BlockRef{Bid(loadU64(entry + 8)), loadU64(entry + 16)}, type, depth + 1, out, pages,
                             decodeLeaf)) {
            return false;
        }
    }
    return true;
}

NbtEntry decodeNbt(const char* p) {
    return NbtEntry{Nid(loadU32(p)), Bid(loadU64(p + 8)), Bid(loadU64(p + 16)), Nid(loadU32(p + 24))};
}

BbtEntry decodeBbt(const char* p) {
    return BbtEntry{BlockRef{Bid(loadU64(p)), loadU64(p + 8)}, loadU16(p + 16), loadU16(p + 18)};
}

}  // namespace

bool readNodeBTree(const PageReader& read, BlockRef root, std::vector<NbtEntry>& out, std::vector<BlockRef>& pages) {
    return readTree(read, root, PageType::NodeBTree, 0, out, pages, &decodeNbt);
}

bool readBlockBTree(const PageReader& read, BlockRef root, std::vector<BbtEntry>& out, std::vector<BlockRef>& pages) {
    return readTree(read, root, PageType::BlockBTree, 0, out, pages, &decodeBbt);
}

}  // namespace store::pst
