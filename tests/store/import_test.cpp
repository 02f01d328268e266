// The RFC 822 import: charsets, parameters, addresses, dates, structure and malformed input.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/codepage.h"
#include "store/import/address_list.h"
#include "store/import/date_time.h"
#include "store/import/entry_ids.h"
#include "store/import/envelope_import.h"
#include "store/import/import_tags.h"
#include "store/import/message_import.h"
#include "store/import/message_text.h"
#include "store/import/parameters.h"
#include "store/mapi/property_tags.h"

using namespace store::import;
using namespace store::mapi;

namespace {

std::string u8(const std::u16string& text) { return platform::utf16ToUtf8(text); }

std::string str(const PropertyBag& bag, PropTag tag) { return u8(bag.getString(tag).value_or(u"<none>")); }

// A message from lines joined with CR LF.
std::string mail(std::initializer_list<std::string_view> lines) {
    std::string out;
    for (auto line : lines) {
        out.append(line);
        out += "\r\n";
    }
    return out;
}

TEST(ImportCharsetTest, HeaderWordsNamesAndBodiesInEachCharset) {
    struct Case {
        const char* charset;
        std::string encodedWord;  // the subject as an encoded word
        std::string bodyBytes;    // the same text as raw bytes of the charset
        const char* text;         // what both must read as (UTF-8)
    };
    const Case cases[] = {
        {"UTF-8", "=?UTF-8?B?R3LDvMOfZSDigqw=?=", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC", "Grüße €"},
        {"ISO-8859-1", "=?iso-8859-1?Q?Gr=FC=DFe_caf=E9?=", "Gr\xFC\xDF" "e caf\xE9", "Grüße café"},
        {"ISO-8859-15", "=?ISO-8859-15?Q?Preis_=A4_5?=", "Preis \xA4 5", "Preis € 5"},
        {"windows-1252", "=?windows-1252?Q?=93quoted=94_=80?=", "\x93quoted\x94 \x80", "“quoted” €"},
        {"KOI8-R", "=?koi8-r?B?8NLJ18XU?=", "\xF0\xD2\xC9\xD7\xC5\xD4", "Привет"},
        {"ISO-2022-JP", "=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=", "\x1B$BF|K\\8l\x1B(B", "日本語"},
        {"Shift_JIS", "=?Shift_JIS?B?k/qWe4zq?=", "\x93\xFA\x96\x7B\x8C\xEA", "日本語"},
    };
    for (const Case& c : cases) {
        const Message m = importMessage(mail({"From: =?UTF-8?Q?J=C3=BCrgen?= <j@example.com>",
                                              std::string("To: ") + c.encodedWord + " <to@example.com>",
                                              std::string("Subject: ") + c.encodedWord,
                                              std::string("Content-Type: text/plain; charset=\"") + c.charset + "\"",
                                              "", c.bodyBytes}));
        EXPECT_EQ(str(m.props, PidTagSubject), c.text) << c.charset;
        EXPECT_EQ(str(m.props, PidTagBody), std::string(c.text) + "\r\n") << c.charset;
        ASSERT_EQ(m.recipients.size(), 1u) << c.charset;
        EXPECT_EQ(str(m.recipients[0], PidTagDisplayName), c.text) << c.charset;
        EXPECT_EQ(str(m.props, PidTagSentRepresentingName), "Jürgen") << c.charset;
    }
}

// HTML kept in its charset's bytes names that charset in a meta tag where browsers look for one, so
// that readers of the HTML alone (a .msg reader, a browser) decode it as the code page says.
TEST(ImportCharsetTest, HtmlBodiesNameTheCharsetTheyAreKeptIn) {
    const std::string big5Meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">";
    const std::string utf8Meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";
    struct Case {
        const char* charset;  // of the MIME part; empty: none declared
        std::string html;
        std::string stored;   // PidTagHtml
        std::int32_t codepage;
    };
    const Case cases[] = {
        {"big5", "<p>\xA4\xA4</p>", big5Meta + "<p>\xA4\xA4</p>", 950},
        {"big5", "<!DOCTYPE html><HTML lang=zh><Head>\r\n<title>t</title>",
         "<!DOCTYPE html><HTML lang=zh><Head>" + big5Meta + "\r\n<title>t</title>", 950},
        {"big5", "<!doctype html><header>x</header>", "<!doctype html>" + big5Meta + "<header>x</header>", 950},
        // The same charset named already (alias and case aside): kept as it is.
        {"big5", "<head><META charset=\"Big-5\"></head>\xA4\xA4", "<head><META charset=\"Big-5\"></head>\xA4\xA4", 950},
        // Another charset named: the part's charset, which decides, comes first.
        {"big5", "<html><meta charset=utf-8>\xA4\xA4", "<html>" + big5Meta + "<meta charset=utf-8>\xA4\xA4", 950},
        {"utf-8", "\xEF\xBB\xBF<p>\xC3\xA9</p>", "\xEF\xBB\xBF<p>\xC3\xA9</p>", 65001},
        // Converted to UTF-8 (no Windows code page for ISO-8859-10): named UTF-8.
        {"iso-8859-10", "<p>\xE6</p>", utf8Meta + "<p>\xC3\xA6</p>", 65001},
        // Nothing declared: nothing claimed.
        {"", "<p>\xE9</p>", "<p>\xE9</p>", 1252},
    };
    for (const Case& c : cases) {
        const std::string type = *c.charset ? std::string("; charset=") + c.charset : std::string();
        const Message m = importMessage(mail({"Subject: html", "Content-Type: text/html" + type, "", c.html}));
        ASSERT_TRUE(m.props.getBinary(PidTagHtml)) << c.html;
        EXPECT_EQ(std::string(*m.props.getBinary(PidTagHtml)), c.stored + "\r\n") << c.html;
        EXPECT_EQ(m.props.getLong(PidTagInternetCodepage), c.codepage) << c.html;
    }
}

TEST(ImportCharsetTest, AnOverlongCharsetNumberIsAnUnknownCharset) {
    Message m = importMessage(
        "Subject: =?CP99999999999999999999?Q?caf=E9?=\r\n"
        "Content-Type: text/plain; charset=CP99999999999999999999\r\n\r\ncaf\xE9\r\n");
    EXPECT_NE(str(m.props, PidTagBody), "<none>");
}

TEST(ImportParameterTest, Rfc2231AndQuotedValues) {
    struct Case {
        const char* value;
        const char* name;
        const char* text;  // nullptr: absent
    };
    const Case cases[] = {
        {"attachment; filename*=UTF-8''%E2%82%AC%20rates.txt", "filename", "€ rates.txt"},
        {"attachment; filename*0*=utf-8''%C3%A4; filename*1=b.txt", "filename", "äb.txt"},
        {"attachment; filename*1=\"name.txt\"; filename*0=\"long \"", "filename", "long name.txt"},
        {"attachment; filename*=iso-8859-1'de'%E4rger.txt", "filename", "ärger.txt"},
        {"attachment; filename=\"a \\\"quoted\\\" name.txt\"", "filename", "a \"quoted\" name.txt"},
        {"attachment; filename=\"=?UTF-8?B?w6TDtsO8LnR4dA==?=\"", "filename", "äöü.txt"},
        {"attachment; filename=\"semi;colon.txt\"; size=3", "filename", "semi;colon.txt"},
        {"attachment; filename=plain.txt; filename*=UTF-8''%C3%A9.txt", "filename", "é.txt"},
        {"attachment; FILENAME=upper.txt", "filename", "upper.txt"},
        {"attachment", "filename", nullptr},
        {"text/plain; charset=\"utf-8\"", "charset", "utf-8"},
        {"multipart/mixed; boundary=----=_Part_1_2.3", "boundary", "----=_Part_1_2.3"},
    };
    for (const Case& c : cases) {
        const auto text = parameterText(parseParameters(c.value), c.name);
        if (!c.text) {
            EXPECT_FALSE(text) << c.value;
            continue;
        }
        ASSERT_TRUE(text) << c.value;
        EXPECT_EQ(u8(*text), c.text) << c.value;
    }
    EXPECT_EQ(parseParameters("Text/Plain ; charset=x").leading, "Text/Plain");
}

// A value with many parameters keeps them in the order they first appear and still joins sections
// that come apart and out of order, before and after the first few dozen names.
TEST(ImportParameterTest, ManyParametersKeepTheirOrderAndSections) {
    std::string value = "attachment; late*1=\"B\"";
    for (int i = 0; i < 100; ++i) value += "; p" + std::to_string(i) + "=v" + std::to_string(i);
    value += "; late*0=\"A\"; P7=again";
    const ParameterList list = parseParameters(value);
    ASSERT_EQ(list.parameters.size(), 101u);
    EXPECT_EQ(list.parameters[0].name, "late");
    EXPECT_EQ(list.parameters[0].value, "AB");
    EXPECT_EQ(list.parameters[100].name, "p99");
    EXPECT_EQ(list.find("p99")->value, "v99");
    EXPECT_EQ(list.find("P7")->value, "v7");  // the first of two plain values
    std::string many = "x";
    for (int i = 0; i < 20000; ++i) many += "; n" + std::to_string(i) + "=" + std::to_string(i);
    const ParameterList manyList = parseParameters(many);
    ASSERT_EQ(manyList.parameters.size(), 20000u);
    EXPECT_EQ(manyList.parameters[19999].value, "19999");
}

TEST(ImportAddressTest, ListsWithDisplayNames) {
    struct Case {
        const char* raw;
        std::vector<std::pair<const char*, const char*>> mailboxes;  // name, address
    };
    const Case cases[] = {
        {"Ann <ann@example.com>", {{"Ann", "ann@example.com"}}},
        {"\"Doe, Jane\" <jane@example.com>, bob@example.com",
         {{"Doe, Jane", "jane@example.com"}, {"", "bob@example.com"}}},
        {"bob@example.com (Bob Smith)", {{"Bob Smith", "bob@example.com"}}},
        {"=?UTF-8?Q?J=C3=BCrgen_M=C3=BCller?= <jm@example.com>", {{"Jürgen Müller", "jm@example.com"}}},
        {"\"=?UTF-8?Q?J=C3=BCrgen?=\" <j@example.com>", {{"Jürgen", "j@example.com"}}},
        {"Team: ann@example.com, Bob <bob@example.com>;, carl@example.com",
         {{"", "ann@example.com"}, {"Bob", "bob@example.com"}, {"", "carl@example.com"}}},
        {"undisclosed-recipients:;", {}},
        {"<@relay.example:mary@example.net>", {{"", "mary@example.net"}}},
        {"a@example.com <a@example.com>", {{"a@example.com", "a@example.com"}}},
        {"Ann <ann@example.com> Bob <bob@example.com>",
         {{"Ann", "ann@example.com"}, {"Bob", "bob@example.com"}}},
        {"john . doe @ example . com", {{"", "john.doe@example.com"}}},
        {"Jane <jane@machine(comment).  example>", {{"Jane", "jane@machine.example"}}},
        {"'Quoted Twice' <q@example.com>", {{"Quoted Twice", "q@example.com"}}},
        {",, ,", {}},
        {"MAILER-DAEMON <>", {{"MAILER-DAEMON", ""}}},
        {"Only A Name", {{"Only A Name", ""}}},
        // Archives write "user at host"; the word before "at" is what RFC 822 parsers take as the address.
        {"andy at example.com (Andy Grunwald), goran AT domain.com",
         {{"Andy Grunwald", "andy"}, {"goran AT domain.com", "goran"}}},
        {"Meet at the station", {{"Meet at the station", ""}}},
        {"\"unclosed <x@example.com>", {{"unclosed", "x@example.com"}}},  // the stray quote is dropped
    };
    for (const Case& c : cases) {
        const auto list = parseAddressList(c.raw);
        ASSERT_EQ(list.size(), c.mailboxes.size()) << c.raw;
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(u8(list[i].name), c.mailboxes[i].first) << c.raw;
            EXPECT_EQ(u8(list[i].address), c.mailboxes[i].second) << c.raw;
        }
    }
}

TEST(ImportDateTest, ReadsTheUsualForms) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> unix;
    };
    const Case cases[] = {
        {"Fri, 01 Mar 2024 12:34:56 +0000", 1709296496},
        {"Fri, 1 Mar 2024 13:34:56 +0100", 1709296496},
        {"1 Mar 2024 04:34:56 -0800 (PST)", 1709296496},
        {"Fri, 01 Mar 2024 07:34:56 EST", 1709296496},
        {"Fri, 01 Mar 24 12:34:56 GMT", 1709296496},
        {"Fri 01 March 2024 12:34:56 +0000", 1709296496},
        {"Fri, 01 Mar 2024 12:34 +0000", 1709296440},
        {"Fri, 01 Mar 2024 12:34:56", 1709296496},              // no zone: UTC
        {"Fri Mar  1 12:34:56 2024", 1709296496},               // asctime order
        {"Thu, 01 Jan 1970 00:00:00 +0000", 0},
        {"Sat, 01 Jan 1600 00:00:00 +0000", std::nullopt},     // before FILETIME, see below
        {"Wed, 15 Dec 2010 59:10 -0500", std::nullopt},
        {"Pn, 29 paX 2007 21:13:00 +0100", std::nullopt},
        {"<HR>", std::nullopt},
        {"", std::nullopt},
        {"31 Feb 2024 10:00:00 +0000", std::nullopt},
        {"2--U", std::nullopt},                                  // found by the fuzzer: threw
        {"Fri, 1-Mar-x 12:34:56 +0000", std::nullopt},
        {"Fri, 1-Mar-2024 12:34:56 +0000", 1709296496},
    };
    for (const Case& c : cases) {
        auto value = parseMailDate(c.text);
        if (c.unix && *c.unix >= 0) {
            ASSERT_TRUE(value) << c.text;
            EXPECT_EQ(*value, *c.unix) << c.text;
        } else if (!c.unix && value) {
            // Dates before 1601 parse but have no FILETIME: the import leaves the time out.
            EXPECT_EQ(fileTimeFromUnix(*value).ticks, 0u) << c.text;
        }
    }
    EXPECT_EQ(parseReceivedDate("from a by b; Fri, 01 Mar 2024 12:34:56 +0000 (UTC)"), 1709296496);
    EXPECT_FALSE(parseReceivedDate("from a by b"));
}

