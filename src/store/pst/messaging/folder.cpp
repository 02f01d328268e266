#include "store/pst/messaging/folder.h"

#include "store/mapi/property_tags.h"
#include "store/pst/messaging/table_columns.h"
#include "store/pst/ndb/bytes.h"

namespace store::pst {
namespace {

constexpr std::uint32_t kMessageFlagRead = 0x01;

}  // namespace

ContentsRow ContentsRow::pack(Nid message, const PropertyList& cells) {
    ContentsRow row{message, {}, false};
    if (const Property* flags = findProperty(cells, mapi::PidTagMessageFlags.value()))
        row.read = flags->value.size() >= 4 && (loadU32(flags->value.data()) & kMessageFlagRead);
    for (std::uint32_t tag : contentsTableColumns()) {
        const Property* p = findProperty(cells, tag);
        if (!p) continue;
        putU32(row.cells, tag);
        putU32(row.cells, static_cast<std::uint32_t>(p->value.size()));
        row.cells += p->value;
    }
    row.cells.shrink_to_fit();
    return row;
}

TableRow ContentsRow::unpack() const {
    TableRow row;
    unpackInto(row);
    return row;
}

void ContentsRow::unpackInto(TableRow& row) const {
    row.rowId = message.value();
    std::size_t count = 0;
    ByteReader in(cells);
    while (in.position() < cells.size()) {
        const std::uint32_t tag = in.u32();
        const std::uint32_t length = in.u32();
        const std::string_view value = in.bytes(length);
        if (!in.ok()) break;
        if (count == row.cells.size()) row.cells.emplace_back();
        row.cells[count].tag = tag;
        row.cells[count++].value.assign(value);
    }
    row.cells.resize(count);
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
