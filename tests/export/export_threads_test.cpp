// The exports with several worker threads: the same files as with one thread (through the native
// engine), and with the recording library the log keeps the mailbox's order through failures and Stop.
#include <gtest/gtest.h>

#include "app/headless_frame.h"
#include "export/export_job.h"
#include "export/export_run.h"
#include "export/save_options.h"
#include "fake_library.h"
#include "log_lines.h"
#include "store/library/library_registry.h"
#include "store/pst/e2e/stopping_session.h"
#include "store/session/native_library.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// Messages of several shapes: plain, HTML with an attachment, an attached message, no header at all.
std::string variedMailbox(int n) {
    std::string text;
    for (int k = 0; k < n; ++k) {
        const std::string number = std::to_string(k);
        text += "From sender@example.com Tue Dec  1 10:00:00 2026\n";
        if (k % 7 == 6) {
            text += "just a line " + number + "\n\n";
            continue;
        }
        text += "From: Ann <ann" + number + "@example.com>\nTo: bob@example.com\nSubject: Message " + number +
                "\nDate: Tue, 1 Dec 2026 10:00:0" + std::to_string(k % 10) + " +0100\nMessage-ID: <m" + number +
                "@example.com>\nMIME-Version: 1.0\n";
        if (k % 3 == 0) {
            text += "Content-Type: text/plain; charset=utf-8\n\nBody " + number + " \xc3\xa9t\xc3\xa9\n\n";
        } else if (k % 3 == 1) {
            text += "Content-Type: multipart/mixed; boundary=\"b" + number +
                    "\"\n\n--b" + number + "\nContent-Type: text/html\n\n<p>Body " + number +
                    "</p>\n--b" + number + "\nContent-Type: application/octet-stream; name=\"data" + number +
                    ".bin\"\nContent-Transfer-Encoding: base64\n\nAAECAwQFBgcICQ==\n--b" + number + "--\n\n";
        } else {
            text += "Content-Type: multipart/mixed; boundary=\"c" + number + "\"\n\n--c" + number +
                    "\nContent-Type: text/plain\n\nSee attached\n--c" + number +
                    "\nContent-Type: message/rfc822\n\nFrom: x@example.com\nSubject: Inner " + number + "\n\nInner body\n--c" +
                    number + "--\n\n";
        }
    }
    return text;
}

class ExportThreads : public HeadlessFrame {
protected:
    ExportThreads() {
        frame->saveCommand = [this](scan::FrameContext& f) { exporter::onSave(f, [this] { return chooseOptions(); }); };
    }
    ~ExportThreads() override {
        library::registerSessionFactory({});
        exporter::g_exportThreads = 0;
    }
    void useNativeLibrary() {
        store::session::NativeSessionOptions options;
        options.profileListPath = u16(dir / "profiles.list");
        options.stopRequest = [] { return frame::g_stopRequested.load(); };
        store::registerNativeLibrary(options);
    }
    void useFakeLibrary() {
        library::registerSessionFactory([this] { return std::make_shared<fake_library::FakeSession>(journal); });
    }
    bool chooseOptions() {
        exporter::g_saveMode = mode;
        exporter::g_saveInHierarchy = 0;
        exporter::g_attachToOutlook = 0;
        exporter::g_destinationFolder = u16(destination) + u"/";
        return true;
    }
    void save(int saveMode, int threads, const fs::path& into) {
        mode = saveMode;
        exporter::g_exportThreads = threads;
        destination = into;
        fs::create_directories(into);
        frame->OnSave();
        frame->waitForWorker();
    }
    std::vector<std::u16string> logAfter(const std::u16string& first) const { return linesFrom(logRows(), first); }

    fake_library::Journal journal;
    int mode = exporter::SaveEml;
    fs::path destination;
};

// Every file under the folder with its bytes, by relative path.
std::map<std::string, std::string> contentsOf(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const fs::path& file : filesUnder(folder)) files[fs::relative(file, folder).string()] = readFile(file);
    return files;
}

// A PST holds a random store id (in its entry ids and the checksums over them), so two runs with one
// thread already differ there. The four-thread file may differ from the first only where the
// one-thread files differ among themselves; every other file is the same byte for byte.
void expectSameButTheStoreId(const std::vector<std::string>& oneThread, const std::string& fourThreads,
                             const std::string& what) {
    ASSERT_EQ(fourThreads.size(), oneThread[0].size()) << what;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < fourThreads.size(); ++i) {
        if (fourThreads[i] == oneThread[0][i]) continue;
        bool varies = false;
        for (const std::string& other : oneThread) varies = varies || other[i] != oneThread[0][i];
        if (!varies) ++differing;
    }
    EXPECT_EQ(differing, 0u) << what;
}

const std::vector<std::pair<int, std::string>> kFormats = {{exporter::SaveSinglePst, "pst"}, {exporter::SaveSeparatePst, "psts"},
                                                           {exporter::SaveEml, "eml"},       {exporter::SaveMsg, "msg"},
                                                           {exporter::SaveRtf, "rtf"},       {exporter::SaveHtml, "html"}};

struct Runs {
    std::vector<std::map<std::string, std::string>> files;  // by run
    std::vector<std::vector<std::u16string>> lines;          // by run, the destination folder as "@"
};

