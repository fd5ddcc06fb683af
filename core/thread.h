// The framework's thread: created suspended, started by its creator, ended by its own body.
#pragma once

#include "call_queue.h"

#include <atomic>
#include <exception>
#include <thread>

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread
{
public:
    TThread() = default;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;
    // A thread that has not ended is told to terminate and waited for.
    virtual ~TThread();

    // Starts the body; call once, when the derived object is fully built.
    void Start();
    // Only sets the terminated flag; the body decides when to look at it.
    void Terminate() { FTerminated = true; }
    bool Terminated() const { return FTerminated; }
    bool Finished() const { return FFinished; }
    // Waits for the body's end; on the main thread it runs queued calls meanwhile.
    void WaitFor();
    // The exception that left the body, kept until the thread object is destroyed.
    std::exception_ptr FatalException() const { return FFatalException; }

    TThreadPriority Priority() const { return FPriority; }
    // Best effort: the thread's nice value; refused raises are ignored.
    void SetPriority(TThreadPriority Value);

protected:
    virtual void Execute() = 0;
    void Synchronize(const TThreadMethod& Method) { ::Synchronize(Method); }

private:
    void Run();
    void ApplyPriority();

    std::thread FThread;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FStarted{false};
    std::atomic<int> FKernelId{0};
    std::atomic<TThreadPriority> FPriority{TThreadPriority::tpNormal};
    std::exception_ptr FFatalException;
};
