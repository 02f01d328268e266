#include "gui/background_renderer.h"

#include <QMetaObject>

#include "preview/web_archive.h"

namespace gui {

CBackgroundRenderer::CBackgroundRenderer(QObject* context, std::function<void(const QString&)> done)
    : context_(context), done_(std::move(done)) {}

CBackgroundRenderer::~CBackgroundRenderer() {
    for (Worker& worker : workers_) worker.thread.join();
}

std::string CBackgroundRenderer::preparePage(std::string html, std::size_t limit) {
    std::string page;
    page.reserve(std::min(html.size(), limit));
    for (std::size_t i = 0; i < html.size() && page.size() < limit; ++i)
        if (!(html[i] == '\r' && i + 1 < html.size() && html[i + 1] == '\n')) page.push_back(html[i]);
    if (page.size() >= limit) {
        // Cut after the last line or tag end, never inside a character or a tag.
        std::size_t end = page.find_last_of(">\n");
        page.resize(end == std::string::npos ? 0 : end + 1);
        page += "<p><i>The rest of this message is not shown in the preview.</i></p>";
    }
    return page;
}

void CBackgroundRenderer::reap() {
    std::erase_if(workers_, [](Worker& worker) {
        if (!worker.finished->load()) return false;
        worker.thread.join();
        return true;
    });
}

void CBackgroundRenderer::render(const std::u16string& path) {
    reap();
    const unsigned request = ++requested_;
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([this, path, request, finished] {
        auto page = std::make_shared<QString>(QString::fromStdString(preparePage(preview::renderFileForViewer(path))));
        // Queued to the context's thread; the destructor joins this thread before the context goes.
        QMetaObject::invokeMethod(
            context_,
            [this, page, request] {
                if (request != requested_) return;  // a later request supersedes this one
                delivered_ = request;
                done_(*page);
            },
            Qt::QueuedConnection);
        finished->store(true);
    });
    workers_.push_back({std::move(thread), std::move(finished)});
}

}  // namespace gui
