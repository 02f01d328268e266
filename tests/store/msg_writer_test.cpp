#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cfb_reader.h"
#include "oracle_tools.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "sample_messages.h"
#include "store/little_endian.h"
#include "store/mapi/property_tags.h"
#include "store/msg/msg_writer.h"
#include "store/msg/nameid_streams.h"
#include "support/test_support.h"

using namespace store::mapi;
using store_test::CfbContents;
using testing_support::TempDir;

namespace {

std::u16string u16(const std::filesystem::path& p) { return platform::fromNativePath(p.string()); }

const std::u16string kSubject = u"Grüße – 日本語のテスト";
const std::u16string kBody = u"Hello Jürgen,\r\nсъобщение на кирилица.\r\n";
const std::string kHtml = "<html><body><p>Gr\xC3\xBC\xC3\x9F" "e <b>HTML</b></p></body></html>";
const NamedProperty kXMailer = NamedProperty::byName(PS_INTERNET_HEADERS, u"x-mailer");

Message nestedMessage(int depth) {
    Message m = store_test::simpleMessage(u"Level " + platform::utf8ToUtf16(std::to_string(depth)), u"Nested body");
    m.recipients.push_back(store_test::recipient(MAPI_TO, u"Nested", u"nested@example.com"));
    m.attachments.push_back(store_test::fileAttachment(u"deep" + platform::utf8ToUtf16(std::to_string(depth)) + u".txt",
                                                       u"text/plain", "deep text"));
    if (depth < 2) {
        Attachment inner;
        inner.props.setString(PidTagDisplayName, u"Level 2");
        inner.props.setLong(PidTagRenderingPosition, -1);
        inner.setEmbeddedMessage(nestedMessage(depth + 1));
        m.attachments.push_back(std::move(inner));
    }
    return m;
}

// The message of the tests: every kind of property, three recipient types, attachments of 100 bytes,
// 4095, 4096 and 3 MiB, and an embedded message that holds another one.
Message fullMessage() {
    Message m = store_test::simpleMessage(kSubject, kBody);
    m.props.setBinary(PidTagHtml, kHtml);
    m.props.setLong(PidTagInternetCodepage, 65001);
    m.props.setString(PidTagDisplayTo, u"Anna Ärger; Bob");
    m.props.setString(PidTagDisplayCc, u"Carol");
    m.props.setString(PidTagDisplayBcc, u"Dave");
    m.props.setString(PidTagInternetMessageId, u"<full@example.com>");
    m.props.setBool(PidTagHasAttachments, true);
    m.props.setString(PidLidInternetAccountName, u"Work");
    m.props.setMultiString(PidNameKeywords, {u"red", u"blau"});
    m.props.setString(kXMailer, u"Kelva");
    m.props.setMultiLong(PropTag(0x6701, PT_MV_LONG), {1, -2, 3});
    m.props.setGuid(PropTag(0x6702, PT_CLSID), PSETID_Common);
    m.recipients.push_back(store_test::recipient(MAPI_TO, u"Anna Ärger", u"anna@example.com"));
    m.recipients.push_back(store_test::recipient(MAPI_TO, u"Bob", u"bob@example.com"));
    m.recipients.push_back(store_test::recipient(MAPI_CC, u"Carol", u"carol@example.com"));
    m.recipients.push_back(store_test::recipient(MAPI_BCC, u"Dave", u"dave@example.com"));
    m.attachments.push_back(store_test::fileAttachment(u"notes.txt", u"text/plain", std::string(100, 'n')));
    m.attachments.push_back(store_test::fileAttachment(u"mini.bin", u"application/octet-stream", store_test::patternBytes(4095, 1)));
    m.attachments.push_back(store_test::fileAttachment(u"cutoff.bin", u"application/octet-stream", store_test::patternBytes(4096, 2)));
    m.attachments.push_back(store_test::fileAttachment(u"Größe.bin", u"application/octet-stream", store_test::patternBytes(3 << 20, 3)));
    Attachment embedded;
    embedded.props.setString(PidTagDisplayName, u"Level 1");
    embedded.props.setLong(PidTagRenderingPosition, -1);
    embedded.setEmbeddedMessage(nestedMessage(1));
    m.attachments.push_back(std::move(embedded));
    return m;
}

struct Entry {
    std::uint32_t flags = 0;
    std::string value;  // the 8 value bytes
};

// The 16-byte entries of a property stream after its header.
std::map<std::uint32_t, Entry> entriesOf(const std::string& stream, std::size_t headerSize) {
    std::map<std::uint32_t, Entry> out;
    for (std::size_t at = headerSize; at + 16 <= stream.size(); at += 16) {
        out[store::loadU32(stream.data() + at)] = {store::loadU32(stream.data() + at + 4), stream.substr(at + 8, 8)};
    }
    return out;
}

std::uint32_t entrySize(const std::map<std::uint32_t, Entry>& entries, std::uint32_t tag) {
    auto it = entries.find(tag);
    return it == entries.end() ? 0xDEADBEEF : store::loadU32(it->second.value.data());
}

std::string utf16(std::u16string_view text) { return store::utf16le(text); }

CfbContents writeAndRead(const Message& m, const std::filesystem::path& path) {
    std::string error;
    const auto written = store::msg::writeMsgFile(m, u16(path));
    EXPECT_TRUE(written) << written.failure().message;
    CfbContents contents;
    EXPECT_TRUE(store_test::readCompoundFile(path, contents, error)) << error;
    return contents;
}

// Facts of a .msg file as the shared oracle reads them through msgconvert.
std::optional<nlohmann::json> msgconvertFacts(const std::filesystem::path& msg) {
    const auto oracle = store_test::oracleDir();
    const auto python = store_test::pythonWithOlefile();
    if (!oracle || !python || !store_test::hasProgram("msgconvert")) return std::nullopt;
    const auto result = store_test::runCommand(*python + " " + store_test::shellQuote((*oracle / "msg_facts.py").string()) +
                                               " " + store_test::shellQuote(msg.string()) + " 2>/dev/null");
    EXPECT_EQ(result.status, 0) << result.output;
    auto facts = nlohmann::json::parse(result.output, nullptr, false);
    EXPECT_TRUE(facts.is_array() && facts.size() == 1) << result.output;
    if (!facts.is_array() || facts.empty()) return nlohmann::json::object();
    return facts[0];
}

}  // namespace

