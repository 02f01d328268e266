// The session object model as the export drives it: through library::callGuarded, with the memory
// staging store of the file export and the PST store of the PST export.
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "store/library/library_calls.h"
#include "store/library/library_registry.h"
#include "store/session/memory_store.h"
#include "store/session/native_folders.h"
#include "store/session/native_library.h"
#include "store/session/profile_list.h"
#include "support/test_support.h"

using library::callGuarded;
using testing_support::TempDir;

namespace {

namespace fs = std::filesystem;

std::u16string u16(const fs::path& p) { return platform::fromNativePath(p.string()); }

const char kMessage[] =
    "From: Ann Example <ann@example.com>\r\n"
    "To: Bob <bob@example.com>\r\n"
    "Subject: Quarterly =?UTF-8?Q?r=C3=A9sum=C3=A9?=\r\n"
    "Date: Fri, 01 Mar 2024 12:34:56 +0000\r\n"
    "Content-Type: multipart/mixed; boundary=b\r\n"
    "\r\n"
    "--b\r\n"
    "Content-Type: text/html; charset=utf-8\r\n"
    "\r\n"
    "<p>Figures attached.</p><script>alert(1)</script>\r\n"
    "--b\r\n"
    "Content-Type: text/plain; name=a.txt\r\n"
    "Content-Disposition: attachment; filename=a.txt\r\n"
    "\r\n"
    "first\r\n"
    "--b\r\n"
    "Content-Type: text/plain\r\n"
    "Content-Disposition: attachment; filename=\"../../escape.txt\"\r\n"
    "\r\n"
    "second\r\n"
    "--b--\r\n";

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        store::session::NativeSessionOptions options;
        options.profileListPath = u16(dir / "profile.list");
        store::registerNativeLibrary(options);
        session = library::createSession();
        ASSERT_TRUE(session);
        testing_support::writeFile(dir / "1.eml", kMessage);
    }
    void TearDown() override { library::registerSessionFactory({}); }

    store::session::NativeSession& native() { return static_cast<store::session::NativeSession&>(*session); }

    TempDir dir;
    std::shared_ptr<library::Session> session;
};

TEST_F(SessionTest, EngineAndProfile) {
    EXPECT_TRUE(library::isLibraryRegistered());
    EXPECT_FALSE(callGuarded(session, [](auto& s) { return s.outlookCheck(); }).empty());
    auto source = callGuarded(session, [](auto& s) { return s.logonSource(); });
    EXPECT_EQ(callGuarded(source, [](auto& s) { return s.logonText(); }), u"Outlook");
    EXPECT_FALSE(callGuarded(session, [](auto& s) { return s.loggedOn(); }));
    callGuarded(session, [](auto& s) { s.logOn(u"Work"); });
    EXPECT_TRUE(callGuarded(session, [](auto& s) { return s.loggedOn(); }));
    EXPECT_EQ(session->logonSource()->logonText(), u"Work");
}

