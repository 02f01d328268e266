#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/paths.h"
#include "store/pst/messaging/message_store.h"
#include "store/pst/ndb/bytes.h"
#include "store/pst/faulty_io.h"
#include "support/test_support.h"
#include "store/pst/reader_support.h"
#include "store/pst/sample_messages.h"

namespace store::pst {
namespace {

using testing_support::TempDir;
using namespace store::pst::testing;

std::u16string u16(const std::filesystem::path& p) { return platform::fromNativePath(p.string()); }

TEST(PstMessageStore, NewStoreHasTheDefaultFolders) {
    TempDir dir;
    auto store = MessageStore::create(u16(dir / "a.pst"), kDefaultStoreName).value();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->folderName(store->topOfPersonalFolders()), u"Top of Personal Folders");
    EXPECT_EQ(store->folderName(store->deletedItems()), u"Deleted Items");
    EXPECT_EQ(store->parentOf(store->deletedItems()), store->topOfPersonalFolders());
    ASSERT_TRUE(store->close());
    expectStructurallySound(dir / "a.pst");
    auto reopened = MessageStore::open(u16(dir / "a.pst")).value();
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->displayName(), u"Personal Folders");
    EXPECT_EQ(reopened->findFolder(reopened->topOfPersonalFolders(), u"Deleted Items"), reopened->deletedItems());
}

TEST(PstMessageStore, SavedMessagesAndFoldersSurviveReopenAndAppend) {
    TempDir dir;
    const std::u16string path = u16(dir / "b.pst");
    {
        auto store = MessageStore::create(path, kDefaultStoreName).value();
        ASSERT_TRUE(store);
        const FolderId inbox = store->createFolder(store->topOfPersonalFolders(), u"Inbox.mbox");
        const FolderId nested = store->createFolder(inbox, u"Sub");
        for (int i = 0; i < 30; ++i) {
            SampleOptions o;
            o.subject = u"Message " + std::u16string(1, static_cast<char16_t>(u'A' + i));
            ASSERT_TRUE(store->saveMessage(i % 3 ? inbox : nested, sampleMessage(o)));
        }
        ASSERT_TRUE(store->close());
    }
    {
        auto store = MessageStore::open(path).value();
        ASSERT_TRUE(store);
        const auto inbox = store->findFolder(store->topOfPersonalFolders(), u"Inbox.mbox");
        ASSERT_TRUE(inbox);
        EXPECT_EQ(store->messageCount(*inbox), 20u);
        const auto nested = store->findFolder(*inbox, u"Sub");
        ASSERT_TRUE(nested);
        EXPECT_EQ(store->messageCount(*nested), 10u);
        SampleOptions o;
        o.subject = u"Appended";
        ASSERT_TRUE(store->saveMessage(*nested, sampleMessage(o)));
        ASSERT_TRUE(store->close());
    }
    expectStructurallySound(dir / "b.pst");
    auto store = MessageStore::open(path).value();
    ASSERT_TRUE(store);
    const auto inbox = store->findFolder(store->topOfPersonalFolders(), u"Inbox.mbox");
    const auto nested = store->findFolder(*inbox, u"Sub");
    ASSERT_EQ(store->messageCount(*nested), 11u);
    const auto props = store->messageProperties(store->messages(*nested).back());
    ASSERT_TRUE(props);
    const Property* subject = findProperty(*props, 0x0037001F);
    ASSERT_TRUE(subject);
    EXPECT_EQ(fromUtf16le(subject->value), u"\x01\x01" u"Appended");  // behind Outlook's marker
}

