#include "message_pump.h"

#include "call_queue.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

TMessagePump* MessagePump = nullptr;

namespace {

// A wake-up goes from a worker to the main thread through Qt's event queue, whose lock
// ThreadSanitizer cannot see (Debian's Qt is not built with it). These tell it about that one
// hand-over, so the posted event is not taken for a race; they cost nothing in other builds.
#if defined(__SANITIZE_THREAD__)
#define MORVEL_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define MORVEL_TSAN 1
#endif
#endif
#ifdef MORVEL_TSAN
extern "C" void __tsan_acquire(void* Address);
extern "C" void __tsan_release(void* Address);
void HandOver(QEvent* Event) { __tsan_release(Event); }
void TakeOver(QEvent* Event) { __tsan_acquire(Event); }
#else
void HandOver(QEvent*) {}
void TakeOver(QEvent*) {}
#endif

// The stand-in for the null wake-up message.
const QEvent::Type WakeUpEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

TMessagePump::TMessagePump() : FWaitTimer(new QTimer(this))
{
    MessagePump = this;
    SetMainThread();
    SetWakeMainThread([this] {
        auto* WakeUp = new QEvent(WakeUpEvent);
        HandOver(WakeUp);
        QCoreApplication::postEvent(this, WakeUp);
    });
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
    TakeOver(Event);
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