// The file export: each message through the staging store, saved as MSG, RTF and HTML with its
// attachments, then deleted and purged so that the staging store holds nothing.
TEST_F(SessionTest, FileExportThroughTheStagingStore) {
    const std::u16string staging = u16(dir / "Tartmp.pst");
    // Plain variables, not a structured binding: clang 14 cannot capture those in the lambdas below.
    for (const auto& formatAndExtension : {std::pair{library::kSaveAsMsg, ".msg"}, {library::kSaveAsRtf, ".rtf"},
                                           {library::kSaveAsHtml, ".html"}}) {
        const auto format = formatAndExtension.first;
        const char* const extension = formatAndExtension.second;
        if (callGuarded(session, [](auto& s) { return s.loggedOn(); })) callGuarded(session, [](auto& s) { s.logOff(); });
        callGuarded(session, [&](auto& s) { return s.openStore(staging, std::nullopt, std::nullopt); });
        auto folder = callGuarded(session, [](auto& s) { return s.defaultFolder(library::kDefaultFolderImport); });
        ASSERT_TRUE(folder);
        EXPECT_EQ(folder->path(), u"\\\\Personal Folders\\Inbox");
        auto items = callGuarded(folder, [](auto& f) { return f.items(); });
        auto item = callGuarded(items, [](auto& i) { return i.add(); });
        ASSERT_TRUE(callGuarded(item, [&](auto& i) { return i.importFile(u16(dir / "1.eml"), library::kImportRfc822); }));
        callGuarded(item, [](auto& i) { i.markSentAndRead(); });
        ASSERT_TRUE(callGuarded(item, [](auto& i) { return i.save(); }));
        EXPECT_EQ(native().currentStore()->messageCount(native().currentStore()->findFolder(native().currentStore()->topFolder(), u"Inbox").value()), 1u);
        const fs::path out = dir / (std::string("1") + extension);
        ASSERT_TRUE(callGuarded(item, [&](auto& i) { return i.saveAs(u16(out), format); }));
        const std::string written = testing_support::readFile(out);
        if (format == library::kSaveAsMsg) {
            EXPECT_EQ(written.substr(0, 8), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
        } else {
            EXPECT_NE(written.find(format == library::kSaveAsRtf ? "r\\u233\\'3f" : "résumé"), std::string::npos) << written;
            EXPECT_NE(written.find("Figures attached."), std::string::npos);
            EXPECT_EQ(written.find("alert(1)"), std::string::npos);
        }

        auto attachments = callGuarded(item, [](auto& i) { return i.attachments(); });
        const int count = callGuarded(attachments, [](auto& a) { return a.count(); });
        ASSERT_EQ(count, 2);
        fs::create_directories(dir / "att");
        for (int i = 1; i <= count; ++i) {
            auto attachment = callGuarded(attachments, [&](auto& a) { return a.item(i); });
            const std::u16string name = callGuarded(attachment, [](auto& a) { return a.fileName(); });
            EXPECT_EQ(name.find(u'/'), std::u16string::npos);
            EXPECT_TRUE(callGuarded(attachment, [&](auto& a) { return a.saveFile(u16(dir / "att") + u"/" + name); }));
        }
        EXPECT_EQ(testing_support::readFile(dir / "att" / "a.txt"), "first");
        EXPECT_EQ(testing_support::readFile(dir / "att" / ".._.._escape.txt"), "second");

        callGuarded(item, [](auto& i) { i.remove(1); });
        auto deleted = callGuarded(session, [](auto& s) { return s.defaultFolder(library::kDefaultFolderDeletedItems); });
        callGuarded(deleted, [](auto& f) { f.purge(true); });
        auto* memory = dynamic_cast<store::session::MemoryStore*>(native().currentStore().get());
        ASSERT_TRUE(memory);
        EXPECT_EQ(memory->heldMessages(), 0u);
        // The removed item is gone: calls on it yield nothing.
        EXPECT_FALSE(callGuarded(item, [&](auto& i) { return i.saveAs(u16(out), format); }));
    }
}

// A large attachment goes through import, .msg and attachment file whole.
TEST_F(SessionTest, LargeAttachmentSurvivesEveryStep) {
    std::string data(48u << 20, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 2654435761u) >> 13);
    std::string encoded = "From: a@example.com\r\nSubject: big\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
                          "--b\r\nContent-Type: text/plain\r\n\r\nsee attachment\r\n--b\r\n"
                          "Content-Type: application/octet-stream; name=big.bin\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < data.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(data[i]) << 16) | (static_cast<unsigned char>(data[i + 1]) << 8) |
                           static_cast<unsigned char>(data[i + 2]);
        for (int k = 3; k >= 0; --k) encoded.push_back(kAlphabet[(v >> (6 * k)) & 63]);
        if ((i / 3) % 19 == 18) encoded += "\r\n";
    }
    encoded += "\r\n--b--\r\n";
    testing_support::writeFile(dir / "big.eml", encoded);
    encoded.clear();
    session->openStore(u16(dir / "Tartmp.pst"), std::nullopt, std::nullopt);
    auto item = session->defaultFolder(library::kDefaultFolderImport)->items()->add();
    ASSERT_TRUE(item->importFile(u16(dir / "big.eml"), library::kImportRfc822));
    ASSERT_TRUE(item->saveAs(u16(dir / "big.msg"), library::kSaveAsMsg));
    EXPECT_GT(fs::file_size(dir / "big.msg"), data.size());
    auto attachment = item->attachments()->item(1);
    EXPECT_EQ(attachment->fileName(), u"big.bin");
    ASSERT_TRUE(attachment->saveFile(u16(dir / "big.bin")));
    EXPECT_TRUE(testing_support::readFile(dir / "big.bin") == data);
}

