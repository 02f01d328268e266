#include "gui/attachment_actions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include "gui/qt_host.h"
#include "gui/qt_text.h"
#include "platform/file_output.h"

namespace gui {
namespace {

constexpr qsizetype kMaxNameBytes = 255;
const QString kFolderKey = QStringLiteral("Files/attachmentFolder");

bool writeFile(const QString& path, const std::string& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const auto size = static_cast<qint64>(bytes.size());
    return file.write(bytes.data(), size) == size && file.commit();
}

// Cuts the name to the byte limit, keeping a short extension and whole characters.
QString shortened(const QString& name) {
    if (name.toUtf8().size() <= kMaxNameBytes) return name;
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString extension = dot > 0 && name.size() - dot <= 16 ? name.mid(dot) : QString();
    QString stem = name.left(name.size() - extension.size());
    while (!stem.isEmpty() && (stem + extension).toUtf8().size() > kMaxNameBytes) {
        stem.chop(1);
        if (!stem.isEmpty() && stem.back().isHighSurrogate()) stem.chop(1);
    }
    return stem + extension;
}

}  // namespace

QString safeAttachmentName(const QString& name) {
    QString base = name.mid(std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\')) + 1);
    QString clean;
    for (const QChar c : base)
        if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format) clean += c;
    clean = clean.trimmed();
    while (clean.startsWith(u'.')) clean = clean.mid(1).trimmed();
    clean = shortened(clean);
    return clean.isEmpty() ? QStringLiteral("attachment") : clean;
}

CAttachmentActions::CAttachmentActions(CQtHost& host) : host_(host) {}

CAttachmentActions::~CAttachmentActions() = default;

std::optional<preview::AttachmentFile> CAttachmentActions::attachmentAt(const ui::CKelvaStaticViewer& viewer, int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= viewer.attachments.size()) return std::nullopt;
    const ui::CKelvaStaticViewer::Attachment& listed = viewer.attachments[static_cast<std::size_t>(row)];
    if (!listed.file.empty()) {
        preview::AttachmentFile attachment{listed.name, {}};
        if (!platform::readWholeFile(listed.file, attachment.bytes)) return std::nullopt;
        return attachment;
    }
    std::optional<preview::AttachmentFile> part = preview::attachmentOfMessageFile(viewer.shownFile, static_cast<std::size_t>(row));
    // Another message may be shown by now: the row's name must still match.
    if (!part || part->name != listed.name) return std::nullopt;
    return part;
}

void CAttachmentActions::activate(const ui::CKelvaStaticViewer& viewer, int row) {
    std::optional<preview::AttachmentFile> attachment = attachmentAt(viewer, row);
    if (!attachment) {
        tell(QStringLiteral("The attachment could not be read."));
        return;
    }
    QMessageBox choice(QMessageBox::Question, toQ(ui::kApplicationTitle),
                       QStringLiteral("What do you want to do with the attachment \"%1\"?").arg(toQ(attachment->name)),
                       QMessageBox::Cancel, host_.mainWindow());
    choice.setObjectName(QStringLiteral("attachmentChoice"));
    QPushButton* open = choice.addButton(QStringLiteral("&Open"), QMessageBox::AcceptRole);
    open->setObjectName(QStringLiteral("open"));
    QPushButton* save = choice.addButton(QStringLiteral("&Save As..."), QMessageBox::AcceptRole);
    save->setObjectName(QStringLiteral("save"));
    choice.setDefaultButton(open);
    host_.execDialog(choice);
    if (choice.clickedButton() == save)
        this->save(*attachment);
    else if (choice.clickedButton() == open)
        this->open(*attachment);
}

bool CAttachmentActions::save(const preview::AttachmentFile& attachment) {
    QString folder = host_.settings ? host_.settings->value(kFolderKey).toString() : QString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    ui::FileDialogRequest request;
    request.overwritePrompt = true;
    request.defaultPath = fromQ(QDir(folder).filePath(safeAttachmentName(toQ(attachment.name))));
    std::optional<std::u16string> chosen = host_.chooseSaveFile(request);
    if (!chosen) return false;
    const QString path = toQ(*chosen);
    if (!writeFile(path, attachment.bytes)) {
        tell(QStringLiteral("The attachment could not be saved as %1.").arg(path));
        return false;
    }
    if (host_.settings) host_.settings->setValue(kFolderKey, QFileInfo(path).absolutePath());
    return true;
}

bool CAttachmentActions::open(const preview::AttachmentFile& attachment) {
    if (!openFolder_) {
        openFolder_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kelva-attachments-XXXXXX"));
        if (!openFolder_->isValid()) openFolder_.reset();
    }
    // Each opened copy gets its own folder, so two attachments of the same name never meet.
    const QString folder = openFolder_ ? openFolder_->filePath(QString::number(++opened_)) : QString();
    const QString path = QDir(folder).filePath(safeAttachmentName(toQ(attachment.name)));
    if (folder.isEmpty() || !QDir().mkdir(folder) ||
        !QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner) ||
        !writeFile(path, attachment.bytes)) {
        tell(QStringLiteral("The attachment could not be written to the temporary folder."));
        return false;
    }
    if (!host_.openUrl(QUrl::fromLocalFile(path))) {
        tell(QStringLiteral("No application could be started to open %1.").arg(toQ(attachment.name)));
        return false;
    }
    return true;
}

void CAttachmentActions::tell(const QString& text) {
    ui::MessageBoxRequest request;
    request.text = fromQ(text);
    host_.messageBox(request);
}

}  // namespace gui