TEST(ImportEnvelopeTest, MapsTheHeader) {
    const Message m = importMessage(mail({
        "From unused@example.com Fri Mar  1 12:00:00 2024",
        "Received: from relay by mx; Fri, 01 Mar 2024 12:35:10 +0000",
        "Received: from origin by relay; Fri, 01 Mar 2024 12:35:00 +0000",
        "From: Ann Example <ann@example.com>",
        "Sender: Secretary <sec@example.com>",
        "Reply-To: Replies <replies@example.com>",
        "To: Bob <bob@example.com>, carl@example.com",
        "Cc: Dora <dora@example.com>",
        "Bcc: eve@example.com",
        "Subject: RE:   Quarterly figures",
        "Date: Fri, 01 Mar 2024 12:34:56 +0000",
        "Message-ID: <id-1@example.com>",
        "In-Reply-To: <id-0@example.com>",
        "References: <id-a@example.com>\r\n <id-0@example.com>",
        "X-Priority: 1 (Highest)",
        "Sensitivity: Private",
        "",
        "Body",
    }));
    const PropertyBag& p = m.props;
    EXPECT_EQ(str(p, PidTagMessageClass), "IPM.Note");
    EXPECT_EQ(str(p, PidTagSubject), "RE:   Quarterly figures");
    EXPECT_EQ(str(p, PidTagSubjectPrefix), "RE: ");
    EXPECT_EQ(str(p, PidTagNormalizedSubject), "Quarterly figures");
    EXPECT_EQ(str(p, PidTagSentRepresentingName), "Ann Example");
    EXPECT_EQ(str(p, PidTagSentRepresentingEmailAddress), "ann@example.com");
    EXPECT_EQ(str(p, PidTagSentRepresentingAddressType), "SMTP");
    EXPECT_EQ(str(p, PidTagSenderName), "Secretary");
    EXPECT_EQ(str(p, PidTagSenderSmtpAddress), "sec@example.com");
    EXPECT_EQ(std::string(*p.getBinary(PidTagSenderSearchKey)), std::string("SMTP:SEC@EXAMPLE.COM") + '\0');
    EXPECT_EQ(str(p, PidTagReplyRecipientNames), "Replies");
    EXPECT_EQ(str(p, PidTagDisplayTo), "Bob; carl@example.com");
    EXPECT_EQ(str(p, PidTagDisplayCc), "Dora");
    EXPECT_EQ(str(p, PidTagDisplayBcc), "eve@example.com");
    ASSERT_EQ(m.recipients.size(), 4u);
    const std::int32_t types[] = {MAPI_TO, MAPI_TO, MAPI_CC, MAPI_BCC};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(m.recipients[i].getLong(PidTagRecipientType), types[i]);
        EXPECT_EQ(str(m.recipients[i], PidTagAddressType), "SMTP");
        EXPECT_TRUE(m.recipients[i].getBinary(PidTagEntryId));
    }
    EXPECT_EQ(str(m.recipients[1], PidTagDisplayName), "carl@example.com");
    EXPECT_EQ(str(m.recipients[2], PidTagSmtpAddress), "dora@example.com");
    EXPECT_EQ(unixFromFileTime(*p.getTime(PidTagClientSubmitTime)), 1709296496);
    EXPECT_EQ(unixFromFileTime(*p.getTime(PidTagMessageDeliveryTime)), 1709296510);  // first Received
    EXPECT_EQ(str(p, PidTagInternetMessageId), "<id-1@example.com>");
    EXPECT_EQ(str(p, PidTagInReplyToId), "<id-0@example.com>");
    EXPECT_EQ(str(p, PidTagInternetReferences), "<id-a@example.com> <id-0@example.com>");
    EXPECT_EQ(p.getLong(PidTagImportance), IMPORTANCE_HIGH);
    EXPECT_EQ(p.getLong(PidTagPriority), PRIO_URGENT);
    EXPECT_EQ(p.getLong(PidTagSensitivity), 2);
    const std::string headers = str(p, PidTagTransportMessageHeaders);
    EXPECT_TRUE(headers.starts_with("Received: from relay by mx;")) << headers;  // the envelope line is gone
    EXPECT_TRUE(headers.ends_with("X-Priority: 1 (Highest)\r\nSensitivity: Private\r\n\r\n")) << headers;
    const auto flags = static_cast<std::uint32_t>(*p.getLong(PidTagMessageFlags));
    EXPECT_EQ(flags & MSGFLAG_READ, MSGFLAG_READ);
    EXPECT_EQ(flags & MSGFLAG_UNSENT, 0u);
    EXPECT_EQ(p.getBool(PidTagHasAttachments), false);
    EXPECT_GT(*p.getLong(PidTagMessageSize), 100);
}

