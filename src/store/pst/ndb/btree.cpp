#include "store/pst/ndb/btree.h"

#include "store/pst/ndb/bytes.h"

namespace store::pst {
namespace {

constexpr int kMaxLevels = 8;

struct KeyedEntry {
    std::uint64_t key;
    std::string bytes;
};

BlockRef writeTree(PageType type, std::vector<KeyedEntry> level, const PageSink& sink) {
    std::uint8_t depth = 0;
    for (;;) {
        const std::uint8_t entrySize = btreeEntrySize(type, depth);
        const std::size_t capacity = btreeCapacity(entrySize);
        std::vector<KeyedEntry> parents;
        std::size_t i = 0;
        do {
            BTreePage page;
            page.type = type;
            page.level = depth;
            page.entrySize = entrySize;
            const std::size_t n = std::min(capacity, level.size() - i);
            for (std::size_t k = 0; k < n; ++k) page.entries += level[i + k].bytes;
            page.count = static_cast<std::uint8_t>(n);
            const BlockRef ref = sink.allocate();
            sink.write(ref, encodeBTreePage(page, ref));
            std::string parent;
            const std::uint64_t key = n > 0 ? level[i].key : 0;
            put64(parent, key);
            put64(parent, ref.bid.value());
            put64(parent, ref.ib);
            parents.push_back({key, std::move(parent)});
            i += n;
        } while (i < level.size());
        if (parents.size() == 1) {
            const char* p = parents.front().bytes.data();
            return BlockRef{Bid(load64(p + 8)), load64(p + 16)};
        }
        level = std::move(parents);
        ++depth;
    }
}

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
        } else if (!readTree(read, BlockRef{Bid(load64(entry + 8)), load64(entry + 16)}, type, depth + 1, out, pages,
                             decodeLeaf)) {
            return false;
        }
    }
    return true;
}

NbtEntry decodeNbt(const char* p) {
    return NbtEntry{Nid(load32(p)), Bid(load64(p + 8)), Bid(load64(p + 16)), Nid(load32(p + 24))};
}

BbtEntry decodeBbt(const char* p) {
    return BbtEntry{BlockRef{Bid(load64(p)), load64(p + 8)}, load16(p + 16), load16(p + 18)};
}

}  // namespace

BlockRef writeNodeBTree(const std::vector<NbtEntry>& entries, const PageSink& sink) {
    std::vector<KeyedEntry> leaves;
    leaves.reserve(entries.size());
    for (const NbtEntry& e : entries) {
        std::string bytes;
        put64(bytes, e.nid.value());
        put64(bytes, e.data.value());
        put64(bytes, e.subnodes.value());
        put32(bytes, e.parent.value());
        put32(bytes, 0);
        leaves.push_back({e.nid.value(), std::move(bytes)});
    }
    return writeTree(PageType::NodeBTree, std::move(leaves), sink);
}

BlockRef writeBlockBTree(const std::vector<BbtEntry>& entries, const PageSink& sink) {
    std::vector<KeyedEntry> leaves;
    leaves.reserve(entries.size());
    for (const BbtEntry& e : entries) {
        std::string bytes;
        put64(bytes, e.ref.bid.value());
        put64(bytes, e.ref.ib);
        put16(bytes, e.size);
        put16(bytes, e.refCount);
        put32(bytes, 0);
        leaves.push_back({e.ref.bid.value(), std::move(bytes)});
    }
    return writeTree(PageType::BlockBTree, std::move(leaves), sink);
}

bool readNodeBTree(const PageReader& read, BlockRef root, std::vector<NbtEntry>& out, std::vector<BlockRef>& pages) {
    return readTree(read, root, PageType::NodeBTree, 0, out, pages, &decodeNbt);
}

bool readBlockBTree(const PageReader& read, BlockRef root, std::vector<BbtEntry>& out, std::vector<BlockRef>& pages) {
    return readTree(read, root, PageType::BlockBTree, 0, out, pages, &decodeBbt);
}

}  // namespace store::pst
