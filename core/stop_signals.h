// SIGINT and SIGTERM as requests to stop: the handler only notes the signal and wakes the main
// thread; the exchange looks between records and ends there, so the port is released the
// ordinary way (exclusive use lifted, closed, lock file removed) and the user is told what
// was done.
#pragma once

#include "core/exceptions.h"

#include <QObject>
#include <functional>

class QSocketNotifier;

class TStopSignals : public QObject
{
public:
    // Takes SIGINT and SIGTERM until destroyed (SIGINT only where it was not ignored on entry,
    // as for a program started in the background). OnStop runs on the main thread, from the
    // event loop, once a signal has come. One instance at a time; main thread only.
    explicit TStopSignals(std::function<void(int Signal)> OnStop = {});
    ~TStopSignals() override;
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    // The stop signal that came while the instance lives, or 0 (also when there is none).
    static int Caught();

private:
    void TakeWakeUp();

    std::function<void(int)> FOnStop;
    QSocketNotifier* FNotifier;
};

// The status a program stopped by Signal ends with, as a shell reports it: 128 + the number.
inline int StoppedExitStatus(int Signal) { return 128 + Signal; }
// "SIGINT", "SIGTERM".
QString SignalName(int Signal);

// An exchange ended between records by a stop signal. Silent where a handler catches it: the
// program is on its way out.
class EExchangeStopped : public EAbort
{
public:
    explicit EExchangeStopped(int Signal);
    int Signal() const { return FSignal; }

private:
    int FSignal;
};

// Throws EExchangeStopped once a stop signal has come; called between records.
void CheckStopSignal();