// The identifiers of a recipient, byte for byte: the search key upper-cases ASCII letters only and
// writes the rest as UTF-8; the one-off entry id holds each text as zero-terminated UTF-16LE.
TEST(ImportEnvelopeTest, RecipientIdentifiersByteForByte) {
    using namespace std::string_literals;
    const std::pair<std::u16string, std::string> keys[] = {
        {u"", "SMTP:\0"s},
        {u"Ann@Example.com", "SMTP:ANN@EXAMPLE.COM\0"s},
        {u"j\u00f6rg@x.de", "SMTP:J\xC3\xB6RG@X.DE\0"s},
        {u"\u00e9", "SMTP:\xC3\xA9\0"s},
    };
    for (const auto& [address, key] : keys) EXPECT_EQ(searchKey(u"SMTP", address), key);
    const std::string id = oneOffEntryId(u"A\u00e9", u"SMTP", u"a@b");
    const std::string texts = "A\0\xE9\0\0\0S\0M\0T\0P\0\0\0a\0@\0b\0\0\0"s;
    ASSERT_EQ(id.size(), 24 + texts.size());
    EXPECT_EQ(id.substr(0, 4), std::string(4, '\0'));
    EXPECT_EQ(id.substr(20, 4), "\0\0\x01\x90"s);
    EXPECT_EQ(id.substr(24), texts);
}

