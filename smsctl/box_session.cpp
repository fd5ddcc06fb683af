#include "box_session.h"

#include "device/codecs.h"
#include "device/items.h"
#include "device/link_state.h"
#include "device/protocol.h"
#include "device/pumping_delay.h"
#include "serial/cport.h"

#include "app/box_texts.h"
#include "app/message_pump.h"

#include <QElapsedTimer>
#include <cerrno>

namespace {
constexpr int SettlePause = 50; // more than a second, as the handshake waits for an answer
} // namespace

TBoxSession::TBoxSession(FILE* Terminal) : FComPort(std::make_unique<TComPort>()), FView(Terminal)
{
    SetUpLinkPort(*FComPort);
    FComPort->SetOnRxChar([this](QObject*, int Count) { FLink->Receive(Count); });
    FLink = std::make_unique<TLinkControl>(FView, *FComPort);
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
    try {
        FLink->ConnectClick();
    } catch (const EComPort& Error) {
        const TExitStatus Status = Error.WinCode() == EBUSY ? esPortHeld : esPortFailed;
        throw ESmsctl(Status, QStringLiteral("%1: %2").arg(Port, ErrorReportText(Error)));
    }
    if (!FView.Connected())
        throw ESmsctl(esNoDevice, QStringLiteral("%1: %2").arg(
                                      Port, NoticeBoxText(FView.Notices.value(0, QString::fromUtf8(DeviceNotDetectedText)))));
}

void TBoxSession::Disconnect()
{
    if (FView.Connected())
        FLink->ConnectClick(); // DisConnect: closes the port
}

TItemStore TBoxSession::Read()
{
    FView.Errors.clear();
    FView.Items = TItemStore();
    FLink->ImportClick();
    // Lines are stored as they arrive; waiting ends at the last one or when the box falls quiet.
    QElapsedTimer Quiet;
    Quiet.start();
    std::int32_t Lines = 0;
    qsizetype Partial = 0;
    while (RxLineCount < ItemCount) {
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
    } catch (const EComPort& Error) {
        // The reason names the records sent before the failure.
        throw ESmsctl(esBrokenOff, QStringLiteral("%1: the export broke off: %2").arg(FPort, ErrorReportText(Error)));
    }
}

TItemStore AsStoredByBox(const TItemStore& Items)
{
    TItemStore Stored;
    for (const TItemDef& Item : ItemTable())
        ApplyLine(Stored, Item.Line, StoredLine(Item, Items));
    return Stored;
}
