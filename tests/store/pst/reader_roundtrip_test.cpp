#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/paths.h"
#include "store/pst/messaging/message_store.h"
#include "store/pst/reader_support.h"
#include "store/pst/sample_messages.h"
#include "support/test_support.h"

namespace store::pst {
namespace {

using testing_support::TempDir;
using namespace store::pst::testing;
namespace fs = std::filesystem;

std::u16string u16(const fs::path& p) { return platform::fromNativePath(p.string()); }

// Writes the sample store: Top of Personal Folders / Inbox.mbox (and a nested folder) with messages
// of every kind, in two sessions: the store is closed and opened again half-way.
void writeSampleStore(const fs::path& path) {
    {
        auto first = MessageStore::create(u16(path), kDefaultStoreName).value();
        ASSERT_TRUE(first);
        const FolderId inbox = first->createFolder(first->topOfPersonalFolders(), u"Inbox.mbox");
        SampleOptions plain;
        plain.subject = u"Plain message";
        ASSERT_TRUE(first->saveMessage(inbox, sampleMessage(plain)));
        ASSERT_TRUE(first->close());
    }
    auto store = MessageStore::open(u16(path)).value();
    ASSERT_TRUE(store);
    const FolderId inbox = *store->findFolder(store->topOfPersonalFolders(), u"Inbox.mbox");
    const FolderId nested = store->createFolder(store->createFolder(store->topOfPersonalFolders(), u"mail"), u"Nested.mbox");
    SampleOptions html;
    html.subject = u"HTML message";
    html.html = "<html><body><p>Hello <b>HTML</b> world</p></body></html>";
    ASSERT_TRUE(store->saveMessage(inbox, sampleMessage(html)));
    SampleOptions unicode;
    unicode.subject = u"Übergröße – Привет – 日本語";
    unicode.body = u"Ünïcödé body: Привет мир, 日本語のテキスト";
    ASSERT_TRUE(store->saveMessage(inbox, sampleMessage(unicode)));
    SampleOptions attachments;
    attachments.subject = u"With attachments";
    attachments.attachmentSizes = {10, 9000, 3 * 1024 * 1024};
    ASSERT_TRUE(store->saveMessage(inbox, sampleMessage(attachments)));
    SampleOptions embedded;
    embedded.subject = u"With embedded message";
    embedded.embedded = true;
    ASSERT_TRUE(store->saveMessage(nested, sampleMessage(embedded)));
    SampleOptions longBody;
    longBody.subject = u"Long body";
    longBody.body = std::u16string(50000, u'x');
    ASSERT_TRUE(store->saveMessage(nested, sampleMessage(longBody)));
    ASSERT_TRUE(store->close());
}

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(PstReaders, StructuralCheckFindsNoError) {
    TempDir dir;
    writeSampleStore(dir / "s.pst");
    expectStructurallySound(dir / "s.pst");
}

TEST(PstReaders, PffinfoReportsNoError) {
    if (!haveTool("pffinfo")) GTEST_SKIP() << "pffinfo not installed";
    TempDir dir;
    writeSampleStore(dir / "s.pst");
    const ToolRun run = runTool("pffinfo " + quoted(dir / "s.pst"));
    if (const char* keep = std::getenv("KELVA_PST_KEEP")) fs::copy_file(dir / "s.pst", keep, fs::copy_options::overwrite_existing);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("rror"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Personal Storage Tables"), std::string::npos) << run.output;
}

// One line per message and reader from the oracle's facts: reader, folder, subject, sender, To, Cc,
// the start of the body and the attachments (name:size, or the subject of an embedded message).
constexpr const char* kSummarise = R"PY(
import json, sys
facts = json.load(open(sys.argv[1]))
for reader in sorted(facts):
    for folder, items in sorted(facts[reader]['folders'].items()):
        for m in items:
            addrs = lambda k: ','.join(sorted(a['addr'] for a in (m.get(k) or [])))
            atts = ','.join(sorted((a['embedded']['subject'] if a.get('embedded') else '%s:%s' % (a.get('filename'), a.get('size'))) for a in m.get('attachments', [])))
            print('|'.join([reader, folder, m.get('subject') or '', addrs('from'), addrs('to'), addrs('cc'), (m.get('body_text') or '')[:24], atts]))
)PY";

TEST(PstReaders, OracleFactsMatchWhatWasWritten) {
    const fs::path oracle = fs::path(std::getenv("KELVA_SHARED_DIR") ? std::getenv("KELVA_SHARED_DIR") : "") / "tools/oracle/pst_facts.py";
    if (!fs::exists(oracle) || !haveTool("readpst") || !haveTool("pffexport") || !haveTool("/usr/bin/python3"))
        GTEST_SKIP() << "oracle or readers missing";
    TempDir dir;
    writeSampleStore(dir / "s.pst");
    testing_support::writeFile(dir / "summarise.py", kSummarise);
    const ToolRun facts = runTool("/usr/bin/python3 " + quoted(oracle) + " " + quoted(dir / "s.pst") +
                                  " --readers readpst,pffexport > " + quoted(dir / "facts.json"));
    ASSERT_EQ(facts.status, 0) << facts.output;
    const ToolRun run = runTool("/usr/bin/python3 " + quoted(dir / "summarise.py") + " " + quoted(dir / "facts.json"));
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string pffTo = "bob@example.com|carl@example.org|";
    const std::string readpstTo = "bob|carl|";  // readpst builds To and Cc from the display lists
    for (const std::string& reader : {std::string("pffexport"), std::string("readpst")}) {
        const std::string to = reader == "readpst" ? readpstTo : pffTo;
        for (const std::string& line : {
                 reader + "|/Inbox.mbox|Plain message|ann@example.com|" + to + "Plain body text|",
                 reader + "|/Inbox.mbox|HTML message|ann@example.com|" + to + "Plain body text|",
                 reader + "|/Inbox.mbox|Übergröße – Привет – 日本語|ann@example.com|" + to + "Ünïcödé body: Привет мир|",
                 reader + "|/Inbox.mbox|With attachments|ann@example.com|" + to +
                     "Plain body text|file0.bin:10,file1.bin:9000,file2.bin:3145728",
                 reader + "|/mail/Nested.mbox|With embedded message|ann@example.com|" + to + "Plain body text|Inner message",
                 reader + "|/mail/Nested.mbox|Long body|ann@example.com|" + to + "xxxxxxxxxxxxxxxxxxxxxxxx|"})
            EXPECT_NE(run.output.find(line + "\n"), std::string::npos) << line << "\n---\n" << run.output;
    }
}

TEST(PstReaders, ReadpstListsEveryMessage) {
    if (!haveTool("readpst")) GTEST_SKIP() << "readpst not installed";
    TempDir dir;
    writeSampleStore(dir / "s.pst");
    fs::create_directories(dir / "out");
    const ToolRun run = runTool("readpst -j 0 -e -D -b -8 -q -o " + quoted(dir / "out") + " " + quoted(dir / "s.pst"));
    ASSERT_EQ(run.status, 0) << run.output;
    std::string all;
    int messages = 0;
    for (const auto& file : testing_support::filesUnder(dir / "out")) {
        all += readText(file);
        ++messages;
    }
    EXPECT_EQ(messages, 6) << all.substr(0, 2000);
    for (const char* text : {"Subject: Plain message", "HTML message", "Hello <b>HTML</b> world", "ann@example.com",
                             "Bob Receiver", "file2.bin", "Inner message", "Body of the inner message"})
        EXPECT_NE(all.find(text), std::string::npos) << text;
}

TEST(PstReaders, PffexportListsEveryMessage) {
    if (!haveTool("pffexport")) GTEST_SKIP() << "pffexport not installed";
    TempDir dir;
    writeSampleStore(dir / "s.pst");
    const ToolRun run = runTool("cd " + quoted(dir.path()) + " && pffexport -m all -f all -q -t out s.pst");
    ASSERT_EQ(run.status, 0) << run.output;
    int messages = 0;
    std::string all;
    std::uintmax_t largest = 0;
    for (const auto& file : testing_support::filesUnder(dir / "out.export")) {
        if (file.filename() == "Message.txt") ++messages;
        if (file.filename() == "OutlookHeaders.txt" || file.filename() == "Recipients.txt" ||
            file.filename() == "Message.txt")
            all += readText(file);
        largest = std::max(largest, fs::file_size(file));
    }
    EXPECT_GE(messages, 6) << all.substr(0, 3000);
    EXPECT_EQ(largest, 3u * 1024 * 1024);
    for (const char* text : {"Plain message", "bob@example.com", "Carl Copy", "Plain body text"})
        EXPECT_NE(all.find(text), std::string::npos) << text;
}

}  // namespace
}  // namespace store::pst
