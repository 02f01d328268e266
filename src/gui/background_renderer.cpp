#include "gui/background_renderer.h"

#include <QMetaObject>
#include <exception>

#include "preview/web_archive.h"

namespace gui {

CBackgroundRenderer::CBackgroundRenderer(QObject* context, std::function<void(const QString&)> done)
    : context_(context), done_(std::move(done)) {}

CBackgroundRenderer::~CBackgroundRenderer() {
    for (Worker& worker : workers_) worker.thread.request_stop();
    workers_.clear();  // joins
}

void CBackgroundRenderer::cancel() {
    delivered_ = ++requested_;
    for (Worker& worker : workers_) worker.thread.request_stop();
}

std::string CBackgroundRenderer::pageOrReason(const std::u16string& path) {
    // The thread must not end by an exception (that would end the program): the page says what failed.
    try {
        return preview::renderFileForViewer(path);
    } catch (const std::exception& error) {
        return std::string("<p><i>This message cannot be shown in the preview: ") +
               QString::fromStdString(error.what()).toHtmlEscaped().toStdString() + "</i></p>";
    } catch (...) {
        return "<p><i>This message cannot be shown in the preview.</i></p>";
    }
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
    std::erase_if(workers_, [](Worker& worker) { return worker.finished->load(); });
}

void CBackgroundRenderer::deliver(unsigned request, std::shared_ptr<QString> page) {
    // Queued to the context's thread; the destructor joins the worker before the context goes.
    QMetaObject::invokeMethod(
        context_,
        [this, page, request] {
            if (request != requested_) return;  // a later request supersedes this one
            delivered_ = request;
            done_(*page);
        },
        Qt::QueuedConnection);
}

void CBackgroundRenderer::render(const std::u16string& path) {
    reap();
    for (Worker& worker : workers_) worker.thread.request_stop();  // superseded
    const unsigned request = ++requested_;
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::jthread thread([this, path, request, finished](std::stop_token stop) {
        struct MarkFinished {
            std::atomic<bool>& flag;
            ~MarkFinished() { flag.store(true); }
        } mark{*finished};
        std::string html = pageOrReason(path);
        if (stop.stop_requested()) return;  // superseded: nobody waits for this page
        try {
            deliver(request, std::make_shared<QString>(QString::fromStdString(preparePage(std::move(html)))));
        } catch (const std::exception&) {
            // Out of memory for the page: a short one says so instead.
            deliver(request, std::make_shared<QString>(
                                 QStringLiteral("<p><i>This message is too large for the preview.</i></p>")));
        }
    });
    workers_.push_back({std::move(thread), std::move(finished)});
}

}  // namespace gui
