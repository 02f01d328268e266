#include "store/cfb/directory.h"

#include <algorithm>

#include "store/little_endian.h"

namespace store::cfb {

namespace {

// Simple upper-casing of the letters of Latin-1, Greek and Cyrillic; others are left as they are.
char16_t upper(char16_t c) {
    if (c < 0x80) return static_cast<char16_t>(c >= u'a' && c <= u'z' ? c - 0x20 : c);
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
    return c;
}

// A hash of the upper-cased name: names equal without regard to case hash alike.
std::uint64_t nameHash(std::u16string_view name) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (char16_t c : name) h = (h ^ upper(c)) * 0x100000001B3ull;
    return h;
}

// Depth of the deepest node of a tree built by median splits from n nodes (0 for one node).
int treeHeight(std::size_t n) {
    int h = -1;
    while (n > 0) {
        ++h;
        n /= 2;
    }
    return h;
}

}  // namespace

int compareNames(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    std::size_t i = 0;
    while (i < a.size() && a[i] == b[i]) ++i;  // sibling names mostly share a long prefix
    // ASCII letters upper-cased here, without a call: stream names are ASCII.
    auto up = [](char16_t c) {
        if (c >= 0x80) return upper(c);
        return static_cast<char16_t>(c >= u'a' && c <= u'z' ? c - 0x20 : c);
    };
    for (; i < a.size(); ++i) {
        const char16_t x = up(a[i]);
        const char16_t y = up(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

bool isValidName(std::u16string_view name) {
    if (name.empty() || name.size() > 31) return false;
    return name.find_first_of(u"/\\:!") == std::u16string_view::npos;
}

Directory::Directory() {
    entries_.reserve(64);
    DirEntry root;
    root.name = u"Root Entry";
    root.type = EntryType::Root;
    entries_.push_back(std::move(root));
}

std::optional<EntryId> Directory::add(EntryId parent, std::u16string_view name, EntryType type) {
    if (parent >= entries_.size() || !isValidName(name)) return std::nullopt;
    if (type != EntryType::Storage && type != EntryType::Stream) return std::nullopt;
    const DirEntry& p = entries_[parent];
    if (p.type != EntryType::Storage && p.type != EntryType::Root) return std::nullopt;
    const std::uint64_t hash = nameHash(name);
    for (EntryId sibling : p.children) {
        const DirEntry& s = entries_[sibling];
        if (s.nameHash == hash && compareNames(s.name, name) == 0) return std::nullopt;
    }
    const auto id = static_cast<EntryId>(entries_.size());
    DirEntry e;
    e.name = std::u16string(name);
    e.nameHash = hash;
    e.type = type;
    e.parent = parent;
    entries_.push_back(std::move(e));
    entries_[parent].children.push_back(id);
    return id;
}

void Directory::buildTrees() {
    for (auto& e : entries_) {
        if (e.children.empty()) continue;
        std::vector<EntryId> sorted = e.children;
        std::sort(sorted.begin(), sorted.end(), [this](EntryId a, EntryId b) {
            return compareNames(entries_[a].name, entries_[b].name) < 0;
        });
        // Every path from the top to a missing child then passes the same number of black nodes: the
        // nodes of the deepest level, which is the only one that may be incomplete, are red.
        const int height = treeHeight(sorted.size());
        e.child = buildTree(sorted, 0, sorted.size(), 0, height > 0 ? height : -1);
    }
}

EntryId Directory::buildTree(std::vector<EntryId>& sorted, std::size_t begin, std::size_t end, int depth,
                             int redDepth) {
    if (begin >= end) return NOSTREAM;
    const std::size_t mid = begin + (end - begin) / 2;
    const EntryId id = sorted[mid];
    DirEntry& node = entries_[id];
    node.color = depth == redDepth ? Color::Red : Color::Black;
    node.left = buildTree(sorted, begin, mid, depth + 1, redDepth);
    node.right = buildTree(sorted, mid + 1, end, depth + 1, redDepth);
    return id;
}

std::string Directory::encode() const {
    constexpr std::size_t perSector = kSectorSize / kDirEntrySize;
    const std::size_t count = (entries_.size() + perSector - 1) / perSector * perSector;
    std::string out;
    out.reserve(count * kDirEntrySize);
    for (std::size_t i = 0; i < count; ++i) {
        std::string e(kDirEntrySize, '\0');
        if (i < entries_.size()) {
            const DirEntry& d = entries_[i];
            for (std::size_t k = 0; k < d.name.size(); ++k) storeU16(&e[2 * k], d.name[k]);
            storeU16(&e[64], static_cast<std::uint16_t>((d.name.size() + 1) * 2));
            e[66] = static_cast<char>(d.type);
            e[67] = static_cast<char>(d.color);
            storeU32(&e[68], d.left);
            storeU32(&e[72], d.right);
            storeU32(&e[76], d.child);
            std::copy(d.clsid.begin(), d.clsid.end(), e.begin() + 80);
            storeU32(&e[116], d.startSector);
            storeU64(&e[120], d.size);
        } else {
            storeU32(&e[68], NOSTREAM);
            storeU32(&e[72], NOSTREAM);
            storeU32(&e[76], NOSTREAM);
        }
        out += e;
    }
    return out;
}

}  // namespace store::cfb
