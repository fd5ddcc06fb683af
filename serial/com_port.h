// The serial port component: its settings, opening and closing, transfers, line state, links
// and the delivery of line events.
#pragma once

#include "com_errors.h"
#include "com_settings.h"
#include "com_types.h"
#include "wait_event.h"

#include <QObject>
#include <chrono>
#include <memory>
#include <vector>

namespace ComPlatform {
class TDevice;
struct TOverlapped;
struct TDCB;
} // namespace ComPlatform

class TComThread;
class TComEventWindow;

// Handlers another object registers with a port to follow its activity.
class TComLink
{
public:
    TComSignalEvent OnConn;
    TRxBufEvent OnRxBuf;
    TRxBufEvent OnTxBuf;
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnRxFlag;
    TNotifyEvent OnRing;
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TComSignalEvent OnTx;
    TComSignalEvent OnRx;
};

// One asynchronous transfer.
struct TAsync
{
    std::unique_ptr<ComPlatform::TOverlapped> Overlapped;
    TOperationKind Kind = okRead;
    std::unique_ptr<char[]> Data; // the component's copy of the bytes written
    int Size = 0;
    TAsync();
    ~TAsync();
};
using PAsync = TAsync*;

void AllocateAsync(PAsync& AsyncPtr);
void ReleaseAsync(PAsync& AsyncPtr);

class TCustomComPort : public QObject
{
    Q_OBJECT

public:
    explicit TCustomComPort(QObject* AOwner = nullptr);
    ~TCustomComPort() override;

    // The loading state: setters only store; Loaded() ends it and opens when Connected was set.
    void BeginLoading() { FLoading = true; }
    virtual void Loaded();

    // Properties
    bool Connected() const { return FConnected; }
    void SetConnected(bool Value);
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate Value);
    int CustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(int Value);
    const QString& Port() const { return FPort; }
    void SetPort(const QString& Value);
    // The device opened for Port: "/dev/" + Port, or Port itself when it holds a "/".
    QString DeviceName() const;
    TComParity* Parity() const { return FParity.get(); }
    void SetParity(const TComParity& Value);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits Value);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits Value);
    bool DiscardNull() const { return FDiscardNull; }
    void SetDiscardNull(bool Value);
    QChar EventChar() const { return FEventChar; }
    void SetEventChar(QChar Value);
    TComEvents Events() const { return FEvents; }
    void SetEvents(TComEvents Value) { FEvents = Value; }
    TComBuffer* Buffer() const { return FBuffer.get(); }
    void SetBuffer(const TComBuffer& Value);
    TComFlowControl* FlowControl() const { return FFlowControl.get(); }
    void SetFlowControl(const TComFlowControl& Value);
    TComTimeouts* Timeouts() const { return FTimeouts.get(); }
    void SetTimeouts(const TComTimeouts& Value);
    TStoredProps StoredProps() const { return FStoredProps; }
    void SetStoredProps(TStoredProps Value) { FStoredProps = Value; }
    bool TriggersOnRxChar() const { return FTriggersOnRxChar && !FHasLink; }
    void SetTriggersOnRxChar(bool Value);
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    void SetSyncMethod(TSyncMethod Value);
    TThreadPriority EventThreadPriority() const { return FEventThreadPriority; }
    void SetEventThreadPriority(TThreadPriority Value);
    int Handle() const { return FHandle; }
    unsigned CodePage() const { return FCodePage; }
    void SetCodePage(unsigned Value) { FCodePage = Value; }

    // Event properties