TEST_F(ExportThreads, EveryFormatWritesTheSameFilesAndLinesWithOneThreadAndWithFour) {
    useNativeLibrary();
    open({mailbox("Inbox.mbox", variedMailbox(40)), sourceDir() / "samples" / "inbox.mbox"});
    for (const auto& [format, name] : kFormats) {
        Runs runs;
        for (int run = 0; run < 4; ++run) {  // run 1 with four threads
            const std::string folder = name + std::to_string(run) + "-";
            const std::size_t before = logRows().size();
            save(format, run == 1 ? 4 : 1, dir / folder);
            EXPECT_EQ(exporter::g_lastExportFailures, 0) << name;
            std::vector<std::u16string> lines(logRows().begin() + static_cast<std::ptrdiff_t>(before), logRows().end());
            for (std::u16string& line : lines)
                for (std::size_t at; (at = line.find(u16(folder))) != std::u16string::npos;) line.replace(at, folder.size(), u"@");
            runs.lines.push_back(lines);
            runs.files.push_back(contentsOf(dir / folder));
        }
        EXPECT_EQ(runs.lines[1], runs.lines[0]) << name;
        const auto four = runs.files[1];
        ASSERT_FALSE(four.empty()) << name;
        ASSERT_EQ(four.size(), runs.files[0].size()) << name;
        for (const auto& [path, first] : runs.files[0]) {
            ASSERT_TRUE(four.count(path)) << name << ": " << path;
            expectSameButTheStoreId({first, runs.files[2].at(path), runs.files[3].at(path)}, four.at(path), name + ": " + path);
        }
    }
}

// Messages of an .imm mailbox are rebuilt with their attachment files on the workers (under a boundary
// made from the clock, so the bytes vary from run to run): the log is the same, a missing file included.
TEST_F(ExportThreads, ImmMessagesAreRebuiltOnTheWorkersWithTheSameLog) {
    useNativeLibrary();
    const fs::path imm = dir / "imm" / "Mailbox.imm";
    fs::create_directories(dir / "imm" / "Attachments");
    fs::copy_file(sourceDir() / "samples" / "imm" / "Mailbox.imm", imm);
    fs::copy_file(sourceDir() / "samples" / "imm" / "Attachments" / "budget.csv", dir / "imm" / "Attachments" / "budget.csv");
    open({imm});
    for (const auto& [format, name] : kFormats) {
        std::vector<std::vector<std::u16string>> lines;
        for (int threads : {1, 4}) {
            const std::string folder = name + std::to_string(threads) + "-";
            const std::size_t before = logRows().size();
            save(format, threads, dir / folder);
            lines.emplace_back(logRows().begin() + static_cast<std::ptrdiff_t>(before), logRows().end());
            for (std::u16string& line : lines.back())
                for (std::size_t at; (at = line.find(u16(folder))) != std::u16string::npos;) line.replace(at, folder.size(), u"@");
        }
        EXPECT_EQ(lines[1], lines[0]) << name;
        EXPECT_NE(std::find_if(lines[1].begin(), lines[1].end(),
                               [](const std::u16string& l) { return l.find(u"report.pdf") != std::u16string::npos; }),
                  lines[1].end())
            << name;
        EXPECT_EQ(exporter::g_lastExportFailures, 1) << name;
    }
}

TEST_F(ExportThreads, AFailureInTheMiddleIsLoggedInItsPlace) {
    useFakeLibrary();
    journal.failing.insert("import(Message 3,1024)");
    journal.failing.insert("import(Message 4,1024)");
    open({mailbox("Inbox.mbox", mailboxOf(9))});
    save(exporter::SaveSeparatePst, 4, dir / "out");
    auto lines = logAfter(u"Saving process started.");
    ASSERT_GE(lines.size(), 10u);
    for (int n = 1; n <= 9; ++n) {
        const std::u16string item = u"Inbox.mbox[" + exporter::decimal(n) + u"/9]";
        EXPECT_EQ(lines[static_cast<std::size_t>(n)], (n == 4 || n == 5 ? u"Failed to save: " : u"Saving: ") + item);
    }
    EXPECT_EQ(lines[11], u"2 email items could not be saved.");
    EXPECT_EQ(exporter::g_lastExportFailures, 2);
    EXPECT_EQ(journal.importedItems, 9);  // a failed import still saves its (empty) item, as with one thread
}

// Stop is pressed right after the fifth item was saved (the recording library for the MSG files, the
// native engine for the PST): the run ends after that message, with four workers ahead of the writer.
TEST_F(ExportThreads, StopEndsTheRunAfterTheMessageBeingWritten) {
    for (int format : {exporter::SaveMsg, exporter::SaveSinglePst}) {
        int saves = 0;
        if (format == exporter::SaveMsg) {
            useFakeLibrary();
            journal.onCall = [&](const std::string& call) {
                if (call == "save" && ++saves == 5) frame::g_stopRequested = true;
            };
        } else {
            store::session::NativeSessionOptions options;
            options.profileListPath = u16(dir / "profiles.list");
            options.stopRequest = [] { return frame::g_stopRequested.load(); };
            library::registerSessionFactory([options] { return stopping_session::afterSaves(options, 5); });
        }
        open({mailbox("Inbox.mbox", variedMailbox(30))});
        const fs::path out = dir / ("stopped" + std::to_string(format));
        save(format, 4, out);
        auto lines = logAfter(u"Saving process started.");
        std::vector<std::u16string> saved;
        for (const auto& line : lines)
            if (line.starts_with(u"Saving: ")) saved.push_back(line);
        ASSERT_EQ(saved.size(), 5u) << format;
        EXPECT_TRUE(saved.back().ends_with(format == exporter::SaveMsg ? u"/5.msg" : u"[5/30]")) << format;
        EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                               [](const std::u16string& l) { return l.starts_with(u"Saving Process Stopped. 5 email items"); }),
                  lines.end())
            << format;
        for (const auto& line : lines) EXPECT_FALSE(line.starts_with(u"Failed")) << format;
        if (format == exporter::SaveMsg) {
            EXPECT_EQ(filesUnder(out).size(), 5u);
        }
    }
}

}  // namespace
