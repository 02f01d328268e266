#pragma once
// The node B-tree (NBT: node id -> data tree, subnode tree, parent) and the block B-tree (BBT: block
// id -> offset, size, reference count). Both are written whole from sorted entries, bottom up, and
// read back whole when a file is opened again.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "store/pst/ndb/ids.h"
#include "store/pst/ndb/page.h"

namespace store::pst {

struct NbtEntry {
    Nid nid;
    Bid data;
    Bid subnodes;
    Nid parent;
    friend bool operator==(const NbtEntry&, const NbtEntry&) = default;
};

struct BbtEntry {
    BlockRef ref;
    std::uint16_t size = 0;
    std::uint16_t refCount = 1;
    friend bool operator==(const BbtEntry&, const BbtEntry&) = default;
};

// Where the pages of a tree go: the caller hands out page ids and offsets and writes the bytes.
struct PageSink {
    std::function<BlockRef()> allocate;
    std::function<void(BlockRef, const std::string&)> write;
};

// Entries must be sorted by nid / block id. Returns the root page.
BlockRef writeNodeBTree(const std::vector<NbtEntry>& entries, const PageSink& sink);
BlockRef writeBlockBTree(const std::vector<BbtEntry>& entries, const PageSink& sink);

// Reads `count` bytes at an offset (empty on failure).
using PageReader = std::function<std::string(Ib, std::size_t)>;

// Reads a whole tree in key order; false when a page is damaged or the tree loops. The offsets and
// ids of the pages themselves are appended to `pages` (for the allocation maps).
bool readNodeBTree(const PageReader& read, BlockRef root, std::vector<NbtEntry>& out, std::vector<BlockRef>& pages);
bool readBlockBTree(const PageReader& read, BlockRef root, std::vector<BbtEntry>& out, std::vector<BlockRef>& pages);

}  // namespace store::pst
