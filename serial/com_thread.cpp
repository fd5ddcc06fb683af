// The event thread, the delivery of line events and the synchronous event wait.
#include "com_thread.h"

#include "com_port.h"
#include "platform/serial_device.h"

#include "core/exceptions.h"
#include "core/post_event.h"

#include <QCoreApplication>
#include <QEvent>
#include <sched.h>

using namespace ComPlatform;

namespace {

using TNotification = void (TCustomComPort::*)();

struct TDelivery
{
    TComEvent Event;
    uint32_t Flag;
    TNotification Notify;
};

// The order in which a batch is delivered.
const TDelivery Deliveries[] = {
    {evError, EV_ERR, &TCustomComPort::NotifyError},
    {evRxChar, EV_RXCHAR, &TCustomComPort::NotifyRxChar},
    {evTxEmpty, EV_TXEMPTY, &TCustomComPort::NotifyTxEmpty},
    {evBreak, EV_BREAK, &TCustomComPort::NotifyBreak},
    {evRing, EV_RING, &TCustomComPort::NotifyRing},
    {evCTS, EV_CTS, &TCustomComPort::NotifyCTSChange},
    {evDSR, EV_DSR, &TCustomComPort::NotifyDSRChange},
    {evRxFlag, EV_RXFLAG, &TCustomComPort::NotifyRxFlag},
    {evRLSD, EV_RLSD, &TCustomComPort::NotifyRLSDChange},
    {evRx80Full, EV_RX80FULL, &TCustomComPort::NotifyRx80Full},
};

const QEvent::Type PortEventMessage = static_cast<QEvent::Type>(QEvent::registerEventType());

class TPortEvent : public QEvent
{
public:
    TPortEvent(uint32_t AFlag, TComThread* AThread)
        : QEvent(PortEventMessage), Flag(AFlag), Thread(AThread)
    {
    }
    uint32_t Flag;
    TComThread* Thread;
};

} // namespace

// ---- the thread

TComThread::TComThread(TCustomComPort* AComPort) : FComPort(AComPort), FStopEvent(false)
{
    SetPriority(AComPort->FEventThreadPriority);
    AComPort->FDevice->SetCommMask(EventsToMask(AComPort->FEvents));
}

TComThread::~TComThread()
{
    SignalStop();
    Terminate();
    WaitFor();
}

void TComThread::SignalStop()
{
    FStopEvent.SetEvent();
    {
        std::lock_guard G(FHandLock);
        FStopping = true;
    }
    FHandCond.notify_all();
    sched_yield();
}

void TComThread::StopDelivery()
{
    SignalStop();
    if (IsMainThread())
        WaitWithSynchronize([this] { return !FHandingOver; });
}

