#pragma once
// A started application on the headless host, with its log and temporary files in a scratch folder,
// and helpers that play the user's part: opening files, clicking folders and answering boxes.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "scan/temp_files.h"
#include "support/test_support.h"
#include "ui/headless_host.h"

namespace testing_support {

inline std::u16string u16(const std::filesystem::path& path) { return platform::fromNativePath(path.string()); }
inline std::string u8(const std::u16string& text) { return platform::utf16ToUtf8(text); }

// An mbox of n messages with To, From, Subject ("Message k") and Date headers, LF line ends.
inline std::string mailboxOf(int n) {
    std::string text;
    for (int k = 0; k < n; ++k) {
        if (k > 0) text += "\n";
        text += "From sender@example.com Tue Dec  1 10:00:00 2026\n";
        text += "To: to" + std::to_string(k) + "@example.com\n";
        text += "From: from" + std::to_string(k) + "@example.com\n";
        text += "Subject: Message " + std::to_string(k) + "\n";
        text += "Date: Tue, 1 Dec 2026 10:00:00 +0100\n\nBody " + std::to_string(k) + "\n";
    }
    return text;
}

class HeadlessFrame : public ::testing::Test {
protected:
    HeadlessFrame() {
        std::filesystem::create_directories(dir / "logs");
        std::filesystem::create_directories(dir / "tmp");
        application = std::make_unique<app::CKelvaHaldenApp>(dispatcher, host);
        app::StartOptions options;
        options.settingsPath = u16(dir / "settings.conf");
        options.frame.logFolder = u16(dir / "logs");
        application->InitInstance(options);
        frame = application->mainFrame();
        scan::g_tempBase = u16(dir / "tmp");  // until an Open chooses it, temporary files stay in here
    }
    ~HeadlessFrame() override {
        application.reset();
        scan::g_tempBase.clear();
    }

    std::filesystem::path mailbox(const std::string& name, const std::string& bytes) {
        std::filesystem::path path = dir / name;
        std::filesystem::create_directories(path.parent_path());
        writeFile(path, bytes);
        return path;
    }

    // Plays the file selection dialog: picks the files, uses the scratch temporary folder, OK. The
    // optional step runs after OK, before the scan starts.
    void scriptOpen(const std::vector<std::filesystem::path>& files, std::function<void()> afterOk = {}) {
        host.selectFilesScript = [this, files, afterOk](ui::CSelectFilesDlg& dlg) {
            ++dialogsShown;
            std::vector<std::u16string> picked;
            for (const auto& f : files) picked.push_back(u16(f));
            host.pickedFiles.push_back(picked);
            dlg.OnAddFiles();
            dlg.WaitForWorkers();
            dlg.tempFolder = u16(dir / "tmp");
            if (dlg.OnOK() && afterOk) afterOk();
        };
    }
    void open(const std::vector<std::filesystem::path>& files, std::function<void()> afterOk = {}) {
        scriptOpen(files, std::move(afterOk));
        frame->OnOpen();
        frame->waitForWorker();
    }

    frame::TreeItem rootItem(int number) {
        for (frame::TreeItem i = frame->mailboxTree.GetRootItem(); i; i = frame->mailboxTree.GetNextSiblingItem(i))
            if (frame->mailboxTree.GetItemData(i) == static_cast<std::uintptr_t>(number)) return i;
        return 0;
    }
    frame::TreeItem childItem(int number) { return frame->mailboxTree.GetChildItem(rootItem(number)); }

    void clickFolder(int number) {
        frame->mailboxTree.Click(childItem(number), frame::TVHT_ONITEMLABEL);
        frame->waitForWorker();
    }

    const std::vector<std::u16string>& logRows() const { return frame->logList.rows(); }

    // The lines of the activity log file after its byte-order mark, split at CR LF.
    std::vector<std::u16string> logFileLines() const {
        std::string bytes = readFile(platform::nativePath(frame::g_logFilePath));
        std::u16string text;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        std::vector<std::u16string> lines;
        std::size_t at = 0;
        for (std::size_t end; (end = text.find(u"\r\n", at)) != std::u16string::npos; at = end + 2)
            lines.push_back(text.substr(at, end - at));
        return lines;
    }

    TempDir dir;
    ui::CDispatcher dispatcher;
    ui::CHeadlessHost host;
    std::unique_ptr<app::CKelvaHaldenApp> application;
    app::CMainFrame* frame = nullptr;
    int dialogsShown = 0;
};

}  // namespace testing_support
