#include "gui/ribbon_bar.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/main_frame.h"
#include "gui/looks.h"
#include "gui/pictures.h"
#include "gui/qt_text.h"

namespace gui {
namespace {

struct RibbonCommand {
    int id;
    const char* label;
    QString tip;
    int image;
};

const std::vector<RibbonCommand>& ribbonCommands() {
    static const QString shortName = toQ(ui::kApplicationShortName);
    static const std::vector<RibbonCommand> commands = {
        {app::ID_OPEN, "&Open", QStringLiteral("Open Mbox file (Ctrl+O)"), 0},
        {app::ID_STOP, "S&top", QStringLiteral("Stop running process (Esc)"), 1},
        {app::ID_SAVE, "&Save", QStringLiteral("Save recovered data (Ctrl+S)"), 2},
        {app::ID_LOAD_SNAPSHOT, "&Load", QStringLiteral("Load Snapshot"), 6},
        {app::ID_SAVE_SNAPSHOT, "Sa&ve", QStringLiteral("Save Snapshot"), 7},
        {app::ID_HELP, "&Help", QStringLiteral("Help for ") + shortName + QStringLiteral(" (F1)"), 8},
        {app::ID_ABOUT, "&About", QStringLiteral("About ") + shortName, 9},
    };
    return commands;
}

}  // namespace

CRibbonBar::CRibbonBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ribbon"));
    const QString shortName = toQ(ui::kApplicationShortName);

    auto* category = new QLabel(shortName);
    category->setObjectName(QStringLiteral("ribbonCategory"));
    category->setAlignment(Qt::AlignCenter);
    category->setContentsMargins(14, 3, 14, 3);
    QFont categoryFont = category->font();
    categoryFont.setBold(true);
    category->setFont(categoryFont);
    category->setAutoFillBackground(true);
    category->setBackgroundRole(QPalette::Base);

    lookMenu_ = new QMenu(QStringLiteral("&Application Look"), this);
    auto* group = new QActionGroup(this);
    QMenu* office2007 = nullptr;
    for (const LookEntry& entry : lookEntries()) {
        QMenu* into = lookMenu_;
        if (entry.office2007) {
            if (!office2007) office2007 = lookMenu_->addMenu(QStringLiteral("Office 200&7"));
            into = office2007;
        }
        QAction* action = into->addAction(QString::fromLatin1(entry.label));
        action->setCheckable(true);
        action->setActionGroup(group);
        const int id = entry.id;
        connect(action, &QAction::triggered, this, [this, id] {
            if (onCommand) onCommand(id);
        });
        lookActions_[id] = action;
    }
    auto* style = new QToolButton;
    style->setObjectName(QStringLiteral("lookButton"));
    style->setText(QStringLiteral("Style"));
    style->setMenu(lookMenu_);
    style->setPopupMode(QToolButton::InstantPopup);
    style->setAutoRaise(true);
    style->setToolTip(QStringLiteral("Application Look"));

    viewMenu_ = new QMenu(QStringLiteral("&View"), this);
    auto* view = new QToolButton;
    view->setObjectName(QStringLiteral("viewButton"));
    view->setText(QStringLiteral("View"));
    view->setMenu(viewMenu_);
    view->setPopupMode(QToolButton::InstantPopup);
    view->setAutoRaise(true);
    view->setToolTip(QStringLiteral("Panes and recent mailboxes"));

    auto* tabs = new QHBoxLayout;
    tabs->setContentsMargins(6, 2, 6, 0);
    tabs->addWidget(category);
    tabs->addStretch();
    tabs->addWidget(view);
    tabs->addWidget(style);

    auto* panels = new QHBoxLayout;
    panels->setContentsMargins(4, 2, 4, 2);
    panels->setSpacing(0);
    panels->addWidget(panel(shortName, {app::ID_OPEN, app::ID_STOP, app::ID_SAVE}));
    panels->addWidget(panel(QStringLiteral("Save & Log Snapshot"), {app::ID_LOAD_SNAPSHOT, app::ID_SAVE_SNAPSHOT}));
    panels->addWidget(panel(QStringLiteral("About ") + shortName, {app::ID_HELP, app::ID_ABOUT}));
    panels->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(tabs);
    layout->addLayout(panels);
    setStopEnabled(false);
}

QWidget* CRibbonBar::panel(const QString& label, std::initializer_list<int> commands) {
    auto* box = new QWidget;
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    buttons->setContentsMargins(0, 0, 0, 0);
    for (int id : commands) {
        const RibbonCommand* command = nullptr;
        for (const RibbonCommand& c : ribbonCommands())
            if (c.id == id) command = &c;
        auto* b = new QToolButton;
        b->setObjectName(QStringLiteral("ribbon%1").arg(id));
        b->setText(QString::fromLatin1(command->label));
        b->setToolTip(command->tip);
        b->setIcon(pictures::ribbonImage(command->image));
        b->setIconSize(QSize(32, 32));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setMinimumWidth(54);
        connect(b, &QToolButton::clicked, this, [this, id] {
            if (onCommand) onCommand(id);
        });
        buttons_[id] = b;
        buttons->addWidget(b);
    }
    auto* caption = new QLabel(label);
    caption->setAlignment(Qt::AlignCenter);
    caption->setForegroundRole(QPalette::WindowText);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(8, 2, 8, 2);
    layout->setSpacing(1);
    layout->addLayout(buttons);
    layout->addWidget(caption);
    box->setObjectName(QStringLiteral("ribbonPanel"));
    return box;
}

QToolButton* CRibbonBar::button(int command) const {
    auto it = buttons_.find(command);
    return it == buttons_.end() ? nullptr : it->second;
}

void CRibbonBar::setLook(int look) {
    look_ = look;
    if (auto it = lookActions_.find(look); it != lookActions_.end()) it->second->setChecked(true);
    update();
}

void CRibbonBar::setStopEnabled(bool enabled) {
    if (QToolButton* stop = button(app::ID_STOP); stop && stop->isEnabled() != enabled) stop->setEnabled(enabled);
}

void CRibbonBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor base = ribbonColour(look_);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, base.lighter(112));
    gradient.setColorAt(1, base.darker(104));
    p.fillRect(rect(), gradient);
    // The panels' frames: a light line and a darker one after each panel.
    p.setPen(base.darker(125));
    for (QWidget* child : findChildren<QWidget*>(QStringLiteral("ribbonPanel"))) {
        const QRect r = child->geometry();
        p.drawLine(r.topRight() + QPoint(0, 3), r.bottomRight() - QPoint(0, 3));
    }
    p.drawLine(rect().bottomLeft(), rect().bottomRight());
}

}  // namespace gui
