#pragma once
// Renders the viewer's file on a worker thread, so that a large message never holds up the window,
// and hands the page back on the user-interface thread. Only the latest request's page is delivered.
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace gui {

class CBackgroundRenderer {
public:
    // Pages longer than this are cut at a line or tag end and say so at their end.
    static constexpr std::size_t kMaxPageBytes = 16u << 20;

    // context: the object on whose thread done runs; it must outlive this renderer.
    CBackgroundRenderer(QObject* context, std::function<void(const QString& page)> done);
    ~CBackgroundRenderer();  // waits for the workers
    CBackgroundRenderer(const CBackgroundRenderer&) = delete;
    CBackgroundRenderer& operator=(const CBackgroundRenderer&) = delete;

    void render(const std::u16string& path);
    // Drops the pages still being rendered.
    void cancel();
    // True while the latest request has not been delivered.
    bool busy() const { return delivered_ != requested_; }

    // The page of the file, or a short page saying why it cannot be shown (a render that failed).
    static std::string pageOrReason(const std::u16string& path);
    // The page as shown: CR LF line ends made single breaks (Qt breaks at CR and at LF alike), cut
    // to kMaxPageBytes.
    static std::string preparePage(std::string html, std::size_t limit = kMaxPageBytes);

private:
    struct Worker {
        std::jthread thread;  // asked to stop when superseded, joined when dropped
        std::shared_ptr<std::atomic<bool>> finished;
    };
    void reap();
    void deliver(unsigned request, std::shared_ptr<QString> page);  // worker thread

    QObject* context_;
    std::function<void(const QString&)> done_;
    std::vector<Worker> workers_;
    unsigned requested_ = 0;
    unsigned delivered_ = 0;
};

}  // namespace gui
