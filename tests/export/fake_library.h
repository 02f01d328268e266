#pragma once
// A recording stand-in for the message-store library: folders kept in memory, every call written to
// a shared journal, and calls that can be told to fail.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "store/library/library_interface.h"
#include "support/test_support.h"

namespace fake_library {

// Calls may come from the export's worker threads; the journal keeps them in the order they came.
struct Journal {
    std::vector<std::string> calls;
    std::set<std::string> failing;  // calls (by journal text) that always throw
    bool outlookPresent = true;
    std::vector<std::u16string> attachmentNames;  // what every imported item carries
    int importedItems = 0;
    std::function<void(const std::string&)> onCall;  // runs after each recorded call

    std::recursive_mutex mutex;

    void record(const std::string& call) {
        std::lock_guard lock(mutex);
        calls.push_back(call);
        if (onCall) onCall(call);
        if (failing.count(call)) throw std::runtime_error("failed: " + call);
    }
    int count(const std::string& call) {
        std::lock_guard lock(mutex);
        int n = 0;
        for (const auto& c : calls) n += c == call;
        return n;
    }
};

inline std::string u8(const std::u16string& text) { return platform::utf16ToUtf8(text); }

class FakeFolder;

class FakeFolders : public library::Folders {
public:
    FakeFolders(Journal& journal, FakeFolder& owner) : journal_(journal), owner_(owner) {}
    std::shared_ptr<library::Folder> find(const std::u16string& name) override;
    std::shared_ptr<library::Folder> add(const std::u16string& name) override;

private:
    Journal& journal_;
    FakeFolder& owner_;
};

class FakeAttachment : public library::Attachment {
public:
    FakeAttachment(Journal& journal, std::u16string name) : journal_(journal), name_(std::move(name)) {}
    std::u16string fileName() override { return name_; }
    bool saveFile(const std::u16string& path) override {
        journal_.record("saveFile(" + u8(path) + ")");
        testing_support::writeFile(u8(path), "attachment " + u8(name_));
        return true;
    }

private:
    Journal& journal_;
    std::u16string name_;
};

class FakeAttachments : public library::Attachments {
public:
    explicit FakeAttachments(Journal& journal) : journal_(journal) {}
    int count() override { return static_cast<int>(journal_.attachmentNames.size()); }
    std::shared_ptr<library::Attachment> item(int i) override {
        return std::make_shared<FakeAttachment>(journal_, journal_.attachmentNames.at(static_cast<std::size_t>(i - 1)));
    }

private:
    Journal& journal_;
};

class FakeItem : public library::Item {
public:
    explicit FakeItem(Journal& journal) : journal_(journal) {}
    bool importFile(const std::u16string& path, int type) override {
        journal_.record("import(" + u8(platform::fileNameOf(path)) + "," + std::to_string(type) + ")");
        imported_ = testing_support::readFile(u8(path));
        return true;
    }
    // Recorded by the message's subject: "import(Message 1,1024)".
    bool importBytes(std::string bytes, int type) override {
        std::string subject;
        const std::size_t at = bytes.find("Subject: ");
        if (at != std::string::npos) subject = bytes.substr(at + 9, bytes.find_first_of("\r\n", at) - at - 9);
        journal_.record("import(" + subject + "," + std::to_string(type) + ")");
        imported_ = std::move(bytes);
        return true;
    }
    void markSentAndRead() override { journal_.record("flags"); }
    bool save() override {
        journal_.record("save");
        std::lock_guard lock(journal_.mutex);
        ++journal_.importedItems;
        return true;
    }
    bool saveAs(const std::u16string& path, int format) override {
        journal_.record("saveAs(" + u8(path) + "," + std::to_string(format) + ")");
        testing_support::writeFile(u8(path), imported_);
        return true;
    }
    std::shared_ptr<library::Attachments> attachments() override { return std::make_shared<FakeAttachments>(journal_); }
    void remove(int mode) override { journal_.record("delete(" + std::to_string(mode) + ")"); }

private:
    Journal& journal_;
    std::string imported_;
};

class FakeItems : public library::Items {
public:
    explicit FakeItems(Journal& journal) : journal_(journal) {}
    std::shared_ptr<library::Item> add() override {
        journal_.record("items.add");
        return std::make_shared<FakeItem>(journal_);
    }

private:
    Journal& journal_;
};

class FakeFolder : public library::Folder, public std::enable_shared_from_this<FakeFolder> {
public:
    FakeFolder(Journal& journal, std::u16string path) : journal_(journal), path_(std::move(path)) {}
    std::u16string path() override { return path_; }
    std::shared_ptr<library::Folders> subfolders() override { return std::make_shared<FakeFolders>(journal_, *this); }
    std::shared_ptr<library::Items> items() override { return std::make_shared<FakeItems>(journal_); }
    void purge(bool) override { journal_.record("purge"); }

