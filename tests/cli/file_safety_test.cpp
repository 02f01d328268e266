// The program itself on a shared machine: its temporary folder is private and gone at exit, planted
// symbolic links in the temporary base and in the destination send nothing elsewhere, and two runs
// into the same destination never share an output file or folder.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <vector>
#include <unistd.h>

#include "support/test_support.h"

#ifdef MBOX2PST_PATH
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::writeFile;

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// A mailbox of `count` messages with the subjects <tag>-1 ... <tag>-count.
std::string mailboxText(const std::string& tag, int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        text += "From a@example.com Tue Dec  1 10:00:00 2026\n";
        text += "From: a@example.com\nTo: b@example.com\nSubject: " + tag + "-" + std::to_string(i) + "\n";
        text += "Date: Tue, 1 Dec 2026 10:00:00 +0100\n\nBody of " + tag + "-" + std::to_string(i) + "\n\n";
    }
    return text;
}

// Every file below the folder with its bytes, to see that nothing changed.
std::map<std::string, std::string> contentsOf(const fs::path& folder) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path& p = it->path();
        std::string key = fs::relative(p, folder).string();
        if (fs::is_symlink(fs::symlink_status(p))) {
            out[key] = "-> " + fs::read_symlink(p).string();
        } else if (fs::is_regular_file(p)) {
            out[key] = readFile(p);
        } else {
            out[key] = "<folder>";
        }
    }
    return out;
}

// The subjects of the messages in EML files below a folder.
std::multiset<std::string> emlSubjects(const fs::path& folder) {
    std::multiset<std::string> subjects;
    for (const fs::path& file : testing_support::filesUnder(folder)) {
        const std::string text = readFile(file);
        const std::size_t at = text.find("Subject: ");
        if (at != std::string::npos) subjects.insert(text.substr(at + 9, text.find_first_of("\r\n", at) - at - 9));
    }
    return subjects;
}

std::multiset<std::string> expectedSubjects(const std::string& tag, int count) {
    std::multiset<std::string> subjects;
    for (int i = 1; i <= count; ++i) subjects.insert(tag + "-" + std::to_string(i));
    return subjects;
}

std::string base64(std::string_view bytes) {
    static const char* const alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[v & 63] : '=';
    }
    return out;
}

// Undoes the percent-encoding of a link.
std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The targets of the links that follow `marker` up to the next quote.
std::vector<std::string> linksAfter(const std::string& text, const std::string& marker) {
    std::vector<std::string> links;
    for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
        const std::size_t start = at + marker.size();
        links.push_back(percentDecoded(text.substr(start, text.find('"', start) - start)));
    }
    return links;
}

class FileSafety : public ::testing::Test {
protected:
    FileSafety() {
        fs::create_directories(base);
        fs::create_directories(dest);
        writeFile(victim, "precious");
    }

    // Runs mbox2pst with the environment prefix; returns the exit status.
    int run(const std::string& arguments, const std::string& environment = "") {
        const std::string command = "env -u XDG_RUNTIME_DIR TMPDIR=" + quoted(base) + " " + environment + " " +
                                    MBOX2PST_PATH + " --log-dir " + quoted(dir / "logs") + " --no-progress " +
                                    arguments + " >" + quoted(dir / "output.txt") + " 2>&1";
        const int status = std::system(command.c_str());
        output = readFile(dir / "output.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string mailbox(const std::string& name, const std::string& text) {
        const fs::path path = dir / name;
        fs::create_directories(path.parent_path());
        writeFile(path, text);
        return quoted(path);
    }

    testing_support::TempDir dir;
    fs::path base = dir / "base";
    fs::path dest = dir / "dest";
    fs::path victim = dir / "victim.txt";
    std::string output;
};

}  // namespace

