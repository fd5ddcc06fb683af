// The component's only door to the operating system's serial interface. Every call gives the
// result the component relies on and, on refusal, returns false with LastError() holding the
// system's error number. Numbers and flags are those the component's settings are written in.
#pragma once

#include "core/timing.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>

namespace ComPlatform {

constexpr uint32_t EV_RXCHAR = 0x001, EV_RXFLAG = 0x002, EV_TXEMPTY = 0x004, EV_CTS = 0x008,
                   EV_DSR = 0x010, EV_RLSD = 0x020, EV_BREAK = 0x040, EV_ERR = 0x080,
                   EV_RING = 0x100, EV_RX80FULL = 0x400;
constexpr uint32_t PURGE_TXABORT = 0x1, PURGE_RXABORT = 0x2, PURGE_TXCLEAR = 0x4,
                   PURGE_RXCLEAR = 0x8;
constexpr uint32_t CE_RXOVER = 0x1, CE_OVERRUN = 0x2, CE_RXPARITY = 0x4, CE_FRAME = 0x8,
                   CE_BREAK = 0x10, CE_TXFULL = 0x100, CE_IOE = 0x400, CE_MODE = 0x8000;
constexpr uint32_t MS_CTS_ON = 0x10, MS_DSR_ON = 0x20, MS_RING_ON = 0x40, MS_RLSD_ON = 0x80;
constexpr uint32_t SETXOFF = 1, SETXON = 2, SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6,
                   SETBREAK = 8, CLRBREAK = 9;
constexpr uint32_t MAXDWORD = 0xFFFFFFFFu;

// Device control block flag bits.
constexpr uint32_t fBinary = 0x1, fParity = 0x2, fOutxCtsFlow = 0x4, fOutxDsrFlow = 0x8,
                   fDtrControlShift = 4, fDsrSensitivity = 0x40, fTXContinueOnXoff = 0x80,
                   fOutX = 0x100, fInX = 0x200, fErrorChar = 0x400, fNull = 0x800,
                   fRtsControlShift = 12;

struct TDCB
{
    uint32_t DCBlength = 28;
    uint32_t BaudRate = 0;
    uint32_t Flags = 0;
    uint16_t wReserved = 0;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 8;
    uint8_t Parity = 0;
    uint8_t StopBits = 0;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    uint16_t wReserved1 = 0;
};

// The time Bytes characters take on the line Dcb sets: its rate, and a start bit, the data
// bits, the parity bit and the stop bits (StopBits 0: one, 1: one and a half, 2: two) for each.
inline std::chrono::microseconds TransmitTime(int64_t Bytes, const TDCB& Dcb)
{
    return ::TransmitTime(Bytes, Dcb.BaudRate, Dcb.ByteSize, Dcb.Parity != 0, 2 + Dcb.StopBits);
}

using ::TDeadline;
using ::TLineClock;

struct TCommTimeouts
{
    uint32_t ReadIntervalTimeout = MAXDWORD;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 100;
    uint32_t WriteTotalTimeoutConstant = 1000;
};

struct TComStat
{
    uint32_t Flags = 0;
    uint32_t cbInQue = 0;
    uint32_t cbOutQue = 0;
};

// The system error number of the calling thread's last refused call.
int LastError();
void SetLastError(int Error);
// The error number that marks a transfer still under way.
int PendingError();
// The system's text for an error number.
QString SystemErrorText(int Error);

// One transfer in progress: the stand-in for an overlapped record.
struct TOverlapped
{
    bool Write = false;
    char* Buffer = nullptr;
    int Count = 0;
    int Done = 0;
    bool Pending = false;
    bool Failed = false;
    int Error = 0;
    // Read rule: return as soon as any byte is there (or at once when ReturnAtOnce).
    bool ReturnAtOnce = false;
    bool ReturnOnFirstByte = false;
    TDeadline Deadline;
    // Between bytes, after the first; none when negative.
    std::chrono::milliseconds Interval{-1};
    TDeadline::TClock::time_point LastByte{};
    unsigned AbortGeneration = 0;
};

enum class TWaitResult { Event, Stopped, TimedOut, Failed };

class TDevice
{
public:
    // Opens Name exclusively; nullptr with LastError() on failure (EBUSY when held elsewhere).
    // The modem lines that Lines' DTR and RTS control hold inactive are dropped first.
    static std::unique_ptr<TDevice> CreateFile(const QString& Name, const TDCB& Lines);
    ~TDevice();

    int Handle() const;

    bool SetupComm(int InQueue, int OutQueue);
    bool SetCommState(const TDCB& Dcb);
    bool SetCommTimeouts(const TCommTimeouts& Timeouts);
    bool SetCommMask(uint32_t Mask);
    // Sleeps until a watched event occurs (Occurred holds them; empty when the mask was set to 0
    // meanwhile), StopEvent (a descriptor, -1 for none) is set, TimeoutMs (-1: none) passes, or
    // the device hangs up or fails.
    TWaitResult WaitCommEvent(uint32_t& Occurred, int StopEvent, int TimeoutMs);
    // The stop event stays watched between waits (the event thread waits on the same one);
    // a one-off wait lets go of it, so a later event on a reused descriptor is watched anew.
    void ForgetStopEvent();

    // Start a transfer: true when it completed at once; false with PendingError() when it goes
    // on, with another number when it was refused.
    bool WriteFile(const void* Buffer, int Count, TOverlapped& Ov);
    bool ReadFile(void* Buffer, int Count, TOverlapped& Ov);
    // Carries a transfer on; Wait: to its end. False with PendingError() while it goes on.
    bool GetOverlappedResult(TOverlapped& Ov, int& Transferred, bool Wait);

    bool PurgeComm(uint32_t Flags);
    // The time until the bytes written so far have left the line, at most (TLineClock); zero
    // on a pseudo-terminal, which has no line.
    std::chrono::microseconds LineTimeLeft();
    // OutQueue false leaves cbOutQue 0 and spares the driver that question.
    bool ClearCommError(uint32_t& Errors, TComStat& Stat, bool OutQueue = true);
    bool GetCommModemStatus(uint32_t& ModemStat);
    bool EscapeCommFunction(uint32_t Function);
    bool TransmitCommChar(char Ch);
    bool CloseHandle();

private:
    struct TImpl;
    explicit TDevice(std::unique_ptr<TImpl> Impl);
    std::unique_ptr<TImpl> F;
};

// The text conversions: the system's default code page is the locale's character set;
// characters it lacks become "?".
QByteArray ToDefaultCodePage(const QString& Text);
QString FromDefaultCodePage(const QByteArray& Bytes);
// Windows code page numbers (0: the default); false when the code page is unknown.
bool EncodeCodePage(unsigned CodePage, const QString& Text, QByteArray& Bytes);
bool DecodeCodePage(unsigned CodePage, const QByteArray& Bytes, QString& Text);

} // namespace ComPlatform
