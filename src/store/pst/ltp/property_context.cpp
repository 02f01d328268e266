#include "store/pst/ltp/property_context.h"

#include <algorithm>

#include "store/pst/ltp/bth.h"
#include "store/pst/ndb/bytes.h"

namespace store::pst {
namespace {

constexpr std::size_t kPcRecordSize = 8;

}  // namespace

std::uint32_t storeValue(BlockWriter& db, SubnodeIds& ids, HeapBuilder& heap, std::vector<SubnodeEntry>& subnodes,
                         std::string_view value) {
    if (value.empty()) return 0;
    if (value.size() <= kMaxHeapItem) return heap.allocate(value).value();
    const Nid nid = ids.next(NidType::Ltp);
    subnodes.push_back({nid, db.writeData(value), Bid()});
    return nid.value();
}

namespace {

// Prop is a Property or a PropertyView.
template <typename Prop>
NodeContent buildContext(BlockWriter& db, SubnodeIds& ids, const std::vector<Prop>& properties) {
    std::vector<const Prop*> sorted;
    sorted.reserve(properties.size());
    for (const Prop& p : properties) sorted.push_back(&p);
    std::stable_sort(sorted.begin(), sorted.end(), [](const Prop* a, const Prop* b) { return a->id() < b->id(); });
    sorted.erase(std::unique(sorted.begin(), sorted.end(), [](const Prop* a, const Prop* b) { return a->id() == b->id(); }),
                 sorted.end());

    NodeContent content;
    HeapBuilder heap(HeapClient::PropertyContext);
    BthSlots bth{reserveBthHeader(heap), Hid()};
    bth.leaf = reserveBthLeaf(heap, sorted.size() * kPcRecordSize);
    heap.setUserRoot(bth.header);
    std::string records(sorted.size() * kPcRecordSize, '\0');
    char* record = records.data();
    for (const Prop* p : sorted) {
        std::uint32_t hnid = 0;
        if (const std::size_t size = inlineSizeInPc(p->type())) {
            char inlineValue[4] = {};
            std::copy_n(p->value.data(), std::min(size, p->value.size()), inlineValue);
            hnid = loadU32(inlineValue);
        } else {
            hnid = storeValue(db, ids, heap, content.subnodes, p->value);
        }
        storeU16(record, p->id());
        storeU16(record + 2, p->type());
        storeU32(record + 4, hnid);
        record += kPcRecordSize;
    }
    fillBth(heap, bth, 2, 6, records);
    content.blocks = heap.takeBlocks();
    return content;
}

}  // namespace

NodeContent buildPropertyContext(BlockWriter& db, SubnodeIds& ids, const PropertyList& properties) {
    return buildContext(db, ids, properties);
}

NodeContent buildPropertyContext(BlockWriter& db, SubnodeIds& ids, const std::vector<PropertyView>& properties) {
    return buildContext(db, ids, properties);
}

std::optional<std::string> resolveHnid(NodeDatabase& db, const HeapReader& heap,
                                       const std::vector<SubnodeEntry>& subnodes, std::uint32_t hnid) {
    if (hnid == 0) return std::string();
    if (isHeapId(hnid)) {
        const auto item = heap.item(Hid(hnid));
        if (!item) return std::nullopt;
        return std::string(*item);
    }
    for (const SubnodeEntry& e : subnodes)
        if (e.nid.value() == hnid) return db.readData(e.data);
    return std::nullopt;
}

std::optional<PropertyList> readPropertyContext(NodeDatabase& db, Bid data, const std::vector<SubnodeEntry>& subnodes) {
    auto blocks = db.readBlocks(data);
    if (!blocks) return std::nullopt;
    const auto heap = HeapReader::parse(std::move(*blocks));
    if (!heap || heap->client() != static_cast<std::uint8_t>(HeapClient::PropertyContext)) return std::nullopt;
    const auto bth = readBth(*heap, heap->userRoot());
    if (!bth || bth->keySize != 2 || bth->dataSize != 6) return std::nullopt;
    PropertyList out;
    for (const BthRecord& r : bth->records) {
        Property p;
        const std::uint16_t type = loadU16(r.data.data());
        p.tag = (static_cast<std::uint32_t>(loadU16(r.key.data())) << 16) | type;
        const std::uint32_t hnid = loadU32(r.data.data() + 2);
        if (const std::size_t size = inlineSizeInPc(type)) {
            p.value = r.data.substr(2, size);
        } else {
            auto value = resolveHnid(db, *heap, subnodes, hnid);
            if (!value) return std::nullopt;
            p.value = std::move(*value);
        }
        out.push_back(std::move(p));
    }
    return out;
}

}  // namespace store::pst
