#include "gui/select_files_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gui/pictures.h"
#include "gui/qt_host.h"
#include "gui/qt_text.h"

namespace gui {
namespace {

QPushButton* button(const QString& text, const QString& tip, const QString& name, QIcon icon = {}) {
    auto* b = new QPushButton(icon, text);
    b->setToolTip(tip);
    b->setObjectName(name);
    return b;
}

}  // namespace

CSelectFilesDialog::CSelectFilesDialog(ui::CSelectFilesDlg& logic, CQtHost&, QWidget* parent)
    : QDialog(parent), logic_(logic) {
    setWindowTitle(QStringLiteral("Select File"));
    setObjectName(QStringLiteral("selectFilesDialog"));
    QStyle* s = style();

    auto* tempBox = new QGroupBox(QStringLiteral("Select temporary path:"));
    tempEdit_ = new QLineEdit;
    tempEdit_->setReadOnly(true);
    tempEdit_->setObjectName(QStringLiteral("tempFolder"));
    QPushButton* browse = button(QStringLiteral("..."), QString(), QStringLiteral("browseTemp"));
    browse->setFixedWidth(32);
    auto* tempRow = new QHBoxLayout(tempBox);
    tempRow->addWidget(tempEdit_);
    tempRow->addWidget(browse);

    auto* filesBox = new QGroupBox(QStringLiteral("Add Files:"));
    QPushButton* add = button(QStringLiteral("Add Files"), QStringLiteral("Add"), QStringLiteral("addFiles"),
                              s->standardIcon(QStyle::SP_FileIcon));
    QPushButton* search = button(QStringLiteral("Search File"), QStringLiteral("Search File(s)"),
                                 QStringLiteral("searchFile"), s->standardIcon(QStyle::SP_FileDialogContentsView));
    QPushButton* remove = button(QStringLiteral("Remove "), QStringLiteral("Remove"), QStringLiteral("remove"),
                                 s->standardIcon(QStyle::SP_DialogDiscardButton));
    QPushButton* removeAll = button(QStringLiteral("Remove All"), QString(), QStringLiteral("removeAll"));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {add, search, remove, removeAll}) buttons->addWidget(b);
    buttons->addStretch();

    list_ = new QTableWidget(0, 1);
    list_->setObjectName(QStringLiteral("fileList"));
    list_->setHorizontalHeaderLabels({QStringLiteral("File Name")});
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->horizontalHeader()->resizeSection(0, 500);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->setMinimumSize(560, 220);

    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setTextVisible(false);
    stop_ = button(QStringLiteral("Stop"), QStringLiteral("Stop the process"), QStringLiteral("stop"),
                   pictures::ribbonImage(1));
    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("status"));
    status_->setTextFormat(Qt::PlainText);
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(progress_, 1);
    progressRow->addWidget(stop_);

    auto* filesLayout = new QVBoxLayout(filesBox);
    filesLayout->addLayout(buttons);
    filesLayout->addWidget(list_, 1);
    filesLayout->addLayout(progressRow);
    filesLayout->addWidget(status_);

    QPushButton* ok = button(QStringLiteral("OK"), QStringLiteral("Ok"), QStringLiteral("ok"),
                             s->standardIcon(QStyle::SP_DialogOkButton));
    ok->setDefault(true);
    QPushButton* cancel = button(QStringLiteral("Cancel"), QStringLiteral("Cancel"), QStringLiteral("cancel"),
                                 s->standardIcon(QStyle::SP_DialogCancelButton));
    auto* okRow = new QHBoxLayout;
    okRow->addStretch();
    okRow->addWidget(ok);
    okRow->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tempBox);
    layout->addWidget(filesBox, 1);
    layout->addLayout(okRow);

    connect(browse, &QPushButton::clicked, this, [this] { logic_.OnBrowseTempFolder(); });
    connect(add, &QPushButton::clicked, this, [this] { logic_.OnAddFiles(); });
    connect(search, &QPushButton::clicked, this, [this] { logic_.OnSearchFile(); });
    connect(remove, &QPushButton::clicked, this, [this] { logic_.OnRemove(); });
    connect(removeAll, &QPushButton::clicked, this, [this] { logic_.OnRemoveAll(); });
    connect(stop_, &QPushButton::clicked, this, [this] { logic_.OnStop(); });
    connect(ok, &QPushButton::clicked, this, [this] { logic_.OnOK(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(list_, &QTableWidget::itemSelectionChanged, this, [this] { selectionToLogic(); });

    logic_.onChanged = [this] { refresh(); };
    refresh();
}

CSelectFilesDialog::~CSelectFilesDialog() { logic_.onChanged = nullptr; }

void CSelectFilesDialog::reject() {
    if (!logic_.ended()) logic_.OnCancel();
    else if (!closing_) {
        closing_ = true;
        QDialog::reject();
    }
}

void CSelectFilesDialog::selectionToLogic() {
    if (syncing_) return;
    syncing_ = true;
    const auto& rows = logic_.rows();
    for (int r = 0; r < list_->rowCount() && static_cast<std::size_t>(r) < rows.size(); ++r) {
        bool selected = list_->item(r, 0) && list_->item(r, 0)->isSelected();
        if (rows[static_cast<std::size_t>(r)].selected != selected) logic_.SetRowSelected(r, selected);
    }
    syncing_ = false;
}

void CSelectFilesDialog::syncRows() {
    const auto& rows = logic_.rows();
    int shown = list_->rowCount();
    // Rows are appended at the end while workers run; anything else (a removal) rebuilds the list.
    bool prefixHolds = static_cast<std::size_t>(shown) <= rows.size() &&
                       (shown == 0 || list_->item(shown - 1, 0)->text() ==
                                          toShownQ(rows[static_cast<std::size_t>(shown) - 1].path));
    if (!prefixHolds) {
        list_->setRowCount(0);
        shown = 0;
    }
    list_->setRowCount(static_cast<int>(rows.size()));
    for (int r = shown; r < static_cast<int>(rows.size()); ++r) {
        const auto& row = rows[static_cast<std::size_t>(r)];
        auto* item = new QTableWidgetItem(toShownQ(row.path));
        item->setToolTip(item->text());
        if (row.image == 0) item->setIcon(pictures::listImage(frame::kMailboxImage));
        list_->setItem(r, 0, item);
    }
    // Selections change only through this list; after a rebuild they are restored.
    if (!prefixHolds)
        for (int r = 0; r < static_cast<int>(rows.size()); ++r)
            list_->item(r, 0)->setSelected(rows[static_cast<std::size_t>(r)].selected);
}

void CSelectFilesDialog::refresh() {
    if (logic_.ended()) {
        if (!closing_) {
            closing_ = true;
            QDialog::done(QDialog::Accepted);
        }
        return;
    }
    const bool wasSyncing = syncing_;
    syncing_ = true;
    tempEdit_->setText(toQ(logic_.tempFolder));
    status_->setText(toQ(logic_.statusLine));
    progress_->setVisible(logic_.progressVisible);
    progress_->setRange(logic_.progressLow, std::max(logic_.progressLow, logic_.progressHigh));
    progress_->setValue(logic_.progressPos);
    stop_->setVisible(logic_.stopVisible);
    if (!wasSyncing) syncRows();
    if (logic_.ensuredVisibleRow >= 0 && logic_.ensuredVisibleRow < list_->rowCount())
        list_->scrollToItem(list_->item(logic_.ensuredVisibleRow, 0));
    syncing_ = wasSyncing;
}

}  // namespace gui
