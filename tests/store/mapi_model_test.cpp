#include <gtest/gtest.h>

#include "store/mapi/filetime.h"
#include "store/mapi/message.h"
#include "store/mapi/named_property.h"
#include "store/mapi/property_bag.h"
#include "store/mapi/property_tags.h"

using namespace store::mapi;

TEST(PropTagTest, SplitsIdAndType) {
    EXPECT_EQ(PidTagSubject.id(), 0x0037);
    EXPECT_EQ(PidTagSubject.type(), PT_UNICODE);
    EXPECT_EQ(PropTag(0x0037, PT_STRING8).value(), 0x0037001Eu);
    EXPECT_TRUE(isMultiValued(PropType::MultiUnicode));
    EXPECT_EQ(elementType(PropType::MultiBinary), PT_BINARY);
    EXPECT_TRUE(isFixedSize(PT_SYSTIME));
    EXPECT_FALSE(isFixedSize(PT_CLSID));
    EXPECT_FALSE(isFixedSize(PT_BINARY));
}

TEST(GuidTest, ParsesIntoOnDiskOrderAndPrintsBack) {
    const Guid g = Guid::parse("{00020329-0000-0000-C000-000000000046}");
    const std::array<std::uint8_t, 16> expected{0x29, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    EXPECT_EQ(g.bytes, expected);
    EXPECT_EQ(g, PS_PUBLIC_STRINGS);
    EXPECT_EQ(g.toString(), "{00020329-0000-0000-C000-000000000046}");
    EXPECT_EQ(Guid::parse("not a guid"), Guid{});
}

TEST(PropertyBagTest, TypedValuesRoundTripInTheirEncoding) {
    PropertyBag bag;
    bag.setLong(PidTagImportance, -2);
    bag.setBool(PidTagHasAttachments, true);
    bag.setTime(PidTagClientSubmitTime, FileTime{0x01D0000000000001ULL});
    bag.setString(PidTagSubject, u"Grüße €");
    bag.setBinary(PidTagHtml, std::string("<p>\0x</p>", 9));
    bag.setI8(PropTag(0x6700, PT_I8), -5);
    bag.setMultiString(PidNameKeywords, {u"a", u"βc"});

    EXPECT_EQ(bag.getLong(PidTagImportance), -2);
    EXPECT_EQ(bag.getBool(PidTagHasAttachments), true);
    EXPECT_EQ(bag.getTime(PidTagClientSubmitTime)->ticks, 0x01D0000000000001ULL);
    EXPECT_EQ(bag.getString(PidTagSubject), u"Grüße €");
    EXPECT_EQ(bag.getBinary(PidTagHtml)->size(), 9u);
    EXPECT_EQ(bag.getI8(PropTag(0x6700, PT_I8)), -5);
    EXPECT_EQ(bag.getMultiString(PidNameKeywords), (std::vector<std::u16string>{u"a", u"βc"}));

    const Property* subject = bag.find(PidTagSubject);
    ASSERT_NE(subject, nullptr);
    EXPECT_EQ(subject->data, std::string("G\0r\0\xFC\0\xDF\0e\0 \0\xAC\x20", 14));
    EXPECT_EQ(subject->tag(), PidTagSubject);
    EXPECT_EQ(bag.find(PidTagImportance)->data, std::string("\xFE\xFF\xFF\xFF", 4));

    // Wrong-type reads and absent keys give nothing.
    EXPECT_FALSE(bag.getLong(PidTagSubject));
    EXPECT_FALSE(bag.getString(PidTagBody));
}

TEST(PropertyBagTest, SettingAgainReplacesWhateverTheType) {
    PropertyBag bag;
    bag.setString(PidTagSubject, u"one");
    bag.setString8(PidTagSubject, "two");
    bag.setLong(PidTagImportance, 1);
    ASSERT_EQ(bag.size(), 2u);
    EXPECT_EQ(bag.properties()[0].type, PT_STRING8);
    EXPECT_EQ(bag.getString(PidTagSubject), u"two");
    EXPECT_TRUE(bag.remove(PidTagSubject));
    EXPECT_FALSE(bag.has(PidTagSubject));
    EXPECT_FALSE(bag.remove(PidTagSubject));
}

TEST(PropertyBagTest, NamedPropertiesAreKeyedByName) {
    PropertyBag bag;
    bag.setString(PidLidInternetAccountName, u"acct");
    bag.setBool(PidLidSmartNoAttach, true);
    bag.setString(NamedProperty::byName(PS_INTERNET_HEADERS, u"x-mailer"), u"kelva");
    EXPECT_EQ(bag.size(), 3u);
    EXPECT_EQ(bag.getString(NamedProperty::byId(PSETID_Common, 0x8580)), u"acct");
    EXPECT_EQ(bag.getString(NamedProperty::byName(PS_INTERNET_HEADERS, u"x-mailer")), u"kelva");
    EXPECT_FALSE(bag.has(NamedProperty::byName(PS_INTERNET_HEADERS, u"X-Mailer")));
    EXPECT_TRUE(bag.properties()[0].key.isNamed());
}

// Keys whose ids share a bit of the bag's quick check (0x0001, 0x0100 and 0x0203 all do, and every
// named key has id 0) stay distinct: replacing keeps the place, a removed key is gone and comes back
// at the end, and a copy answers like the original.
TEST(PropertyBagTest, KeysThatHashAlikeStayDistinct) {
    const PropTag a(0x0001, PropType::Long), b(0x0100, PropType::Long), c(0x0203, PropType::Long);
    PropertyBag bag;
    EXPECT_FALSE(bag.has(a));
    bag.setLong(a, 1);
    EXPECT_FALSE(bag.has(b));
    bag.setLong(b, 2);
    bag.setLong(PidLidSmartNoAttach, 3);
    EXPECT_FALSE(bag.has(NamedProperty::byName(PS_INTERNET_HEADERS, u"x-a")));
    bag.setLong(NamedProperty::byName(PS_INTERNET_HEADERS, u"x-a"), 4);
    bag.setLong(a, 5);
    EXPECT_FALSE(bag.has(c));
    ASSERT_EQ(bag.size(), 4u);
    EXPECT_EQ(bag.getLong(a), 5);
    EXPECT_EQ(bag.getLong(b), 2);
    EXPECT_EQ(bag.getLong(PidLidSmartNoAttach), 3);
    EXPECT_EQ(bag.getLong(NamedProperty::byName(PS_INTERNET_HEADERS, u"x-a")), 4);
    EXPECT_EQ(bag.properties()[0].tag().id(), 0x0001);
    EXPECT_TRUE(bag.remove(a));
    EXPECT_FALSE(bag.has(a));
    bag.setLong(a, 6);
    const PropertyBag copy = bag;
    for (const PropertyBag* each : {static_cast<const PropertyBag*>(&bag), &copy}) {
        ASSERT_EQ(each->size(), 4u);
        EXPECT_EQ(each->properties()[0].tag().id(), 0x0100);
        EXPECT_EQ(each->properties()[3].tag().id(), 0x0001);
        EXPECT_EQ(each->getLong(a), 6);
    }
}

TEST(NamedPropertyMapTest, AssignsIdsFrom0x8000OncePerName) {
    NamedPropertyMap map;
    EXPECT_EQ(map.idOf(PidLidSmartNoAttach), 0x8000);
    EXPECT_EQ(map.idOf(PidNameKeywords), 0x8001);
    EXPECT_EQ(map.idOf(NamedProperty::byId(PSETID_Common, 0x8514)), 0x8000);
    EXPECT_EQ(map.find(PidLidInternetAccountName), std::nullopt);
    ASSERT_EQ(map.entries().size(), 2u);
    EXPECT_EQ(map.entries()[1], PidNameKeywords);
}

TEST(FileTimeTest, ConvertsUnixSeconds) {
    EXPECT_EQ(fileTimeFromUnix(0).ticks, kUnixEpochTicks);
    EXPECT_EQ(fileTimeFromUnix(1700000000).ticks, 133444736000000000ULL);
    EXPECT_EQ(unixFromFileTime(fileTimeFromUnix(1700000000)), 1700000000);
    EXPECT_EQ(unixFromFileTime(fileTimeFromUnix(-86400)), -86400);
    EXPECT_EQ(fileTimeFromUnix(-20000000000LL).ticks, 0u);  // before 1601
    const auto now = fileTimeNow();
    EXPECT_GT(now.ticks, fileTimeFromUnix(1600000000).ticks);
}

TEST(MessageTest, EmbeddedMessagesNestAndCopyDeeply) {
    Message inner;
    inner.props.setString(PidTagSubject, u"inner");
    Attachment att;
    att.setEmbeddedMessage(inner);
    Message outer;
    outer.attachments.push_back(att);

    Message copy = outer;
    copy.attachments[0].embedded->props.setString(PidTagSubject, u"changed");
    EXPECT_EQ(outer.attachments[0].embedded->props.getString(PidTagSubject), u"inner");
    EXPECT_EQ(outer.attachments[0].props.getLong(PidTagAttachMethod), afEmbeddedMessage);
    EXPECT_TRUE(copy.attachments[0].isEmbeddedMessage());
}
