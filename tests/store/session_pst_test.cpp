// The PST export's use of the session: a PST file created, filled through folders and items, closed at
// log-off, and appended to when opened again.
#include <gtest/gtest.h>

#include "cfb_reader.h"
#include "oracle_tools.h"
#include "platform/paths.h"
#include "store/library/library_calls.h"
#include "store/mapi/property_tags.h"
#include "store/pst/faulty_io.h"
#include "store/pst/messaging/message_store.h"
#include "store/session/native_session.h"
#include "store/stop_request.h"
#include "support/test_support.h"

using library::callGuarded;

namespace {

namespace fs = std::filesystem;

std::u16string u16(const fs::path& p) { return platform::fromNativePath(p.string()); }

// Imports the file into the folder the PST export would use and saves it.
void importInto(library::Session& session, const std::u16string& folderPath, const fs::path& eml) {
    auto folder = session.folderByPath(folderPath);
    auto item = folder->items()->add();
    item->importFile(u16(eml), library::kImportRfc822);
    item->markSentAndRead();
    item->save();
}

TEST(SessionPstTest, CreatesFillsClosesAndAppends) {
    testing_support::TempDir dir;
    testing_support::writeFile(dir / "1.eml", "From: a@example.com\r\nSubject: first\r\n\r\nbody one\r\n");
    testing_support::writeFile(dir / "2.eml", "From: a@example.com\r\nSubject: second\r\n\r\nbody two\r\n");
    const std::u16string pst = u16(dir / "Inbox.mbox.pst");
    auto session = std::make_shared<store::session::NativeSession>();

    for (const char* eml : {"1.eml", "2.eml"}) {
        auto store = callGuarded(session, [&](auto& s) { return s.openStore(pst, 1, std::u16string(u"Personal Folders")); });
        ASSERT_TRUE(store) << eml;
        auto top = callGuarded(store, [](auto& s) { return s.topFolder(); });
        const std::u16string topPath = callGuarded(top, [](auto& f) { return f.path(); });
        EXPECT_EQ(topPath, u"\\\\Personal Folders");
        auto subfolders = callGuarded(top, [](auto& f) { return f.subfolders(); });
        if (!callGuarded(subfolders, [](auto& f) { return f.find(u"Inbox.mbox"); })) {
            ASSERT_TRUE(callGuarded(subfolders, [](auto& f) { return f.add(u"Inbox.mbox"); }));
        }
        importInto(*session, topPath + u"\\Inbox.mbox", dir / eml);
        callGuarded(session, [](auto& s) { s.logOff(); });
        EXPECT_FALSE(session->loggedOn());
    }

    auto written = store::pst::MessageStore::open(pst).value();
    ASSERT_TRUE(written);
    auto folder = written->findFolder(written->topOfPersonalFolders(), u"Inbox.mbox");
    ASSERT_TRUE(folder);
    EXPECT_EQ(written->messageCount(*folder), 2u);
}

TEST(SessionPstTest, AFileThatIsNoPstIsLeftAlone) {
    testing_support::TempDir dir;
    testing_support::writeFile(dir / "notes.pst", "not a PST file");
    auto session = std::make_shared<store::session::NativeSession>();
    EXPECT_FALSE(callGuarded(session, [&](auto& s) { return s.openStore(u16(dir / "notes.pst"), 1, std::nullopt); }));
    EXPECT_EQ(testing_support::readFile(dir / "notes.pst"), "not a PST file");
    EXPECT_FALSE(session->loggedOn());
}

TEST(SessionPstTest, TheStoreTellsWhichSavedMessagesAFailedWriteLost) {
    using testing_support::FaultyIo;
    struct Case {
        FaultyIo::Call call;
        int code;
        bool savesSucceed;  // the disk fails while saving, or only at the final commit
    };
    for (const Case& c : {Case{FaultyIo::Call::Write, ENOSPC, false}, Case{FaultyIo::Call::Sync, EIO, true}}) {
        SCOPED_TRACE(c.code);
        testing_support::TempDir dir;
        testing_support::writeFile(dir / "1.eml", "From: a@example.com\r\nSubject: one\r\n\r\nbody\r\n");
        const std::u16string pst = u16(dir / "Inbox.mbox.pst");
        auto session = std::make_shared<store::session::NativeSession>();
        FaultyIo io(c.call, 1, c.code);
        auto store = callGuarded(session, [&](auto& s) { return s.openStore(pst, 1, std::u16string(u"Personal Folders")); });
        ASSERT_TRUE(store);
        auto top = callGuarded(store, [](auto& s) { return s.topFolder(); });
        auto items = callGuarded(top, [](auto& f) { return f.items(); });
        io.arm();
        for (int i = 0; i < 2; ++i) {
            auto item = callGuarded(items, [](auto& list) { return list.add(); });
            EXPECT_TRUE(callGuarded(item, [&](auto& it) { return it.importFile(u16(dir / "1.eml"), library::kImportRfc822); }));
            EXPECT_EQ(callGuarded(item, [](auto& it) { return it.save(); }), c.savesSucceed);
        }
        library::SaveStatus status = store->saveStatus();
        EXPECT_EQ(status.saved, c.savesSucceed ? 2u : 0u);
        EXPECT_EQ(status.kept, 0u);
        EXPECT_EQ(status.failure.empty(), c.savesSucceed);
        callGuarded(session, [](auto& s) { s.logOff(); });
        status = store->saveStatus();  // after the close
        EXPECT_EQ(status.saved, c.savesSucceed ? 2u : 0u);
        EXPECT_EQ(status.kept, 0u);
        EXPECT_NE(status.failure.find(c.code == EIO ? u"Input/output error" : u"No space left on device"), std::u16string::npos);
        // The file stays as first committed: the default folders, none of the messages.
        auto written = store::pst::MessageStore::open(pst).value();
        ASSERT_TRUE(written);
        EXPECT_TRUE(written->subfolders(written->topOfPersonalFolders()).size() == 1u);  // Deleted Items
    }
}

// A message with many recipients: "Name N <rN@example.com>" for N below `count`, in To.
std::string manyRecipientsMessage(int count) {
    std::string text = "From: a@example.com\r\nSubject: many\r\nTo: ";
    for (int n = 0; n < count; ++n) {
        if (n > 0) text += ",\r\n ";
        text += "Name " + std::to_string(n) + " <r" + std::to_string(n) + "@example.com>";
    }
    return text + "\r\n\r\nbody\r\n";
}

std::u16string utf16Of(const std::string& littleEndian) {
    std::u16string out;
    for (std::size_t i = 0; i + 1 < littleEndian.size(); i += 2)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(littleEndian[i]) |
                                            static_cast<unsigned char>(littleEndian[i + 1]) << 8));
    return out;
}