TEST(MsgWriterTest, TopLevelPropertiesAndStreams) {
    TempDir dir;
    const CfbContents c = writeAndRead(fullMessage(), dir / "full.msg");
    const std::string& props = c.streams.at(u"__properties_version1.0");
    ASSERT_GE(props.size(), 32u);
    EXPECT_EQ(store::loadU32(props.data() + 8), 4u);    // next recipient id
    EXPECT_EQ(store::loadU32(props.data() + 12), 5u);   // next attachment id
    EXPECT_EQ(store::loadU32(props.data() + 16), 4u);   // recipients
    EXPECT_EQ(store::loadU32(props.data() + 20), 5u);   // attachments
    EXPECT_EQ((props.size() - 32) % 16, 0u);
    const auto entries = entriesOf(props, 32);

    // Strings: the stream without terminator, the entry counting it.
    EXPECT_EQ(c.streams.at(u"__substg1.0_0037001F"), utf16(kSubject));
    EXPECT_EQ(entrySize(entries, 0x0037001F), kSubject.size() * 2 + 2);
    EXPECT_EQ(c.streams.at(u"__substg1.0_1000001F"), utf16(kBody));
    EXPECT_EQ(c.streams.at(u"__substg1.0_001A001F"), utf16(u"IPM.Note"));
    // Binary and GUID values: stream and size alike.
    EXPECT_EQ(c.streams.at(u"__substg1.0_10130102"), kHtml);
    EXPECT_EQ(entrySize(entries, 0x10130102), kHtml.size());
    EXPECT_EQ(c.streams.at(u"__substg1.0_67020048"),
              std::string(reinterpret_cast<const char*>(PSETID_Common.bytes.data()), 16));
    // Fixed-size values in the entry, flags readable and writable.
    EXPECT_EQ(entries.at(0x0E070003).value, std::string("\1\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(entries.at(0x0E070003).flags, 6u);
    EXPECT_EQ(entries.at(0x0E1B000B).value, std::string("\1\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(store::loadU64(entries.at(0x00390040).value.data()), fileTimeFromUnix(1709296496).ticks);
    EXPECT_EQ(entrySize(entries, 0x3FDE0003), 65001u);
    EXPECT_EQ(entrySize(entries, 0x340D0003), STORE_UNICODE_OK);  // added by the writer
    // Multi-valued fixed: one stream; multi-valued strings: a length stream and one stream per value.
    EXPECT_EQ(c.streams.at(u"__substg1.0_67011003"), std::string("\1\0\0\0\xFE\xFF\xFF\xFF\3\0\0\0", 12));
    EXPECT_EQ(entrySize(entries, 0x67011003), 12u);
    EXPECT_EQ(c.streams.at(u"__substg1.0_8001101F"), std::string("\x08\0\0\0\x0A\0\0\0", 8));
    EXPECT_EQ(c.streams.at(u"__substg1.0_8001101F-00000000"), utf16(u"red") + std::string(2, '\0'));
    EXPECT_EQ(c.streams.at(u"__substg1.0_8001101F-00000001"), utf16(u"blau") + std::string(2, '\0'));
    // Every value stream has its entry.
    for (const auto& [name, bytes] : c.streams) {
        if (name.find(u'/') != std::u16string::npos || name.rfind(u"__substg1.0_", 0) != 0 || name.size() != 20) continue;
        const auto tag = static_cast<std::uint32_t>(std::stoul(platform::utf16ToUtf8(name.substr(12)), nullptr, 16));
        EXPECT_EQ(entries.count(tag), 1u) << platform::utf16ToUtf8(name);
    }
}

TEST(MsgWriterTest, RecipientAndAttachmentStorages) {
    TempDir dir;
    const Message m = fullMessage();
    const CfbContents c = writeAndRead(m, dir / "full.msg");
    const std::int32_t types[] = {MAPI_TO, MAPI_TO, MAPI_CC, MAPI_BCC};
    for (int i = 0; i < 4; ++i) {
        const std::u16string box = u"__recip_version1.0_#0000000" + platform::utf8ToUtf16(std::to_string(i)) + u"/";
        const std::string& props = c.streams.at(box + u"__properties_version1.0");
        EXPECT_EQ(props.substr(0, 8), std::string(8, '\0'));
        EXPECT_EQ(entrySize(entriesOf(props, 8), 0x0C150003), static_cast<std::uint32_t>(types[i]));
        EXPECT_EQ(c.streams.at(box + u"__substg1.0_39FE001F"), utf16(*m.recipients[static_cast<std::size_t>(i)].getString(PidTagSmtpAddress)));
    }
    for (int i = 0; i < 4; ++i) {
        const std::u16string box = u"__attach_version1.0_#0000000" + platform::utf8ToUtf16(std::to_string(i)) + u"/";
        const auto& att = m.attachments[static_cast<std::size_t>(i)];
        EXPECT_EQ(c.streams.at(box + u"__substg1.0_37010102"), *att.props.getBinary(PidTagAttachDataBinary)) << i;
        EXPECT_EQ(c.streams.at(box + u"__substg1.0_3707001F"), utf16(*att.props.getString(PidTagAttachLongFilename)));
    }
    EXPECT_EQ(c.streams.count(u"__recip_version1.0_#00000004/__properties_version1.0"), 0u);
}

TEST(MsgWriterTest, EmbeddedMessagesNestTwoDeep) {
    TempDir dir;
    const CfbContents c = writeAndRead(fullMessage(), dir / "full.msg");
    const std::u16string level1 = u"__attach_version1.0_#00000004/";
    const auto attEntries = entriesOf(c.streams.at(level1 + u"__properties_version1.0"), 8);
    EXPECT_EQ(entrySize(attEntries, 0x3701000D), 0xFFFFFFFFu);
    EXPECT_EQ(entrySize(attEntries, 0x37050003), static_cast<std::uint32_t>(afEmbeddedMessage));
    const std::u16string msg1 = level1 + u"__substg1.0_3701000D/";
    const std::string& props1 = c.streams.at(msg1 + u"__properties_version1.0");
    // An embedded message's header has no trailing reserved bytes: 24 bytes.
    EXPECT_EQ((props1.size() - 24) % 16, 0u);
    EXPECT_EQ(store::loadU32(props1.data() + 16), 1u);
    EXPECT_EQ(store::loadU32(props1.data() + 20), 2u);
    EXPECT_EQ(entrySize(entriesOf(props1, 24), 0x0037001F), 16u);  // "Level 1" + terminator
    EXPECT_EQ(c.streams.at(msg1 + u"__substg1.0_0037001F"), utf16(u"Level 1"));
    EXPECT_EQ(c.streams.at(msg1 + u"__recip_version1.0_#00000000/__substg1.0_39FE001F"), utf16(u"nested@example.com"));
    const std::u16string msg2 = msg1 + u"__attach_version1.0_#00000001/__substg1.0_3701000D/";
    EXPECT_EQ(c.streams.at(msg2 + u"__substg1.0_0037001F"), utf16(u"Level 2"));
    EXPECT_EQ(c.streams.at(msg2 + u"__attach_version1.0_#00000000/__substg1.0_37010102"), "deep text");
    EXPECT_EQ(store::loadU32(c.streams.at(msg2 + u"__properties_version1.0").data() + 20), 1u);
    // One name map for the whole file, none in embedded messages; the support mask only at the top.
    for (const auto& s : c.storages) EXPECT_TRUE(s == u"__nameid_version1.0" || s.find(u"__nameid") == std::u16string::npos);
    EXPECT_EQ(entriesOf(props1, 24).count(0x340D0003), 0u);
}

TEST(MsgWriterTest, NamedPropertyMapping) {
    TempDir dir;
    const CfbContents c = writeAndRead(fullMessage(), dir / "full.msg");
    const auto entries = entriesOf(c.streams.at(u"__properties_version1.0"), 32);
    // Ids in order of first use: account name, keywords, x-mailer.
    EXPECT_EQ(c.streams.at(u"__substg1.0_8000001F"), utf16(u"Work"));
    EXPECT_EQ(entries.count(0x8001101F), 1u);
    EXPECT_EQ(c.streams.at(u"__substg1.0_8002001F"), utf16(u"Kelva"));
    const std::u16string box = u"__nameid_version1.0/";
    // GUID stream: sets other than PS_MAPI and PS_PUBLIC_STRINGS, GUID index 3 and up.
    EXPECT_EQ(c.streams.at(box + u"__substg1.0_00020102"),
              std::string(reinterpret_cast<const char*>(PSETID_Common.bytes.data()), 16) +
                  std::string(reinterpret_cast<const char*>(PS_INTERNET_HEADERS.bytes.data()), 16));
    // Entry stream: name id or string offset, then property index << 16 | GUID index << 1 | kind.
    std::string expectedEntries;
    store::putU32(expectedEntries, 0x8580);
    store::putU32(expectedEntries, (0u << 16) | (3u << 1) | 0u);
    store::putU32(expectedEntries, 0);
    store::putU32(expectedEntries, (1u << 16) | (2u << 1) | 1u);
    store::putU32(expectedEntries, 20);
    store::putU32(expectedEntries, (2u << 16) | (4u << 1) | 1u);
    EXPECT_EQ(c.streams.at(box + u"__substg1.0_00030102"), expectedEntries);
    // String stream: byte length, UTF-16LE name, padded to 4 bytes.
    std::string expectedStrings;
    store::putU32(expectedStrings, 16);
    expectedStrings += utf16(u"Keywords");
    store::putU32(expectedStrings, 16);
    expectedStrings += utf16(u"x-mailer");
    EXPECT_EQ(c.streams.at(box + u"__substg1.0_00040102"), expectedStrings);
    // Hashed streams: each name once, in the stream its key selects.
    const std::uint32_t keys[] = {0x8580, store::msg::nameChecksum(u"Keywords"), store::msg::nameChecksum(u"x-mailer")};
    const std::uint32_t guidAndKind[] = {3u << 1, (2u << 1) | 1u, (4u << 1) | 1u};
    std::size_t hashed = 0;
    for (int i = 0; i < 3; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "__substg1.0_%04X0102", 0x1000 + (keys[i] ^ guidAndKind[i]) % 0x1F);
        const std::string& bucket = c.streams.at(box + platform::utf8ToUtf16(name));
        std::string entry;
        store::putU32(entry, keys[i]);
        store::putU32(entry, (static_cast<std::uint32_t>(i) << 16) | guidAndKind[i]);
        EXPECT_NE(bucket.find(entry), std::string::npos) << name;
    }
    for (const auto& [name, bytes] : c.streams) {
        if (name.rfind(box + u"__substg1.0_10", 0) == 0) hashed += bytes.size() / 8;
    }
    EXPECT_EQ(hashed, 3u);
}

TEST(MsgWriterTest, NameChecksumMatchesTheKnownValue) {
    // A string name seen in files Outlook wrote: "x-mailer" files under 0xFF504E89, stream 0x100F for
    // GUID index 3.
    EXPECT_EQ(store::msg::nameChecksum(u"x-mailer"), 0xFF504E89u);
    EXPECT_EQ(0x1000 + (0xFF504E89u ^ ((3u << 1) | 1u)) % 0x1F, 0x100Fu);
}

TEST(MsgWriterTest, ManyRecipientsAndAttachmentsGetHexNumberedStorages) {
    TempDir dir;
    Message m = store_test::simpleMessage(u"many", u"body");
    for (int i = 0; i < 300; ++i) {
        m.attachments.push_back(store_test::fileAttachment(u"a" + platform::utf8ToUtf16(std::to_string(i)), u"text/plain",
                                                           std::to_string(i)));
        m.recipients.push_back(store_test::recipient(MAPI_TO, u"r", u"r@example.com"));
    }
    const CfbContents c = writeAndRead(m, dir / "many.msg");
    EXPECT_EQ(c.streams.at(u"__attach_version1.0_#0000012B/__substg1.0_37010102"), "299");
    EXPECT_EQ(c.streams.count(u"__recip_version1.0_#0000012B/__properties_version1.0"), 1u);
    EXPECT_EQ(c.storages.size(), 601u);
}

TEST(MsgWriterTest, FailuresLeaveNoFile) {
    TempDir dir;
    const auto missing = store::msg::writeMsgFile(fullMessage(), u16(dir / "missing" / "x.msg"));
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.failure().code, ENOENT) << missing.failure().message;

    // Nesting deeper than the writer allows.
    Message deepest = store_test::simpleMessage(u"bottom", u"");
    for (int i = 0; i < store::msg::kMaxEmbeddingDepth + 1; ++i) {
        Message outer = store_test::simpleMessage(u"level", u"");
        Attachment a;
        a.setEmbeddedMessage(std::move(deepest));
        outer.attachments.push_back(std::move(a));
        deepest = std::move(outer);
    }
    const auto deep = store::msg::writeMsgFile(deepest, u16(dir / "deep.msg"));
    EXPECT_FALSE(deep);
    EXPECT_NE(deep.failure().message.find("nested"), std::string::npos) << deep.failure().message;
    EXPECT_FALSE(std::filesystem::exists(dir / "deep.msg"));
}

TEST(MsgWriterTest, BytesBuiltInMemoryAreTheFileWritten) {
    TempDir dir;
    Message many = store_test::simpleMessage(u"many", u"body");
    for (int i = 0; i < 40; ++i) many.recipients.push_back(store_test::recipient(MAPI_TO, u"r", u"r@example.com"));
    const std::pair<const char*, Message> cases[] = {
        {"empty", Message{}}, {"full", fullMessage()}, {"nested", nestedMessage(0)}, {"many", std::move(many)}};
    for (const auto& [name, message] : cases) {
        const std::filesystem::path path = dir / (std::string(name) + ".msg");
        ASSERT_TRUE(store::msg::writeMsgFile(message, u16(path))) << name;
        const auto bytes = store::msg::msgFileBytes(message);
        ASSERT_TRUE(bytes) << name << ": " << bytes.failure().message;
        EXPECT_EQ(*bytes, testing_support::readFile(path)) << name;
    }
    // A failure gives no bytes and says why.
    Message deepest = store_test::simpleMessage(u"bottom", u"");
    for (int i = 0; i < store::msg::kMaxEmbeddingDepth + 1; ++i) {
        Message outer;
        Attachment a;
        a.setEmbeddedMessage(std::move(deepest));
        outer.attachments.push_back(std::move(a));
        deepest = std::move(outer);
    }
    const auto deep = store::msg::msgFileBytes(deepest);
    EXPECT_FALSE(deep);
    EXPECT_NE(deep.failure().message.find("nested"), std::string::npos) << deep.failure().message;
}

TEST(MsgWriterTest, EmptyMessageIsAValidFile) {
    TempDir dir;
    const CfbContents c = writeAndRead(Message{}, dir / "empty.msg");
    EXPECT_EQ(c.streams.at(u"__properties_version1.0").size(), 32u + 16u);  // the support mask only
    EXPECT_EQ(c.streams.at(u"__nameid_version1.0/__substg1.0_00030102"), "");
}

TEST(MsgOracleTest, StructureCheckFindsEverythingRequired) {
    const auto oracle = store_test::oracleDir();
    const auto python = store_test::pythonWithOlefile();
    if (!oracle || !python) GTEST_SKIP() << "oracle scripts or python3-olefile not available";
    TempDir dir;
    const auto written = store::msg::writeMsgFile(fullMessage(), u16(dir / "full.msg"));
    ASSERT_TRUE(written) << written.failure().message;
    const auto result = store_test::runCommand(*python + " " + store_test::shellQuote((*oracle / "msg_facts.py").string()) +
                                               " --check-only " + store_test::shellQuote((dir / "full.msg").string()));
    ASSERT_EQ(result.status, 0) << result.output;
    const auto facts = nlohmann::json::parse(result.output);
    const auto& s = facts.at(0).at("msg_structure");
    EXPECT_TRUE(s.at("ok").get<bool>()) << s.dump();
    EXPECT_TRUE(s.at("warnings").empty()) << s.dump();
    EXPECT_EQ(s.at("recipients"), 4);
    EXPECT_EQ(s.at("attachments"), 5);
}

TEST(MsgOracleTest, MsgconvertReadsTheMessageBack) {
    TempDir dir;
    Message m = fullMessage();
    // As an imported message has: the original header block, which msgconvert prefers.
    m.props.setString(PidTagTransportMessageHeaders,
                      u"From: Sender Name <sender@example.com>\r\n"
                      u"To: =?UTF-8?Q?Anna_=C3=84rger?= <anna@example.com>, Bob <bob@example.com>\r\n"
                      u"Cc: Carol <carol@example.com>\r\n"
                      u"Subject: =?UTF-8?B?R3LDvMOfZSDigJMg5pel5pys6Kqe44Gu44OG44K544OI?=\r\n"
                      u"Date: Fri, 01 Mar 2024 12:34:56 +0000\r\n"
                      u"Message-ID: <full@example.com>\r\n\r\n");
    const auto path = dir / "full.msg";
    const auto written = store::msg::writeMsgFile(m, u16(path));
    ASSERT_TRUE(written) << written.failure().message;
    const auto facts = msgconvertFacts(path);
    if (!facts) GTEST_SKIP() << "msgconvert, python3-olefile or the oracle scripts are not available";
    const auto& f = *facts;
    EXPECT_EQ(f.at("subject"), platform::utf16ToUtf8(kSubject));
    EXPECT_EQ(f.at("from").at(0).at("addr"), "sender@example.com");
    EXPECT_EQ(f.at("to").size(), 2u);
    EXPECT_EQ(f.at("to").at(0).at("addr"), "anna@example.com");
    EXPECT_EQ(f.at("to").at(0).at("name"), "Anna Ärger");
    EXPECT_EQ(f.at("cc").at(0).at("addr"), "carol@example.com");
    EXPECT_EQ(f.at("date"), "2024-03-01T12:34:56Z");
    EXPECT_EQ(f.at("message_id"), "full@example.com");
    EXPECT_EQ(f.at("body_text"), "Hello Jürgen, съобщение на кирилица.");
    EXPECT_EQ(f.at("has_html"), true);
    const auto& atts = f.at("attachments");
    ASSERT_EQ(atts.size(), 5u);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& source = m.attachments[i].props;
        EXPECT_EQ(atts[i].at("size"), source.getBinary(PidTagAttachDataBinary)->size()) << i;
        EXPECT_EQ(atts[i].at("sha256"), store_test::sha256Hex(std::string(*source.getBinary(PidTagAttachDataBinary)))) << i;
    }
    EXPECT_EQ(atts[0].at("filename"), "notes.txt");
    EXPECT_EQ(atts[2].at("filename"), "cutoff.bin");
    EXPECT_EQ(atts[4].at("embedded").at("subject"), "Level 1");
}

TEST(MsgOracleTest, MsgconvertReadsEachBodyForm) {
    struct Case {
        const char* name;
        std::u16string plain;          // empty: no plain body
        std::string html;              // empty: no HTML body
        std::int32_t codepage;
        const char* bodyText;
        bool hasHtml;
    };
    const Case cases[] = {
        {"plain", u"Plain only text", "", 0, "Plain only text", false},
        {"html", u"", "<html><body><p>Only <i>HTML</i></p></body></html>", 65001, "Only HTML", true},
        {"html1252", u"", "<html><body><p>Caf\xE9 cr\xE8me</p></body></html>", 1252, "Café crème", true},
        {"both", u"Plain side", "<p>HTML side</p>", 65001, "Plain side", true},
    };
    TempDir dir;
    for (const auto& c : cases) {
        Message m = store_test::simpleMessage(u"Body forms", c.plain);
        if (c.plain.empty()) m.props.remove(PidTagBody);
        if (!c.html.empty()) {
            m.props.setBinary(PidTagHtml, c.html);
            m.props.setLong(PidTagInternetCodepage, c.codepage);
        }
        const auto path = dir / (std::string(c.name) + ".msg");
        ASSERT_TRUE(store::msg::writeMsgFile(m, u16(path)));
        const auto facts = msgconvertFacts(path);
        if (!facts) GTEST_SKIP() << "msgconvert, python3-olefile or the oracle scripts are not available";
        EXPECT_EQ(facts->at("body_text"), c.bodyText) << c.name;
        EXPECT_EQ(facts->at("has_html"), c.hasHtml) << c.name;
        EXPECT_EQ(facts->at("subject"), "Body forms") << c.name;
    }
}
