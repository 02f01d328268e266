#pragma once
// A native session that presses Stop once a number of items have been saved: it clears the busy
// flag the export polls, as the Stop command does, right after the item is stored.
#include <memory>

#include "frame/process_state.h"
#include "store/session/native_session.h"

namespace stopping_session {

struct Counter {
    int left;
    void saved() {
        if (--left == 0) frame::g_stopRequested = true;
    }
};

class Item : public library::Item {
public:
    Item(std::shared_ptr<library::Item> inner, std::shared_ptr<Counter> counter)
        : inner_(std::move(inner)), counter_(std::move(counter)) {}
    bool importFile(const std::u16string& path, int type) override { return inner_->importFile(path, type); }
    bool importBytes(std::string bytes, int type) override { return inner_->importBytes(std::move(bytes), type); }
    void markSentAndRead() override { inner_->markSentAndRead(); }
    bool save() override {
        const bool saved = inner_->save();
        counter_->saved();
        return saved;
    }
    bool saveAs(const std::u16string& path, int format) override { return inner_->saveAs(path, format); }
    std::shared_ptr<library::Attachments> attachments() override { return inner_->attachments(); }
    void remove(int mode) override { inner_->remove(mode); }

private:
    std::shared_ptr<library::Item> inner_;
    std::shared_ptr<Counter> counter_;
};

class Items : public library::Items {
public:
    Items(std::shared_ptr<library::Items> inner, std::shared_ptr<Counter> counter)
        : inner_(std::move(inner)), counter_(std::move(counter)) {}
    std::shared_ptr<library::Item> add() override {
        auto item = inner_->add();
        return item ? std::make_shared<Item>(item, counter_) : nullptr;
    }

private:
    std::shared_ptr<library::Items> inner_;
    std::shared_ptr<Counter> counter_;
};

class Folder : public library::Folder {
public:
    Folder(std::shared_ptr<library::Folder> inner, std::shared_ptr<Counter> counter)
        : inner_(std::move(inner)), counter_(std::move(counter)) {}
    std::u16string path() override { return inner_->path(); }
    std::shared_ptr<library::Folders> subfolders() override { return inner_->subfolders(); }
    std::shared_ptr<library::Items> items() override {
        auto items = inner_->items();
        return items ? std::make_shared<Items>(items, counter_) : nullptr;
    }
    void purge(bool all) override { inner_->purge(all); }

private:
    std::shared_ptr<library::Folder> inner_;
    std::shared_ptr<Counter> counter_;
};

// Only the target folder looked up by path needs the wrapper: the export adds its items there.
class Session : public store::session::NativeSession {
public:
    Session(store::session::NativeSessionOptions options, int saves)
        : NativeSession(std::move(options)), counter_(std::make_shared<Counter>(Counter{saves})) {}
    std::shared_ptr<library::Folder> folderByPath(const std::u16string& path) override {
        auto folder = NativeSession::folderByPath(path);
        return folder ? std::make_shared<Folder>(folder, counter_) : nullptr;
    }

private:
    std::shared_ptr<Counter> counter_;
};

inline std::shared_ptr<library::Session> afterSaves(const store::session::NativeSessionOptions& options, int saves) {
    return std::make_shared<Session>(options, saves);
}

}  // namespace stopping_session
