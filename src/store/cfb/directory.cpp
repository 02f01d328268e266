#include "store/cfb/directory.h"

#include <algorithm>
#include <bit>
#include <cstring>

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

// ASCII letters upper-cased inline: stream names are ASCII.
[[gnu::always_inline]] inline char16_t upperFast(char16_t c) {
    if (c >= 0x80) return upper(c);
    return static_cast<char16_t>(c >= u'a' && c <= u'z' ? c - 0x20 : c);
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
    for (; i < a.size(); ++i) {
        const char16_t x = upperFast(a[i]);
        const char16_t y = upperFast(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

namespace {

// '!', '/' and ':' as bits of one mask, '\\' beside them.
bool isForbiddenInName(char16_t c) {
    constexpr std::uint64_t kForbiddenBelow64 = (1ull << u'!') | (1ull << u'/') | (1ull << u':');
    return c < 64 ? (kForbiddenBelow64 >> c) & 1 : c == u'\\';
}

}  // namespace

bool isValidName(std::u16string_view name) {
    if (name.empty() || name.size() > 31) return false;
    return std::none_of(name.begin(), name.end(), isForbiddenInName);
}

namespace {

constexpr std::size_t kFewChildren = 32;

}  // namespace

bool Directory::SortKey::operator<(const SortKey& other) const {
    if (size != other.size) return size < other.size;
    return std::memcmp(bytes.data(), other.bytes.data(), 2u * size) < 0;
}

bool Directory::SortKey::operator==(const SortKey& other) const {
    return size == other.size && std::memcmp(bytes.data(), other.bytes.data(), 2u * size) == 0;
}

Directory::Directory() {
    Slot& root = slots_.emplace_back();
    root.inUse = true;
    root.entry.name = EntryName(u"Root Entry");
    root.entry.type = EntryType::Root;
}

Directory::~Directory() = default;

DirEntry* Directory::find(EntryId id) {
    if (id >= slots_.size() || !slots_[id].inUse) return nullptr;
    return &slots_[id].entry;
}

std::optional<EntryId> Directory::add(EntryId parent, std::u16string_view name, EntryType type) {
    if (name.empty() || name.size() > 31) return std::nullopt;  // the rest of isValidName below
    if (type != EntryType::Storage && type != EntryType::Stream) return std::nullopt;
    const DirEntry* p = find(parent);
    if (!p || p->closed || (p->type != EntryType::Storage && p->type != EntryType::Root)) return std::nullopt;
    // The name checked, its key made and hashed (alike for names equal without regard to case) in one
    // pass.
    SortKey key;
    key.size = static_cast<std::uint8_t>(name.size());
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (isForbiddenInName(name[i])) return std::nullopt;
        const char16_t c = upperFast(name[i]);
        key.bytes[2 * i] = static_cast<unsigned char>(c >> 8);
        key.bytes[2 * i + 1] = static_cast<unsigned char>(c & 0xFF);
        hash = (hash ^ c) * 0x100000001B3ull;
    }
    if (hasChildNamed(slots_[parent], hash, key)) return std::nullopt;
    EntryId id;
    if (!freeSlots_.empty()) {
        id = freeSlots_.back();
        freeSlots_.pop_back();
    } else {
        id = static_cast<EntryId>(slots_.size());
        slots_.emplace_back();
    }
    Slot& slot = slots_[id];
    slot.inUse = true;
    slot.nameHash = hash;
    slot.key = key;
    slot.entry = DirEntry{};
    slot.entry.name = EntryName(name);
    slot.entry.type = type;
    slot.entry.parent = parent;
    Slot& owner = slots_[parent];
    if (owner.children.empty()) owner.children.reserve(kFewChildren);
    owner.children.push_back(id);
    if (owner.childNames.empty() && owner.fewChildNames.size() < kFewChildren) {
        if (owner.fewChildNames.empty()) owner.fewChildNames.reserve(kFewChildren);
        owner.fewChildNames.emplace_back(hash, id);
    } else {
        if (owner.childNames.empty()) owner.childNames.insert(owner.fewChildNames.begin(), owner.fewChildNames.end());
        std::vector<std::pair<std::uint64_t, EntryId>>().swap(owner.fewChildNames);
        owner.childNames.emplace(hash, id);
    }
    return id;
}

bool Directory::hasChildNamed(const Slot& owner, std::uint64_t hash, const SortKey& key) const {
    for (const auto& [childHash, child] : owner.fewChildNames)
        if (childHash == hash && slots_[child].key == key) return true;
    const auto [first, last] = owner.childNames.equal_range(hash);
    for (auto it = first; it != last; ++it)
        if (slots_[it->second].key == key) return true;
    return false;
}

bool Directory::close(EntryId storage, const EntrySink& sink) {
    const DirEntry* entry = find(storage);
    if (!entry || entry->closed || entry->type == EntryType::Stream) return false;
    closeOne(storage, sink);
    if (storage == kRootEntry) {
        DirEntry& root = slots_[kRootEntry].entry;
        root.number = 0;
        const auto encoded = encode(root);
        sink(0, std::string_view(encoded.data(), encoded.size()));
    }
    return true;
}

void Directory::closeOne(EntryId storage, const EntrySink& sink) {
    Slot& owner = slots_[storage];
    std::vector<EntryId> sorted = std::move(owner.children);
    owner.children = {};
    std::unordered_multimap<std::uint64_t, EntryId>().swap(owner.childNames);
    std::vector<std::pair<std::uint64_t, EntryId>>().swap(owner.fewChildNames);
    owner.entry.closed = true;
    for (EntryId child : sorted) {
        const DirEntry& c = slots_[child].entry;
        if (c.type == EntryType::Storage && !c.closed) closeOne(child, sink);
    }
    std::sort(sorted.begin(), sorted.end(), [this](EntryId a, EntryId b) { return slots_[a].key < slots_[b].key; });
    for (EntryId child : sorted) slots_[child].entry.number = nextNumber_++;
    // Every path from the top to a missing child then passes the same number of black nodes: the
    // nodes of the deepest level, which is the only one that may be incomplete, are red.
    const int height = treeHeight(sorted.size());
    slots_[storage].entry.child = linkTree(sorted, 0, sorted.size(), 0, height > 0 ? height : -1);
    for (EntryId child : sorted) {
        const DirEntry& c = slots_[child].entry;
        const auto encoded = encode(c);
        sink(c.number, std::string_view(encoded.data(), encoded.size()));
        release(child);
    }
}

std::uint32_t Directory::linkTree(const std::vector<EntryId>& sorted, std::size_t begin, std::size_t end, int depth,
                                  int redDepth) {
    if (begin >= end) return NOSTREAM;
    const std::size_t mid = begin + (end - begin) / 2;
    DirEntry& node = slots_[sorted[mid]].entry;
    node.color = depth == redDepth ? Color::Red : Color::Black;
    node.left = linkTree(sorted, begin, mid, depth + 1, redDepth);
    node.right = linkTree(sorted, mid + 1, end, depth + 1, redDepth);
    return node.number;
}

void Directory::release(EntryId id) {
    Slot& slot = slots_[id];
    slot.inUse = false;
    std::vector<EntryId>().swap(slot.children);
    freeSlots_.push_back(id);
}

std::array<char, kDirEntrySize> Directory::encode(const DirEntry& d) const {
    std::array<char, kDirEntrySize> e{};
    const std::u16string_view name = d.name;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(e.data(), name.data(), 2 * name.size());
    } else {
        for (std::size_t k = 0; k < name.size(); ++k) storeU16(&e[2 * k], name[k]);
    }
    storeU16(&e[64], static_cast<std::uint16_t>((d.name.size() + 1) * 2));
    e[66] = static_cast<char>(d.type);
    e[67] = static_cast<char>(d.color);
    storeU32(&e[68], d.left);
    storeU32(&e[72], d.right);
    storeU32(&e[76], d.child);
    std::memcpy(&e[80], d.clsid.data(), d.clsid.size());
    storeU32(&e[116], d.startSector);
    storeU64(&e[120], d.size);
    return e;
}

std::string Directory::unusedEntry() {
    std::string e(kDirEntrySize, '\0');
    storeU32(&e[68], NOSTREAM);
    storeU32(&e[72], NOSTREAM);
    storeU32(&e[76], NOSTREAM);
    return e;
}

}  // namespace store::cfb
