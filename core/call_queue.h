// The main-thread call queue: a worker hands a call to the main thread and sleeps until it ran.
#pragma once

#include <functional>

using TThreadMethod = std::function<void()>;

// Records the calling thread as the main thread; the application object calls it first.
void SetMainThread();
bool IsMainThread();
// The id of the calling thread as the kernel numbers it.
unsigned CurrentThreadNumber();

// Installed by the application object: wakes the main thread (the posted wake-up message).
void SetWakeMainThread(std::function<void()> Hook);

// On a worker: queues Method, wakes the main thread, blocks until Method has run there and
// rethrows whatever it raised. On the main thread: runs Method at once.
void Synchronize(const TThreadMethod& Method);

// Main thread only (EThread otherwise): runs every queued call, oldest first, outside the lock.
// True when at least one ran.
bool CheckSynchronize();

// A wait made on the main thread for something a worker finishes (a thread's end): sleeps until
// Done() holds, running the queue whenever a call is queued, so the worker is never stuck in a
// hand-over while the main thread waits for it. Done() is re-tested on every SignalSyncWaiters()
// and at least once a second.
void WaitWithSynchronize(const std::function<bool()>& Done);
// Wakes such waits so they test Done() again (call after making Done() true).
void SignalSyncWaiters();