    std::map<std::u16string, std::shared_ptr<FakeFolder>> children;
    std::shared_ptr<FakeFolder> byPath(const std::u16string& path) {
        if (path == path_) return shared_from_this();
        for (auto& [name, child] : children)
            if (auto found = child->byPath(path)) return found;
        return nullptr;
    }

private:
    Journal& journal_;
    std::u16string path_;
};

inline std::shared_ptr<library::Folder> FakeFolders::find(const std::u16string& name) {
    journal_.record("find(" + u8(name) + ")");
    auto it = owner_.children.find(name);
    return it == owner_.children.end() ? nullptr : it->second;
}

inline std::shared_ptr<library::Folder> FakeFolders::add(const std::u16string& name) {
    journal_.record("addFolder(" + u8(name) + ")");
    auto folder = std::make_shared<FakeFolder>(journal_, owner_.path() + u"\\" + name);
    owner_.children[name] = folder;
    return folder;
}

class FakeStore : public library::Store {
public:
    FakeStore(Journal& journal, std::shared_ptr<FakeFolder> top) : journal_(journal), top_(std::move(top)) {}
    std::shared_ptr<library::Folder> topFolder() override {
        journal_.record("topFolder");
        return top_;
    }

private:
    Journal& journal_;
    std::shared_ptr<FakeFolder> top_;
};

class FakeSession : public library::Session {
public:
    explicit FakeSession(Journal& journal) : journal_(journal) {}
    std::u16string outlookCheck() override { return journal_.outlookPresent ? u"Fake 1.0" : u""; }
    std::shared_ptr<library::LogonSource> logonSource() override { return nullptr; }
    std::shared_ptr<library::Store> openStore(const std::u16string& path, std::optional<int> type,
                                              std::optional<std::u16string> name) override {
        journal_.record("openStore(" + u8(path) + "," + (type ? std::to_string(*type) : "-") + "," +
                        (name ? u8(*name) : "-") + ")");
        auto& top = stores_[path];
        if (!top) top = std::make_shared<FakeFolder>(journal_, u"\\\\" + path + u"\\Top of Personal Folders");
        current_ = top;
        loggedOn_ = true;
        testing_support::writeFile(u8(path), "store");
        return std::make_shared<FakeStore>(journal_, top);
    }
    bool loggedOn() override { return loggedOn_; }
    void logOff() override {
        journal_.record("logOff");
        loggedOn_ = false;
    }
    void logOn(const std::u16string&) override { journal_.record("logOn"); }
    std::shared_ptr<library::Stores> stores() override { return nullptr; }
    std::shared_ptr<library::Folder> folderByPath(const std::u16string& path) override {
        journal_.record("folderByPath(" + u8(path) + ")");
        return current_ ? current_->byPath(path) : nullptr;
    }
    std::shared_ptr<library::Folder> defaultFolder(int number) override {
        journal_.record("defaultFolder(" + std::to_string(number) + ")");
        return current_;
    }

    std::map<std::u16string, std::shared_ptr<FakeFolder>> stores_;

private:
    Journal& journal_;
    std::shared_ptr<FakeFolder> current_;
    bool loggedOn_ = false;
};

}  // namespace fake_library
