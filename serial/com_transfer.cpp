// Transfers and line state of the port.
#include "com_port.h"

#include "platform/serial_device.h"

#include <cerrno>
#include <cstring>

using namespace ComPlatform;

TAsync::TAsync() : Overlapped(std::make_unique<TOverlapped>()) {}
TAsync::~TAsync() = default;

void AllocateAsync(PAsync& AsyncPtr) { AsyncPtr = new TAsync; }

void ReleaseAsync(PAsync& AsyncPtr)
{
    delete AsyncPtr;
    AsyncPtr = nullptr;
}

namespace {
// Releases the record of a blocking transfer whatever happens.
struct TAsyncHolder
{
    PAsync Ptr = nullptr;
    TAsyncHolder() { AllocateAsync(Ptr); }
    ~TAsyncHolder() { ReleaseAsync(Ptr); }
};
} // namespace

int TCustomComPort::WriteAsync(const void* Buffer, int Count, PAsync& AsyncPtr)
{
    if (!AsyncPtr) {
        ReportPortError(CE_InvalidAsync);
        return 0;
    }
    if (!FDevice) {
        ReportPortError(CEPortNotOpen, -ComErrorCode(CEPortNotOpen));
        return 0;
    }
    Count = std::max(Count, 0);
    AsyncPtr->Kind = okWrite;
    AsyncPtr->Data.reset(new char[size_t(Count) + 1]);
    if (Count)
        std::memcpy(AsyncPtr->Data.get(), Buffer, size_t(Count));
    AsyncPtr->Size = Count;
    // The record's own copy is written, so the caller's buffer may go before the write ends.
    bool Done = FDevice->WriteFile(AsyncPtr->Data.get(), Count, *AsyncPtr->Overlapped);
    if (!Done && LastError() != PendingError())
        ReportPortError(CE_WriteFailed, LastError());
    ForLinks(&TComLink::OnTx, true);
    return Done ? AsyncPtr->Overlapped->Done : 0;
}

int TCustomComPort::WriteStrAsync(const QString& Str, PAsync& AsyncPtr)
{
    if (Str.isEmpty())
        return 0;
    QByteArray Bytes = ToDefaultCodePage(Str);
    return WriteAsync(Bytes.constData(), int(Bytes.size()), AsyncPtr);
}

int TCustomComPort::ReadAsync(void* Buffer, int Count, PAsync& AsyncPtr)
{
    if (!AsyncPtr) {
        ReportPortError(CE_InvalidAsync);
        return 0;
    }
    AsyncPtr->Kind = okRead;
    if (!FDevice) {
        ReportPortError(CEPortNotOpen, -ComErrorCode(CEPortNotOpen));
        return 0;
    }
    bool Done = FDevice->ReadFile(Buffer, Count, *AsyncPtr->Overlapped);
    if (!Done && LastError() != PendingError())
        ReportPortError(CE_ReadFailed, LastError());
    return Done ? AsyncPtr->Overlapped->Done : 0;
}

int TCustomComPort::ReadStrAsync(QByteArray& Str, int Count, PAsync& AsyncPtr)
{
    // The bytes land in Str, which must stay alive until WaitForAsync.
    Str.resize(std::max(Count, 0));
    return ReadAsync(Str.data(), Count, AsyncPtr);
}

int TCustomComPort::WaitForAsync(PAsync& AsyncPtr)
{
    if (!AsyncPtr) {
        ReportPortError(CE_InvalidAsync);
        return 0;
    }
    TOverlapped& Ov = *AsyncPtr->Overlapped;
    const TComExceptions Failure = AsyncPtr->Kind == okWrite ? CE_WriteFailed : CE_ReadFailed;
    int Transferred = Ov.Done;
    if (Ov.Pending && !FDevice) {
        ReportPortError(Failure, EBADF);
    } else if (FDevice && !FDevice->GetOverlappedResult(Ov, Transferred, true)) {
        ReportPortError(Failure, LastError());
    }
    if (AsyncPtr->Kind == okRead && InputCount() == 0) {
        ForLinks(&TComLink::OnRx, false);
    } else if (AsyncPtr->Data) {
        for (TComLink* Link : FLinks)
            if (Link->OnTxBuf)
                Link->OnTxBuf(this, AsyncPtr->Data.get(), AsyncPtr->Size);
    }
    return Transferred;
}

bool TCustomComPort::IsAsyncCompleted(PAsync AsyncPtr)
{
    if (!AsyncPtr) {
        ReportPortError(CE_InvalidAsync);
        return false;
    }
    if (!AsyncPtr->Overlapped->Pending)
        return true;
    int Transferred;
    if (FDevice && FDevice->GetOverlappedResult(*AsyncPtr->Overlapped, Transferred, false))
        return true;
    if (FDevice && LastError() == PendingError())
        return false;
    ReportLastError(CE_AsyncCheck);
    return false;
}

void TCustomComPort::AbortAllAsync()
{
    if (!FDevice || !FDevice->PurgeComm(PURGE_TXABORT | PURGE_RXABORT))
        ReportLastError(CE_PurgeFailed);
}

int TCustomComPort::Write(const void* Buffer, int Count)
{
    TAsyncHolder A;
    WriteAsync(Buffer, Count, A.Ptr);
    return WaitForAsync(A.Ptr);
}

