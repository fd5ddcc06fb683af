#include "link_control.h"

#include "core/exceptions.h"
#include "core/stop_signals.h"
#include "codecs.h"
#include "export_plan.h"
#include "items.h"
#include "line_builder.h"
#include "link_state.h"
#include "link_view.h"
#include "protocol.h"
#include "pumping_delay.h"
#include "serial/cport.h"
#include "serial/port_reason.h"

#include <QTimer>
#include <algorithm>
#include <cerrno>

namespace {
const QString ModeConnect = QStringLiteral("con");
const QString ModeGet = QStringLiteral("get");
const QString ModeSet = QStringLiteral("set");
const QString CaptionConnect = QStringLiteral("Connect");
const QString CaptionDisconnect = QStringLiteral("DisConnect");
constexpr int ImageNotConnected = 2;
constexpr int ImageConnected = 3;
constexpr int HandshakePause = 50; // more than one second for the answer

// Sets a flag for the life of a scope, also when the scope is left by an exception.
class TBusyScope
{
public:
    explicit TBusyScope(bool& Flag) : FFlag(Flag) { FFlag = true; }
    ~TBusyScope() { FFlag = false; }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

private:
    bool& FFlag;
};
} // namespace

void SetUpLinkPort(TCustomComPort& Port)
{
    Port.SetBaudRate(TBaudRate::br9600);
    Port.Parity()->SetBits(TParityBits::prNone);
    Port.SetStopBits(TStopBits::sbOneStopBit);
    Port.SetDataBits(TDataBits::dbEight);
    Port.FlowControl()->SetOutCTSFlow(false);
    Port.FlowControl()->SetOutDSRFlow(false);
    Port.FlowControl()->SetControlDTR(TDTRFlowControl::dtrDisable);
    Port.FlowControl()->SetControlRTS(TRTSFlowControl::rtsDisable);
    Port.FlowControl()->SetXonXoffOut(false);
    Port.FlowControl()->SetXonXoffIn(false);
    Port.SetTriggersOnRxChar(true);
}

TLinkControl::TLinkControl(TLinkView& View, TCustomComPort& Port) : FView(View), FPort(Port) {}

void TLinkControl::WriteByte(std::uint8_t Byte) { FPort.Write(&Byte, 1); }

void TLinkControl::SendRequest(std::uint8_t Code)
{
    WriteByte(CommandPrefix);
    WriteByte(Code);
}

void TLinkControl::ConnectClick()
{
    if (SelectedPort.isEmpty()) {
        FView.ShowPortDialog();
        return;
    }
    if (FView.ConnectCaption() != CaptionConnect) {
        FView.SetConnectButton(CaptionConnect, ImageNotConnected);
        FPort.Close();
        FView.SetExchangeEnabled(false);
        return;
    }
    FPort.SetPort(SelectedPort);
    try {
        FPort.Open();
    } catch (const EComPort&) {
        // A port that is gone, held or refused stays so: the next Connect offers the dialog.
        SelectedPort.clear();
        throw;
    }
    LinkMode = ModeConnect;
    {
        TBusyScope Busy(FBusy);
        try {
            SendRequest(CommandConnect);
        } catch (EComPort& Error) {
            BrokeOff(Error, false);
            throw;
        }
        PumpingDelay(HandshakePause); // the answer's receive event runs in here
    }
    if (FView.ConnectCaption() == CaptionDisconnect)
        return;
    const QString Port = FPort.DeviceName();
    FPort.Close();
    SelectedPort.clear();
    FView.ShowNotice(QString::fromUtf8(DeviceNotDetectedText) + u'\n' + PortFailureReason(Port, ETIMEDOUT));
}

void TLinkControl::BrokeOff(EComPort& Error, bool Exporting)
{
    if (Exporting) {
        const QString Sent =
            FRecordsSent == 0
                ? QStringLiteral("No record was sent.")
                : QStringLiteral("Records 1 to %1 of %2 were sent (up to %3); the box may hold a partial "
                                 "configuration until the next full Export.")
                      .arg(FRecordsSent)
                      .arg(ItemCount)
                      .arg(ItemKeys(*FindItem(FRecordsSent)).first());
        Error.SetReason(Error.Reason().isEmpty() ? Sent : Error.Reason() + u'\n' + Sent);
    }
    if (!DeviceGone(Error.WinCode()))
        return;
    // The device is not coming back on this opening: show the disconnected state, keeping the
    // port's name so that Connect reaches the box again once it is plugged back in.
    if (Exporting)
        FView.SetProgressVisible(false);
    FView.SetConnectButton(CaptionConnect, ImageNotConnected);
    try {
        FPort.Close();
    } catch (const EComPort&) {
        // The failure being reported says more than one of closing what is gone.
    }
    FView.SetExchangeEnabled(false);
}

void TLinkControl::EnterConnectedState()
{
    FView.SetConnectButton(CaptionDisconnect, ImageConnected);
    FView.HideOverlay();
    FView.SetExchangeEnabled(true);
    FView.EnablePages();
    FView.PortConnected(SelectedPort);
}

