#include "store/pst/messaging/table_columns.h"

namespace store::pst {

const std::vector<std::uint32_t>& hierarchyTableColumns() {
    static const std::vector<std::uint32_t> columns = {
        0x0E300003, 0x0E330014, 0x0E340102, 0x0E380003,  // replication item id, change number, history, flags
        0x3001001F,                                      // display name
        0x36020003, 0x36030003, 0x360A000B,              // content count, unread count, has subfolders
        0x3613001F,                                      // container class
        0x66350003, 0x66360003,                          // hidden count, hidden unread
        0x67F20003, 0x67F30003};
    return columns;
}

const std::vector<std::uint32_t>& contentsTableColumns() {
    static const std::vector<std::uint32_t> columns = {
        0x00170003, 0x001A001F, 0x00360003, 0x0037001F,  // importance, class, sensitivity, subject
        0x00390040, 0x0042001F, 0x0057000B, 0x0058000B,  // submit time, sent representing, to me, cc me
        0x0070001F, 0x00710102, 0x0E03001F, 0x0E04001F,  // conversation topic and index, display cc, to
        0x0E060040, 0x0E070003, 0x0E080003, 0x0E170003,  // delivery time, flags, size, status
        0x0E300003, 0x0E330014, 0x0E340102, 0x0E380003,  // replication
        0x0E3C0102, 0x0E3D0102, 0x10970003,              // copied-from history and id, temporary flags
        0x30080040, 0x65C60003,                          // last modification, secure submit flags
        0x67F20003, 0x67F30003};
    return columns;
}

const std::vector<std::uint32_t>& assocContentsTableColumns() {
    static const std::vector<std::uint32_t> columns = {
        0x001A001F, 0x0E070003, 0x0E170003, 0x3001001F,  // class, flags, status, display name
        0x67F20003, 0x67F30003};
    return columns;
}

const std::vector<std::uint32_t>& recipientTableColumns() {
    static const std::vector<std::uint32_t> columns = {
        0x0C150003, 0x0E0F000B, 0x0FF90102, 0x0FFE0003,  // type, responsibility, record key, object type
        0x0FFF0102, 0x3001001F, 0x3002001F, 0x3003001F,  // entry id, display name, address type, address
        0x300B0102, 0x39000003, 0x39FF001F, 0x3A40000B,  // search key, display type, 7-bit name, rich info
        0x67F20003, 0x67F30003};
    return columns;
}

const std::vector<std::uint32_t>& attachmentTableColumns() {
    static const std::vector<std::uint32_t> columns = {
        0x0E200003, 0x3704001F, 0x37050003, 0x370B0003,  // size, file name, method, rendering position
        0x67F20003, 0x67F30003,
        0x3707001F};  // the long file name too: readers that list attachments from this table show it
    return columns;
}

}  // namespace store::pst
