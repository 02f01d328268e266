#include <gtest/gtest.h>

#include <functional>

#include "app/headless_frame.h"
#include "scan/frame_context.h"
#include "snapshot/snapshot_commands.h"
#include "snapshot/snapshot_file.h"

namespace {

using snapshot::SnapshotResult;
using testing_support::u16;
using testing_support::u8;

std::string le32(std::int32_t v) {
    std::string out;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF));
    return out;
}
std::string le64(std::uint64_t v) {
    std::string out;
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return out;
}
std::string utf16le(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}
std::string record(const std::u16string& path, std::string flags, const std::vector<std::uint64_t>& offsets) {
    std::string out = le32(static_cast<std::int32_t>(path.size())) + utf16le(path) + flags + le64(offsets.size());
    for (std::uint64_t o : offsets) out += le64(o);
    return out;
}

std::vector<std::uint64_t> scannedOffsets(const std::filesystem::path& path) {
    scan::CMboxFile mbox;
    EXPECT_TRUE(mbox.file.open(u16(path)));
    mbox.scanFromLines();
    return mbox.messageOffsets;
}

class Snapshots : public testing_support::HeadlessFrame {
protected:
    SnapshotResult save(const std::filesystem::path& target) {
        host.saveChoices.push_back(u16(target));
        return frame->OnSaveSnapshot();
    }
    SnapshotResult load(const std::filesystem::path& source) {
        host.openChoices.push_back(u16(source));
        return frame->OnLoadSnapshot();
    }
    void expectLoadedRoots(const std::vector<std::filesystem::path>& paths) {
        auto& tree = frame->mailboxTree;
        frame::TreeItem root = tree.GetRootItem();
        for (std::size_t n = 0; n < paths.size(); ++n, root = tree.GetNextSiblingItem(root)) {
            ASSERT_NE(root, 0u);
            EXPECT_EQ(tree.GetItemText(root), u16(paths[n]));
            EXPECT_EQ(tree.GetItemData(root), n + 1);
            int image = -1, selected = -1;
            tree.GetItemImage(root, image, selected);
            EXPECT_EQ(image, 0);
        }
        EXPECT_EQ(root, 0u);
    }
};

TEST_F(Snapshots, ThreeMailboxesRoundTripInCatalogueOrder) {
    // A path with a character outside ASCII: lengths are UTF-16 code units, not bytes.
    auto a = mailbox("mail/ä.mbox", testing_support::mailboxOf(3));
    auto b = mailbox("mail/b.mbox", testing_support::mailboxOf(1));
    auto c = mailbox("mail/c.mbox", "");
    open({a, b, c});
    std::vector<std::vector<std::uint64_t>> offsets;
    for (const auto& row : frame->catalogue) offsets.push_back(row.mbox->messageOffsets);

    ASSERT_EQ(save(dir / "state"), SnapshotResult::Done);
    auto file = dir / "state.MBOX2PSTKLV";
    ASSERT_TRUE(std::filesystem::exists(file));
    std::string expected = le32(3);
    for (std::size_t i = 0; i < 3; ++i)
        expected += record(frame->catalogue[i].path, std::string(2, '\0'), offsets[i]);
    EXPECT_EQ(testing_support::readFile(file), expected);
    EXPECT_EQ(logRows().back().rfind(u" file is saving for Snapshot.    ", 0), 0u);
    EXPECT_EQ(host.fileDialogs.back().defaultExtension, u"MBOX2PSTKLV");
    EXPECT_TRUE(host.fileDialogs.back().overwritePrompt);

    host.boxes.clear();
    ASSERT_EQ(load(file), SnapshotResult::Done);
    expectLoadedRoots({a, b, c});
    auto& tree = frame->mailboxTree;
    std::vector<std::u16string> children;
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(tree.GetItemData(childItem(n)), static_cast<std::uintptr_t>(n));
        children.push_back(tree.GetItemText(childItem(n)));
        EXPECT_EQ(frame->catalogue[static_cast<std::size_t>(n - 1)].mbox->messageOffsets,
                  offsets[static_cast<std::size_t>(n - 1)]);
    }
    EXPECT_EQ(children, (std::vector<std::u16string>{u"ä.mbox(3)", u"b.mbox(1)", u"c.mbox(0)"}));
    EXPECT_EQ(tree.CheckedItemCount(), 6);
    EXPECT_EQ(frame->mailboxCount, 3);
    EXPECT_EQ(tree.GetSelectedItem(), 0u);
    EXPECT_EQ(frame->messageList.GetItemCount(), 0);
    EXPECT_EQ(std::vector<std::u16string>(logRows().end() - 2, logRows().end()),
              (std::vector<std::u16string>{u"Loading Snapshot. ", u"Loading snapshot process completed."}));
    EXPECT_EQ(host.boxTexts(), std::vector<std::u16string>{u"Loading snapshot process completed."});
    EXPECT_EQ(frame::g_busy, 0);

    clickFolder(1);  // the loaded offsets list the messages
    EXPECT_EQ(frame->messageList.GetItemCount(), 3);
}

