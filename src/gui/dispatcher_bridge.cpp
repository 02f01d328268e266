#include "gui/dispatcher_bridge.h"

#include <QCoreApplication>
#include <QEvent>

namespace gui {
namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

CDispatcherBridge::CDispatcherBridge(ui::CDispatcher& dispatcher) : dispatcher_(dispatcher) {
    // postEvent may be called from any thread.
    dispatcher_.setWakeHook([this] { QCoreApplication::postEvent(this, new QEvent(kWakeEvent)); });
    timers_.setInterval(20);
    QObject::connect(&timers_, &QTimer::timeout, this, [this] { dispatcher_.processPending(); });
    timers_.start();
}

CDispatcherBridge::~CDispatcherBridge() { dispatcher_.setWakeHook({}); }

bool CDispatcherBridge::event(QEvent* event) {
    if (event->type() != kWakeEvent) return QObject::event(event);
    dispatcher_.processPending();
    return true;
}

}  // namespace gui
