#include "store/pst/messaging/folder.h"

#include <algorithm>

#include "store/mapi/property_tags.h"
#include "store/pst/messaging/table_columns.h"
#include "store/pst/ndb/bytes.h"

namespace store::pst {
namespace {

constexpr std::uint32_t kMessageFlagRead = 0x01;

// Bytes of a length written seven bits a byte.
std::size_t lengthBytes(std::size_t length) {
    std::size_t bytes = 1;
    for (; length > 0x7F; length >>= 7) ++bytes;
    return bytes;
}

template <typename Prop>
const Prop* findIn(const std::vector<Prop>& cells, std::uint32_t tag) {
    for (const Prop& p : cells)
        if (p.tag == tag) return &p;
    return nullptr;
}

template <typename Prop>
ContentsRow packRow(Nid message, const std::vector<Prop>& cells) {
    ContentsRow row{message, {}, false};
    if (const Prop* flags = findIn(cells, mapi::PidTagMessageFlags.value()))
        row.read = flags->value.size() >= 4 && (loadU32(flags->value.data()) & kMessageFlagRead);
    // The first value of each column; the row's bytes are counted first and reserved once.
    const std::vector<std::uint32_t>& columns = contentsTableColumns();
    thread_local std::vector<const Prop*> found;
    found.assign(columns.size(), nullptr);
    std::size_t bytes = 0;
    for (std::size_t column = 0; column < columns.size(); ++column) {
        found[column] = findIn(cells, columns[column]);
        if (found[column]) bytes += 1 + lengthBytes(found[column]->value.size()) + found[column]->value.size();
    }
    row.cells.reserve(bytes);
    for (std::size_t column = 0; column < columns.size(); ++column) {
        const Prop* p = found[column];
        if (!p) continue;
        row.cells.push_back(static_cast<char>(column));
        for (std::size_t length = p->value.size();;
             length >>= 7) {  // 7 bits a byte, the high bit: more follow
            row.cells.push_back(static_cast<char>((length & 0x7F) | (length > 0x7F ? 0x80 : 0)));
            if (length <= 0x7F) break;
        }
        row.cells += p->value;
    }
    row.cells.shrink_to_fit();
    return row;
}

}  // namespace

ContentsRow ContentsRow::pack(Nid message, const PropertyList& cells) { return packRow(message, cells); }
ContentsRow ContentsRow::pack(Nid message, const std::vector<PropertyView>& cells) { return packRow(message, cells); }

TableRow ContentsRow::unpack() const {
    TableRow row;
    unpackInto(row);
    return row;
}

void ContentsRow::unpackInto(TableRow& row) const {
    thread_local std::vector<PropertyView> views;
    row.rowId = viewInto(views);
    row.cells.resize(views.size());
    for (std::size_t i = 0; i < views.size(); ++i) {
        row.cells[i].tag = views[i].tag;
        row.cells[i].value.assign(views[i].value);
    }
}

std::uint32_t ContentsRow::viewInto(std::vector<PropertyView>& views) const {
    const std::vector<std::uint32_t>& columns = contentsTableColumns();
    views.clear();
    ByteReader in(cells);
    while (in.position() < cells.size()) {
        const std::uint8_t column = in.u8();
        std::size_t length = 0;
        for (int shift = 0; in.ok() && shift < 64; shift += 7) {
            const std::uint8_t byte = in.u8();
            length |= static_cast<std::size_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80)) break;
        }
        const std::string_view value = in.bytes(length);
        if (!in.ok() || column >= columns.size()) break;
        views.push_back({columns[column], value});
    }
    return message.value();
}

std::uint32_t FolderRecord::unreadCount() const {
    std::uint32_t unread = 0;
    for (const ContentsRow& row : contents)
        if (!row.read) ++unread;
    return unread;
}

PropertyList FolderRecord::properties() const {
    PropertyList props;
    props.push_back({0x3001001F, utf16le(name)});
    props.push_back({0x36020003, le32(static_cast<std::uint32_t>(contents.size()))});
    props.push_back({0x36030003, le32(unreadCount())});
    props.push_back({0x360A000B, std::string(1, children.empty() ? '\0' : '\1')});
    if (!containerClass.empty()) props.push_back({0x3613001F, utf16le(containerClass)});
    return props;
}

}  // namespace store::pst
