#include "call_queue.h"

#include "event.h"
#include "exceptions.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

struct TSyncEntry
{
    const TThreadMethod* Method;
    TEvent Completed;                // manual reset, created not signalled
    std::exception_ptr RaisedObject; // what the call raised, handed back to the worker
};

struct TCallQueue
{
    std::mutex Lock;                  // the queue lock
    std::condition_variable SyncCond; // main-thread waits watch the sync event through this
    bool SyncEvent = false;
    std::deque<TSyncEntry*> List;
    std::function<void()> WakeMainThread;
};

TCallQueue& Queue()
{
    static TCallQueue Instance;
    return Instance;
}

std::thread::id MainThreadId = std::this_thread::get_id();

} // namespace

void SetMainThread() { MainThreadId = std::this_thread::get_id(); }

bool IsMainThread() { return std::this_thread::get_id() == MainThreadId; }

unsigned CurrentThreadNumber() { return static_cast<unsigned>(gettid()); }

void SetWakeMainThread(std::function<void()> Hook)
{
    std::lock_guard Guard(Queue().Lock);
    Queue().WakeMainThread = std::move(Hook);
}

void Synchronize(const TThreadMethod& Method)
{
    if (IsMainThread()) {
        Method();
        return;
    }
    TSyncEntry Entry{&Method, TEvent(false), nullptr};
    auto& Q = Queue();
    {
        std::lock_guard Guard(Q.Lock);
        Q.List.push_back(&Entry);
        Q.SyncEvent = true;
        if (Q.WakeMainThread)
            Q.WakeMainThread();
        Q.SyncCond.notify_all();
    }
    Entry.Completed.WaitFor();
    if (Entry.RaisedObject)
        std::rethrow_exception(Entry.RaisedObject);
}

bool CheckSynchronize()
{
    if (!IsMainThread())
        throw EThread(QString::asprintf(
            "CheckSynchronize called from thread $%x, which is NOT the main thread",
            CurrentThreadNumber()));
    auto& Q = Queue();
    std::deque<TSyncEntry*> Taken;
    {
        std::lock_guard Guard(Q.Lock);
        Q.SyncEvent = false;
        Taken.swap(Q.List);
    }
    for (TSyncEntry* Entry : Taken) {
        try {
            (*Entry->Method)();
        } catch (...) {
            Entry->RaisedObject = std::current_exception();
        }
        // The worker owns the entry and may leave as soon as this is set: touch it no more.
        Entry->Completed.SetEvent();
    }
    return !Taken.empty();
}

void WaitWithSynchronize(const std::function<bool()>& Done)
{
    auto& Q = Queue();
    for (;;) {
        bool RunQueue;
        {
            std::unique_lock Guard(Q.Lock);
            Q.SyncCond.wait_for(Guard, std::chrono::seconds(1),
                                [&] { return Q.SyncEvent || Done(); });
            RunQueue = Q.SyncEvent;
        }
        if (RunQueue)
            CheckSynchronize();
        else if (Done())
            return;
    }
}

void SignalSyncWaiters()
{
    auto& Q = Queue();
    std::lock_guard Guard(Q.Lock);
    Q.SyncCond.notify_all();
}
