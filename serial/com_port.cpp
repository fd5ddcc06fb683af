// The port's settings, opening and closing, and its error reporting.
#include "com_port.h"

#include "com_thread.h"
#include "platform/serial_device.h"
#include "port_reason.h"

#include "core/exceptions.h"

#include <algorithm>

using namespace ComPlatform;

namespace {
const uint32_t BaudRates[] = {0,     110,   300,   600,   1200,   2400,   4800,   9600,
                              14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

// The line's rate and character frame in the device control block's terms.
TDCB LineFrame(uint32_t Rate, TDataBits DataBits, TParityBits Parity, TStopBits StopBits)
{
    TDCB Dcb;
    Dcb.BaudRate = Rate;
    Dcb.ByteSize = uint8_t(5 + DataBits);
    Dcb.Parity = uint8_t(Parity);
    Dcb.StopBits = uint8_t(StopBits);
    return Dcb;
}
} // namespace

TCustomComPort::TCustomComPort(QObject* AOwner) : QObject(AOwner)
{
    FParity = std::make_unique<TComParity>(this);
    FFlowControl = std::make_unique<TComFlowControl>(this);
    FTimeouts = std::make_unique<TComTimeouts>(this);
    FBuffer = std::make_unique<TComBuffer>(this);
}

TCustomComPort::~TCustomComPort()
{
    try {
        Close();
    } catch (...) {
        // A destructor cannot report; the teardown below still releases everything.
    }
    StopEventThread();
    FWindow.reset();
    FDevice.reset();
    FHandle = -1;
    FConnected = false;
}

void TCustomComPort::Loaded()
{
    FLoading = false;
    if (FConnected) {
        FConnected = false;
        try {
            Open();
        } catch (...) {
            ReportException(this);
        }
    }
}

// ---- properties

void TCustomComPort::SetConnected(bool Value)
{
    if (FLoading) {
        FConnected = Value;
        return;
    }
    if (Value != FConnected)
        Value ? Open() : Close();
}

void TCustomComPort::SetBaudRate(TBaudRate Value)
{
    if (Value == FBaudRate)
        return;
    FBaudRate = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetCustomBaudRate(int Value)
{
    if (Value == FCustomBaudRate)
        return;
    FCustomBaudRate = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetPort(const QString& Value)
{
    if (Value == FPort)
        return;
    if (FConnected && !FLoading) {
        Close();
        FPort = Value;
        Open();
    } else {
        FPort = Value;
    }
}

QString TCustomComPort::DeviceName() const
{
    return FPort.contains(u'/') ? FPort : QStringLiteral("/dev/") + FPort;
}

void TCustomComPort::SetParity(const TComParity& Value)
{
    FParity->Assign(Value);
    ApplyLineSettings();
}

void TCustomComPort::SetStopBits(TStopBits Value)
{
    if (Value == FStopBits)
        return;
    FStopBits = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetDataBits(TDataBits Value)
{
    if (Value == FDataBits)
        return;
    FDataBits = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetDiscardNull(bool Value)
{
    if (Value == FDiscardNull)
        return;
    FDiscardNull = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetEventChar(QChar Value)
{
    if (Value == FEventChar)
        return;
    FEventChar = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetBuffer(const TComBuffer& Value)
{
    FBuffer->Assign(Value);
    ApplyBufferSizes();
}

void TCustomComPort::SetFlowControl(const TComFlowControl& Value)
{
    FFlowControl->Assign(Value);
    ApplyLineSettings();
}

void TCustomComPort::SetTimeouts(const TComTimeouts& Value)
{
    FTimeouts->Assign(Value);
    ApplyTimeoutSettings();
}

void TCustomComPort::SetTriggersOnRxChar(bool Value)
{
    if (FHasLink)
        ReportPortError(CE_HasLink);
    FTriggersOnRxChar = Value;
}

void TCustomComPort::SetSyncMethod(TSyncMethod Value)
{
    if (Value == FSyncMethod)
        return;
    if (FConnected && !FLoading) {
        ReportPortError(CE_ConnChangeProp);
        return;
    }
    FSyncMethod = Value;
}

void TCustomComPort::SetEventThreadPriority(TThreadPriority Value)
{
    if (Value == FEventThreadPriority)
        return;
    if (FConnected && !FLoading) {
        ReportPortError(CE_ConnChangeProp);
        return;
    }
    FEventThreadPriority = Value;
}

// ---- applying the settings

bool TCustomComPort::ApplyGateOpen() const
{
    return FConnected && FUpdateCount == 0 && !FLoading && FDevice;
}

void TCustomComPort::ApplyAllSettings()
{
    ApplyBufferSizes();
    ApplyLineSettings();
    ApplyTimeoutSettings();
}

void TCustomComPort::ApplyBufferSizes()
{
    if (!ApplyGateOpen())
        return;
    if (!FDevice->SetupComm(FBuffer->InputSize(), FBuffer->OutputSize()))
        ReportPortError(CE_SetupComFailed, LastError());
}

void TCustomComPort::ApplyTimeoutSettings()
{
    if (!ApplyGateOpen())
        return;
    TCommTimeouts T;
    T.ReadIntervalTimeout = uint32_t(FTimeouts->ReadInterval());
    T.ReadTotalTimeoutMultiplier = uint32_t(FTimeouts->ReadTotalMultiplier());
    T.ReadTotalTimeoutConstant = uint32_t(FTimeouts->ReadTotalConstant());
    T.WriteTotalTimeoutMultiplier = uint32_t(FTimeouts->WriteTotalMultiplier());
    T.WriteTotalTimeoutConstant = uint32_t(FTimeouts->WriteTotalConstant());
    if (!FDevice->SetCommTimeouts(T))
        ReportPortError(CE_TimeoutsFailed, LastError());
}

TDCB TCustomComPort::LineBlock() const
{
    const TComParity& P = *FParity;
    TDCB Dcb = LineFrame(LineRate(), FDataBits, P.Bits(), FStopBits);
    const TComFlowControl& Fc = *FFlowControl;
    const bool ErrorChar = P.Check() && P.Replace();
    Dcb.Flags = fBinary | (P.Check() ? fParity : 0) | (Fc.OutCTSFlow() ? fOutxCtsFlow : 0) |
                (Fc.OutDSRFlow() ? fOutxDsrFlow : 0) |
                (uint32_t(Fc.ControlDTR()) << fDtrControlShift) |
                (Fc.DSRSensitivity() ? fDsrSensitivity : 0) |
                (Fc.TxContinueOnXoff() ? fTXContinueOnXoff : 0) | (Fc.XonXoffOut() ? fOutX : 0) |
                (Fc.XonXoffIn() ? fInX : 0) | (ErrorChar ? fErrorChar : 0) |
                (FDiscardNull ? fNull : 0) | (uint32_t(Fc.ControlRTS()) << fRtsControlShift);
    Dcb.XonLim = Dcb.XoffLim = uint16_t(FBuffer->InputSize() / 4);
    Dcb.XonChar = char(Fc.XonChar().unicode() & 0xFF);
    Dcb.XoffChar = char(Fc.XoffChar().unicode() & 0xFF);
    Dcb.ErrorChar = ErrorChar ? char(P.ReplaceChar().unicode() & 0xFF) : 0;
    Dcb.EvtChar = char(FEventChar.unicode() & 0xFF);
    return Dcb;
}

void TCustomComPort::ApplyLineSettings()
{
    if (!ApplyGateOpen())
        return;
    if (!FDevice->SetCommState(LineBlock()))
        ReportPortError(CE_SetStateFailed, LastError());
}

void TCustomComPort::EndUpdate()
{
    if (FUpdateCount <= 0)
        return;
    if (--FUpdateCount == 0)
        ApplyAllSettings();
}

// ---- opening and closing

void TCustomComPort::OpenDeviceHandle()
{
    // The lines the settings hold inactive go down before anything else touches the device.
    FDevice = TDevice::CreateFile(DeviceName(), LineBlock());
    if (!FDevice) {
        FHandle = -1;
        ReportPortError(CE_OpenFailed, LastError());
        return;
    }
    FHandle = FDevice->Handle();
}

void TCustomComPort::CloseDeviceHandle()
{
    if (FDevice && FDevice->CloseHandle()) {
        FDevice.reset();
        FHandle = -1;
    }
}

void TCustomComPort::Open()
{
    if (FConnected)
        return;
    EmitBeforeOpen();
    OpenDeviceHandle();
    // An OnException handler took the failed open: no device, so nothing is watched or applied.
    if (!FDevice)
        return;
    FConnected = true;
    try {
        ApplyAllSettings();
    } catch (...) {
        CloseDeviceHandle();
        FConnected = false;
        throw;
    }
    if (!FEvents.Empty()) {
        if (FSyncMethod == smWindowSync)
            FWindow = std::make_unique<TComEventWindow>(this);
        FEventThread = std::make_unique<TComThread>(this);
        FEventThread->Start();
        FThreadCreated = true;
    }
    ForLinks(&TComLink::OnConn, true);
    EmitAfterOpen();
    NotifySignal(csCTS, &TComLink::OnCTSChange, &TCustomComPort::EmitCTSChange);
    NotifySignal(csDSR, &TComLink::OnDSRChange, &TCustomComPort::EmitDSRChange);
    NotifySignal(csRLSD, &TComLink::OnRLSDChange, &TCustomComPort::EmitRLSDChange);
}

void TCustomComPort::Close()
{
    if (!FConnected)
        return;
    ForLinks(&TComLink::OnCTSChange, false);
    ForLinks(&TComLink::OnDSRChange, false);
    ForLinks(&TComLink::OnRLSDChange, false);
    EmitCTSChange(false);
    EmitDSRChange(false);
    EmitRLSDChange(false);
    // Stop the event thread before OnBeforeClose: after it no handler runs for this opening.
    if (FThreadCreated)
        FEventThread->StopDelivery();
    EmitBeforeClose();
    AbortAllAsync();
    StopEventThread();
    FWindow.reset();
    CloseDeviceHandle();
    FConnected = false;
    ForLinks(&TComLink::OnConn, false);
    EmitAfterClose();
}

void TCustomComPort::StopEventThread()
{
    if (!FThreadCreated)
        return;
    FEventThread->StopDelivery();
    FEventThread->WaitFor();
    const bool EndedByException = bool(FEventThread->FatalException());
    FEventThread.reset();
    FThreadCreated = false;
    // A thread ended by an exception skipped its closing steps, so output may still be queued
    // (a stalled or unplugged line): close() would wait for it up to the driver's closing wait
    // of 30 s. Bytes that have not gone out by now are given up.
    if (EndedByException && FDevice)
        FDevice->PurgeComm(PURGE_TXCLEAR);
}

// ---- errors

void TCustomComPort::ReportPortError(TComExceptions Failure, int64_t WinError)
{
    const int Code = ComErrorCode(Failure);
    if (!FOnException) {
        if (WinError <= 0)
            throw EComPort::CreateNoWinCode(Code);
        EComPort Error(Code, int(uint32_t(WinError)));
        Error.SetReason(PortFailureReason(DeviceName(), int(WinError)));
        throw Error;
    }
    QString WinMessage;
    if (WinError > 0) {
        WinMessage = QStringLiteral("System Error.  Code: %1.\r\n%2")
                         .arg(WinError)
                         .arg(SystemErrorText(int(WinError)));
    }
    FOnException(this, Failure, ComErrorText(Code), WinError, WinMessage);
}

void TCustomComPort::ReportLastError(TComExceptions Failure)
{
    ReportPortError(Failure, FDevice ? LastError() : EBADF);
}

// ---- links

void TCustomComPort::RegisterLink(TComLink* AComLink)
{
    if (std::find(FLinks.begin(), FLinks.end(), AComLink) != FLinks.end())
        ReportPortError(CE_RegFailed);
    else
        FLinks.push_back(AComLink);
    FHasLink = std::any_of(FLinks.begin(), FLinks.end(), [](TComLink* L) { return bool(L->OnRxBuf); });
}

void TCustomComPort::UnRegisterLink(TComLink* AComLink)
{
    auto It = std::find(FLinks.begin(), FLinks.end(), AComLink);
    if (It == FLinks.end())
        ReportPortError(CE_RegFailed);
    else
        FLinks.erase(It);
    FHasLink = std::any_of(FLinks.begin(), FLinks.end(), [](TComLink* L) { return bool(L->OnRxBuf); });
}

// ---- firing events

void TCustomComPort::EmitAfterClose() { if (FOnAfterClose) FOnAfterClose(this); }
void TCustomComPort::EmitAfterOpen() { if (FOnAfterOpen) FOnAfterOpen(this); }
void TCustomComPort::EmitBeforeClose() { if (FOnBeforeClose) FOnBeforeClose(this); }
void TCustomComPort::EmitBeforeOpen() { if (FOnBeforeOpen) FOnBeforeOpen(this); }
void TCustomComPort::EmitRxChar(int Count) { if (FOnRxChar) FOnRxChar(this, Count); }
void TCustomComPort::EmitRxBuf(const char* Buffer, int Count) { if (FOnRxBuf) FOnRxBuf(this, Buffer, Count); }
void TCustomComPort::EmitTxEmpty() { if (FOnTxEmpty) FOnTxEmpty(this); }
void TCustomComPort::EmitBreak() { if (FOnBreak) FOnBreak(this); }
void TCustomComPort::EmitRing() { if (FOnRing) FOnRing(this); }
void TCustomComPort::EmitRxFlag() { if (FOnRxFlag) FOnRxFlag(this); }
void TCustomComPort::EmitCTSChange(bool OnOff) { if (FOnCTSChange) FOnCTSChange(this, OnOff); }
void TCustomComPort::EmitDSRChange(bool OnOff) { if (FOnDSRChange) FOnDSRChange(this, OnOff); }
void TCustomComPort::EmitError(TComErrors Errors) { if (FOnError) FOnError(this, Errors); }
void TCustomComPort::EmitRLSDChange(bool OnOff) { if (FOnRLSDChange) FOnRLSDChange(this, OnOff); }
void TCustomComPort::EmitRx80Full() { if (FOnRx80Full) FOnRx80Full(this); }

std::chrono::microseconds LineTime(int Bytes, uint32_t Rate, TDataBits DataBits, bool Parity,
                                   TStopBits StopBits)
{
    return TransmitTime(Bytes, LineFrame(Rate, DataBits, Parity ? prOdd : prNone, StopBits));
}

uint32_t TCustomComPort::LineRate() const
{
    return FBaudRate == brCustom ? uint32_t(FCustomBaudRate) : BaudRates[FBaudRate];
}

std::chrono::microseconds TCustomComPort::OutputDrainTime() const
{
    return FDevice ? FDevice->LineTimeLeft() : std::chrono::microseconds::zero();
}