TEST(ImportEnvelopeTest, SenderWithoutDomainHasNoSmtpAddress) {
    const Message m = importMessage(mail({"From: Mail Delivery Subsystem <MAILER-DAEMON>", "Subject: x", "", "Body"}));
    EXPECT_EQ(str(m.props, PidTagSenderEmailAddress), "MAILER-DAEMON");
    EXPECT_EQ(str(m.props, PidTagSentRepresentingEmailAddress), "MAILER-DAEMON");
    EXPECT_FALSE(m.props.getString(PidTagSenderSmtpAddress));
    EXPECT_FALSE(m.props.getString(PidTagSentRepresentingSmtpAddress));
}

// Mailing-list archives write "user at host": the sender and recipients are what RFC 822 parsers read,
// and the transport headers keep the line as written.
TEST(ImportEnvelopeTest, ArchiveAddressesReadAsMailReadersReadThem) {
    const Message m = importMessage(mail(
        {"From: andy at example.com (Andy Grunwald)", "To: goran at domain.com", "Subject: x", "", "Body"}));
    EXPECT_EQ(str(m.props, PidTagSentRepresentingName), "Andy Grunwald");
    EXPECT_EQ(str(m.props, PidTagSentRepresentingEmailAddress), "andy");
    EXPECT_FALSE(m.props.getString(PidTagSentRepresentingSmtpAddress));
    ASSERT_EQ(m.recipients.size(), 1u);
    EXPECT_EQ(str(m.recipients[0], PidTagEmailAddress), "goran");
    EXPECT_EQ(str(m.recipients[0], PidTagDisplayName), "goran at domain.com");
    EXPECT_NE(str(m.props, PidTagTransportMessageHeaders).find("From: andy at example.com (Andy Grunwald)"),
              std::string::npos);
}

