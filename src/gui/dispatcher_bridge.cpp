#include "gui/dispatcher_bridge.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>

namespace gui {
namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

CDispatcherBridge::CDispatcherBridge(ui::CDispatcher& dispatcher) : dispatcher_(dispatcher) {
    // postEvent may be called from any thread.
    dispatcher_.setWakeHook([this] { QCoreApplication::postEvent(this, new QEvent(kWakeEvent)); });
    // While the controller waits for a worker on this thread, windows keep repainting; clicks and keys
    // wait for the wait to end.
    dispatcher_.setWaitHook([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    timers_.setInterval(20);
    QObject::connect(&timers_, &QTimer::timeout, this, [this] { dispatcher_.processPending(); });
    timers_.start();
}

CDispatcherBridge::~CDispatcherBridge() {
    dispatcher_.setWaitHook({});
    dispatcher_.setWakeHook({});
}

bool CDispatcherBridge::event(QEvent* event) {
    if (event->type() != kWakeEvent) return QObject::event(event);
    dispatcher_.processPending();
    return true;
}

}  // namespace gui