// The export's path: bytes imported from memory, the document rendered ahead on a worker. Each gives the
// same file as the file import and a saveAs that renders; once an attachment file was saved, the
// document names it (its header block is rendered again) and is still the file a full render gives.
TEST_F(SessionTest, BytesImportAndDocumentsRenderedAheadGiveTheSameFiles) {
    session->openStore(u16(dir / "Tartmp.pst"), std::nullopt, std::nullopt);
    auto items = session->defaultFolder(library::kDefaultFolderImport)->items();
    for (const auto& [format, extension] : {std::pair{library::kSaveAsMsg, ".msg"}, {library::kSaveAsRtf, ".rtf"},
                                            {library::kSaveAsHtml, ".html"}}) {
        auto fromFile = items->add();
        ASSERT_TRUE(fromFile->importFile(u16(dir / "1.eml"), library::kImportRfc822));
        ASSERT_TRUE(fromFile->saveAs(u16(dir / (std::string("file") + extension)), format));
        auto fromBytes = items->add();
        ASSERT_TRUE(fromBytes->importBytes(std::string("From ann@example.com Fri Mar  1 12:34:56 2024\r\n") + kMessage,
                                           library::kImportRfc822));
        fromBytes->prepareSaveAs(format);
        ASSERT_TRUE(fromBytes->saveAs(u16(dir / (std::string("bytes") + extension)), format));
        EXPECT_TRUE(testing_support::readFile(dir / (std::string("file") + extension)) ==
                    testing_support::readFile(dir / (std::string("bytes") + extension)))
            << extension;
        fs::create_directories(dir / "att");
        ASSERT_TRUE(fromBytes->attachments()->item(1)->saveFile(u16(dir / "att" / "a.txt")));
        ASSERT_TRUE(fromBytes->saveAs(u16(dir / (std::string("linked") + extension)), format));
        ASSERT_TRUE(fromFile->attachments()->item(1)->saveFile(u16(dir / "att" / "a.txt")));
        ASSERT_TRUE(fromFile->saveAs(u16(dir / (std::string("linkedFile") + extension)), format));
        EXPECT_TRUE(testing_support::readFile(dir / (std::string("linked") + extension)) ==
                    testing_support::readFile(dir / (std::string("linkedFile") + extension)))
            << extension;
        if (format != library::kSaveAsMsg) {
            EXPECT_FALSE(testing_support::readFile(dir / (std::string("linked") + extension)) ==
                         testing_support::readFile(dir / (std::string("bytes") + extension)))
                << extension;
        }
    }
}

// A forwarded message is saved as a .msg attachment file: built ahead on a worker or when saved, the
// same bytes; a change to the item after it was built ahead is never served stale.
TEST_F(SessionTest, EmbeddedMessageFilesBuiltAheadAreTheFilesSavedDirectly) {
    const std::string forwarded =
        "From: ann@example.com\r\nTo: bob@example.com\r\nSubject: Outer\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\nSee below.\r\n"
        "--b\r\nContent-Type: message/rfc822\r\n\r\nFrom: carl@example.com\r\nSubject: Inner\r\n\r\nInner body\r\n"
        "--b--\r\n";
    session->openStore(u16(dir / "Tartmp.pst"), std::nullopt, std::nullopt);
    auto items = session->defaultFolder(library::kDefaultFolderImport)->items();
    auto saved = [&](bool ahead, bool editAfter, const std::string& name) {
        auto item = items->add();
        EXPECT_TRUE(item->importBytes(forwarded, library::kImportRfc822));
        if (ahead) item->prepareSaveAs(library::kSaveAsRtf);
        if (editAfter) item->markSentAndRead();
        auto attachment = item->attachments()->item(1);
        EXPECT_TRUE(attachment->saveFile(u16(dir / name)));
        return testing_support::readFile(dir / name);
    };
    const std::string direct = saved(false, false, "direct.msg");
    ASSERT_GT(direct.size(), 512u);
    EXPECT_TRUE(saved(true, false, "ahead.msg") == direct);
    EXPECT_TRUE(saved(true, true, "edited.msg") == direct);
}

TEST_F(SessionTest, StagingStoreIsReusedAcrossLogOns) {
    const std::u16string staging = u16(dir / "Tartmp.pst");
    session->openStore(staging, std::nullopt, std::nullopt);
    auto first = native().currentStore();
    auto item = session->defaultFolder(library::kDefaultFolderImport)->items()->add();
    item->importFile(u16(dir / "1.eml"), library::kImportRfc822);
    item->save();
    session->logOff();
    EXPECT_FALSE(session->loggedOn());
    session->openStore(staging, std::nullopt, std::nullopt);
    EXPECT_EQ(native().currentStore(), first);
    EXPECT_EQ(static_cast<store::session::MemoryStore&>(*first).heldMessages(), 1u);
    EXPECT_FALSE(fs::exists(dir / "Tartmp.pst"));  // memory-backed: no file
}

