#include "store/pst/ltp/bth.h"

#include "store/pst/ndb/bytes.h"

namespace store::pst {
namespace {

constexpr std::uint8_t kBthType = 0xB5;
constexpr int kMaxLevels = 8;
constexpr std::size_t kBthHeaderSize = 8;

bool readLevel(const HeapReader& heap, Hid hid, int level, Bth& out) {
    if (level > kMaxLevels) return false;
    const auto item = heap.item(hid);
    if (!item) return false;
    const std::size_t recordSize = out.keySize + (level == 0 ? out.dataSize : 4);
    if (recordSize == 0 || item->size() % recordSize != 0) return false;
    for (std::size_t pos = 0; pos < item->size(); pos += recordSize) {
        const std::string_view key = item->substr(pos, out.keySize);
        if (level == 0) {
            out.records.push_back({std::string(key), std::string(item->substr(pos + out.keySize, out.dataSize))});
        } else if (!readLevel(heap, Hid(loadU32(item->data() + pos + out.keySize)), level - 1, out)) {
            return false;
        }
    }
    return true;
}

}  // namespace

namespace {

std::string bthHeader(std::uint8_t keySize, std::uint8_t dataSize, std::uint8_t levels, Hid root) {
    std::string header;
    put8(header, kBthType);
    put8(header, keySize);
    put8(header, dataSize);
    put8(header, levels);
    putU32(header, root.value());
    return header;
}

}  // namespace

Hid reserveBthHeader(HeapBuilder& heap) { return heap.reserve(kBthHeaderSize); }

Hid reserveBthLeaf(HeapBuilder& heap, std::size_t recordsSize) {
    if (recordsSize == 0 || recordsSize > kMaxHeapItem) return Hid();
    return heap.reserve(recordsSize);
}

void fillBth(HeapBuilder& heap, const BthSlots& slots, std::uint8_t keySize, std::uint8_t dataSize,
             std::string_view records) {
    if (records.empty()) {
        heap.fill(slots.header, bthHeader(keySize, dataSize, 0, Hid()));
        return;
    }
    if (!slots.leaf.isNull()) {
        heap.fill(slots.leaf, records);
        heap.fill(slots.header, bthHeader(keySize, dataSize, 0, slots.leaf));
        return;
    }
    std::uint8_t levels = 0;
    Hid root;
    std::string level(records);
    std::size_t entrySize = static_cast<std::size_t>(keySize) + dataSize;
    while (true) {
        const std::size_t perNode = kMaxHeapItem / entrySize;
        std::string parents;
        for (std::size_t pos = 0; pos < level.size(); pos += perNode * entrySize) {
            const std::string_view node = std::string_view(level).substr(pos, perNode * entrySize);
            parents.append(node.substr(0, keySize));
            putU32(parents, heap.allocate(node).value());
        }
        if (parents.size() == static_cast<std::size_t>(keySize) + 4) {
            root = Hid(loadU32(parents.data() + keySize));
            break;
        }
        level = std::move(parents);
        entrySize = static_cast<std::size_t>(keySize) + 4;
        ++levels;
    }
    heap.fill(slots.header, bthHeader(keySize, dataSize, levels, root));
}

Hid writeBth(HeapBuilder& heap, std::uint8_t keySize, std::uint8_t dataSize, std::string_view records) {
    BthSlots slots{reserveBthHeader(heap), Hid()};
    slots.leaf = reserveBthLeaf(heap, records.size());
    fillBth(heap, slots, keySize, dataSize, records);
    return slots.header;
}

std::optional<Bth> readBth(const HeapReader& heap, Hid header) {
    const auto item = heap.item(header);
    if (!item || item->size() < 8 || static_cast<std::uint8_t>((*item)[0]) != kBthType) return std::nullopt;
    Bth bth;
    bth.keySize = static_cast<std::uint8_t>((*item)[1]);
    bth.dataSize = static_cast<std::uint8_t>((*item)[2]);
    const int levels = static_cast<std::uint8_t>((*item)[3]);
    const Hid root(loadU32(item->data() + 4));
    if (root.isNull()) return bth;
    if (!readLevel(heap, root, levels, bth)) return std::nullopt;
    return bth;
}

}  // namespace store::pst
