#include "app/frame_jobs.h"

#include "app/marshalled_controls.h"
#include "export/export_job.h"
#include "preview/preview_job.h"

namespace app {
namespace {

// The preview job's view of the file viewer: every change is made on the user-interface thread.
class ViewerTarget : public preview::PreviewViewer {
public:
    ViewerTarget(ui::CDispatcher& dispatcher, ui::CKelvaStaticViewer& viewer) : d_(dispatcher), v_(viewer) {}

    void setHeaderTexts(const scan::MessageSummary& summary) override {
        onUiThread(d_, [&] {
            v_.fromText = summary.from;
            v_.toText = summary.to;
            v_.subjectText = summary.subject;
            v_.dateText = summary.date;
        });
    }
    void addAttachment(const preview::AttachmentItem& item) override {
        onUiThread(d_, [&] { v_.attachments.push_back({item.name, item.withIcon ? 0 : -1, item.file}); });
    }
    void invalidate() override {
        onUiThread(d_, [&] {
            if (v_.onChanged) v_.onChanged();
        });
    }

private:
    ui::CDispatcher& d_;
    ui::CKelvaStaticViewer& v_;
};

}  // namespace

void installFrameJobs(CMainFrame& frame, std::function<bool()> runSaveDialog) {
    frame.previewJob = [&frame](scan::FrameContext& context) {
        ViewerTarget viewer(frame.dispatcher(), frame.previewBrowser);
        return preview::PreviewJob(context, viewer);
    };
    frame.saveCommand = [dialog = std::move(runSaveDialog)](scan::FrameContext& context) {
        exporter::onSave(context, dialog ? dialog : [] { return false; });
    };
}

}  // namespace app
