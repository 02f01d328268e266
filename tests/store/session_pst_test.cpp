// The PST export's use of the session: a PST file created, filled through folders and items, closed at
// log-off, and appended to when opened again.
#include <gtest/gtest.h>

#include "platform/paths.h"
#include "store/library/library_calls.h"
#include "store/mapi/property_tags.h"
#include "store/pst/faulty_io.h"
#include "store/pst/messaging/message_store.h"
#include "store/session/native_session.h"
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

    std::string error;
    auto written = store::pst::MessageStore::open(pst, error);
    ASSERT_TRUE(written) << error;
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
        std::string error;
        auto written = store::pst::MessageStore::open(pst, error);
        ASSERT_TRUE(written) << error;
        EXPECT_TRUE(written->subfolders(written->topOfPersonalFolders()).size() == 1u);  // Deleted Items
    }
}

}  // namespace