// A subject is stored as Outlook stores it: behind U+0001 and one more than the length of its prefix,
// so that readers that drop two leading characters of a subject (libpst, libpff, java-libpst) show
// it whole.
TEST(PstMessageStore, SubjectsAreStoredBehindOutlooksMarker) {
    struct Case {
        std::u16string subject, normalized, stored;
    };
    const Case cases[] = {
        {u"RE: Hello", u"Hello", u"\x01\x05" u"RE: Hello"},
        {u"Hello", u"Hello", u"\x01\x01" u"Hello"},
        {u"\u30a1\u30fc", u"\u30a1\u30fc", u"\x01\x01" u"\u30a1\u30fc"},  // begins with a non-ASCII character
        {u"Fwd: x", u"", u"\x01\x01" u"Fwd: x"},                          // no normalized subject
        {u"AW:" + std::u16string(40, u' ') + u"x", u"x", u"\x01\x01" u"AW:" + std::u16string(40, u' ') + u"x"},
        {u"", u"", u""},
    };
    TempDir dir;
    auto store = MessageStore::create(u16(dir / "s.pst"), kDefaultStoreName).value();
    ASSERT_TRUE(store);
    const FolderId folder = store->createFolder(store->topOfPersonalFolders(), u"Subjects");
    for (const Case& c : cases) {
        mapi::Message message = sampleMessage({});
        message.props.setString(mapi::PidTagSubject, c.subject);
        message.props.setString(mapi::PidTagNormalizedSubject, c.normalized);
        ASSERT_TRUE(store->saveMessage(folder, message));
    }
    ASSERT_TRUE(store->close());
    expectStructurallySound(dir / "s.pst");
    auto reopened = MessageStore::open(u16(dir / "s.pst")).value();
    ASSERT_TRUE(reopened);
    const auto messages = reopened->messages(*reopened->findFolder(reopened->topOfPersonalFolders(), u"Subjects"));
    ASSERT_EQ(messages.size(), std::size(cases));
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const auto props = reopened->messageProperties(messages[i]);
        ASSERT_TRUE(props);
        const Property* subject = findProperty(*props, mapi::PidTagSubject.value());
        ASSERT_TRUE(subject);
        EXPECT_EQ(fromUtf16le(subject->value), cases[i].stored) << i;
    }
}

TEST(PstMessageStore, DeletingMessagesFreesThem) {
    TempDir dir;
    auto store = MessageStore::create(u16(dir / "c.pst"), kDefaultStoreName).value();
    ASSERT_TRUE(store);
    SampleOptions o;
    o.attachmentSizes = {100000};
    const auto id = store->saveMessage(store->deletedItems(), sampleMessage(o));
    ASSERT_TRUE(id);
    EXPECT_TRUE(store->deleteMessage(*id));
    EXPECT_EQ(store->messageCount(store->deletedItems()), 0u);
    EXPECT_FALSE(store->messageProperties(*id));
    ASSERT_TRUE(store->close());
    expectStructurallySound(dir / "c.pst");
}

TEST(PstMessageStore, StoreReopenedAndAppendedThreeTimesStaysSound) {
    TempDir dir;
    const std::u16string path = u16(dir / "d.pst");
    {
        auto store = MessageStore::create(path, kDefaultStoreName).value();
        ASSERT_TRUE(store);
        const FolderId inbox = store->createFolder(store->topOfPersonalFolders(), u"Inbox.mbox");
        for (int i = 0; i < 40; ++i) ASSERT_TRUE(store->saveMessage(inbox, sampleMessage({})));
        ASSERT_TRUE(store->close());
    }
    for (int round = 1; round <= 3; ++round) {
        auto store = MessageStore::open(path).value();
        ASSERT_TRUE(store);
        const auto inbox = store->findFolder(store->topOfPersonalFolders(), u"Inbox.mbox");
        ASSERT_TRUE(inbox);
        const FolderId added = store->createFolder(*inbox, u"Round " + std::u16string(1, static_cast<char16_t>(u'0' + round)));
        SampleOptions o;
        o.attachmentSizes = {static_cast<std::size_t>(round) * 20000};
        for (int i = 0; i < 25; ++i) ASSERT_TRUE(store->saveMessage(i % 2 ? *inbox : added, sampleMessage(o)));
        ASSERT_TRUE(store->close());
        expectStructurallySound(dir / "d.pst");
        auto reopened = MessageStore::open(path).value();
        ASSERT_TRUE(reopened);
        EXPECT_EQ(reopened->messageCount(*reopened->findFolder(reopened->topOfPersonalFolders(), u"Inbox.mbox")),
                  40u + 12u * static_cast<std::size_t>(round)) << round;
    }
}

}  // namespace
}  // namespace store::pst

namespace store::pst {
namespace {

TEST(PstMessageStore, ManySmallMessagesStayReadable) {
    const char* countText = std::getenv("KELVA_PST_MANY");
    const int count = countText ? std::atoi(countText) : 20000;
    TempDir dir;
    const std::u16string path = u16(dir / "many.pst");
    auto store = MessageStore::create(path, kDefaultStoreName).value();
    ASSERT_TRUE(store);
    const FolderId folder = store->createFolder(store->topOfPersonalFolders(), u"Many");
    testing::SampleOptions o;
    mapi::Message message = testing::sampleMessage(o);
    for (int i = 0; i < count; ++i) {
        message.props.setString(mapi::PidTagSubject, u"Small message " + platform::fromNativePath(std::to_string(i)));
        ASSERT_TRUE(store->saveMessage(folder, message));
    }
    ASSERT_TRUE(store->close());
    if (const char* keep = std::getenv("KELVA_PST_KEEP")) std::filesystem::copy_file(dir / "many.pst", keep, std::filesystem::copy_options::overwrite_existing);
    expectStructurallySound(dir / "many.pst");
    auto reopened = MessageStore::open(path).value();
    ASSERT_TRUE(reopened);
    const auto again = reopened->findFolder(reopened->topOfPersonalFolders(), u"Many");
    ASSERT_TRUE(again);
    EXPECT_EQ(reopened->messageCount(*again), static_cast<std::size_t>(count));
}

}  // namespace
}  // namespace store::pst