TEST_F(Snapshots, SavingLeavesTheListedMailboxSelected) {
    auto a = mailbox("a.mbox", testing_support::mailboxOf(4));
    auto b = mailbox("b.mbox", testing_support::mailboxOf(1));
    open({a, b});
    clickFolder(1);
    ASSERT_EQ(save(dir / "s.MBOX2PSTKLV"), SnapshotResult::Done);
    EXPECT_EQ(frame->currentMbox.load(), frame->catalogue[0].mbox.get());
    EXPECT_EQ(frame::g_currentMboxPath, u16(a));
    // A preview of the fourth listed row reads the listed mailbox, which has that message.
    EXPECT_GT(frame->currentMbox.load()->messageCount(), frame->messageList.GetItemData(3));
}

TEST_F(Snapshots, AMovedMailboxKeepsItsRootWithoutAChild) {
    auto a = mailbox("a.mbox", testing_support::mailboxOf(2));
    auto b = mailbox("b.mbox", testing_support::mailboxOf(2));
    open({a, b});
    ASSERT_EQ(save(dir / "s.MBOX2PSTKLV"), SnapshotResult::Done);
    std::filesystem::rename(a, dir / "moved.mbox");
    ASSERT_EQ(load(dir / "s.MBOX2PSTKLV"), SnapshotResult::Done);
    expectLoadedRoots({a, b});
    EXPECT_EQ(childItem(1), 0u);
    EXPECT_EQ(frame->mailboxTree.GetItemText(childItem(2)), u"b.mbox(2)");
    EXPECT_EQ(frame->catalogue.size(), 2u);
}

TEST_F(Snapshots, FlagsAreWorkedOutAgainAndCountsComeFromTheOffsets) {
    auto imm = mailbox("box/m.imm", std::string(12, 'x'));
    std::filesystem::create_directories(dir / "box" / "Attachments");
    auto upper = mailbox("box/m.IMM", "x");
    auto plain = mailbox("box/p.mbox", "");
    std::string bytes = le32(3) + record(u16(imm), std::string(2, '\0'), {0, 7, 9, 12}) +
                        record(u16(upper), "\x01\x01", {}) + record(u16(plain), "\x01\x00", {0});
    testing_support::writeFile(dir / "s.MBOX2PSTKLV", bytes);
    ASSERT_EQ(load(dir / "s.MBOX2PSTKLV"), SnapshotResult::Done);
    ASSERT_EQ(frame->catalogue.size(), 3u);
    EXPECT_TRUE(frame->catalogue[0].isImm);
    EXPECT_TRUE(frame->catalogue[0].hasAttachmentsFolder);
    EXPECT_FALSE(frame->catalogue[1].isImm);
    EXPECT_FALSE(frame->catalogue[1].hasAttachmentsFolder);
    EXPECT_FALSE(frame->catalogue[2].isImm);
    EXPECT_EQ(frame->mailboxTree.GetItemText(childItem(1)), u"m.imm(3)");
    EXPECT_EQ(frame->mailboxTree.GetItemText(childItem(2)), u"m.IMM(0)");
    EXPECT_EQ(frame->mailboxTree.GetItemText(childItem(3)), u"p.mbox(0)");
}

