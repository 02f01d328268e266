#include <gtest/gtest.h>

#include "store/mapi/named_property.h"
#include "store/pst/messaging/entry_id.h"
#include "store/pst/messaging/folder.h"
#include "store/pst/messaging/name_to_id_map.h"
#include "store/pst/messaging/property_conversion.h"
#include "store/pst/messaging/table_columns.h"
#include "store/pst/ndb/bytes.h"

namespace store::pst {
namespace {

TEST(PstNameToIdMap, KeepsIdsOfNumericAndStringNamesAcrossSets) {
    mapi::NamedPropertyMap names;
    const std::vector<mapi::NamedProperty> wanted = {
        mapi::PidLidInternetAccountName,
        mapi::PidNameKeywords,
        mapi::NamedProperty::byName(mapi::PS_INTERNET_HEADERS, u"x-mailer"),
        mapi::NamedProperty::byId(mapi::PS_MAPI, 0x1234),
        mapi::NamedProperty::byName(mapi::PS_INTERNET_HEADERS, u"odd"),  // length not a multiple of 4 bytes
        mapi::NamedProperty::byId(mapi::PSETID_Address, 0x8083),
    };
    for (const auto& n : wanted) names.idOf(n);
    const PropertyList props = encodeNameToIdMap(names);
    const Property* entries = findProperty(props, 0x00030102);
    ASSERT_TRUE(entries);
    EXPECT_EQ(entries->value.size(), wanted.size() * 8);
    EXPECT_EQ(loadU32(findProperty(props, 0x00010003)->value.data()), 251u);
    mapi::NamedPropertyMap back;
    ASSERT_TRUE(decodeNameToIdMap(props, back));
    ASSERT_EQ(back.entries().size(), wanted.size());
    for (const auto& n : wanted) EXPECT_EQ(back.find(n), names.find(n));
    // Every entry sits in exactly one hash bucket.
    std::size_t bucketed = 0;
    for (const Property& p : props)
        if (p.id() >= 0x1000 && p.id() < 0x1000 + 251) bucketed += p.value.size() / 8;
    EXPECT_EQ(bucketed, wanted.size());
}

TEST(PstNameToIdMap, RejectsStreamsThatPointOutside) {
    PropertyList props = {{0x00030102, std::string("\x40\0\0\0\x07\0\0\0", 8)},  // string name at offset 64
                          {0x00040102, std::string(8, '\0')}};
    mapi::NamedPropertyMap names;
    EXPECT_FALSE(decodeNameToIdMap(props, names));
}

// A folder keeps its contents rows packed: the contents columns a message has come back, in column
// order, whatever their length (lengths of one, two and three bytes); other properties are left out,
// and of a tag given twice the first counts.
TEST(PstContentsRow, PacksTheContentsColumnsOfAnyLength) {
    const PropertyList cells = {
        {0x0E080003, std::string("\x10\x27\0\0", 4)},  // size
        {0x0037001F, std::string(70000, 's')},         // subject
        {0x3001001F, std::string("not a column", 12)},
        {0x0E04001F, std::string(200, 't')},       // display to
        {0x00170003, std::string("\1\0\0\0", 4)},  // importance
        {0x0E070003, std::string("\1\0\0\0", 4)},  // flags: read
        {0x0E03001F, std::string()},               // display cc, empty
        {0x0037001F, std::string("a second subject")},  // the first of a tag counts
    };
    const ContentsRow row = ContentsRow::pack(Nid(NidType::NormalMessage, 0x44), cells);
    EXPECT_TRUE(row.read);
    TableRow back;
    back.cells = {{1, "left over from the row before"}};
    row.unpackInto(back);
    EXPECT_EQ(back.rowId, Nid(NidType::NormalMessage, 0x44).value());
    PropertyList expected;
    for (std::uint32_t tag : contentsTableColumns())
        if (const Property* p = findProperty(cells, tag)) expected.push_back(*p);
    EXPECT_EQ(back.cells, expected);
    EXPECT_EQ(row.unpack().cells, expected);
}

TEST(PstEntryId, RoundTripsThroughTheStore) {
    const StoreUid uid = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const std::string id = makeEntryId(uid, Nid(0x8062));
    EXPECT_EQ(id.size(), 24u);
    EXPECT_EQ(nidOfEntryId(uid, id), Nid(0x8062));
    StoreUid other = uid;
    other[0] = 99;
    EXPECT_FALSE(nidOfEntryId(other, id));
}

TEST(PstPropertyConversion, MultiValuedLayouts) {
    const std::string strings = encodeMultiValue(mapi::PropType::MultiUnicode, {std::string("a\0", 2), std::string("bc\0\0", 4)});
    ASSERT_EQ(strings.size(), 4u + 8u + 6u);
    EXPECT_EQ(loadU32(strings.data()), 2u);
    EXPECT_EQ(loadU32(strings.data() + 4), 12u);
    EXPECT_EQ(loadU32(strings.data() + 8), 14u);
    const std::string longs = encodeMultiValue(mapi::PropType::MultiLong, {std::string("\1\0\0\0", 4), std::string("\2\0\0\0", 4)});
    EXPECT_EQ(longs, std::string("\1\0\0\0\2\0\0\0", 8));
}

}  // namespace
}  // namespace store::pst
