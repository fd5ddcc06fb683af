// A manual-reset event object: set stays set until reset; waiters sleep until it is set.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class TEvent
{
public:
    explicit TEvent(bool InitialState = false) : FSignalled(InitialState) {}

    // Notifies under the lock: a waiter may destroy the event as soon as it sees it set.
    void SetEvent()
    {
        std::lock_guard Lock(FMutex);
        FSignalled = true;
        FCond.notify_all();
    }
    void ResetEvent()
    {
        std::lock_guard Lock(FMutex);
        FSignalled = false;
    }
    bool IsSet() const
    {
        std::lock_guard Lock(FMutex);
        return FSignalled;
    }
    void WaitFor()
    {
        std::unique_lock Lock(FMutex);
        FCond.wait(Lock, [this] { return FSignalled; });
    }
    // True when the event was set within the time.
    bool WaitFor(std::chrono::milliseconds Timeout)
    {
        std::unique_lock Lock(FMutex);
        return FCond.wait_for(Lock, Timeout, [this] { return FSignalled; });
    }

private:
    mutable std::mutex FMutex;
    std::condition_variable FCond;
    bool FSignalled;
};