#define MORVEL_COM_EVENT(Type, Name)                                                               \
    const Type& Name() const { return F##Name; }                                                   \
    void Set##Name(Type Value) { F##Name = std::move(Value); }
    MORVEL_COM_EVENT(TRxCharEvent, OnRxChar)
    MORVEL_COM_EVENT(TRxBufEvent, OnRxBuf)
    MORVEL_COM_EVENT(TNotifyEvent, OnTxEmpty)
    MORVEL_COM_EVENT(TNotifyEvent, OnBreak)
    MORVEL_COM_EVENT(TNotifyEvent, OnRing)
    MORVEL_COM_EVENT(TComSignalEvent, OnCTSChange)
    MORVEL_COM_EVENT(TComSignalEvent, OnDSRChange)
    MORVEL_COM_EVENT(TComSignalEvent, OnRLSDChange)
    MORVEL_COM_EVENT(TComErrorEvent, OnError)
    MORVEL_COM_EVENT(TNotifyEvent, OnRxFlag)
    MORVEL_COM_EVENT(TNotifyEvent, OnAfterOpen)
    MORVEL_COM_EVENT(TNotifyEvent, OnAfterClose)
    MORVEL_COM_EVENT(TNotifyEvent, OnBeforeOpen)
    MORVEL_COM_EVENT(TNotifyEvent, OnBeforeClose)
    MORVEL_COM_EVENT(TNotifyEvent, OnRx80Full)
    MORVEL_COM_EVENT(TComExceptionEvent, OnException)
#undef MORVEL_COM_EVENT

    // Opening and closing
    void Open();
    void Close();

    // Transfers; each blocks until the operation has completed.
    int Write(const void* Buffer, int Count);
    int WriteStr(const QString& Str);
    int Read(void* Buffer, int Count);
    int ReadStr(QString& Str, int Count);
    int WriteUnicodeString(const QString& Str);
    int ReadUnicodeString(QString& Str, int Count);

    int WriteAsync(const void* Buffer, int Count, PAsync& AsyncPtr);
    int WriteStrAsync(const QString& Str, PAsync& AsyncPtr);
    int ReadAsync(void* Buffer, int Count, PAsync& AsyncPtr);
    int ReadStrAsync(QByteArray& Str, int Count, PAsync& AsyncPtr);
    int WaitForAsync(PAsync& AsyncPtr);
    bool IsAsyncCompleted(PAsync AsyncPtr);
    void AbortAllAsync();

    // Line state and control
    int InputCount();
    int OutputCount();
    // At most the time the bytes written so far still need to leave the line, by the line's
    // rate and character frame and when each write was handed over; zero on a closed port and
    // on a pseudo-terminal, which has no line.
    std::chrono::microseconds OutputDrainTime() const;
    TComSignals Signals();
    TComStateFlags StateFlags();
    TComErrors LastErrors();
    void SetDTR(bool OnOff);
    void SetRTS(bool OnOff);
    void SetXonXoff(bool OnOff);
    void SetBreak(bool OnOff);
    void ClearBuffer(bool Input, bool Output);
    void TransmitChar(QChar Ch);

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();

    void RegisterLink(TComLink* AComLink);
    void UnRegisterLink(TComLink* AComLink);

    // Waits for one of Events on a port without event thread; Events then holds what occurred.
    void WaitForEvent(TComEvents& Events, TWaitEvent* StopEvent, int Timeout);

    // Apply steps; each acts only on an open port outside an update and outside loading.
    virtual void ApplyAllSettings();
    virtual void ApplyLineSettings();
    virtual void ApplyTimeoutSettings();
    virtual void ApplyBufferSizes();

    // Notifications of line events, run where SyncMethod puts them.
    void NotifyError();
    void NotifyRxChar();
    void NotifyTxEmpty();
    void NotifyBreak();
    void NotifyRing();
    void NotifyCTSChange();
    void NotifyDSRChange();
    void NotifyRxFlag();
    void NotifyRLSDChange();
    void NotifyRx80Full();

protected:
    virtual void OpenDeviceHandle();
    virtual void CloseDeviceHandle();

    // Raises EComPort, or hands the failure to OnException and returns.
    void ReportPortError(uint16_t Code, int64_t WinError = 0);

    virtual void EmitAfterClose();
    virtual void EmitAfterOpen();
    virtual void EmitBeforeClose();
    virtual void EmitBeforeOpen();
    virtual void EmitRxChar(int Count);
    virtual void EmitRxBuf(const char* Buffer, int Count);
    virtual void EmitTxEmpty();
    virtual void EmitBreak();
    virtual void EmitRing();
    virtual void EmitRxFlag();
    virtual void EmitCTSChange(bool OnOff);
    virtual void EmitDSRChange(bool OnOff);
    virtual void EmitError(TComErrors Errors);
    virtual void EmitRLSDChange(bool OnOff);
    virtual void EmitRx80Full();

private:
    friend class TComThread;
    friend class TComEventWindow;

    bool ApplyGateOpen() const;
    uint32_t LineRate() const; // the rate in baud, standard or custom
    ComPlatform::TDCB LineBlock() const; // the device control block of the settings
    // The ClearCommError step shared by the counts, flags and errors (code 10).
    bool ClearError(uint32_t& Errors, uint32_t& InQue, uint32_t& OutQue, uint32_t& Flags,
                    bool WithOutQueue = true);
    void Escape(uint32_t Function);
    void NotifySignal(TComSignal Signal, TComSignalEvent TComLink::*LinkHandler,
                      void (TCustomComPort::*Emit)(bool));
    void StopEventThread();
    template <class... A> void ForLinks(TComSignalEvent TComLink::*Handler, A... Args)
    {
        for (TComLink* Link : FLinks)
            if (Link->*Handler)
                (Link->*Handler)(this, Args...);
    }

    std::unique_ptr<TComThread> FEventThread;
    bool FThreadCreated = false;
    int FHandle = -1;
    std::unique_ptr<TComEventWindow> FWindow;
    int FUpdateCount = 0;
    std::vector<TComLink*> FLinks;
    bool FTriggersOnRxChar = true;
    TThreadPriority FEventThreadPriority = TThreadPriority::tpNormal;
    bool FHasLink = false;
    bool FConnected = false;
    TBaudRate FBaudRate = br9600;
    int FCustomBaudRate = 9600;
    QString FPort = QStringLiteral("COM1");
    TStopBits FStopBits = sbOneStopBit;
    TDataBits FDataBits = dbEight;
    bool FDiscardNull = false;
    QChar FEventChar = QChar(0);
    TComEvents FEvents = AllComEvents;
    std::unique_ptr<TComBuffer> FBuffer;
    std::unique_ptr<TComParity> FParity;
    std::unique_ptr<TComTimeouts> FTimeouts;
    std::unique_ptr<TComFlowControl> FFlowControl;
    TSyncMethod FSyncMethod = smThreadSync;
    TStoredProps FStoredProps = {spBasic};
    TRxCharEvent FOnRxChar;
    TRxBufEvent FOnRxBuf;
    TNotifyEvent FOnTxEmpty, FOnBreak, FOnRing;
    TComSignalEvent FOnCTSChange, FOnDSRChange, FOnRLSDChange;
    TComErrorEvent FOnError;
    TNotifyEvent FOnRxFlag, FOnAfterOpen, FOnAfterClose, FOnBeforeOpen, FOnBeforeClose,
        FOnRx80Full;
    TComExceptionEvent FOnException;
    unsigned FCodePage = 0;

    bool FLoading = false;
    std::unique_ptr<ComPlatform::TDevice> FDevice;
};

// The port as the main window's description sets it up.
class TComPort : public TCustomComPort
{
    Q_OBJECT

public:
    using TCustomComPort::TCustomComPort;
};

// The time Bytes characters take on a line of that rate and character frame.
std::chrono::microseconds LineTime(int Bytes, uint32_t Rate, TDataBits DataBits, bool Parity,
                                   TStopBits StopBits);
