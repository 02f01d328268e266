#include "gui/save_output_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <vector>

#include "export/save_options.h"
#include "gui/qt_host.h"
#include "gui/qt_text.h"

namespace gui {

using namespace exporter;

CSaveOutputDialog::CSaveOutputDialog(CQtHost& host, QWidget* parent)
    : QDialog(parent),
      logic_({[&host](const std::u16string& title) { return host.browseFolder(title); },
              [&host](const std::u16string& text) {
                  ui::MessageBoxRequest request;
                  request.text = text;
                  host.messageBox(request);
              }}) {
    setWindowTitle(toQ(kSaveDialogTitle));
    setObjectName(QStringLiteral("saveOutputDialog"));
    const QFontMetrics metrics = fontMetrics();
    xUnit_ = std::max(1.5, metrics.averageCharWidth() / 4.0);
    yUnit_ = std::max(1.6, metrics.height() / 8.0);

    auto* addBox = new QGroupBox(this);
    place(addBox, 11, 9, 331, 68);
    auto* folderBox = new QGroupBox(QStringLiteral("Select folder path to save files"), this);
    place(folderBox, 9, 102, 335, 54);

    struct Choice {
        int id;
        const char* text;
        bool check;
        int x, y, w, h;
    };
    const Choice choices[] = {
        {IDC_SAVE_PST, "Save as PST", false, 17, 4, 55, 10},
        {IDC_SEPARATE_PST, "Create separate pst file per MBOX file", false, 25, 21, 137, 10},
        {IDC_SINGLE_PST, "Create single pst file for selected MBOX files", false, 25, 40, 157, 10},
        {IDC_ATTACH_OUTLOOK, "Attach PST file to MS Outlook", true, 25, 59, 109, 10},
        {IDC_SAVE_EML, "Save as EML", false, 12, 86, 56, 10},
        {IDC_SAVE_MSG, "Save as MSG", false, 87, 86, 57, 10},
        {IDC_SAVE_RTF, "Save as RTF", false, 163, 86, 56, 10},
        {IDC_SAVE_HTML, "Save as HTML", false, 241, 86, 61, 10},
        {IDC_HIERARCHY, "Save in folder hierarchy", true, 16, 140, 92, 9},
        {IDC_LABEL_FOLDERS, "Gmail labels as folders", true, 120, 140, 95, 9},
        {IDC_MESSAGE_STATE, "Keep read and flag state", true, 228, 140, 105, 9},
    };
    for (const Choice& c : choices) {
        QAbstractButton* b = nullptr;
        if (c.check) {
            b = new QCheckBox(QString::fromLatin1(c.text), this);
        } else {
            auto* radio = new QRadioButton(QString::fromLatin1(c.text), this);
            radio->setAutoExclusive(false);  // the dialog keeps the choices exclusive itself
            b = radio;
        }
        b->setObjectName(QStringLiteral("button%1").arg(c.id));
        place(b, c.x, c.y, c.w, c.h);
        buttons_[c.id] = b;
        const int id = c.id;
        connect(b, &QAbstractButton::clicked, this, [this, id] {
            logic_.OnClicked(id);
            refresh();
        });
    }
    // The PST choice sits on the frame of its group, like a caption.
    buttons_[IDC_SAVE_PST]->setAutoFillBackground(true);
    buttons_[IDC_SAVE_PST]->raise();

    folder_ = new QLineEdit(this);
    folder_->setObjectName(QStringLiteral("folder"));
    place(folder_, 15, 120, 302, 15);
    connect(folder_, &QLineEdit::textEdited, this, [this](const QString& text) { logic_.folderText = fromQ(text); });
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setObjectName(QStringLiteral("browse"));
    place(browse, 321, 119, 18, 16, false);
    connect(browse, &QPushButton::clicked, this, [this] {
        logic_.OnBrowse();
        refresh();
    });
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    place(ok, 131, 164, 50, 16);
    connect(ok, &QPushButton::clicked, this, &CSaveOutputDialog::accept);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    place(cancel, 185, 164, 50, 16);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(static_cast<int>(355 * xUnit_), static_cast<int>(188 * yUnit_));
    logic_.OnInitDialog();
    refresh();
}

void CSaveOutputDialog::place(QWidget* widget, int x, int y, int w, int h, bool growToText) {
    QSize hint = growToText ? widget->sizeHint() : QSize();
    widget->setGeometry(static_cast<int>(x * xUnit_), static_cast<int>(y * yUnit_),
                        std::max(static_cast<int>(w * xUnit_), hint.width()),
                        std::max(static_cast<int>(h * yUnit_), hint.height()));
}

void CSaveOutputDialog::refresh() {
    for (auto& [id, b] : buttons_) {
        const ButtonState& state = logic_.button(id);
        b->setChecked(state.checked);
        b->setEnabled(state.enabled);
    }
    if (folder_->text() != toQ(logic_.folderText)) folder_->setText(toQ(logic_.folderText));
}

void CSaveOutputDialog::accept() {
    logic_.folderText = fromQ(folder_->text());
    if (logic_.OnOK()) QDialog::accept();
}

namespace {

// The buttons a person clicks to choose a save mode again.
std::vector<int> clicksFor(int mode) {
    switch (mode) {
        case SaveSeparatePst:
            return {IDC_SAVE_PST, IDC_SEPARATE_PST};
        case SaveSinglePst:
            return {IDC_SAVE_PST, IDC_SINGLE_PST};
        case SaveEml:
            return {IDC_SAVE_EML};
        case SaveMsg:
            return {IDC_SAVE_MSG};
        case SaveRtf:
            return {IDC_SAVE_RTF};
        case SaveHtml:
            return {IDC_SAVE_HTML};
        default:
            return {};
    }
}

}  // namespace

void CSaveOutputDialog::preset(int mode, const QString& folder) {
    for (int id : clicksFor(mode)) logic_.OnClicked(id);
    if (!folder.isEmpty()) logic_.folderText = fromQ(folder);
    refresh();
}

bool runSaveOutputDialog(CQtHost& host) {
    CSaveOutputDialog dialog(host, host.mainWindow());
    // The last confirmed destination and format are offered again, from the settings file.
    if (host.settings)
        dialog.preset(host.settings->value(QStringLiteral("Save/mode")).toInt(),
                      host.settings->value(QStringLiteral("Save/destination")).toString());
    if (host.execDialog(dialog) != QDialog::Accepted) return false;
    if (host.settings) {
        host.settings->setValue(QStringLiteral("Save/mode"), g_saveMode.load());
        host.settings->setValue(QStringLiteral("Save/destination"), toQ(g_destinationFolder));
    }
    return true;
}

}  // namespace gui