TEST(ImportEnvelopeTest, SubjectPrefixRule) {
    struct Case {
        const char16_t* subject;
        const char16_t* prefix;
        const char16_t* normalized;
    };
    const Case cases[] = {
        {u"Re: hello", u"Re: ", u"hello"},     {u"FW:hello", u"FW: ", u"hello"},
        {u"Antw: x", u"Antw: x", nullptr},     {u"12: x", u"", u"12: x"},
        {u"AW:  ", u"AW: ", u""},              {u"hello", u"", u"hello"},
        {u"Sv: Re: x", u"Sv: ", u"Re: x"},     {u"Ä: x", u"Ä: ", u"x"},
    };
    for (const Case& c : cases) {
        const SubjectParts parts = splitSubject(c.subject);
        if (!c.normalized) {  // four letters: no prefix
            EXPECT_EQ(parts.prefix, u"");
            EXPECT_EQ(parts.normalized, c.subject);
            continue;
        }
        EXPECT_EQ(parts.prefix, c.prefix) << u8(c.subject);
        EXPECT_EQ(parts.normalized, c.normalized) << u8(c.subject);
    }
}

TEST(ImportStructureTest, BodiesAndAttachments) {
    const Message m = importMessage(mail({
        "From: a@example.com",
        "Subject: structure",
        "Content-Type: multipart/mixed; boundary=\"outer\"",
        "",
        "--outer",
        "Content-Type: multipart/alternative; boundary=\"alt\"",
        "",
        "--alt",
        "Content-Type: text/plain; charset=utf-8",
        "",
        "Plain text",
        "--alt",
        "Content-Type: multipart/related; boundary=\"rel\"",
        "",
        "--rel",
        "Content-Type: text/html; charset=iso-8859-1",
        "Content-Transfer-Encoding: quoted-printable",
        "",
        "<p>HTML caf=E9 <img src=3D\"cid:logo@x\"></p>",
        "--rel",
        "Content-Type: image/png",
        "Content-ID: <logo@x>",
        "Content-Transfer-Encoding: base64",
        "",
        "iVBORw0KGgo=",
        "--rel--",
        "--alt--",
        "--outer",
        "Content-Type: application/pdf; name=\"report.pdf\"",
        "Content-Disposition: attachment; filename*=UTF-8''Bericht%20%C3%BCber%20alles.pdf",
        "Content-Transfer-Encoding: base64",
        "",
        "JVBERi0=",
        "--outer",
        "Content-Type: text/plain",
        "",
        "An inline footer",
        "--outer--",
    }));
    EXPECT_EQ(str(m.props, PidTagBody), "Plain text");
    EXPECT_EQ(std::string(*m.props.getBinary(PidTagHtml)),
              "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">"
              "<p>HTML caf\xE9 <img src=\"cid:logo@x\"></p>");
    EXPECT_EQ(m.props.getLong(PidTagInternetCodepage), 28591);
    EXPECT_EQ(m.props.getLong(PidTagNativeBody), NATIVE_BODY_HTML);
    ASSERT_EQ(m.attachments.size(), 3u);

    const PropertyBag& logo = m.attachments[0].props;
    EXPECT_EQ(std::string(*logo.getBinary(PidTagAttachDataBinary)), std::string("\x89PNG\r\n\x1A\n", 8));
    EXPECT_EQ(str(logo, PidTagAttachContentId), "logo@x");
    EXPECT_EQ(str(logo, PidTagAttachMimeTag), "image/png");
    EXPECT_EQ(logo.getBool(PidTagAttachmentHidden), true);
    EXPECT_FALSE(logo.has(PidTagAttachLongFilename));
    EXPECT_EQ(str(logo, PidTagDisplayName), "ATT00001.png");

    const PropertyBag& pdf = m.attachments[1].props;
    EXPECT_EQ(str(pdf, PidTagAttachLongFilename), "Bericht über alles.pdf");
    EXPECT_EQ(str(pdf, PidTagAttachFilename), "BERICH~1.PDF");
    EXPECT_EQ(str(pdf, PidTagAttachExtension), ".pdf");
    EXPECT_EQ(str(pdf, PidTagAttachMimeTag), "application/pdf");
    EXPECT_EQ(str(pdf, PidTagAttachDisposition), "attachment");
    EXPECT_EQ(pdf.getLong(PidTagAttachMethod), afByValue);
    EXPECT_EQ(pdf.getLong(PidTagAttachSize), 5);
    EXPECT_EQ(pdf.getLong(PidTagRenderingPosition), -1);
    EXPECT_EQ(pdf.getBool(PidTagAttachmentHidden), false);

    const PropertyBag& footer = m.attachments[2].props;
    EXPECT_EQ(str(footer, PidTagAttachDisposition), "inline");
    EXPECT_EQ(std::string(*footer.getBinary(PidTagAttachDataBinary)), "An inline footer");
    EXPECT_EQ(m.props.getBool(PidTagHasAttachments), true);
}

// A message attached three deep: each level an embedded message with its own subject and body.
std::string nestedMessage(int depth) {
    const std::string level = std::to_string(depth);
    if (depth == 0) return mail({"Subject: level 0", "", "innermost body"});
    return mail({"Subject: level " + level, "Content-Type: multipart/mixed; boundary=\"b" + level + "\"", "", "--b" + level,
                 "Content-Type: text/plain", "", "body " + level, "--b" + level, "Content-Type: message/rfc822", "",
                 nestedMessage(depth - 1), "--b" + level + "--"});
}