namespace store::pst {
namespace {

TEST(PstMessageStore, CheckpointsLeaveAReadableFileWhileWriting) {
    TempDir dir;
    auto store = MessageStore::create(u16(dir / "live.pst"), kDefaultStoreName).value();
    ASSERT_TRUE(store);
    store->setCheckpointInterval(1);
    const FolderId folder = store->createFolder(store->topOfPersonalFolders(), u"Live");
    testing::SampleOptions big;
    big.attachmentSizes = {1 << 20};  // each save writes far more than a commit does
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(store->saveMessage(folder, testing::sampleMessage(big)));
    // A copy taken now is what a process killed at this point leaves behind.
    std::filesystem::copy_file(dir / "live.pst", dir / "snapshot.pst");
    expectStructurallySound(dir / "snapshot.pst");
    auto snapshot = MessageStore::open(u16(dir / "snapshot.pst")).value();
    ASSERT_TRUE(snapshot);
    const auto live = snapshot->findFolder(snapshot->topOfPersonalFolders(), u"Live");
    ASSERT_TRUE(live);
    EXPECT_EQ(snapshot->messageCount(*live), 5u);
}

TEST(PstMessageStore, RepeatedCommitsReuseFreedSpace) {
    TempDir dir;
    auto store = MessageStore::create(u16(dir / "reuse.pst"), kDefaultStoreName).value();
    ASSERT_TRUE(store);
    const FolderId folder = store->createFolder(store->topOfPersonalFolders(), u"Folder");
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(store->saveMessage(folder, testing::sampleMessage({})));
        ASSERT_TRUE(store->commit());
    }
    ASSERT_TRUE(store->close());
    // 300 messages take about 0.6 MB; every commit rewrote the folder's tables and both B-trees.
    EXPECT_LT(std::filesystem::file_size(dir / "reuse.pst"), 2u << 20);
    expectStructurallySound(dir / "reuse.pst");
    auto reopened = MessageStore::open(u16(dir / "reuse.pst")).value();
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->messageCount(*reopened->findFolder(reopened->topOfPersonalFolders(), u"Folder")), 300u);
}

}  // namespace
}  // namespace store::pst

