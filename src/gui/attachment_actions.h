#pragma once
// What a double-click or Enter on an attachment of the file viewer does: it asks whether to save the
// attachment (a file dialog, the name made safe, overwriting only after the dialog's confirmation) or
// to open it with the desktop's default application (a copy in a private folder that is removed when
// this object goes, at the end of the program).
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "preview/attachment_files.h"
#include "ui/static_viewer.h"

namespace gui {

class CQtHost;

// A name that stays one file inside any folder: the part after the last '/' or '\', without control
// and formatting characters, leading dots and surrounding blanks, at most 255 UTF-8 bytes (the
// extension kept); "attachment" when nothing is left.
QString safeAttachmentName(const QString& name);

class CAttachmentActions {
public:
    explicit CAttachmentActions(CQtHost& host);
    ~CAttachmentActions();

    // Offers to save or open attachment `row` of the viewer's list.
    void activate(const ui::CKelvaStaticViewer& viewer, int row);
    // The attachment's decoded bytes; nothing when they cannot be read any more.
    static std::optional<preview::AttachmentFile> attachmentAt(const ui::CKelvaStaticViewer& viewer, int row);
    bool save(const preview::AttachmentFile& attachment);
    bool open(const preview::AttachmentFile& attachment);
    // The private folder of opened copies; empty before the first open.
    QString openFolder() const { return openFolder_ ? openFolder_->path() : QString(); }

private:
    void tell(const QString& text);

    CQtHost& host_;
    std::unique_ptr<QTemporaryDir> openFolder_;
    int opened_ = 0;
};

}  // namespace gui