TEST(ImportStructureTest, EmbeddedMessagesNest) {
    const Message m = importMessage(nestedMessage(3));
    const Message* level = &m;
    for (int depth = 3; depth > 0; --depth) {
        EXPECT_EQ(str(level->props, PidTagSubject), "level " + std::to_string(depth));
        EXPECT_EQ(str(level->props, PidTagBody), "body " + std::to_string(depth));
        ASSERT_EQ(level->attachments.size(), 1u);
        const Attachment& a = level->attachments[0];
        ASSERT_TRUE(a.isEmbeddedMessage()) << depth;
        EXPECT_EQ(a.props.getLong(PidTagAttachMethod), afEmbeddedMessage);
        EXPECT_EQ(str(a.props, PidTagDisplayName), "level " + std::to_string(depth - 1));
        EXPECT_EQ(str(a.props, PidTagAttachMimeTag), "message/rfc822");
        level = a.embedded.get();
    }
    EXPECT_EQ(str(level->props, PidTagBody), "innermost body\r\n");

    // Beyond the depth limit the message is kept as a file attachment.
    ImportOptions shallow;
    shallow.maxEmbeddingDepth = 1;
    const Message cut = importMessage(nestedMessage(3), shallow);
    ASSERT_TRUE(cut.attachments[0].isEmbeddedMessage());
    const Attachment& kept = cut.attachments[0].embedded->attachments.at(0);
    EXPECT_FALSE(kept.isEmbeddedMessage());
    EXPECT_NE(std::string(*kept.props.getBinary(PidTagAttachDataBinary)).find("Subject: level 1"), std::string::npos);
}

TEST(ImportStructureTest, DigestMembersAreMessages) {
    const Message m = importMessage(mail({"Subject: digest", "Content-Type: multipart/digest; boundary=d", "", "--d", "",
                                          "Subject: first", "", "one", "--d", "", "Subject: second", "", "two", "--d--"}));
    ASSERT_EQ(m.attachments.size(), 2u);
    EXPECT_EQ(str(m.attachments[1].embedded->props, PidTagSubject), "second");
}

