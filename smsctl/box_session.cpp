#include "box_session.h"

#include "device/codecs.h"
#include "device/items.h"
#include "device/line_builder.h"
#include "device/link_state.h"
#include "device/protocol.h"
#include "device/pumping_delay.h"
#include "serial/cport.h"

#include "core/box_texts.h"
#include "core/message_pump.h"
#include "core/stop_signals.h"
#include "core/tick.h"

#include <QElapsedTimer>
#include <cerrno>

namespace {
constexpr int SettlePause = 50; // more than a second, as the handshake waits for an answer

// The item a record carries, for messages: its first key.
QString RecordName(int Line) { return ItemKeys(*FindItem(Line)).first(); }

QString RecordsSent(int Sent)
{
    if (Sent >= ItemCount)
        return QStringLiteral("all %1 records were sent").arg(Sent);
    return Sent == 0 ? QStringLiteral("no record was sent")
                     : QStringLiteral("records 1 to %1 of %2 were sent (up to %3); the rest were not")
                           .arg(Sent)
                           .arg(ItemCount)
                           .arg(RecordName(Sent));
}
} // namespace

TBoxSession::TBoxSession(FILE* Terminal) : FComPort(std::make_unique<TComPort>()), FView(Terminal)
{
    SetUpLinkPort(*FComPort);
    FComPort->SetOnRxChar([this](QObject*, int Count) { FLink->Receive(Count); });
    FLink = std::make_unique<TLinkControl>(FView, *FComPort);
    FView.OnProgress = [this](int Position, int SecondsLeft) {
        if (OnProgress)
            OnProgress(Position, SecondsLeft, FLink->RecordsSent());
    };
}

TBoxSession::~TBoxSession()
{
    FComPort->SetOnRxChar(nullptr);
    try {
        FComPort->Close();
    } catch (...) {
        // Leaving: the port is released by the component's own teardown.
    }
}

void TBoxSession::Connect(const QString& Port)
{
    FPort = Port;
    SelectedPort = Port;
    FView.Notices.clear();
    if (!FStopSignals)
        FStopSignals = std::make_unique<TStopSignals>();
    StopIfSignalled(QStringLiteral("before the handshake was over; nothing was read or sent"));
    try {
        FLink->ConnectClick();
    } catch (const EComPort& Error) {
        Release();
        const TExitStatus Status = Error.WinCode() == EBUSY ? esPortHeld : esPortFailed;
        throw ESmsctl(Status, QStringLiteral("%1: %2").arg(Port, ErrorReportText(Error)));
    }
    StopIfSignalled(QStringLiteral("before the handshake was over; nothing was read or sent"));
    if (!FView.Connected()) {
        Release();
        throw ESmsctl(esNoDevice, QStringLiteral("%1: %2").arg(
                                      Port, NoticeBoxText(FView.Notices.value(0, QString::fromUtf8(DeviceNotDetectedText)))));
    }
}

void TBoxSession::Disconnect()
{
    if (const int Signal = Release())
        throw ESmsctl(static_cast<TExitStatus>(StoppedExitStatus(Signal)),
                      QStringLiteral("%1: stopped by %2 as the port was closed").arg(FPort, SignalName(Signal)));
}

int TBoxSession::Release()
{
    try {
        if (FView.Connected())
            FLink->ConnectClick(); // DisConnect: closes the port
        else
            FComPort->Close(); // a handshake cut short may leave it open
    } catch (const EComPort&) {
        // A port that fails even its closing is gone; a stop is what the user must hear of.
        if (!TStopSignals::Caught())
            throw;
    }
    const int Signal = TStopSignals::Caught();
    FStopSignals.reset();
    return Signal;
}

void TBoxSession::StopIfSignalled(const QString& Done)
{
    const int Signal = TStopSignals::Caught();
    if (!Signal)
        return;
    Release();
    throw ESmsctl(static_cast<TExitStatus>(StoppedExitStatus(Signal)),
                  QStringLiteral("%1: stopped by %2: %3").arg(FPort, SignalName(Signal), Done));
}

TItemStore TBoxSession::Read()
{
    FView.Errors.clear();
    FView.Items = TItemStore();
    FLink->ImportClick();
    // Lines are stored as they arrive; waiting ends at the last one, when the box falls quiet,
    // or when the answer has taken longer than any box's can.
    QElapsedTimer Quiet;
    Quiet.start();
    // By the millisecond tick: monotonic, and the one clock a test can move.
    const std::uint32_t Started = GetTickCount();
    std::int32_t Lines = 0;
    qsizetype Partial = 0;
    while (RxLineCount < ItemCount) {
        StopIfSignalled(QStringLiteral("%1 of %2 lines had come; nothing was written").arg(RxLineCount).arg(ItemCount));
        if (GetTickCount() - Started > static_cast<std::uint32_t>(LongestImportTime.count()))
            throw ESmsctl(esBrokenOff,
                          QStringLiteral("%1: the answer did not end within %2 s, the longest a box's answer "
                                         "takes at 9600 baud; %3 of %4 lines had come")
                              .arg(FPort)
                              .arg(std::chrono::ceil<std::chrono::seconds>(LongestImportTime).count())
                              .arg(RxLineCount)
                              .arg(ItemCount));
        if (RxLineCount != Lines || RxLine.size() != Partial) {
            Lines = RxLineCount;
            Partial = RxLine.size();
            Quiet.restart();
        } else if (Quiet.elapsed() > ReadQuietMs) {
            throw ESmsctl(esBrokenOff, QStringLiteral("%1: the box stopped sending after %2 of %3 lines")
                                           .arg(FPort)
                                           .arg(RxLineCount)
                                           .arg(ItemCount));
        }
        MessagePump->ProcessMessagesOrWait(50);
    }
    MessagePump->ProcessMessages(); // a report about bad lines is queued behind the last line
    if (!FView.Errors.isEmpty())
        throw ESmsctl(esBrokenOff, QStringLiteral("%1: lines the box sent cannot be stored:\n%2")
                                       .arg(FPort, FView.Errors.join(u'\n')));
    return FView.Items;
}

void TBoxSession::Write(const TItemStore& Items)
{
    FView.Items = Items;
    try {
        FLink->ExportClick();
        // Closing the port drops what has not left the line yet, and the box stores what it
        // received only once the final record is in: wait for both before anything else.
        PumpingDelay(SettlePause, FComPort->OutputDrainTime());
    } catch (const EExchangeStopped&) {
        FView.SetProgressVisible(false); // the message gets a line of its own
        // What was written whole leaves the line before the port is closed, so the count told
        // is what the box received.
        PumpingDelay(0, FComPort->OutputDrainTime());
        StopIfSignalled(RecordsSent(FLink->RecordsSent()));
        throw;
    } catch (const EComPort& Error) {
        FView.SetProgressVisible(false);
        // The reason names the records sent before the failure.
        throw ESmsctl(esBrokenOff, QStringLiteral("%1: the export broke off: %2").arg(FPort, ErrorReportText(Error)));
    }
    StopIfSignalled(RecordsSent(FLink->RecordsSent())); // came after the last record
}

TItemStore AsStoredByBox(const TItemStore& Items)
{
    TItemStore Stored;
    for (const TItemDef& Item : ItemTable())
        ApplyLine(Stored, Item.Line, StoredLine(Item, Items));
    return Stored;
}
