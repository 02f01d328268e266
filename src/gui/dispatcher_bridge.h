#pragma once
// Lets the Qt event loop run the dispatcher's queue: every post wakes the loop, which then runs the
// pending tasks on the user-interface thread; a short timer serves the dispatcher's own timers. The
// bridge must outlive every thread that can post (the frame and the dialogs join theirs first).
#include <QObject>
#include <QTimer>

#include "ui/dispatcher.h"

namespace gui {

class CDispatcherBridge : public QObject {
public:
    explicit CDispatcherBridge(ui::CDispatcher& dispatcher);
    ~CDispatcherBridge() override;

protected:
    bool event(QEvent* event) override;

private:
    ui::CDispatcher& dispatcher_;
    QTimer timers_;
};

}  // namespace gui
