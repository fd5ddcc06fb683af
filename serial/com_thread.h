// The event thread of an open port: it waits for line events and hands each batch over.
#pragma once

#include "com_types.h"
#include "wait_event.h"

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <mutex>

class TCustomComPort;

class TComThread : public TThread
{
public:
    // Sets the priority and the port's event mask; the port starts the thread afterwards.
    explicit TComThread(TCustomComPort* AComPort);
    // Signals the stop and waits for the end (running the call queue on the main thread).
    ~TComThread() override;

    void SignalStop();
    // Asks the thread to stop and, on the main thread, runs a batch already handed over: from
    // its return on, no further batch is formed and none is delivered.
    void StopDelivery();

protected:
    void Execute() override { WatchEvents(); }

private:
    friend class TComEventWindow;
    void WatchEvents();
    void DeliverEvents();
    void FireEvents();
    void NotifyEventWindow();

    TCustomComPort* FComPort;
    TWaitEvent FStopEvent;
    TComEvents FEvents;
    // The hand-over to the event window: the thread waits until the window has taken an event.
    std::mutex FHandLock;
    std::condition_variable FHandCond;
    bool FTaken = false;
    bool FStopping = false;
    // A batch is being handed over; set under FHandLock only while not stopping.
    std::atomic<bool> FHandingOver{false};
};

// The hidden event window of smWindowSync: a main-thread object receiving posted events.
class TComEventWindow : public QObject
{
public:
    explicit TComEventWindow(TCustomComPort* AComPort) : FComPort(AComPort) {}
    // Posts one event flag; Taken is told when the window has accepted it.
    void Post(uint32_t Flag, TComThread* Thread);

protected:
    bool event(QEvent* Event) override;

private:
    TCustomComPort* FComPort;
};