namespace store::pst {
namespace {

TEST(PstMessageStore, RefusesFilesItCannotAppendTo) {
    TempDir dir;
    testing_support::writeFile(dir / "text.pst", "not a personal folders file");
    const auto text = MessageStore::open(u16(dir / "text.pst"));
    EXPECT_FALSE(text);
    EXPECT_FALSE(text.failure().message.empty());
    const auto corpus = testing_support::sharedCorpus();
    if (!corpus || !std::filesystem::exists(*corpus / "pst/outlook-dist-list.pst")) return;
    // Outlook's file uses the compressible encoding, which this engine does not write.
    const auto encoded = MessageStore::open(u16(*corpus / "pst/outlook-dist-list.pst"));
    EXPECT_FALSE(encoded);
    EXPECT_NE(encoded.failure().message.find("encoded"), std::string::npos) << encoded.failure().message;
}

TEST(PstMessageStore, DamagedFilesFailCleanly) {
    TempDir dir;
    {
        auto store = MessageStore::create(u16(dir / "good.pst"), kDefaultStoreName).value();
        ASSERT_TRUE(store);
        const FolderId folder = store->createFolder(store->topOfPersonalFolders(), u"F");
        testing::SampleOptions o;
        o.attachmentSizes = {20000};
        o.embedded = true;
        for (int i = 0; i < 40; ++i) ASSERT_TRUE(store->saveMessage(folder, testing::sampleMessage(o)));
        ASSERT_TRUE(store->close());
    }
    const std::string good = testing_support::readFile(dir / "good.pst");
    std::uint32_t seed = 7;
    for (int round = 0; round < 60; ++round) {
        std::string bad = good;
        if (round % 3 == 0) {
            bad.resize(bad.size() * static_cast<std::size_t>(round + 1) / 61);
        } else {
            for (int k = 0; k < 20; ++k) {
                seed = seed * 1103515245u + 12345u;
                bad[0x4400 + seed % (bad.size() - 0x4400)] ^= static_cast<char>(1 + (seed >> 24) % 255);
            }
        }
        testing_support::writeFile(dir / "bad.pst", bad);
        auto opened = MessageStore::open(u16(dir / "bad.pst"));
        if (!opened) continue;
        auto store = std::move(opened).value();
        // Whatever opened must read without crashing, and accept more messages.
        for (FolderId folder : store->subfolders(store->topOfPersonalFolders()))
            for (MessageId message : store->messages(folder)) store->messageProperties(message);
        (void)store->saveMessage(store->topOfPersonalFolders(), testing::sampleMessage({}));
        store->close();
    }
}

TEST(PstMessageStore, AStoreThatCannotBeWrittenAtAllLeavesNoFile) {
    TempDir dir;
    testing_support::FaultyIo io(testing_support::FaultyIo::Call::Write, 1, ENOSPC);
    io.arm();
    const auto none = MessageStore::create(u16(dir / "none.pst"), kDefaultStoreName);
    EXPECT_FALSE(none);
    EXPECT_EQ(none.failure().code, ENOSPC);
    EXPECT_NE(none.failure().message.find("No space left on device"), std::string::npos)
        << none.failure().message;
    EXPECT_FALSE(std::filesystem::exists(dir / "none.pst"));
}

TEST(PstMessageStore, AFullDiskKeepsExactlyTheMessagesOfTheLastGoodCommit) {
    // Checkpoints after most saves; the disk fills at a different write each time, inside a message
    // or inside a commit, and stays full or has room again after the failed write (then the messages
    // saved before a failed one are all kept). Whatever the store reports kept is in the file, in
    // order, and nothing else.
    struct Case {
        int armBefore;  // the message before whose save the fault is armed
        int nth;        // the write that fails, counted from there
        bool once;      // the disk has room again after that write
    };
    bool keptSome = false, lostSaved = false;
    for (const Case c : {Case{0, 2, false}, Case{0, 5, false}, Case{0, 9, false}, Case{0, 14, false},
                         Case{0, 20, false}, Case{7, 1, false}, Case{3, 1, true}, Case{7, 1, true}}) {
        SCOPED_TRACE(::testing::Message() << c.armBefore << " " << c.nth << " " << c.once);
        TempDir dir;
        testing_support::FaultyIo io(testing_support::FaultyIo::Call::Write, c.nth, ENOSPC, 3000);
        if (c.once) io.failOnce();
        std::uint64_t kept = 0;
        {
            auto store = MessageStore::create(u16(dir / "full.pst"), kDefaultStoreName).value();
            ASSERT_TRUE(store);
            store->setCheckpointInterval(1);
            const FolderId folder = store->createFolder(store->topOfPersonalFolders(), u"Full");
            std::uint64_t saves = 0;
            for (int i = 0; i < 12; ++i) {
                if (i == c.armBefore) io.arm();
                testing::SampleOptions o;
                o.subject = u"Message " + std::u16string(1, static_cast<char16_t>(u'A' + i));
                o.attachmentSizes = {40000};
                const bool saved = store->saveMessage(folder, testing::sampleMessage(o)).ok();
                if (saves < static_cast<std::uint64_t>(i)) {
                    EXPECT_FALSE(saved) << i;  // none after a failed one
                }
                if (saved) ++saves;
            }
            EXPECT_EQ(store->savedCount(), saves);
            EXPECT_FALSE(store->close());
            ASSERT_TRUE(store->failure());
            EXPECT_EQ(store->failure()->code, ENOSPC);
            kept = store->keptCount();
            EXPECT_LE(kept, saves);
            EXPECT_TRUE(io.fired());
            // A message that meets the full disk gives its space back, and the messages saved before
            // it are committed when that space is enough.
            if (c.once) {
                EXPECT_EQ(kept, static_cast<std::uint64_t>(c.armBefore));
            }
            keptSome = keptSome || kept > 0;
            lostSaved = lostSaved || kept < saves;  // saved, but the commit that would hold it failed
        }
        auto reopened = MessageStore::open(u16(dir / "full.pst")).value();
        ASSERT_TRUE(reopened);
        const auto folder = reopened->findFolder(reopened->topOfPersonalFolders(), u"Full");
        const std::vector<MessageId> messages = folder ? reopened->messages(*folder) : std::vector<MessageId>{};
        ASSERT_EQ(messages.size(), kept);
        for (std::size_t i = 0; i < messages.size(); ++i) {
            const auto props = reopened->messageProperties(messages[i]);
            ASSERT_TRUE(props);
            const Property* subject = findProperty(*props, 0x0037001F);
            ASSERT_TRUE(subject);
            EXPECT_EQ(fromUtf16le(subject->value), u"\x01\x01" u"Message " + std::u16string(1, static_cast<char16_t>(u'A' + i)));
        }
    }
    EXPECT_TRUE(keptSome);
    EXPECT_TRUE(lostSaved);
}

// Messages encoded ahead (as the export's workers do) give the file that saving them directly
// gives: the store id is random, so the prepared file may differ from a direct one only where two
// direct files differ among themselves. The shapes cover single blocks, data trees of one and two
// levels, a subnode tree over several SLBLOCKs, embedded messages and named properties.
TEST(PstMessageStore, PreparedMessagesWriteTheSameFileAsDirectSaves) {
    std::vector<mapi::Message> messages;
    for (const std::vector<std::size_t>& sizes : std::vector<std::vector<std::size_t>>{
             {}, {100, 5000}, {40000}, {9u << 20}, std::vector<std::size_t>(350, 10)}) {
        SampleOptions o;
        o.subject = u"Shape " + std::u16string(1, static_cast<char16_t>(u'A' + messages.size()));
        o.html = "<p>html</p>";
        o.attachmentSizes = sizes;
        o.embedded = messages.size() % 2 == 1;
        messages.push_back(sampleMessage(o));
    }
    messages[1].props.setString(mapi::NamedProperty::byName(mapi::PS_PUBLIC_STRINGS, u"x-first-here"), u"new name");
    messages.push_back(messages[1]);  // its name has an id by now

    // With a commit after every save, the blocks of the next message partly go to space the commit
    // freed (the old tables and tree pages), so they are written in several separate runs.
    for (const bool commitEach : {false, true}) {
        SCOPED_TRACE(commitEach ? "commit after each save" : "one commit at the end");
        TempDir dir;
        auto write = [&](const std::string& name, bool prepare) {
            auto store = MessageStore::create(u16(dir / name), kDefaultStoreName).value();
            const FolderId folder = store->createFolder(store->topOfPersonalFolders(), u"Inbox");
            std::vector<bool> preparedOnes;
            for (const mapi::Message& message : messages) {
                std::unique_ptr<PreparedMessage> prepared = prepare ? store->prepareMessage(message) : nullptr;
                preparedOnes.push_back(prepared != nullptr);
                EXPECT_TRUE(store->saveMessage(folder, message, {}, prepared.get()));
                if (commitEach) {
                    EXPECT_TRUE(store->commit());
                }
            }
            EXPECT_TRUE(store->close());
            expectStructurallySound(dir / name);
            return std::pair(testing_support::readFile(dir / name), preparedOnes);
        };
        const auto [direct, none] = write("direct.pst", false);
        // A byte of the random store id is the same in two files one time in 256: a position counts as
        // varying when any of four direct files differ there.
        std::vector<bool> varying(direct.size(), false);
        for (int k = 0; k < 3; ++k) {
            const auto [again, unused] = write("again" + std::to_string(k) + ".pst", false);
            ASSERT_EQ(again.size(), direct.size());
            for (std::size_t i = 0; i < direct.size(); ++i) varying[i] = varying[i] || again[i] != direct[i];
        }
        const auto [prepared, preparedOnes] = write("prepared.pst", true);
        // A name the store has not handed out an id for leaves the message to saveMessage.
        EXPECT_EQ(preparedOnes, (std::vector<bool>{false, false, true, true, true, true}));
        ASSERT_EQ(prepared.size(), direct.size());
        std::size_t differing = 0;
        for (std::size_t i = 0; i < direct.size(); ++i)
            if (prepared[i] != direct[i] && !varying[i]) ++differing;
        EXPECT_EQ(differing, 0u);
    }
}

TEST(PstMessageStore, AMessageTooLargeToHoldInMemoryIsNotPrepared) {
    TempDir dir;
    auto store = MessageStore::create(u16(dir / "large.pst"), kDefaultStoreName).value();
    SampleOptions o;
    o.attachmentSizes = {20u << 20};
    const mapi::Message message = sampleMessage(o);
    const FolderId folder = store->createFolder(store->topOfPersonalFolders(), u"Inbox");
    ASSERT_TRUE(store->saveMessage(folder, message));  // names its named properties
    EXPECT_FALSE(store->prepareMessage(message));
    o.attachmentSizes = {1u << 20};
    EXPECT_TRUE(store->prepareMessage(sampleMessage(o)));
}

}  // namespace
}  // namespace store::pst