int TCustomComPort::WriteStr(const QString& Str)
{
    if (Str.isEmpty())
        return 0;
    QByteArray Bytes = ToDefaultCodePage(Str);
    return Write(Bytes.constData(), int(Bytes.size()));
}

int TCustomComPort::Read(void* Buffer, int Count)
{
    TAsyncHolder A;
    ReadAsync(Buffer, Count, A.Ptr);
    return WaitForAsync(A.Ptr);
}

int TCustomComPort::ReadStr(QString& Str, int Count)
{
    Str.clear();
    if (Count <= 0)
        return 0;
    QByteArray Bytes(Count, '\0');
    int N = Read(Bytes.data(), Count);
    Str = FromDefaultCodePage(Bytes.left(N));
    return N;
}

int TCustomComPort::WriteUnicodeString(const QString& Str)
{
    if (Str.isEmpty())
        return 0;
    QByteArray Bytes;
    // The encoded bytes go out unchanged, whatever the locale's character set.
    if (!EncodeCodePage(FCodePage, Str, Bytes)) {
        ReportPortError(CE_WriteFailed, EINVAL);
        return 0;
    }
    return Write(Bytes.constData(), int(Bytes.size()));
}

int TCustomComPort::ReadUnicodeString(QString& Str, int Count)
{
    Str.clear();
    if (Count <= 0)
        return 0;
    QByteArray Bytes(Count, '\0');
    Bytes.truncate(Read(Bytes.data(), Count));
    if (!DecodeCodePage(FCodePage, Bytes, Str)) {
        ReportPortError(CE_ReadFailed, EINVAL);
        return 0;
    }
    return int(Str.size());
}

// ---- line state and control

bool TCustomComPort::ClearError(uint32_t& Errors, uint32_t& InQue, uint32_t& OutQue,
                                uint32_t& Flags, bool WithOutQueue)
{
    TComStat Stat;
    Errors = InQue = OutQue = Flags = 0;
    if (!FDevice || !FDevice->ClearCommError(Errors, Stat, WithOutQueue)) {
        ReportLastError(CE_ClearComFailed);
        return false;
    }
    InQue = Stat.cbInQue;
    OutQue = Stat.cbOutQue;
    Flags = Stat.Flags;
    return true;
}

int TCustomComPort::InputCount()
{
    uint32_t E, In, Out, F;
    ClearError(E, In, Out, F, false);
    return int(In);
}

int TCustomComPort::OutputCount()
{
    uint32_t E, In, Out, F;
    ClearError(E, In, Out, F);
    return int(Out);
}

TComStateFlags TCustomComPort::StateFlags()
{
    uint32_t E, In, Out, F;
    ClearError(E, In, Out, F);
    return TComStateFlags::FromBits(F & 0x7F);
}

TComErrors TCustomComPort::LastErrors()
{
    uint32_t E, In, Out, F;
    ClearError(E, In, Out, F);
    struct TMap
    {
        uint32_t Flag;
        TComError Error;
    };
    static const TMap Map[] = {{CE_FRAME, ceFrame},   {CE_RXPARITY, ceRxParity},
                               {CE_OVERRUN, ceOverrun}, {CE_BREAK, ceBreak},
                               {CE_IOE, ceIO},        {CE_MODE, ceMode},
                               {CE_RXOVER, ceRxOver}, {CE_TXFULL, ceTxFull}};
    TComErrors Errors;
    for (const TMap& M : Map)
        if ((E & M.Flag) && (M.Error != ceRxParity || FParity->Check()))
            Errors.Include(M.Error);
    return Errors;
}

TComSignals TCustomComPort::Signals()
{
    uint32_t Stat = 0;
    if (!FDevice || !FDevice->GetCommModemStatus(Stat))
        ReportLastError(CE_ModemStatFailed);
    TComSignals Signals;
    if (Stat & MS_CTS_ON) Signals.Include(csCTS);
    if (Stat & MS_DSR_ON) Signals.Include(csDSR);
    if (Stat & MS_RING_ON) Signals.Include(csRing);
    if (Stat & MS_RLSD_ON) Signals.Include(csRLSD);
    return Signals;
}

void TCustomComPort::Escape(uint32_t Function)
{
    if (!FDevice || !FDevice->EscapeCommFunction(Function))
        ReportLastError(CE_EscapeComFailed);
}

void TCustomComPort::SetDTR(bool OnOff) { Escape(OnOff ? SETDTR : CLRDTR); }
void TCustomComPort::SetRTS(bool OnOff) { Escape(OnOff ? SETRTS : CLRRTS); }
void TCustomComPort::SetXonXoff(bool OnOff) { Escape(OnOff ? SETXON : SETXOFF); }
void TCustomComPort::SetBreak(bool OnOff) { Escape(OnOff ? SETBREAK : CLRBREAK); }

void TCustomComPort::ClearBuffer(bool Input, bool Output)
{
    uint32_t Flags = (Input ? PURGE_RXCLEAR : 0) | (Output ? PURGE_TXCLEAR : 0);
    if (!FDevice || !FDevice->PurgeComm(Flags))
        ReportLastError(CE_PurgeFailed);
}

void TCustomComPort::TransmitChar(QChar Ch)
{
    if (!FDevice || !FDevice->TransmitCommChar(char(Ch.unicode() & 0xFF)))
        ReportLastError(CE_TransmitFailed);
}