void TLinkControl::Receive(int Count)
{
    // The port may report more than the buffer holds: read it in portions, every byte once.
    bool First = true;
    while (Count > 0) {
        const int Portion = std::min<int>(Count, static_cast<int>(RxBuffer.size()));
        const int Got = FPort.Read(RxBuffer.data(), Portion);
        if (Got <= 0)
            break;
        Count -= Got;
        if (LinkMode == ModeConnect) {
            // Only the first byte of the event is the answer.
            if (First && RxBuffer[0] == ConnectAnswer)
                EnterConnectedState();
        } else if (LinkMode == ModeGet) {
            BuildLines(RxBuffer.data(), Got, RxLine, RxLineCount,
                       [this](std::uint8_t Line, const QString& Text) {
                           try {
                               ApplyImportedLine(Line, Text);
                           } catch (const EConvertError&) {
                               // The line's boxes keep their state; the rest still arrives.
                               FBadLines.Add(Line, Text);
                               FImportRefused = true;
                           }
                           // The count goes on past 59; the 59th line completes the import.
                           if (RxLineCount == ItemCount && !FImportRefused)
                               FView.ImportCompleted();
                       });
        }
        First = false;
    }
    if (!FBadLines.IsEmpty() && !FReportQueued) {
        // Shown once this receive event has returned, so the port's event thread is not held
        // by an open box and receiving goes on underneath it.
        FReportQueued = true;
        QTimer::singleShot(0, &FReportContext, [this] {
            FReportQueued = false;
            ReportBadLines();
        });
    }
}

void TLinkControl::ReportBadLines()
{
    // One box at a time: lines that fail while it is up are shown when it closes, so a stream
    // of bad lines never stacks boxes inside boxes.
    if (FReporting)
        return;
    TBusyScope Reporting(FReporting);
    while (!FBadLines.IsEmpty())
        FView.ShowError(FBadLines.Take());
}

void TBadLines::Add(std::uint8_t Line, const QString& Text)
{
    if (FListed.size() >= ListedLines) {
        ++FMore;
        return;
    }
    const QString Shown = Text.size() > ShownCharacters
                              ? Text.left(ShownCharacters) + QStringLiteral("...")
                              : Text;
    FListed << QStringLiteral("Line %1: \"%2\" is not a valid number").arg(Line).arg(Shown);
}

QString TBadLines::Take()
{
    QStringList Lines = FListed;
    if (FMore > 0)
        Lines << QStringLiteral("and %1 more line%2 that could not be stored")
                     .arg(FMore)
                     .arg(FMore == 1 ? "" : "s");
    FListed.clear();
    FMore = 0;
    return Lines.join(QLatin1Char('\n'));
}

void TLinkControl::ApplyImportedLine(std::uint8_t Line, const QString& Text)
{
    ApplyLine(FView, Line, Text);
}

void TLinkControl::ImportClick()
{
    LinkMode = ModeGet;
    RxLineCount = 0;
    RxLine.clear();
    FImportRefused = false;
    try {
        SendRequest(CommandGet);
    } catch (EComPort& Error) {
        BrokeOff(Error, false);
        throw;
    }
}

void TLinkControl::ExportClick()
{
    // A text the line cannot carry stops the export before the device is told to expect one.
    for (const TItemDef& Item : ItemTable())
        RecordBytes(Item, FView);
    CheckStopSignal();
    LinkMode = ModeSet;
    TBusyScope Busy(FBusy);
    FRecordsSent = 0;
    try {
        SendRequest(CommandSet);
    } catch (EComPort& Error) {
        BrokeOff(Error, true);
        throw;
    }
    ExportConfiguration();
}

void TLinkControl::ExportConfiguration()
{
    FRecordsSent = 0;
    try {
        SendRecords();
    } catch (EComPort& Error) {
        BrokeOff(Error, true);
        throw;
    }
}

void TLinkControl::SendRecords()
{
    std::uint8_t Mask = 0;
    for (const TExportStep& Step : ExportPlan()) {
        switch (Step.Action) {
        case TExportAction::ShowBar:
            // A bar left where a failed export stopped would be full before the last record.
            FView.SetProgressPosition(0);
            FView.SetProgressVisible(true);
            break;
        case TExportAction::Record: {
            CheckStopSignal(); // a stop (a logout, Ctrl+C) ends the export between records
            // Read from the fields now, so an edit made during the export is sent. Written as
            // bytes: a text write would convert to the locale's character set.
            const QByteArray Bytes = RecordBytes(*FindItem(Step.Value), FView);
            FPort.Write(Bytes.constData(), static_cast<int>(Bytes.size()));
            ++FRecordsSent;
            break;
        }
        case TExportAction::BuildMask:
            Mask = MaskByte(*FindItem(Step.Value), FView);
            break;
        case TExportAction::WriteMask:
            CheckStopSignal();
            WriteByte(Mask);
            WriteByte(RecordEnd);
            ++FRecordsSent;
            break;
        case TExportAction::Step:
            FView.SetProgressPosition(FView.ProgressPosition() + ProgressStepSize);
            break;
        case TExportAction::Pause:
            // On a UART the record is still leaving the line when the write returns: the
            // device's pause begins after its last byte.
            PumpingDelay(Step.Value, FPort.OutputDrainTime());
            break;
        case TExportAction::HideBar:
            FView.SetProgressVisible(false);
            FView.SetProgressPosition(0);
            break;
        case TExportAction::FinalRecord:
            CheckStopSignal();
            WriteByte(RecordEnd);
            break;
        }
    }
}
