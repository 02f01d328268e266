#pragma once
// BTree-on-heap (BTH): a sorted map of fixed-size keys to fixed-size records, stored in heap items.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/pst/ltp/heap.h"

namespace store::pst {

struct BthRecord {
    std::string key;
    std::string data;
};

// Records, packed one after another (key then data), must be sorted by key. Returns the BTH header item.
Hid writeBth(HeapBuilder& heap, std::uint8_t keySize, std::uint8_t dataSize, std::string_view records);

// A BTH laid out as Outlook does: its header reserved as the heap's first item, its records (when
// they fit one item) reserved next or after other root structures, both filled once the records are
// known. The leaf is null when the records are empty or need index levels.
struct BthSlots {
    Hid header;
    Hid leaf;
};
Hid reserveBthHeader(HeapBuilder& heap);
Hid reserveBthLeaf(HeapBuilder& heap, std::size_t recordsSize);
void fillBth(HeapBuilder& heap, const BthSlots& slots, std::uint8_t keySize, std::uint8_t dataSize,
             std::string_view records);

struct Bth {
    std::uint8_t keySize = 0;
    std::uint8_t dataSize = 0;
    std::vector<BthRecord> records;
};
// Reads every record; empty when the structure is damaged.
std::optional<Bth> readBth(const HeapReader& heap, Hid header);

}  // namespace store::pst
