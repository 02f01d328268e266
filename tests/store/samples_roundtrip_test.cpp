// Round trips that need nothing outside the repository: the bundled sample mailboxes and small
// messages in each supported charset are made into MSG, RTF and HTML files as the file export makes
// them, and read back with msgconvert and olefile, unrtf and Python's HTML parser
// (roundtrip_check.py). Every file must give back what went in. Skips itself without python3-olefile,
// msgconvert or unrtf. KELVA_ROUNDTRIP_KEEP=DIR keeps the files there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>

#include "oracle_tools.h"
#include "platform/paths.h"
#include "scan/message_reader.h"
#include "store/import/message_import.h"
#include "store/mapi/property_tags.h"
#include "store/msg/msg_writer.h"
#include "store/session/native_session.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using store_test::shellQuote;

std::u16string u16(const fs::path& p) { return platform::fromNativePath(p.string()); }

struct Sample {
    std::string name;
    std::string bytes;
};

std::string crlf(std::initializer_list<std::string_view> lines) {
    std::string out;
    for (auto line : lines) (out += line) += "\r\n";
    return out;
}

// One message per charset: display names, subject and body in that charset.
std::vector<Sample> charsetMessages() {
    struct Case {
        const char* name;
        const char* charset;
        const char* word;  // an encoded word for names and subject
        std::string body;  // raw bytes of the charset
    };
    const Case cases[] = {
        {"utf8", "UTF-8", "=?UTF-8?B?R3LDvMOfZSDigqwg5pel5pys?=", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xE6\x97\xA5\xE6\x9C\xAC"},
        {"latin1", "ISO-8859-1", "=?iso-8859-1?Q?Gr=FC=DFe_caf=E9?=", "Gr\xFC\xDF" "e caf\xE9"},
        {"latin9", "ISO-8859-15", "=?ISO-8859-15?Q?Preis_=A4_5?=", "Preis \xA4 5 \xBD"},
        {"cp1252", "windows-1252", "=?windows-1252?Q?=93quoted=94_=80?=", "\x93quoted\x94 \x80 \x85"},
        {"koi8r", "KOI8-R", "=?koi8-r?B?8NLJ18XU?=", "\xF0\xD2\xC9\xD7\xC5\xD4, \xED\xC9\xD2"},
        {"iso2022jp", "ISO-2022-JP", "=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=", "\x1B$BF|K\\8l\x1B(B text"},
        {"sjis", "Shift_JIS", "=?Shift_JIS?B?k/qWe4zq?=", "\x93\xFA\x96\x7B\x8C\xEA text"},
    };
    std::vector<Sample> out;
    for (const Case& c : cases) {
        out.push_back({std::string("charset-") + c.name,
                       crlf({std::string("From: ") + c.word + " <from@example.com>",
                             std::string("To: ") + c.word + " <to@example.com>, Plain <plain@example.com>",
                             std::string("Cc: ") + c.word + " <cc@example.com>",
                             std::string("Subject: ") + c.word, "Date: Mon, 02 Mar 2026 10:11:12 +0100",
                             "Message-ID: <" + std::string(c.name) + "@example.com>", "MIME-Version: 1.0",
                             std::string("Content-Type: text/plain; charset=\"") + c.charset + "\"", "", c.body})});
    }
    // Attachment names in charsets, an HTML body with active content, and a message inside a message.
    out.push_back({"structure",
                   crlf({"From: Ann <ann@example.com>", "To: Bob <bob@example.com>",
                         "Subject: =?KOI8-R?B?8NLJ18XU?= with parts", "Date: Tue, 03 Mar 2026 08:00:00 +0000",
                         "MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=outer", "", "--outer",
                         "Content-Type: text/html; charset=ISO-8859-1", "",
                         "<html><body><p>Caf\xE9 <b>cr\xE8me</b></p><script>alert(1)</script>"
                         "<a href=\"javascript:x()\" onclick=\"y()\">link</a></body></html>",
                         "--outer", "Content-Type: application/octet-stream",
                         "Content-Disposition: attachment; filename*=UTF-8''%D0%BE%D1%82%D1%87%D1%91%D1%82.bin",
                         "Content-Transfer-Encoding: base64", "", "AAECAwQFBgcICQ==", "--outer",
                         "Content-Type: text/plain; name=\"=?Shift_JIS?B?k/qWe4zqLnR4dA==?=\"",
                         "Content-Disposition: attachment", "", "line one", "line two", "--outer",
                         "Content-Type: message/rfc822", "", "From: Inner <inner@example.com>",
                         "Subject: =?UTF-8?Q?Inner_=C3=A9t=C3=A9?=", "Date: Mon, 02 Mar 2026 07:00:00 +0000", "",
                         "Inner body.", "--outer--"})});
    return out;
}

std::vector<Sample> sampleMessages() {
    std::vector<Sample> out;
    const fs::path samples = testing_support::sourceDir() / "samples";
    for (const auto& [file, imm] : {std::pair{"inbox.mbox", false}, {"imm/Mailbox.imm", true}}) {
        scan::CMboxFile mbox;
        const std::u16string path = u16(samples / file);
        if (!mbox.file.open(path)) continue;
        if (imm) {
            mbox.scanMimeVersion(path);
        } else {
            mbox.scanFromLines();
        }
        for (std::uint64_t k = 0; k < mbox.messageCount(); ++k) {
            auto bytes = scan::readMessage(mbox, k, true);
            if (bytes) out.push_back({std::string(imm ? "imm-" : "mbox-") + std::to_string(k + 1), std::move(*bytes)});
        }
    }
    return out;
}

TEST(SamplesRoundTrip, ItemFilesGiveBackWhatWentIn) {
    const auto python = store_test::pythonWithOlefile();
    if (!python || !store_test::hasProgram("msgconvert") || !store_test::hasProgram("unrtf"))
        GTEST_SKIP() << "python3-olefile, msgconvert or unrtf is missing";
    testing_support::TempDir scratch;
    const char* keep = std::getenv("KELVA_ROUNDTRIP_KEEP");
    const fs::path temp = (keep && *keep ? fs::path(keep) : scratch.path()) / "samples";
    fs::create_directories(temp / "src");
    fs::create_directories(temp / "out");
    std::vector<Sample> messages = sampleMessages();
    ASSERT_GE(messages.size(), 9u) << "the sample mailboxes were not found";
    for (auto& m : charsetMessages()) messages.push_back(std::move(m));

    store::session::NativeSession session;
    session.openStore(u16(temp / "Tartmp.pst"), std::nullopt, std::nullopt);
    auto items = session.defaultFolder(library::kDefaultFolderImport)->items();
    std::string names;
    for (const auto& m : messages) {
        const fs::path eml = temp / "src" / (m.name + ".eml");
        testing_support::writeFile(eml, m.bytes);
        auto item = items->add();
        ASSERT_TRUE(item->importFile(u16(eml), library::kImportRfc822)) << m.name;
        item->markSentAndRead();
        item->save();
        for (const auto& [type, extension] : {std::pair{library::kSaveAsMsg, ".msg"}, {library::kSaveAsRtf, ".rtf"},
                                              {library::kSaveAsHtml, ".html"}}) {
            ASSERT_TRUE(item->saveAs(u16(temp / "out" / (m.name + extension)), type)) << m.name << extension;
        }
        item->remove(1);
        session.defaultFolder(library::kDefaultFolderDeletedItems)->purge(true);
        // Without the transport headers msgconvert rebuilds the header from the properties alone.
        auto message = store::import::importMessage(m.bytes);
        message.props.remove(store::mapi::PidTagTransportMessageHeaders);
        ASSERT_TRUE(store::msg::writeMsgFile(message, u16(temp / "out" / (m.name + ".props.msg")))) << m.name;
        names += " " + shellQuote(m.name);
    }

    const fs::path script = testing_support::sourceDir() / "tests" / "store" / "roundtrip_check.py";
    const auto result = store_test::runCommand("TZ=UTC " + *python + " " + shellQuote(script.string()) + " " +
                                               shellQuote((temp / "src").string()) + " " +
                                               shellQuote((temp / "out").string()) + names + " 2>/dev/null");
    ASSERT_EQ(result.status, 0) << result.output;
    const auto summary = nlohmann::json::parse(result.output);
    std::cout << "sample round trips, passed of checked: " << summary.at("passed").dump() << " of "
              << summary.at("checked").dump() << "\n";
    for (const char* format : {"msg", "props.msg", "rtf", "html"}) {
        EXPECT_EQ(summary.at("checked").at(format), messages.size()) << format;
        EXPECT_EQ(summary.at("passed").at(format), summary.at("checked").at(format)) << format;
    }
    EXPECT_TRUE(summary.at("failures").empty()) << summary.at("failures").dump(1);
}

}  // namespace
