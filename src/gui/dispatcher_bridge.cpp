#include "gui/dispatcher_bridge.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>

namespace gui {
namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
// The longest stretch of queued work run in one go; the loop reads its input between stretches.
constexpr std::chrono::milliseconds kSlice{15};

}  // namespace

CDispatcherBridge::CDispatcherBridge(ui::CDispatcher& dispatcher) : dispatcher_(dispatcher) {
    // postEvent may be called from any thread.
    dispatcher_.setWakeHook([this] { QCoreApplication::postEvent(this, new QEvent(kWakeEvent)); });
    // While the controller waits for a worker's last steps on this thread, windows keep repainting;
    // clicks and keys wait for the wait to end (it only happens between jobs, never while one runs).
    dispatcher_.setWaitHook([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    timers_.setInterval(20);
    QObject::connect(&timers_, &QTimer::timeout, this, [this] { dispatcher_.processSlice(kSlice); });
    timers_.start();
}

CDispatcherBridge::~CDispatcherBridge() {
    dispatcher_.setWaitHook({});
    dispatcher_.setWakeHook({});
}

bool CDispatcherBridge::event(QEvent* event) {
    if (event->type() != kWakeEvent) return QObject::event(event);
    dispatcher_.processSlice(kSlice);
    return true;
}

}  // namespace gui