TEST_F(FileSafety, TheTemporaryFolderIsPrivateIgnoresPlantedFilesAndIsGoneAtExit) {
    // Another user prepared the old fixed folder, open to all, with links to the user's files.
    const fs::path planted = base / "KelvaMbox2PSTCon";
    fs::create_directories(planted);
    fs::permissions(planted, fs::perms::all);
    fs::create_symlink(victim, planted / "1.eml");
    fs::create_symlink(dir / "nowhere", planted / "Tartmp.pst");
    fs::create_symlink(victim, base / "kelva-XXXXXX");
    if (::geteuid() == 0) {
        for (const fs::path& p : {planted, planted / "1.eml", planted / "Tartmp.pst", base / "kelva-XXXXXX"})
            ASSERT_EQ(::lchown(p.c_str(), 65534, 65534), 0);
    }
    // Only the base and the user's file matter here.
    auto watched = [&] {
        auto all = contentsOf(dir.path());
        std::erase_if(all, [](const auto& entry) { return !entry.first.starts_with("base") && entry.first != "victim.txt"; });
        return all;
    };
    const auto before = watched();
    const std::string inbox = mailbox("mail/Inbox.mbox", mailboxText("A", 3));

    struct Case {
        std::string arguments;
    } cases[] = {
        {"convert --to msg --dest " + quoted(dest) + " " + inbox},
        {"convert --to pst --dest " + quoted(dest) + " " + inbox},
        {"--temp " + quoted(base) + " convert --to html --dest " + quoted(dest) + " " + inbox},
        {"show --html " + quoted(dir / "shown.html") + " " + inbox + " 0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.arguments), 0) << c.arguments << "\n" << output;
        // Nothing of the run stays in the base, and nothing planted was touched or followed.
        EXPECT_EQ(watched(), before) << c.arguments;
    }
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_TRUE(fs::exists(dest / "Inbox.mbox.pst"));
    EXPECT_TRUE(fs::exists(dest / "Inbox.mbox" / "1.msg"));
}

TEST_F(FileSafety, AStoppedRunRemovesItsTemporaryFolder) {
    const std::string inbox = mailbox("mail/Inbox.mbox", mailboxText("A", 3000));
    const std::string command = "exec env -u XDG_RUNTIME_DIR TMPDIR=" + quoted(base) + " " + MBOX2PST_PATH +
                                " --log-dir " + quoted(dir / "logs") + " --no-progress convert --to eml --dest " +
                                quoted(dest) + " " + inbox + " >/dev/null 2>&1";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Once the private folder exists the program handles the signal.
    for (int i = 0; i < 2000 && fs::is_empty(base); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (const auto& entry : fs::directory_iterator(base)) {
        struct stat st {};
        ASSERT_EQ(::lstat(entry.path().c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(st.st_uid, ::geteuid());
        // Another user cannot even look inside.
        if (::geteuid() == 0 && std::system("command -v setpriv >/dev/null 2>&1") == 0) {
            const std::string peek = "setpriv --reuid=65534 --regid=65534 --clear-groups ls " + quoted(entry.path()) +
                                     " >/dev/null 2>&1";
            EXPECT_NE(std::system(peek.c_str()), 0);
        }
    }
    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(fs::is_empty(base));
}

TEST_F(FileSafety, LinksPlantedInTheDestinationAreNeverFollowed) {
    const std::string inbox = mailbox("mail/Inbox.mbox", mailboxText("A", 3));
    const fs::path elsewhere = dir / "elsewhere";
    fs::create_directories(elsewhere);
    // A dangling link where the PST goes, and one to an existing file where the single PST goes.
    fs::create_symlink(elsewhere / "landed.pst", dest / "Inbox.mbox.pst");
    fs::create_symlink(victim, dest / "Resultant.pst");
    EXPECT_EQ(run("convert --to pst --dest " + quoted(dest) + " " + inbox), 0) << output;
    EXPECT_EQ(run("convert --to single-pst --dest " + quoted(dest) + " " + inbox), 0) << output;
    EXPECT_EQ(readFile(dest / "0Inbox.mbox.pst").substr(0, 4), "!BDN");
    EXPECT_EQ(readFile(dest / "0Resultant.pst").substr(0, 4), "!BDN");

    // With the hierarchy option, a link where the mirrored chain starts: the messages fail, loudly.
    fs::create_directory_symlink(elsewhere, dest / std::next(dir.path().begin())->string());
    EXPECT_EQ(run("convert --to eml --hierarchy --dest " + quoted(dest) + " " + inbox), 1) << output;
    EXPECT_NE(output.find("Failed to save"), std::string::npos) << output;

    // The destination itself may be a link the user chose.
    fs::create_directory_symlink(dest, dir / "chosen");
    EXPECT_EQ(run("convert --to eml --dest " + quoted(dir / "chosen") + " " + inbox), 0) << output;
    EXPECT_EQ(emlSubjects(dest / "Inbox.mbox"), expectedSubjects("A", 3));

    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_EQ(readFile(victim), "precious");
}

TEST_F(FileSafety, RepeatedAttachmentNamesGetFilesOfTheirOwnAndTheItemsLinkToThem) {
    // Three messages, each with the same six names: a common one, no name, "/", ".", and a repeat.
    const char* const names[] = {"image001.png", "", "/", ".", "same.txt", "same.txt"};
    std::string text;
    for (int m = 1; m <= 3; ++m) {
        text += "From a@example.com Tue Dec  1 10:00:00 2026\nFrom: a@example.com\nSubject: M" + std::to_string(m) +
                "\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain\n\nText\n";
        for (std::size_t k = 0; k < std::size(names); ++k) {
            const std::string name = names[k];
            text += "--b\nContent-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n"
                    "Content-Disposition: attachment" +
                    (name.empty() ? std::string() : "; filename=\"" + name + "\"") + "\n\n" +
                    base64("content-" + std::to_string(m) + "-" + std::to_string(k)) + "\n";
        }
        text += "--b--\n\n";
    }
    const std::string inbox = mailbox("mail/Inbox.mbox", text);
    struct Case {
        std::string format, marker;
    } cases[] = {{"html", "<a href=\""}, {"rtf", "HYPERLINK \""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        fs::remove_all(dest);
        fs::create_directories(dest);
        ASSERT_EQ(run("convert --to " + c.format + " --dest " + quoted(dest) + " " + inbox), 0) << output;
        const fs::path folder = dest / "Inbox.mbox";
        std::set<std::string> written;
        for (const auto& entry : fs::directory_iterator(folder / "Inbox.mbox_Attachment"))
            written.insert(readFile(entry.path()));
        EXPECT_EQ(written.size(), 3 * std::size(names));  // every attachment kept, none overwritten
        for (int m = 1; m <= 3; ++m) {
            const std::vector<std::string> links =
                linksAfter(readFile(folder / (std::to_string(m) + "." + c.format)), c.marker);
            ASSERT_EQ(links.size(), std::size(names)) << m;
            for (std::size_t k = 0; k < links.size(); ++k)
                EXPECT_EQ(readFile(folder / links[k]), "content-" + std::to_string(m) + "-" + std::to_string(k))
                    << links[k];
        }
    }
}

TEST_F(FileSafety, ConcurrentRunsIntoOneDestinationNeverShareAnOutput) {
    constexpr int kCount = 50;
    const std::string a = mailbox("a/Inbox.mbox", mailboxText("A", kCount));
    const std::string b = mailbox("b/Inbox.mbox", mailboxText("B", kCount));
    for (const std::string format : {"eml", "pst"}) {
        SCOPED_TRACE(format);
        fs::remove_all(dest);
        fs::create_directories(dest);
        const std::string program = "env -u XDG_RUNTIME_DIR TMPDIR=" + quoted(base) + " " + MBOX2PST_PATH +
                                    " --log-dir " + quoted(dir / "logs") + " --no-progress convert --to " + format +
                                    " --dest " + quoted(dest) + " ";
        const std::string both = "(" + program + a + " >/dev/null 2>&1; echo $? >" + quoted(dir / "a.status") + ") & (" +
                                 program + b + " >/dev/null 2>&1; echo $? >" + quoted(dir / "b.status") + ") & wait";
        ASSERT_EQ(std::system(both.c_str()), 0);
        EXPECT_EQ(readFile(dir / "a.status"), "0\n");
        EXPECT_EQ(readFile(dir / "b.status"), "0\n");
        std::multiset<std::string> all;
        if (std::string(format) == "eml") {
            // Two folders, each with one mailbox whole.
            const auto first = emlSubjects(dest / "Inbox.mbox"), second = emlSubjects(dest / "0Inbox.mbox");
            EXPECT_EQ(first.size(), static_cast<std::size_t>(kCount));
            EXPECT_EQ(second.size(), static_cast<std::size_t>(kCount));
            all = first;
            all.insert(second.begin(), second.end());
        } else {
            if (std::system("command -v readpst >/dev/null 2>&1") != 0) GTEST_SKIP() << "readpst is not installed";
            for (const char* name : {"Inbox.mbox.pst", "0Inbox.mbox.pst"}) {
                const fs::path out = dir / (std::string("read-") + name);
                fs::create_directories(out);
                const std::string read = "readpst -q -j 0 -e -o " + quoted(out) + " " + quoted(dest / name) + " >/dev/null 2>&1";
                ASSERT_EQ(std::system(read.c_str()), 0) << name;
                const auto subjects = emlSubjects(out);
                EXPECT_EQ(subjects.size(), static_cast<std::size_t>(kCount)) << name;
                all.insert(subjects.begin(), subjects.end());
            }
        }
        auto expected = expectedSubjects("A", kCount);
        const auto fromB = expectedSubjects("B", kCount);
        expected.insert(fromB.begin(), fromB.end());
        EXPECT_EQ(all, expected);
    }
}
#endif