// Bare LF line breaks become CR LF in place, wherever they stand; mixed breaks take the general path.
TEST(ImportLineEndTest, LineBreaksBecomeCrLf) {
    const std::pair<std::string, std::string> cases[] = {
        {"Subject: a\n\nbody\n", "Subject: a\r\n\r\nbody\r\n"},
        {"Subject: a\n\n\n\nx", "Subject: a\r\n\r\n\r\n\r\nx"},
        {"Subject: a\n\nno break at the end", "Subject: a\r\n\r\nno break at the end"},
        {"Subject: a\r\n\nmixed\rcr\n", "Subject: a\r\n\r\nmixed\r\ncr\r\n"},
        {"Subject: a\r\n\r\nalready\r\n", "Subject: a\r\n\r\nalready\r\n"},
        {"From a@b Mon\nSubject: a\n\nbody\n", "Subject: a\r\n\r\nbody\r\n"},
        {">From a@b Mon\nSubject: a\n\nbody", "Subject: a\r\n\r\nbody"},
        {"From a@b Mon\r\nSubject: a\n\nbody\n", "Subject: a\r\n\r\nbody\r\n"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(store::import::prepareMessageText(in), out) << in;
    std::string big(100000, 'x');
    for (std::size_t i = 7; i < big.size(); i += 13) big[i] = '\n';
    std::string expected;
    for (char c : big) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(store::import::prepareMessageText("Subject: b\n\n" + big), "Subject: b\r\n\r\n" + expected);
}

// An LF message loses its envelope line and gets its CRs in the same move, whether it has fewer,
// as many or more lines than the envelope line has bytes, and lines long enough to be moved in whole
// blocks: it reads as the same message written with CR LF and no envelope line does.
TEST(ImportLineEndTest, EnvelopeLineDroppedWhileCrsGoIn) {
    std::mt19937 random(11);
    const std::string envelopes[] = {"From a@b Mon Jan  1 00:00:00 2024\n", ">From x y\n",
                                     "From " + std::string(300, 'e') + " 2024\n", ""};
    for (int round = 0; round < 400; ++round) {
        std::string lf = "Subject: s\n\n";
        const std::size_t lines = random() % 60;
        for (std::size_t i = 0; i < lines; ++i) {
            const unsigned pick = random() % 10;  // empty, long (whole 32-byte blocks) or short lines
            const std::size_t length = pick == 0 ? 0 : pick == 1 ? 200 + random() % 300 : random() % 90;
            lf += std::string(length, static_cast<char>('a' + i % 26)) + '\n';
        }
        if (random() % 2) lf += "no line end";
        std::string crlf;
        for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        const std::string& envelope = envelopes[round % 4];
        ASSERT_EQ(prepareMessageText(envelope + lf), prepareMessageText(crlf)) << round;
    }
}

TEST(ImportLineEndTest, LfAndCrMessagesReadLikeCrLf) {
    const std::string crlf = nestedMessage(2);
    std::string lf, cr;
    for (char c : crlf) {
        if (c != '\r') lf.push_back(c);
        if (c != '\n') cr.push_back(c);
    }
    for (const std::string* text : {&lf, &cr}) {
        const Message m = importMessage(*text);
        EXPECT_EQ(str(m.props, PidTagSubject), "level 2");
        ASSERT_EQ(m.attachments.size(), 1u);
        EXPECT_EQ(str(m.attachments[0].embedded->props, PidTagBody), "body 1");
    }
}

// An attachment keeps the bytes a mail reader saves from the mailbox: a part that is neither text nor
// transfer-encoded keeps the bare LF line ends of a mailbox written with them (text reads the same
// either way and keeps CR LF); uuencoded content is decoded. The message is written with CR LF and
// the line ends are then replaced with those of the case.
TEST(ImportLineEndTest, AttachmentsKeepTheBytesOfTheMailbox) {
    struct Case {
        const char* type;
        const char* encoding;
        const char* lineEnd;  // of the whole message
        std::string content;  // the part's lines as written, joined by CR LF
        std::string stored;
    };
    const Case cases[] = {
        {"application/pgp-signature", "7bit", "\n", "-----BEGIN-----\r\nabc\r\n-----END-----", "-----BEGIN-----\nabc\n-----END-----"},
        {"application/xml", "8bit", "\n", "<a>\xC3\xA4</a>", "<a>\xC3\xA4</a>"},
        {"application/xml", "", "\n", "<a/>\r\n<b/>", "<a/>\n<b/>"},
        {"application/xml", "8bit", "\r\n", "<a/>\r\n<b/>", "<a/>\r\n<b/>"},
        {"application/octet-stream", "7-bit", "\n", "raw\r\nbytes", "raw\nbytes"},
        {"application/octet-stream", "base64", "\n", "YWJj!ZGVm \r\n*Z2hp", "abcdefghi"},
        {"text/plain", "7bit", "\n", "one\r\ntwo", "one\r\ntwo"},
        {"application/octet-stream", "base64", "\n", "YQpi", "a\nb"},
        {"application/octet-stream", "x-uuencode", "\n", "begin 644 u.txt\r\n#86)C\r\n`\r\nend", "abc"},
        {"application/octet-stream", "x-uuencode", "\r\n", "begin 644 u.txt\r\n,:&5L;&\\@=V]R;&0*\r\n`\r\nend", "hello world\n"},
        {"application/octet-stream", "x-uuencode", "\n", "no begin line", "no begin line"},
    };
    for (const Case& c : cases) {
        std::string text = mail({"Subject: s", "Content-Type: multipart/mixed; boundary=\"b\"", "", "--b", "", "body", "--b"});
        text += std::string("Content-Type: ") + c.type + "\r\nContent-Disposition: attachment; filename=\"f\"\r\n";
        if (*c.encoding) text += std::string("Content-Transfer-Encoding: ") + c.encoding + "\r\n";
        text += "\r\n" + c.content + "\r\n--b--\r\n";
        std::string source;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text.compare(i, 2, "\r\n") == 0) {
                source += c.lineEnd;
                ++i;
            } else {
                source += text[i];
            }
        }
        const Message m = importMessage(source);
        ASSERT_EQ(m.attachments.size(), 1u) << c.type;
        EXPECT_EQ(std::string(*m.attachments[0].props.getBinary(PidTagAttachDataBinary)), c.stored)
            << c.type << " " << c.encoding << " " << (c.lineEnd[0] == '\r' ? "CR LF" : "LF");
    }
}

// The last part of a multipart without its close delimiter ends where the message ends, less the line
// end a delimiter would have taken, whatever the mailbox's line ends (a CR LF mailbox's message ends
// with the CR of the blank line before the next "From " line).
TEST(ImportLineEndTest, AnUnterminatedLastPartEndsWithTheMessage) {
    const std::string head = "Subject: s\nContent-Type: multipart/mixed; boundary=\"b\"\n\n--b\n\nbody\n--b\n"
                             "Content-Type: text/plain; name=\"t.txt\"\n\nunterminated\n";
    std::string crlf;
    for (char c : head) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    for (const std::string& text : {head, head + "\n", crlf, crlf + "\r"}) {
        const Message m = importMessage(text);
        ASSERT_EQ(m.attachments.size(), 1u);
        const std::string stored(*m.attachments[0].props.getBinary(PidTagAttachDataBinary));
        EXPECT_EQ(stored, text == head + "\n" ? "unterminated\r\n" : "unterminated") << text;
    }
}

// Multiparts whose boundary the MIME library does not read are split by the import: an empty
// boundary, one in RFC 2231 sections, one in a Content-Type written as an encoded word. A part whose
// Content-Type only mentions no boundary stays one body.
TEST(ImportMalformedTest, MultipartsTheLibraryCannotSplitAreRepaired) {
    struct Case {
        const char* contentType;
        const char* delimiter;  // without the closing "--"
        std::size_t attachments;
    };
    const Case cases[] = {
        {"multipart/mixed; boundary=\"\"", "--", 1},
        {"multipart/mixed; BOUNDARY*0=\"sec\"; boundary*1=\"tions\"", "--sections", 1},
        {"=?us-ascii?Q?multipart/mixed=3B_boundary=3D=22ew=22?=", "--ew", 1},
        {"text/plain; format=flowed", "--", 0},
    };
    for (const Case& c : cases) {
        const std::string d = c.delimiter;
        const Message m = importMessage(mail({"Subject: s", std::string("Content-Type: ") + c.contentType, "", d, "",
                                              "body", d, "Content-Type: text/plain; name=\"a.txt\"", "", "attached",
                                              d + "--"}));
        EXPECT_EQ(m.attachments.size(), c.attachments) << c.contentType;
        if (c.attachments == 1) {
            EXPECT_EQ(str(m.props, PidTagBody), "body") << c.contentType;
            EXPECT_EQ(str(m.attachments[0].props, PidTagAttachLongFilename), "a.txt") << c.contentType;
        }
    }
}

