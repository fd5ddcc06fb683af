#include "message_pump.h"

#include "call_queue.h"
#include "post_event.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

TMessagePump* MessagePump = nullptr;

namespace {

// The stand-in for the null wake-up message.
const QEvent::Type WakeUpEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

TMessagePump::TMessagePump() : FWaitTimer(new QTimer(this))
{
    MessagePump = this;
    SetMainThread();
    SetWakeMainThread([this] { PostToMainThread(this, new QEvent(WakeUpEvent)); });
    FWaitTimer->setSingleShot(true);
    FWaitTimer->setTimerType(Qt::PreciseTimer);
    // Idle processing: whenever the main thread is about to sleep for messages, queued calls
    // run first (the posted wake-up covers the rest).
    if (QAbstractEventDispatcher* Dispatcher = QAbstractEventDispatcher::instance())
        connect(Dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [] { CheckSynchronize(); });
}

TMessagePump::~TMessagePump()
{
    SetWakeMainThread(nullptr);
    if (MessagePump == this)
        MessagePump = nullptr;
}

bool TMessagePump::event(QEvent* Event)
{
    TakeOverPostedEvent(Event);
    if (Event->type() == WakeUpEvent) {
        CheckSynchronize();
        return true;
    }
    return QObject::event(Event);
}

void TMessagePump::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TMessagePump::ProcessMessagesOrWait(int TimeoutMs)
{
    if (TimeoutMs <= 0) {
        ProcessMessages();
        return;
    }
    // The timer is itself an event source, so the wait ends at the deadline at the latest.
    FWaitTimer->start(TimeoutMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    FWaitTimer->stop();
}
