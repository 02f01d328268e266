#include "store/pst/ltp/heap.h"

#include "store/pst/ndb/block.h"
#include "store/pst/ndb/bytes.h"

namespace store::pst {
namespace {

constexpr std::uint8_t kHeapSignature = 0xEC;
constexpr std::size_t kFirstHeaderSize = 12;   // HNHDR
constexpr std::size_t kBitmapHeaderSize = 66;  // HNBITMAPHDR, blocks 8, 136, 264, ...
constexpr std::size_t kPageHeaderSize = 2;     // HNPAGEHDR
constexpr std::size_t kMaxItemsPerBlock = 2047;
constexpr std::size_t kMaxHeapBlock = 0xFFFF;

bool isBitmapBlock(std::size_t index) { return index >= 8 && (index - 8) % 128 == 0; }

std::uint8_t fillLevel(std::size_t freeBytes) {
    static constexpr std::size_t kLimits[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768, 512, 256, 128, 64, 32, 16, 8};
    for (std::uint8_t level = 0; level < 15; ++level)
        if (freeBytes >= kLimits[level]) return level;
    return 15;
}

void setNibble(std::string& out, std::size_t at, std::size_t slot, std::uint8_t level) {
    char& byte = out[at + slot / 2];
    if (slot % 2 == 0)
        byte = static_cast<char>((static_cast<unsigned char>(byte) & 0xF0) | level);
    else
        byte = static_cast<char>((static_cast<unsigned char>(byte) & 0x0F) | (level << 4));
}

}  // namespace

std::size_t HeapBuilder::headerSize(std::size_t blockIndex) {
    if (blockIndex == 0) return kFirstHeaderSize;
    return isBitmapBlock(blockIndex) ? kBitmapHeaderSize : kPageHeaderSize;
}

std::size_t HeapBuilder::serializedSize(std::size_t blockIndex, const Block& block, std::size_t extraBytes,
                                        std::size_t extraItems) {
    std::size_t size = headerSize(blockIndex) + block.items.size() + extraBytes;
    size += size % 2;
    return size + 4 + 2 * (block.ends.size() + extraItems + 1);
}

Hid HeapBuilder::allocate(std::string_view bytes) {
    if (bytes.size() > kMaxHeapItem)
        throw LimitError("a heap item of " + std::to_string(bytes.size()) + " bytes (at most 3580)");
    std::size_t index = blocks_.size() - 1;
    if (serializedSize(index, blocks_.back(), bytes.size(), 1) > kMaxBlockData ||
        blocks_.back().ends.size() >= kMaxItemsPerBlock) {
        // A heap id numbers its block in 16 bits.
        if (index + 1 > kMaxHeapBlock) throw LimitError("a heap of more than 65536 blocks");
        completed(index);
        blocks_.emplace_back();
        ++index;
    }
    Block& block = blocks_.back();
    if (block.items.empty()) block.items.reserve(kMaxBlockData);
    block.items.append(bytes);
    block.ends.push_back(static_cast<std::uint16_t>(block.items.size()));
    return Hid(static_cast<std::uint16_t>(index), static_cast<std::uint16_t>(block.ends.size()));
}

void HeapBuilder::fill(Hid hid, std::string_view bytes) {
    Block& block = blocks_.at(hid.block());
    const std::size_t index = hid.index() - 1u;
    const std::size_t start = index == 0 ? 0 : block.ends.at(index - 1);
    const std::size_t size = block.ends.at(index) - start;
    std::string item(bytes.substr(0, size));
    item.resize(size, '\0');
    block.items.replace(start, size, item);
}

// Block i can no longer grow: its fill level is known. With an output, a bitmap block and the 127
// after it go to the file once the last of them is complete.
void HeapBuilder::completed(std::size_t i) {
    levels_.push_back(fillLevel(kMaxBlockData - serializedSize(i, blocks_[i], 0, 0)));
    if (!out_ || i < 8 || (i - 7) % 128 != 0) return;
    for (std::size_t k = i - 127; k <= i; ++k) writeBlock(k);
}

void HeapBuilder::writeBlock(std::size_t i) {
    const std::string data = serialize(i);
    written_.resize(std::max(written_.size(), i + 1));
    writtenSizes_.resize(written_.size());
    written_[i] = out_->writeLeaf(data);
    writtenSizes_[i] = static_cast<std::uint32_t>(data.size());
    blocks_[i].ends = {};
}

std::string HeapBuilder::serialize(std::size_t i) {
    Block& block = blocks_[i];
    const std::size_t header = headerSize(i);
    std::string data;
    data.reserve(serializedSize(i, block, 0, 0));
    data.resize(header, '\0');
    if (i == 0) {
        storeU32(data.data() + 4, userRoot_.value());
        data[2] = static_cast<char>(kHeapSignature);
        data[3] = static_cast<char>(client_);
        for (std::size_t k = 0; k < 8 && k < levels_.size(); ++k) setNibble(data, 8, k, levels_[k]);
    } else if (isBitmapBlock(i)) {
        for (std::size_t k = 0; k < 128 && i + k < levels_.size(); ++k) setNibble(data, 2, k, levels_[i + k]);
    }
    data += block.items;
    std::string().swap(block.items);
    if (data.size() % 2) data.push_back('\0');
    storeU16(data.data(), static_cast<std::uint16_t>(data.size()));
    putU16(data, static_cast<std::uint16_t>(block.ends.size()));
    putU16(data, 0);
    putU16(data, static_cast<std::uint16_t>(header));
    for (std::uint16_t end : block.ends) putU16(data, static_cast<std::uint16_t>(header + end));
    return data;
}

std::vector<std::string> HeapBuilder::takeBlocks() {
    completed(blocks_.size() - 1);
    std::vector<std::string> out;
    out.reserve(blocks_.size());
    for (std::size_t i = 0; i < blocks_.size(); ++i) out.push_back(serialize(i));
    blocks_.assign(1, Block{});
    levels_.clear();
    return out;
}

Bid HeapBuilder::writeData() {
    const std::size_t count = blocks_.size();
    completed(count - 1);
    written_.resize(count);
    writtenSizes_.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        if (written_[i].isNull()) writeBlock(i);
    const Bid data = out_->writeTreeOver(written_, writtenSizes_);
    blocks_.assign(1, Block{});
    levels_.clear();
    written_.clear();
    writtenSizes_.clear();
    return data;
}

std::optional<HeapReader> HeapReader::parse(std::vector<std::string> blocks) {
    if (blocks.empty() || blocks.front().size() < kFirstHeaderSize) return std::nullopt;
    const std::string& first = blocks.front();
    if (static_cast<std::uint8_t>(first[2]) != kHeapSignature) return std::nullopt;
    HeapReader reader;
    reader.client_ = static_cast<std::uint8_t>(first[3]);
    reader.userRoot_ = Hid(loadU32(first.data() + 4));
    reader.blocks_ = std::move(blocks);
    return reader;
}

std::optional<std::string_view> HeapReader::item(Hid hid) const {
    if (hid.block() >= blocks_.size() || hid.index() == 0) return std::nullopt;
    const std::string& block = blocks_[hid.block()];
    if (block.size() < 2) return std::nullopt;
    const std::size_t map = loadU16(block.data());
    if (map + 4 > block.size()) return std::nullopt;
    const std::size_t count = loadU16(block.data() + map);
    if (hid.index() > count || map + 4 + 2 * (count + 1) > block.size()) return std::nullopt;
    const std::size_t start = loadU16(block.data() + map + 4 + 2 * (hid.index() - 1));
    const std::size_t end = loadU16(block.data() + map + 4 + 2 * hid.index());
    if (start > end || end > map) return std::nullopt;
    return std::string_view(block).substr(start, end - start);
}

}  // namespace store::pst