constexpr int kManyRecipients = 5000;

// Every recipient of a long list reaches the MSG file (read back by the strict compound file reader;
// olefile needs most of a minute for so many storages) and the PST file (read back with pffexport and
// readpst), in order.
TEST(SessionPstTest, EveryRecipientOfALongListIsWritten) {
    testing_support::TempDir dir;
    testing_support::writeFile(dir / "many.eml", manyRecipientsMessage(kManyRecipients));
    auto session = std::make_shared<store::session::NativeSession>();

    ASSERT_TRUE(session->openStore(u16(dir / "staging.pst"), std::nullopt, std::nullopt));
    auto item = session->defaultFolder(library::kDefaultFolderImport)->items()->add();
    ASSERT_TRUE(item->importFile(u16(dir / "many.eml"), library::kImportRfc822));
    ASSERT_TRUE(item->saveAs(u16(dir / "many.msg"), library::kSaveAsMsg));
    store_test::CfbContents msg;
    std::string error;
    ASSERT_TRUE(store_test::readCompoundFile(dir / "many.msg", msg, error)) << error;
    EXPECT_EQ(msg.storages.size(), static_cast<std::size_t>(kManyRecipients + 1));  // and the name mapping
    for (int n = 0; n < kManyRecipients; ++n) {
        char box[40];
        std::snprintf(box, sizeof box, "__recip_version1.0_#%08X/", static_cast<unsigned>(n));
        const std::u16string prefix = platform::fromNativePath(box);
        const std::string number = std::to_string(n);
        ASSERT_EQ(utf16Of(msg.streams[prefix + u"__substg1.0_39FE001F"]), platform::fromNativePath("r" + number + "@example.com"));
        ASSERT_EQ(utf16Of(msg.streams[prefix + u"__substg1.0_3001001F"]), platform::fromNativePath("Name " + number));
    }
    const std::u16string pst = u16(dir / "many.pst");
    ASSERT_TRUE(session->openStore(pst, 1, std::u16string(u"Personal Folders")));
    auto pstItem = session->defaultFolder(library::kDefaultFolderImport)->items()->add();
    ASSERT_TRUE(pstItem->importFile(u16(dir / "many.eml"), library::kImportRfc822));
    ASSERT_TRUE(pstItem->save());
    session->logOff();
    if (store_test::runCommand("command -v pffexport").status == 0) {
        const auto run = store_test::runCommand("cd " + store_test::shellQuote(dir.path().string()) +
                                                " && pffexport -m items -f text -q -t out many.pst");
        ASSERT_EQ(run.status, 0) << run.output;
        std::string recipients;
        for (const auto& file : testing_support::filesUnder(dir / "out.export"))
            if (file.filename() == "Recipients.txt") recipients += testing_support::readFile(file);
        std::size_t at = 0;
        for (int n = 0; n < kManyRecipients; ++n) {
            at = recipients.find("r" + std::to_string(n) + "@example.com\n", at);
            ASSERT_NE(at, std::string::npos) << "recipient " << n << " missing or out of order";
        }
    }
    if (store_test::runCommand("command -v readpst").status == 0) {
        fs::create_directories(dir / "readpst");
        const auto run = store_test::runCommand("readpst -j 0 -e -D -b -8 -q -o " +
                                                store_test::shellQuote((dir / "readpst").string()) + " " +
                                                store_test::shellQuote((dir / "many.pst").string()));
        ASSERT_EQ(run.status, 0) << run.output;
        const auto files = testing_support::filesUnder(dir / "readpst");
        ASSERT_EQ(files.size(), 1u);
        const std::string eml = testing_support::readFile(files.front());
        EXPECT_NE(eml.find("r0@example.com"), std::string::npos);
        EXPECT_NE(eml.find("r" + std::to_string(kManyRecipients - 1) + "@example.com"), std::string::npos);
    }
}

