#include "post_event.h"

#include <QCoreApplication>
#include <QEvent>

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
#endif

void PostToMainThread(QObject* Receiver, QEvent* Event)
{
#ifdef MORVEL_TSAN
    __tsan_release(Event);
#endif
    QCoreApplication::postEvent(Receiver, Event);
}

void TakeOverPostedEvent([[maybe_unused]] QEvent* Event)
{
#ifdef MORVEL_TSAN
    __tsan_acquire(Event);
#endif
}