TEST_F(Snapshots, ADamagedFileStopsAtTheBadRecordAndEndsAsALoadDoes) {
    auto a = mailbox("a.mbox", testing_support::mailboxOf(2));
    const std::string good = record(u16(a), std::string(2, '\0'), {0, 10, 20});
    const std::string path = utf16le(u16(a));
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t loaded;
    } cases[] = {
        {"negative path length", le32(2) + good + le32(-5) + path, 1},
        {"path longer than the file", le32(2) + good + le32(0x7FFFFFFF) + path, 1},
        {"offset count beyond the file", le32(2) + good + le32(1) + "a\0" + std::string(2, '\0') + le64(1ull << 60), 1},
        {"file ends inside the offsets", le32(2) + good + good.substr(0, good.size() - 3), 1},
        {"file ends inside the flags", le32(2) + good.substr(0, 4 + path.size() + 1), 0},
        {"entry count beyond the records", le32(4000000000u) + good, 1},
        {"no entry count", "\x01\x00", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing_support::writeFile(dir / "bad.MBOX2PSTKLV", c.bytes);
        host.boxes.clear();
        EXPECT_EQ(load(dir / "bad.MBOX2PSTKLV"), SnapshotResult::Damaged);
        EXPECT_EQ(frame->catalogue.size(), c.loaded);
        EXPECT_EQ(logRows().back(), u"Loading snapshot process completed.");
        EXPECT_EQ(host.boxTexts(), std::vector<std::u16string>{u"Loading snapshot process completed."});
        EXPECT_EQ(frame::g_busy, 0);
    }
    EXPECT_NE(std::find(logRows().begin(), logRows().end(),
                        u"The snapshot file is damaged: loading stopped at entry 2."),
              logRows().end());
}

TEST_F(Snapshots, AFileTooShortForItsCountIsLoggedAsDamaged) {
    for (std::size_t size = 0; size <= 3; ++size) {
        SCOPED_TRACE(size);
        testing_support::writeFile(dir / "tiny.MBOX2PSTKLV", std::string(size, '\x01'));
        EXPECT_EQ(load(dir / "tiny.MBOX2PSTKLV"), SnapshotResult::Damaged);
        const auto& rows = logRows();
        ASSERT_GE(rows.size(), 3u);
        EXPECT_EQ(rows[rows.size() - 3], u"Loading Snapshot. ");
        EXPECT_EQ(rows[rows.size() - 2], u"The snapshot file is damaged: it is too short to hold its entry count.");
        EXPECT_EQ(rows.back(), u"Loading snapshot process completed.");
    }
}

