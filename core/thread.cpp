#include "thread.h"

#include <sys/resource.h>
#include <unistd.h>

namespace {
int NiceValue(TThreadPriority Priority)
{
    switch (Priority) {
    case TThreadPriority::tpIdle: return 19;
    case TThreadPriority::tpLowest: return 10;
    case TThreadPriority::tpLower: return 5;
    case TThreadPriority::tpNormal: return 0;
    case TThreadPriority::tpHigher: return -5;
    case TThreadPriority::tpHighest: return -10;
    case TThreadPriority::tpTimeCritical: return -20;
    }
    return 0;
}
} // namespace

TThread::~TThread()
{
    if (FStarted && !FFinished) {
        Terminate();
        WaitFor();
    }
    if (FThread.joinable())
        FThread.join();
}

void TThread::Start()
{
    if (FStarted.exchange(true))
        return;
    FThread = std::thread([this] { Run(); });
}

void TThread::Run()
{
    FKernelId = static_cast<int>(gettid());
    ApplyPriority();
    try {
        Execute();
    } catch (...) {
        FFatalException = std::current_exception();
    }
    FFinished = true;
    SignalSyncWaiters();
}

void TThread::WaitFor()
{
    if (!FStarted)
        return;
    if (IsMainThread())
        WaitWithSynchronize([this] { return FFinished.load(); });
    if (FThread.joinable())
        FThread.join();
}

void TThread::SetPriority(TThreadPriority Value)
{
    FPriority = Value;
    if (FKernelId)
        ApplyPriority();
}

void TThread::ApplyPriority()
{
    // Per-thread nice value on Linux; lowering it needs privileges, so refusal is no error.
    if (int Id = FKernelId)
        (void)setpriority(PRIO_PROCESS, static_cast<id_t>(Id), NiceValue(FPriority));
}
