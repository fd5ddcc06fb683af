// One relay controller on one port, through the same link control as the window: the connect
// handshake, the read request with its 59 lines, the export with its plan and pauses.
#pragma once

#include "console_link.h"

#include "core/exceptions.h"
#include "device/link_control.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class TComPort;
class TStopSignals;

// How the program ends; the man page lists these for scripts.
enum TExitStatus : int {
    esOk = 0,
    esDiffer = 1,       // diff: the configurations differ
    esUsage = 2,        // the command line cannot be used
    esFile = 3,         // a configuration file cannot be read, used or written
    esPortFailed = 4,   // the port cannot be opened (missing, refused, not a serial port)
    esPortHeld = 5,     // another program holds the port
    esNoDevice = 6,     // no answer to the handshake
    esBrokenOff = 7,    // the exchange broke off: lines stopped coming, a write failed
    esVerifyFailed = 8, // write --verify: the box holds something else
    // 128 + the signal's number: SIGINT or SIGTERM stopped the exchange (130, 143)
};

// A failure with the status the program ends with.
class ESmsctl : public Exception
{
public:
    ESmsctl(TExitStatus Status, const QString& Message) : Exception(Message), FStatus(Status) {}
    TExitStatus Status() const { return FStatus; }

private:
    TExitStatus FStatus;
};

// The read is over when no byte has come for this long.
inline constexpr int ReadQuietMs = 2000;

class TBoxSession
{
public:
    explicit TBoxSession(FILE* Terminal = stderr);
    ~TBoxSession();
    TBoxSession(const TBoxSession&) = delete;
    TBoxSession& operator=(const TBoxSession&) = delete;

    // Opens Port and runs the handshake. ESmsctl: esPortFailed, esPortHeld, esNoDevice.
    // While the port is open, SIGINT and SIGTERM stop the exchange between records: the port
    // is released and ESmsctl says what was done, with the status 128 + the signal.
    void Connect(const QString& Port);
    // Closes the port, if open. ESmsctl with the stop's status when a stop signal came late.
    void Disconnect();
    const QString& Port() const { return FPort; }

    // The read request; done once 59 lines are stored. ESmsctl esBrokenOff when lines stop
    // coming first, when they keep coming for longer than the longest answer takes, or when
    // a line cannot be stored.
    TItemStore Read();
    // The window's export of Items. ESmsctl esBrokenOff naming the records sent before a
    // failed write.
    void Write(const TItemStore& Items);
    // The records of the last export that went out whole.
    int RecordsWritten() const { return FLink->RecordsSent(); }
    // Told of the export's progress: position, seconds left, records sent.
    std::function<void(int Position, int SecondsLeft, int Records)> OnProgress;

private:
    // Closes the port, if open, and gives the stop signals back; returns the one that came.
    int Release();
    // Releases the port and throws the stop's ESmsctl, when a stop signal has come. Done: what
    // was sent or received by then.
    void StopIfSignalled(const QString& Done);

    std::unique_ptr<TStopSignals> FStopSignals; // while the port is open
    std::unique_ptr<TComPort> FComPort;
    TConsoleLink FView;
    std::unique_ptr<TLinkControl> FLink;
    QString FPort;
};

// The items as the box gives them back after storing them: telephone numbers through "+98"
// and back, so a number the box cannot keep as written is compared as it will read.
TItemStore AsStoredByBox(const TItemStore& Items);