TEST(ImportMalformedTest, DegradesWithoutFailing) {
    struct Case {
        std::string bytes;
        const char* subject;
        const char* body;  // nullptr: no plain body expected
    };
    const Case cases[] = {
        {"", "", ""},
        {"Subject: no body", "no body", ""},
        {"Subject: no blank line\r\nFrom: a@example.com", "no blank line", ""},
        {"From sender Fri Mar  1 12:00:00 2024\nSubject: after envelope\n\nbody", "after envelope", "body"},
        {">From sender Fri Mar  1 12:00:00 2024\nSubject: quoted envelope\n\nbody", "quoted envelope", "body"},
        {"From  : Obsolete <o@example.com>\nSubject  : spaced\n\nbody", "spaced", "body"},
        {"Subject: header stops\nthis line is no field\nmore", "header stops", "this line is no field\r\nmore"},
        {"Subject: bad multipart\nContent-Type: multipart/mixed\n\nno boundary at all", "bad multipart", nullptr},
        {"Subject: truncated\nContent-Type: multipart/mixed; boundary=x\n\n--x\nContent-Type: text/plain\n\ncut off",
         "truncated", "cut off"},
        {"Subject: bad base64\nContent-Transfer-Encoding: base64\n\n!!!!", "bad base64", ""},
        {std::string("Subject: nul\0byte =?utf-8?q?end=00?=\n\nbody\0with nul", 51), "nulbyte end", "bodywith nul"},
        {"\x00\x01\x02\xFF\xFE binary garbage", "", nullptr},
        {"Subject: =?utf-8?b?broken", "=?utf-8?b?broken", ""},
        {"Content-Type: text/plain; charset=\"no-such-charset\"\n\ncaf\xE9", "", "café"},
        {"Date:2--U", "", ""},  // found by the fuzzer: the date parser threw
    };
    for (const Case& c : cases) {
        const Message m = importMessage(c.bytes);
        EXPECT_EQ(str(m.props, PidTagMessageClass), "IPM.Note");
        EXPECT_EQ(str(m.props, PidTagSubject).substr(0, std::strlen(c.subject)), c.subject) << c.bytes;
        if (c.body) {
            EXPECT_EQ(u8(m.props.getString(PidTagBody).value_or(u"")), c.body) << c.bytes;
        }
    }
    const std::string longLine = "Subject: " + std::string(1 << 20, 'x') + "\r\n\r\nbody";
    EXPECT_EQ(importMessage(longLine).props.getString(PidTagSubject)->size(), 1u << 20);
    // The transport headers leave out zero bytes, in UTF-8 and in other header text alike.
    EXPECT_EQ(str(importMessage(std::string("Subject: a\0b\r\n\r\nx", 17)).props, PidTagTransportMessageHeaders),
              "Subject: ab\r\n\r\n");
    EXPECT_EQ(str(importMessage(std::string("Subject: \xE9\0b\r\n\r\nx", 17)).props, PidTagTransportMessageHeaders),
              "Subject: \xC3\xA9" "b\r\n\r\n");
}

// Input built to make a careless reader quadratic is read in about linear time (a hang would show as
// the test's timeout).
TEST(ImportMalformedTest, HostileHeadersStayLinear) {
    auto repeat = [](std::string_view piece, std::size_t times) {
        std::string out;
        for (std::size_t i = 0; i < times; ++i) out.append(piece);
        return out;
    };
    const std::string words = "Subject: " + repeat("=?utf-8?q?", 100000) + "?=\r\n";
    const std::string angles = "To: " + repeat("<\"", 100000) + "\r\n";
    const std::string envelopes = repeat("From x Fri Mar  1 12:00:00 2024\r\n", 50000) + "Subject: after\r\n";
    const std::string names = repeat("X-Field : value\r\n", 50000);
    for (const std::string* header : {&words, &angles, &envelopes, &names}) {
        const Message m = importMessage(*header + "\r\nbody");
        EXPECT_EQ(str(m.props, PidTagBody), "body");
    }
    EXPECT_EQ(str(importMessage(envelopes + "\r\nbody").props, PidTagSubject), "after");
}

TEST(ImportFileTest, MissingFileIsReported) {
    std::string error;
    EXPECT_FALSE(importMessageFile(u"/nonexistent/kelva/1.eml", &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

}  // namespace

TEST(ImportAddressTest, LongRunsWithoutCommasKeepEveryMailbox) {
    // Angle addresses without commas in between, each with a name, and an address followed by a long
    // run of colons (not a group: the colons belong to the address as written).
    std::string names;
    for (int n = 0; n < 20000; ++n) names += "N" + std::to_string(n) + " <a" + std::to_string(n) + "@example.com> ";
    const auto list = parseAddressList(names);
    ASSERT_EQ(list.size(), 20000u);
    EXPECT_EQ(u8(list[19999].name), "N19999");
    EXPECT_EQ(u8(list[19999].address), "a19999@example.com");
    const auto colons = parseAddressList("x@example.com " + std::string(20000, ':') + ", y@example.com");
    ASSERT_EQ(colons.size(), 2u);
    EXPECT_EQ(u8(colons[0].address), "x@example.com" + std::string(20000, ':'));
    EXPECT_EQ(u8(colons[1].address), "y@example.com");
}