TEST_F(SessionTest, FailuresYieldNothing) {
    // Without a store, folder calls fail.
    EXPECT_FALSE(callGuarded(session, [](auto& s) { return s.defaultFolder(library::kDefaultFolderImport); }));
    EXPECT_FALSE(callGuarded(session, [](auto& s) { return s.folderByPath(u"\\\\Personal Folders"); }));
    session->openStore(u16(dir / "Tartmp.pst"), std::nullopt, std::nullopt);
    EXPECT_FALSE(callGuarded(session, [](auto& s) { return s.defaultFolder(99); }));
    auto item = session->defaultFolder(library::kDefaultFolderImport)->items()->add();
    EXPECT_FALSE(callGuarded(item, [&](auto& i) { return i.importFile(u16(dir / "missing.eml"), library::kImportRfc822); }));
    EXPECT_FALSE(callGuarded(item, [&](auto& i) { return i.importFile(u16(dir / "1.eml"), 7); }));
    EXPECT_FALSE(callGuarded(item, [&](auto& i) { return i.saveAs(u16(dir / "x.doc"), 42); }));
    EXPECT_FALSE(callGuarded(item, [&](auto& i) { return i.saveAs(u16(dir / "no/such/folder/1.msg"), library::kSaveAsMsg); }));
    EXPECT_FALSE(fs::exists(dir / "x.doc"));
    auto attachments = item->attachments();
    EXPECT_EQ(attachments->count(), 0);
    EXPECT_FALSE(callGuarded(attachments, [](auto& a) { return a.item(1); }));
    // A missing object does nothing.
    std::shared_ptr<library::Item> none;
    EXPECT_FALSE(callGuarded(none, [](auto& i) { return i.save(); }));
    // Subfolders: find gives nothing for a missing name; adding an existing name fails.
    auto top = session->openStore(u16(dir / "Tartmp.pst"), std::nullopt, std::nullopt)->topFolder();
    auto folders = top->subfolders();
    EXPECT_FALSE(folders->find(u"Nothing"));
    EXPECT_TRUE(callGuarded(folders, [](auto& f) { return f.add(u"Inbox.mbox"); }));
    EXPECT_FALSE(callGuarded(folders, [](auto& f) { return f.add(u"Inbox.mbox"); }));
}

TEST_F(SessionTest, FolderPathsFindFoldersWithBackslashesInTheirNames) {
    auto store = session->openStore(u16(dir / "Tartmp.pst"), std::nullopt, std::nullopt);
    auto top = store->topFolder();
    const std::u16string topPath = top->path();
    EXPECT_EQ(topPath, u"\\\\Personal Folders");
    auto users = top->subfolders()->add(u"Users");
    users->subfolders()->add(u"ann");
    auto odd = users->subfolders()->add(u"ann\\mail");
    auto deep = odd->subfolders()->add(u"Inbox.mbox");
    EXPECT_EQ(deep->path(), u"\\\\Personal Folders\\Users\\ann\\mail\\Inbox.mbox");
    auto found = session->folderByPath(topPath + u"\\Users\\ann\\mail\\Inbox.mbox");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->path(), deep->path());
    EXPECT_FALSE(callGuarded(session, [&](auto& s) { return s.folderByPath(topPath + u"\\Users\\bob"); }));
    EXPECT_FALSE(callGuarded(session, [&](auto& s) { return s.folderByPath(u"\\\\Other Store\\Users"); }));
}

TEST_F(SessionTest, AddPstRecordsTheStoreOnce) {
    auto stores = callGuarded(session, [](auto& s) { return s.stores(); });
    for (int i = 0; i < 2; ++i) {
        callGuarded(stores, [&](auto& s) { s.addPst(u"/data/Inbox.mbox.pst", 1, u"Personal Folders"); });
    }
    callGuarded(stores, [&](auto& s) { s.addPst(u"/data/Résultat\t.pst", 1, u"Personal Folders"); });
    const auto entries = store::session::ProfileList(u16(dir / "profile.list")).entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, u"/data/Inbox.mbox.pst");
    EXPECT_EQ(entries[0].displayName, u"Personal Folders");
    EXPECT_EQ(entries[1].path, u"/data/Résultat .pst");
    // The default list lives in the settings folder.
    EXPECT_TRUE(store::session::ProfileList::defaultPath().ends_with(u"/KelvaTools/pst-profile.list"));
}

}  // namespace