void TComThread::WatchEvents()
{
    TDevice& Device = *FComPort->FDevice;
    for (;;) {
        uint32_t Mask = 0;
        if (Device.WaitCommEvent(Mask, FStopEvent.Handle(), -1) != TWaitResult::Event)
            break; // the stop event, or a failed wait (hang-up): the loop ends silently
        FEvents = MaskToEvents(Mask);
        if (FEvents.Empty())
            continue;
        {
            // The stop wins over a batch not yet handed over: a TX-empty or modem change that
            // fell due while the port was closing reaches no handler.
            std::lock_guard G(FHandLock);
            if (FStopping)
                break;
            FHandingOver = true;
        }
        struct THandedOver
        {
            TComThread* Thread;
            ~THandedOver()
            {
                Thread->FHandingOver = false;
                SignalSyncWaiters();
            }
        } Done{this};
        DeliverEvents();
    }
    Device.SetCommMask(0);
    Device.PurgeComm(PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void TComThread::DeliverEvents()
{
    switch (FComPort->FSyncMethod) {
    case smThreadSync: Synchronize([this] { FireEvents(); }); break;
    case smWindowSync: NotifyEventWindow(); break;
    case smNone: FireEvents(); break;
    }
}

void TComThread::FireEvents()
{
    for (const TDelivery& D : Deliveries)
        if (FEvents.Contains(D.Event))
            (FComPort->*D.Notify)();
}

void TComThread::NotifyEventWindow()
{
    for (const TDelivery& D : Deliveries) {
        if (!FEvents.Contains(D.Event))
            continue;
        std::unique_lock G(FHandLock);
        if (FStopping)
            return;
        FTaken = false;
        FComPort->FWindow->Post(D.Flag, this);
        // Like a sent message: go on once the window has taken it, or when told to stop.
        FHandCond.wait(G, [this] { return FTaken || FStopping; });
    }
}

// ---- the hidden event window

void TComEventWindow::Post(uint32_t Flag, TComThread* Thread)
{
    PostToMainThread(this, new TPortEvent(Flag, Thread));
}

bool TComEventWindow::event(QEvent* Event)
{
    TakeOverPostedEvent(Event);
    if (Event->type() != PortEventMessage)
        return QObject::event(Event);
    auto* E = static_cast<TPortEvent*>(Event);
    bool Stopping;
    {
        std::lock_guard G(E->Thread->FHandLock);
        E->Thread->FTaken = true;
        Stopping = E->Thread->FStopping;
    }
    E->Thread->FHandCond.notify_all();
    if (!FComPort->FConnected || Stopping)
        return true;
    for (const TDelivery& D : Deliveries) {
        if (D.Flag != E->Flag)
            continue;
        try {
            (FComPort->*D.Notify)();
        } catch (...) {
            ReportException(FComPort);
        }
    }
    return true;
}

// ---- notifications

void TCustomComPort::NotifySignal(TComSignal Signal, TComSignalEvent TComLink::*LinkHandler,
                                  void (TCustomComPort::*Emit)(bool))
{
    bool OnOff = Signals().Contains(Signal);
    ForLinks(LinkHandler, OnOff);
    (this->*Emit)(OnOff);
}

void TCustomComPort::NotifyError()
{
    TComErrors Errors = LastErrors();
    if (!Errors.Empty())
        EmitError(Errors);
}

void TCustomComPort::NotifyRxChar()
{
    int Count = InputCount();
    if (Count > 0)
        ForLinks(&TComLink::OnRx, true);
    if (Count > 0 && !TriggersOnRxChar()) {
        std::unique_ptr<char[]> Buffer;
        auto ReadOnce = [&] {
            if (Buffer)
                return;
            Buffer.reset(new char[size_t(Count)]);
            Read(Buffer.get(), Count);
            EmitRxBuf(Buffer.get(), Count);
        };
        for (TComLink* Link : FLinks) {
            if (!Link->OnRxBuf)
                continue;
            ReadOnce();
            Link->OnRxBuf(this, Buffer.get(), Count);
        }
        if (!Buffer && !FTriggersOnRxChar)
            ReadOnce();
        if (Buffer)
            Count = 0;
    }
    if (Count > 0)
        EmitRxChar(Count);
}

void TCustomComPort::NotifyTxEmpty()
{
    ForLinks(&TComLink::OnTx, false);
    for (TComLink* Link : FLinks)
        if (Link->OnTxEmpty)
            Link->OnTxEmpty(this);
    EmitTxEmpty();
}

void TCustomComPort::NotifyBreak() { EmitBreak(); }

void TCustomComPort::NotifyRing()
{
    for (TComLink* Link : FLinks)
        if (Link->OnRing)
            Link->OnRing(this);
    EmitRing();
}

void TCustomComPort::NotifyCTSChange()
{
    NotifySignal(csCTS, &TComLink::OnCTSChange, &TCustomComPort::EmitCTSChange);
}

void TCustomComPort::NotifyDSRChange()
{
    NotifySignal(csDSR, &TComLink::OnDSRChange, &TCustomComPort::EmitDSRChange);
}

void TCustomComPort::NotifyRxFlag()
{
    for (TComLink* Link : FLinks)
        if (Link->OnRxFlag)
            Link->OnRxFlag(this);
    EmitRxFlag();
}

void TCustomComPort::NotifyRLSDChange()
{
    NotifySignal(csRLSD, &TComLink::OnRLSDChange, &TCustomComPort::EmitRLSDChange);
}

void TCustomComPort::NotifyRx80Full() { EmitRx80Full(); }

// ---- the synchronous wait

void TCustomComPort::WaitForEvent(TComEvents& Events, TWaitEvent* StopEvent, int Timeout)
{
    if (FThreadCreated) {
        ReportPortError(CE_ThreadCreated);
        // Waiting beside the event thread would take its events away: nothing occurred.
        Events = TComEvents();
        return;
    }
    if (!FDevice) {
        Events = TComEvents();
        ReportPortError(CE_WaitFailed, EBADF);
        return;
    }
    FDevice->SetCommMask(EventsToMask(Events));
    uint32_t Occurred = 0;
    TWaitResult R = FDevice->WaitCommEvent(Occurred, StopEvent ? StopEvent->Handle() : -1, Timeout);
    int Error = LastError();
    FDevice->ForgetStopEvent();
    FDevice->SetCommMask(0);
    Events = MaskToEvents(R == TWaitResult::Event ? Occurred : 0);
    if (R == TWaitResult::Failed)
        ReportPortError(CE_WaitFailed, Error);
}