// The stop request is polled for every recipient while a message is imported, written as MSG and
// written into a PST; once it answers true, that call fails, leaves no MSG file and the PST stays
// readable without the message.
TEST(SessionPstTest, StopRequestIsPolledForEveryRecipientAndEndsTheMessage) {
    testing_support::TempDir dir;
    testing_support::writeFile(dir / "many.eml", manyRecipientsMessage(kManyRecipients));
    int polls = 0;
    int stopAt = -1;  // the poll that answers true, -1 for none
    store::session::NativeSessionOptions options;
    options.profileListPath = u16(dir / "profile.list");
    options.stopRequest = [&] { return ++polls == stopAt; };
    auto session = std::make_shared<store::session::NativeSession>(options);
    ASSERT_TRUE(session->openStore(u16(dir / "staging.pst"), std::nullopt, std::nullopt));
    auto items = session->defaultFolder(library::kDefaultFolderImport)->items();

    auto item = items->add();
    ASSERT_TRUE(item->importFile(u16(dir / "many.eml"), library::kImportRfc822));
    EXPECT_GE(polls, kManyRecipients);
    polls = 0;
    ASSERT_TRUE(item->saveAs(u16(dir / "many.msg"), library::kSaveAsMsg));
    EXPECT_GE(polls, kManyRecipients);

    for (const int phase : {0, 1}) {
        polls = 0;
        stopAt = 1000;
        const fs::path msg = dir / ("stopped" + std::to_string(phase) + ".msg");
        if (phase == 0) {
            EXPECT_THROW(items->add()->importFile(u16(dir / "many.eml"), library::kImportRfc822), store::StopError);
        } else {
            EXPECT_ANY_THROW(item->saveAs(u16(msg), library::kSaveAsMsg));
        }
        EXPECT_EQ(polls, 1000) << "the work went on after the stop request";
        EXPECT_FALSE(fs::exists(msg));
    }

    stopAt = -1;
    const std::u16string pst = u16(dir / "stopped.pst");
    ASSERT_TRUE(session->openStore(pst, 1, std::u16string(u"Personal Folders")));
    auto inbox = session->defaultFolder(library::kDefaultFolderImport);
    auto pstItem = inbox->items()->add();
    ASSERT_TRUE(pstItem->importFile(u16(dir / "many.eml"), library::kImportRfc822));
    polls = 0;
    stopAt = 1000;
    EXPECT_THROW(pstItem->save(), store::StopError);
    EXPECT_EQ(polls, 1000);
    stopAt = -1;
    session->logOff();
    auto written = store::pst::MessageStore::open(pst).value();
    ASSERT_TRUE(written);
    auto folder = written->findFolder(written->topOfPersonalFolders(), u"Inbox");
    ASSERT_TRUE(folder);
    EXPECT_EQ(written->messageCount(*folder), 0u);
}

}  // namespace