TEST_F(Snapshots, AMailboxThatChangedSinceTheSnapshotIsNotOpened) {
    const std::string two = testing_support::mailboxOf(2);
    struct Case {
        const char* what;
        std::function<std::vector<std::uint64_t>(const std::filesystem::path&, std::vector<std::uint64_t>)> change;
    } cases[] = {
        {"grown", [&](const std::filesystem::path& box, auto offsets) {
             testing_support::writeFile(box, two + "\n" + two);
             return offsets;
         }},
        {"shrunk", [&](const std::filesystem::path& box, auto offsets) {
             std::filesystem::resize_file(box, two.size() / 2);
             return offsets;
         }},
        {"offsets past the end", [&](const std::filesystem::path&, auto offsets) {
             offsets[1] += 1000;
             offsets.push_back(offsets.back() + 2000);
             return offsets;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto box = mailbox("a.mbox", two);
        auto kept = mailbox("b.mbox", two);
        const std::vector<std::uint64_t> scanned = scannedOffsets(box);
        std::string bytes = le32(2) + record(u16(box), std::string(2, '\0'), c.change(box, scanned)) +
                            record(u16(kept), std::string(2, '\0'), scanned);
        testing_support::writeFile(dir / "s.MBOX2PSTKLV", bytes);
        ASSERT_EQ(load(dir / "s.MBOX2PSTKLV"), SnapshotResult::Done);
        expectLoadedRoots({box, kept});
        EXPECT_EQ(childItem(1), 0u);
        EXPECT_FALSE(frame->catalogue[0].mbox->file.isOpen());
        EXPECT_EQ(frame->mailboxTree.GetItemText(childItem(2)), u"b.mbox(2)");
        EXPECT_NE(std::find(logRows().begin(), logRows().end(),
                            u"The mailbox changed after the snapshot was saved; open it again to scan it: " + u16(box)),
                  logRows().end());
    }
}

TEST_F(Snapshots, CancelledDialogsBusyRefusalsAndAnEmptyTreeChangeNothing) {
    EXPECT_EQ(frame->OnSaveSnapshot(), SnapshotResult::Refused);  // nothing to save
    open({mailbox("a.mbox", testing_support::mailboxOf(1))});
    host.boxes.clear();
    host.saveChoices.push_back(std::nullopt);
    EXPECT_EQ(frame->OnSaveSnapshot(), SnapshotResult::Cancelled);
    host.openChoices.push_back(std::nullopt);
    EXPECT_EQ(frame->OnLoadSnapshot(), SnapshotResult::Cancelled);
    EXPECT_EQ(frame->catalogue.size(), 1u);
    EXPECT_EQ(frame->mailboxTree.GetCount(), 2u);
    frame::g_busy = 1;
    EXPECT_EQ(frame->OnSaveSnapshot(), SnapshotResult::Refused);
    EXPECT_EQ(frame->OnLoadSnapshot(), SnapshotResult::Refused);
    frame::g_busy = 0;
    EXPECT_EQ(host.boxTexts(), std::vector<std::u16string>(2, frame::kBusyRefusal));
    EXPECT_EQ(frame::g_busy, 0);
}

TEST_F(Snapshots, FilesThatCannotBeWrittenOrOpenedEndWithoutBusyAndSaySo) {
    open({mailbox("a.mbox", testing_support::mailboxOf(1))});
    EXPECT_EQ(save(dir / "no" / "such" / "folder" / "s.MBOX2PSTKLV"), SnapshotResult::Failed);
    EXPECT_EQ(frame::g_busy, 0);
    EXPECT_EQ(load(dir / "missing.MBOX2PSTKLV"), SnapshotResult::Failed);
    EXPECT_EQ(frame::g_busy, 0);
    EXPECT_TRUE(frame->catalogue.empty());
    EXPECT_EQ(frame->mailboxTree.GetCount(), 0u);
    EXPECT_EQ(logRows().back(), u"The snapshot file could not be opened: " + u16(dir / "missing.MBOX2PSTKLV"));
}

TEST(SnapshotExtension, OnlyANameWithoutExtensionGetsTheDefault) {
    EXPECT_EQ(snapshot::withDefaultExtension(u"/a/state", u"MBOX2PSTKLV"), u"/a/state.MBOX2PSTKLV");
    EXPECT_EQ(snapshot::withDefaultExtension(u"/a.b/state", u"MBOX2PSTKLV"), u"/a.b/state.MBOX2PSTKLV");
    EXPECT_EQ(snapshot::withDefaultExtension(u"/a/state.snap", u"MBOX2PSTKLV"), u"/a/state.snap");
}

TEST(SnapshotFile, APathStopsAtItsFirstNul) {
    testing_support::TempDir dir;
    std::u16string withNul = std::u16string(u"/a\0b", 4);
    {
        snapshot::CSnapshotWriter writer;
        ASSERT_TRUE(writer.create(u16(dir / "s")));
        writer.writeCount(1);
        writer.writeRecord(withNul, true, false, {0, 5});
        ASSERT_TRUE(writer.close());
    }
    snapshot::CSnapshotReader reader;
    ASSERT_TRUE(reader.open(u16(dir / "s")));
    EXPECT_EQ(reader.readCount(), 1u);
    snapshot::SnapshotRecord r;
    ASSERT_EQ(reader.next(r), snapshot::CSnapshotReader::Status::Ok);
    EXPECT_EQ(r.path, u"/a");
    EXPECT_EQ(r.isImm, 1);
    EXPECT_EQ(r.offsets, (std::vector<std::uint64_t>{0, 5}));
}

}  // namespace
