#include "gui/save_output_dialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <vector>

#include "export/gmail_labels.h"
#include "export/save_options.h"
#include "gui/qt_host.h"
#include "gui/qt_text.h"
#include "scan/mbox_variants.h"

namespace gui {

using namespace exporter;

namespace {

constexpr int kDialogWidth = 355, kDialogHeight = 188, kMoreHeight = 80;

}  // namespace

CSaveOutputDialog::CSaveOutputDialog(CQtHost& host, QWidget* parent)
    : QDialog(parent),
      logic_({[&host](const std::u16string& title) { return host.browseFolder(title); },
              [&host](const std::u16string& text) {
                  ui::MessageBoxRequest request;
                  request.text = text;
                  host.messageBox(request);
              }}),
      host_(host) {
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
        {IDC_LABEL_FOLDERS, "Gmail labels as folders", true, 125, 140, 95, 9},
        {IDC_MESSAGE_STATE, "Keep read and flag state", true, 231, 140, 105, 9},
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

    createMoreOptions();
    logic_.OnInitDialog();
    showMoreOptions(false);
}

// Options beyond the dialog's own, below its buttons and hidden until asked for.
void CSaveOutputDialog::createMoreOptions() {
    moreButton_ = new QPushButton(QStringLiteral("&More options..."), this);
    moreButton_->setObjectName(QStringLiteral("moreOptions"));
    moreButton_->setCheckable(true);
    place(moreButton_, 9, 164, 70, 16);
    connect(moreButton_, &QPushButton::toggled, this, &CSaveOutputDialog::showMoreOptions);

    more_ = new QGroupBox(QStringLiteral("More options"), this);
    more_->setObjectName(QStringLiteral("moreOptionsGroup"));
    place(more_, 9, kDialogHeight - 2, 335, kMoreHeight - 6, false);
    auto check = [this](const char* name, const QString& text, int y) {
        auto* box = new QCheckBox(text, more_);
        box->setObjectName(QString::fromLatin1(name));
        place(box, 7, y, 320, 10);
        connect(box, &QCheckBox::clicked, this, [this] { refresh(); });
        return box;
    };
    firstLabelOnly_ = check("firstLabelOnly", QStringLiteral("Gmail labels: the first label's folder only (each message once)"), 11);
    unescapeFrom_ = check("unescapeFrom", QStringLiteral("Unescape \">From \" lines by one level (mboxrd)"), 24);
    contentLength_ = check("contentLength",
                           QStringLiteral("Content-Length ends a message (mboxcl2), from the next Open on"), 37);
    auto* rootLabel = new QLabel(QStringLiteral("Hierarchy root:"), more_);
    place(rootLabel, 7, 54, 60, 10);
    hierarchyRoot_ = new QLineEdit(more_);
    hierarchyRoot_->setObjectName(QStringLiteral("hierarchyRoot"));
    hierarchyRoot_->setPlaceholderText(QStringLiteral("the file system root"));
    hierarchyRoot_->setToolTip(
        QStringLiteral("With \"Save in folder hierarchy\": each mailbox's folder path below this folder "
                       "(a Thunderbird NAME.sbd folder becomes NAME)"));
    place(hierarchyRoot_, 70, 52, 239, 14, false);
    hierarchyRootBrowse_ = new QPushButton(QStringLiteral("..."), more_);
    hierarchyRootBrowse_->setObjectName(QStringLiteral("hierarchyRootBrowse"));
    place(hierarchyRootBrowse_, 312, 51, 18, 16, false);
    connect(hierarchyRootBrowse_, &QPushButton::clicked, this, [this] {
        if (std::optional<std::u16string> folder = host_.browseFolder(u"Select the hierarchy root folder."))
            hierarchyRoot_->setText(toQ(*folder));
    });
}

void CSaveOutputDialog::showMoreOptions(bool shown) {
    if (moreButton_->isChecked() != shown) moreButton_->setChecked(shown);
    more_->setVisible(shown);
    setFixedSize(static_cast<int>(kDialogWidth * xUnit_),
                 static_cast<int>((kDialogHeight + (shown ? kMoreHeight : 0)) * yUnit_));
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
    firstLabelOnly_->setEnabled(logic_.button(IDC_LABEL_FOLDERS).checked);
    hierarchyRoot_->setEnabled(logic_.button(IDC_HIERARCHY).checked);
    hierarchyRootBrowse_->setEnabled(logic_.button(IDC_HIERARCHY).checked);
}

bool CSaveOutputDialog::acceptHierarchyRoot() {
    acceptedRoot_.clear();
    const QString typed = hierarchyRoot_->text().trimmed();
    if (!logic_.button(IDC_HIERARCHY).checked || typed.isEmpty()) return true;
    const QFileInfo root(typed);
    if (!root.isDir()) {
        ui::MessageBoxRequest request;
        request.text = u"The hierarchy root is not a folder: " + fromQ(typed);
        host_.messageBox(request);
        return false;
    }
    acceptedRoot_ = root.absoluteFilePath();
    return true;
}

// The export reads these with the dialog's own options; the scan reads the Content-Length choice.
void CSaveOutputDialog::applyMoreOptions() const {
    if (g_labelFolders != 0 && firstLabelOnly_->isChecked()) g_labelFolders = static_cast<int>(LabelFolders::First);
    g_unescapeFrom = unescapeFrom_->isChecked() ? 1 : 0;
    g_hierarchyRoot = fromQ(acceptedRoot_);
    scan::g_honourContentLength = contentLength_->isChecked() ? 1 : 0;
}

void CSaveOutputDialog::accept() {
    logic_.folderText = fromQ(folder_->text());
    if (!acceptHierarchyRoot() || !logic_.OnOK()) return;
    applyMoreOptions();
    QDialog::accept();
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

namespace {

const QString kLabelsKey = QStringLiteral("Save/labelFolders");
const QString kStateKey = QStringLiteral("Save/messageState");
const QString kHierarchyKey = QStringLiteral("Save/hierarchy");
const QString kFirstLabelKey = QStringLiteral("Save/firstLabelOnly");
const QString kUnescapeKey = QStringLiteral("Save/unescapeFrom");
const QString kContentLengthKey = QStringLiteral("Save/contentLength");
const QString kRootKey = QStringLiteral("Save/hierarchyRoot");

}  // namespace

void CSaveOutputDialog::presetChoices(const QSettings& settings) {
    for (auto [key, id] : {std::pair{kLabelsKey, IDC_LABEL_FOLDERS}, std::pair{kStateKey, IDC_MESSAGE_STATE},
                           std::pair{kHierarchyKey, IDC_HIERARCHY}})
        if (settings.value(key).toBool() != logic_.button(id).checked) logic_.OnClicked(id);
    firstLabelOnly_->setChecked(settings.value(kFirstLabelKey).toBool());
    unescapeFrom_->setChecked(settings.value(kUnescapeKey).toBool());
    contentLength_->setChecked(settings.value(kContentLengthKey).toBool());
    hierarchyRoot_->setText(settings.value(kRootKey).toString());
    refresh();
}

void CSaveOutputDialog::rememberChoices(QSettings& settings) const {
    settings.setValue(kLabelsKey, logic_.button(IDC_LABEL_FOLDERS).checked);
    settings.setValue(kStateKey, logic_.button(IDC_MESSAGE_STATE).checked);
    settings.setValue(kHierarchyKey, logic_.button(IDC_HIERARCHY).checked);
    settings.setValue(kFirstLabelKey, firstLabelOnly_->isChecked());
    settings.setValue(kUnescapeKey, unescapeFrom_->isChecked());
    settings.setValue(kContentLengthKey, contentLength_->isChecked());
    settings.setValue(kRootKey, hierarchyRoot_->text().trimmed());
}

void applyRememberedScanChoices(const QSettings& settings) {
    scan::g_honourContentLength = settings.value(kContentLengthKey).toBool() ? 1 : 0;
}

bool runSaveOutputDialog(CQtHost& host) {
    CSaveOutputDialog dialog(host, host.mainWindow());
    // The last confirmed destination, format and options are offered again, from the settings file.
    if (host.settings) {
        dialog.preset(host.settings->value(QStringLiteral("Save/mode")).toInt(),
                      host.settings->value(QStringLiteral("Save/destination")).toString());
        dialog.presetChoices(*host.settings);
    }
    if (host.execDialog(dialog) != QDialog::Accepted) return false;
    if (host.settings) {
        host.settings->setValue(QStringLiteral("Save/mode"), g_saveMode.load());
        host.settings->setValue(QStringLiteral("Save/destination"), toQ(g_destinationFolder));
        dialog.rememberChoices(*host.settings);
    }
    return true;
}

}  // namespace gui
