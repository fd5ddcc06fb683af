// The Linux serial interface behind the component: termios2 for the line, epoll and eventfd for
// the waits, the driver's counters for line errors. The only file with kernel headers.
//
// Choices made here:
// - Exclusive open without touching the line: before open() (which raises DTR and RTS on the
//   holder's live line) the field's lock file is taken (lock_file.cpp). Behind it,
//   flock(LOCK_EX|LOCK_NB), which holds even against root, and TIOCEXCL for programs that do not
//   lock; TIOCEXCL is lifted again before close so the device is free.
// - HUPCL is cleared: closing the port leaves DTR and RTS as the settings drove them, so a box
//   that resets on a DTR edge (as many controllers with a USB bridge do) is not reset by Close.
//   The kernel raises DTR and RTS inside open(); the very first call after it drops the lines
//   the settings hold inactive, so only that short pulse remains, which user space cannot avoid.
// - CLOCAL is always set: the relay controller has no carrier line, so its absence must neither
//   block the open nor hang the line up.
// - Received bytes are watched edge-triggered (EPOLLET), so bytes left waiting in the queue do
//   not wake the waiter again; like EV_RXCHAR, only new arrivals do.
// - Line time comes from what was written and when (TLineClock, core/timing.h), never from TIOCOUTQ: cdc_acm
//   counts whole USB buffers in flight (10240 bytes after a 14-byte write), while ftdi_sio,
//   cp210x and the 16550 do not count what sits in the chip's FIFO. A pty has no line: none.
// - EV_TXEMPTY: after a write has been handed over, the waiter sleeps until that bound has
//   passed; nothing wakes while no write is outstanding.
// - Line errors and breaks come from TIOCGICOUNT at each wake-up (drivers without counters, such
//   as ptys, report none). Modem-line changes come from a waiter thread in TIOCMIWAIT on drivers
//   that have it; Close interrupts it with a signal, so it never has to wait for a line change,
//   and so does every line setting, since the 8250 turns its modem-status interrupt off there
//   and only a new TIOCMIWAIT turns it on again.
// - Modem-line calls that a driver does not have (ENOTTY, EINVAL: ptys) mean "no lines".
// - EV_RXFLAG, DiscardNull, Parity.Replace, DSR flow control and XonLim/XoffLim have no termios
//   counterpart; they are recorded and do nothing.
#include "serial/platform/serial_device.h"
#include "serial/platform/linux/lock_file.h"
#include "serial/platform/linux/retried.h"
#include "serial/platform/port_facts.h"

// The kernel's termios2 (any baud rate) beside glibc's ioctl declarations: <asm/termbits.h>
// has the structure and nothing that <sys/ioctl.h> defines too, which <asm/termios.h> has
// (and newer glibc pulls <sys/ioctl.h> in through <sys/epoll.h>).
#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <QFile>
#include <QLoggingCategory>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <utility>

// Every exchange at the seam, for a technician chasing a failing one:
// QT_LOGGING_RULES="morvel.serial.debug=true". Off by default.
Q_LOGGING_CATEGORY(SerialLog, "morvel.serial", QtInfoMsg)

namespace ComPlatform {

namespace {

thread_local int ThreadLastError = 0;

using TClock = TDeadline::TClock;

bool NoSuchLine(int Error) { return Error == ENOTTY || Error == EINVAL; }

bool Fail(int Error)
{
    ThreadLastError = Error;
    return false;
}

struct TRate
{
    uint32_t Rate;
    unsigned Code;
};
const TRate StandardRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {2000000, B2000000},
};

const unsigned CharSizes[] = {CS5, CS6, CS7, CS8};

// Wakes the modem-line waiter out of TIOCMIWAIT; the handler itself does nothing.
const int WakeSignal = SIGRTMIN + 3;
void InstallWakeSignal()
{
    static std::once_flag Once;
    std::call_once(Once, [] {
        struct sigaction Action {};
        Action.sa_handler = [](int) {};
        sigemptyset(&Action.sa_mask);
        Action.sa_flags = 0; // no SA_RESTART: the ioctl must return EINTR
        sigaction(WakeSignal, &Action, nullptr);
    });
}

// The modem lines a device control block holds inactive, as TIOCM bits.
int DisabledLines(const TDCB& Dcb)
{
    return (((Dcb.Flags >> fDtrControlShift) & 3) == 0 ? TIOCM_DTR : 0) |
           (((Dcb.Flags >> fRtsControlShift) & 3) == 0 ? TIOCM_RTS : 0);
}

void Signal(int EventFd)
{
    uint64_t One = 1;
    (void)!write(EventFd, &One, sizeof One);
}

void Drain(int EventFd)
{
    uint64_t Value;
    (void)!read(EventFd, &Value, sizeof Value);
}

enum : uint32_t { KeyDevice = 0, KeyWake = 1, KeyStop = 2 };

} // namespace

int LastError() { return ThreadLastError; }
void SetLastError(int Error) { ThreadLastError = Error; }
int PendingError() { return EINPROGRESS; }
QString SystemErrorText(int Error) { return QString::fromLocal8Bit(strerror(Error)); }

struct TDevice::TImpl
{
    int Fd = -1;
    std::string LockFile; // the lock file taken for the device; empty when none
    int CommWake = -1; // wakes the event waiter: mask changed, purge, write handed over
    int XferWake = -1; // wakes waiting transfers: purge
    int Epoll = -1;
    int EpollStop = -1;
    std::atomic<uint32_t> Mask{0};
    std::atomic<unsigned> MaskGeneration{0};
    std::atomic<bool> TxPending{false};
    std::atomic<unsigned> AbortGeneration{0};
    std::atomic<uint32_t> ModemEvents{0};

    std::mutex Lock; // the settings that transfers and waits read, and the counter baselines
    TCommTimeouts Timeouts;
    TDCB Frame = [] { // the rate and character frame last set, for the time queued output needs
        TDCB Dcb;
        Dcb.BaudRate = 9600;
        return Dcb;
    }();
    int InQueueSize = 1024;
    bool HasLine = true; // false on a pseudo-terminal: bytes written are there at once
    TLineClock Line;
    bool HasCounters = false;
    serial_icounter_struct ErrorBase{};
    serial_icounter_struct EventBase{};

    std::thread ModemWaiter;
    std::atomic<bool> ModemStop{false};
    std::atomic<bool> ModemDone{false};
    std::mutex ModemLock;
    std::condition_variable ModemCond;

    bool Counters(serial_icounter_struct& C) const { return ioctl(Fd, TIOCGICOUNT, &C) == 0; }

    int InQueue() const
    {
        int N = 0;
        return ioctl(Fd, FIONREAD, &N) == 0 ? N : -1;
    }
    int OutQueue() const
    {
        int N = 0;
        return ioctl(Fd, TIOCOUTQ, &N) == 0 ? N : -1;
    }

    std::chrono::microseconds LineTimeLeft()
    {
        std::lock_guard G(Lock);
        return Line.Left(std::chrono::steady_clock::now());
    }

    void StartModemWaiter()
    {
        if (!HasCounters || ModemWaiter.joinable())
            return;
        InstallWakeSignal();
        ModemStop = false;
        ModemDone = false;
        ModemWaiter = std::thread([this] { ModemLoop(); });
    }

    void ModemLoop()
    {
        serial_icounter_struct Base{};
        Counters(Base);
        while (!ModemStop) {
            // Changes between two waits (while the waiter was re-armed) count too.
            serial_icounter_struct Now{};
            if (!Counters(Now))
                break;
            uint32_t Changed = (Now.cts != Base.cts ? EV_CTS : 0) |
                               (Now.dsr != Base.dsr ? EV_DSR : 0) |
                               (Now.rng != Base.rng ? EV_RING : 0) |
                               (Now.dcd != Base.dcd ? EV_RLSD : 0);
            Base = Now;
            if (Changed) {
                ModemEvents |= Changed;
                Signal(CommWake);
            }
            if (ioctl(Fd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD) != 0 &&
                errno != EINTR)
                break; // the driver cannot wait after all: no modem-line events
        }
        {
            std::lock_guard G(ModemLock);
            ModemDone = true;
        }
        ModemCond.notify_all();
    }

    // The 8250 turns its modem-status interrupt off on every line setting without CRTSCTS or
    // with CLOCAL, and only a new TIOCMIWAIT turns it on again: interrupt the wait under way.
    // A signal that comes while the waiter is between two waits is not needed: its next wait
    // starts after the setting.
    void RearmModemWaiter()
    {
        std::lock_guard G(ModemLock);
        if (ModemWaiter.joinable() && !ModemDone)
            pthread_kill(ModemWaiter.native_handle(), WakeSignal);
    }

    void StopModemWaiter()
    {
        if (!ModemWaiter.joinable())
            return;
        ModemStop = true;
        // A signal sent just before the waiter enters the ioctl is lost, so repeat it until the
        // waiter has gone; each round is a millisecond at most.
        std::unique_lock G(ModemLock);
        while (!ModemDone) {
            pthread_kill(ModemWaiter.native_handle(), WakeSignal);
            ModemCond.wait_for(G, std::chrono::milliseconds(1));
        }
        G.unlock();
        ModemWaiter.join();
    }

    uint32_t DeviceEvents(uint32_t WatchMask)
    {
        uint32_t Occurred = 0;
        if (WatchMask & (EV_RXCHAR | EV_RX80FULL)) {
            int In = InQueue();
            if (In > 0 && (WatchMask & EV_RXCHAR))
                Occurred |= EV_RXCHAR;
            std::lock_guard G(Lock);
            if ((WatchMask & EV_RX80FULL) && InQueueSize > 0 && In >= InQueueSize * 8 / 10)
                Occurred |= EV_RX80FULL;
        }
        std::lock_guard G(Lock);
        serial_icounter_struct Now{};
        if (HasCounters && Counters(Now)) {
            if (Now.frame != EventBase.frame || Now.parity != EventBase.parity ||
                Now.overrun != EventBase.overrun || Now.buf_overrun != EventBase.buf_overrun)
                Occurred |= EV_ERR & WatchMask;
            if (Now.brk != EventBase.brk)
                Occurred |= EV_BREAK & WatchMask;
            EventBase = Now;
        }
        return Occurred;
    }

    // One step of a transfer without waiting; true when it has ended (Ov.Failed tells how).
    bool Progress(TOverlapped& Ov)
    {
        if (AbortGeneration != Ov.AbortGeneration)
            return Finish(Ov, ECANCELED);
        while (Ov.Done < Ov.Count) {
            ssize_t N = Ov.Write ? ::write(Fd, Ov.Buffer + Ov.Done, size_t(Ov.Count - Ov.Done))
                                 : ::read(Fd, Ov.Buffer + Ov.Done, size_t(Ov.Count - Ov.Done));
            if (N > 0) {
                Ov.Done += int(N);
                Ov.LastByte = TClock::now();
                continue;
            }
            if (N == 0)
                return Finish(Ov, EIO); // end of file: the line has hung up
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN)
                break;
            return Finish(Ov, errno);
        }
        const auto Now = TClock::now();
        bool Ended = Ov.Done == Ov.Count || Ov.ReturnAtOnce ||
                     (Ov.ReturnOnFirstByte && Ov.Done > 0) || Ov.Deadline.Expired(Now) ||
                     IntervalEnd(Ov).Expired(Now);
        return Ended ? Finish(Ov, 0) : false;
    }

    bool Finish(TOverlapped& Ov, int Error)
    {
        Ov.Pending = false;
        Ov.Failed = Error != 0;
        Ov.Error = Error;
        qCDebug(SerialLog).noquote().nospace()
            << (Ov.Write ? "write " : "read ") << Ov.Done << "/" << Ov.Count
            << (Error ? QStringLiteral(" failed: %1").arg(QString::fromLocal8Bit(std::strerror(Error))) : QString())
            << ": " << QByteArray(Ov.Buffer, Ov.Done).toHex(' ');
        if (!Ov.Failed && Ov.Write && Ov.Done > 0) {
            if (HasLine) {
                std::lock_guard G(Lock);
                Line.Written(TransmitTime(Ov.Done, Frame), std::chrono::steady_clock::now());
            }
            TxPending = true;
            Signal(CommWake);
        }
        return true;
    }

    // When the pause after the last byte ends a read; never before its first byte.
    static TDeadline IntervalEnd(const TOverlapped& Ov)
    {
        if (Ov.Interval.count() < 0 || Ov.Done == 0)
            return {};
        return TDeadline::At(Ov.LastByte + Ov.Interval);
    }

    // Milliseconds until the transfer must be looked at again; -1: only when the device moves.
    int TransferTimeout(const TOverlapped& Ov) const
    {
        return Ov.Deadline.Earlier(IntervalEnd(Ov)).MsLeft();
    }
};

TDevice::TDevice(std::unique_ptr<TImpl> Impl) : F(std::move(Impl)) {}

TDevice::~TDevice() { CloseHandle(); }

int TDevice::Handle() const { return F->Fd; }

std::unique_ptr<TDevice> TDevice::CreateFile(const QString& Name, const TDCB& Lines)
{
    QByteArray Path = QFile::encodeName(Name);
    std::string Lock = LockPath(Path);
    bool Locked = false;
    if (!Lock.empty()) {
        if (int Error = TakeLock(Lock, Locked)) {
            Fail(Error);
            return nullptr;
        }
    }
    if (!Locked)
        Lock.clear();
    int Fd = Retried([&] { return ::open(Path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (Fd < 0) {
        const int Error = errno;
        qCDebug(SerialLog) << "open" << Name << "failed:" << std::strerror(Error);
        if (Locked)
            ReleaseLock(Lock);
        Fail(Error);
        return nullptr;
    }
    auto Abandon = [Fd, &Lock, &Name](int Error) {
        qCDebug(SerialLog) << "open" << Name << "given up:" << std::strerror(Error);
        ::close(Fd);
        if (!Lock.empty())
            ReleaseLock(Lock);
        Fail(Error);
        return nullptr;
    };
    // The kernel raised DTR and RTS inside open(); a box that resets on DTR must see them drop
    // at once, in one call, before any other call (several are USB control transfers) delays it.
    if (int Down = DisabledLines(Lines);
        Down && Retried([&] { return ioctl(Fd, TIOCMBIC, &Down); }) != 0 && !NoSuchLine(errno))
        return Abandon(errno);
    if (flock(Fd, LOCK_EX | LOCK_NB) != 0)
        return Abandon(errno == EWOULDBLOCK ? EBUSY : errno);
    if (ioctl(Fd, TIOCEXCL) != 0 && !NoSuchLine(errno))
        return Abandon(errno);
    // A port opens with empty queues: bytes the device sent while nobody listened (a late
    // answer to an earlier handshake) must not pass for an answer to the next request.
    (void)ioctl(Fd, TCFLSH, TCIOFLUSH);

    auto Impl = std::make_unique<TImpl>();
    Impl->Fd = Fd;
    Impl->LockFile = std::move(Lock);
    Impl->CommWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    Impl->XferWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    Impl->Epoll = epoll_create1(EPOLL_CLOEXEC);
    if (Impl->CommWake < 0 || Impl->XferWake < 0 || Impl->Epoll < 0) {
        int Error = errno;
        std::unique_ptr<TDevice> Device(new TDevice(std::move(Impl)));
        Device->CloseHandle();
        Fail(Error);
        return nullptr;
    }
    epoll_event Ev{};
    Ev.events = EPOLLIN | EPOLLET;
    Ev.data.u32 = KeyDevice;
    epoll_ctl(Impl->Epoll, EPOLL_CTL_ADD, Fd, &Ev);
    Ev.events = EPOLLIN;
    Ev.data.u32 = KeyWake;
    epoll_ctl(Impl->Epoll, EPOLL_CTL_ADD, Impl->CommWake, &Ev);

    // The driver's low-latency mode hands received bytes on at once instead of per tick.
    serial_struct Serial{};
    if (ioctl(Fd, TIOCGSERIAL, &Serial) == 0 && !(Serial.flags & ASYNC_LOW_LATENCY)) {
        Serial.flags |= ASYNC_LOW_LATENCY;
        (void)ioctl(Fd, TIOCSSERIAL, &Serial);
    }
    // Unix 98 pty slaves: the bytes are with the reader as soon as they are written.
    struct stat Node;
    Impl->HasLine = !(fstat(Fd, &Node) == 0 && S_ISCHR(Node.st_mode) && major(Node.st_rdev) >= 136 &&
                      major(Node.st_rdev) <= 143);
    Impl->HasCounters = Impl->Counters(Impl->ErrorBase);
    Impl->EventBase = Impl->ErrorBase;
    qCDebug(SerialLog) << "opened" << Name << (Impl->LockFile.empty() ? "without a lock file" : "with its lock file");
    return std::unique_ptr<TDevice>(new TDevice(std::move(Impl)));
}

bool TDevice::SetupComm(int InQueue, int OutQueue)
{
    // The tty layer sizes its queues itself; the sizes drive the 80 % event.
    (void)OutQueue;
    std::lock_guard G(F->Lock);
    F->InQueueSize = InQueue;
    return true;
}

bool TDevice::SetCommState(const TDCB& Dcb)
{
    qCDebug(SerialLog).nospace() << "line " << Dcb.BaudRate << " baud, " << Dcb.ByteSize
                                 << " bits, parity " << Dcb.Parity << ", stop " << Dcb.StopBits
                                 << ", flags 0x" << Qt::hex << Dcb.Flags;
    if (Dcb.StopBits == 1 || Dcb.StopBits > 2 || Dcb.ByteSize < 5 || Dcb.ByteSize > 8 ||
        Dcb.Parity > 4 || Dcb.BaudRate == 0)
        return Fail(EINVAL);
    termios2 T{};
    if (ioctl(F->Fd, TCGETS2, &T) != 0)
        return Fail(errno);
    T.c_iflag &= ~unsigned(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                           IXOFF | IXANY | INPCK | IGNPAR | IUCLC | IMAXBEL);
    T.c_oflag &= ~unsigned(OPOST);
    T.c_lflag &= ~unsigned(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    T.c_cflag &= ~unsigned(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL | CBAUD |
                           (CBAUD << IBSHIFT));
    T.c_cflag |= CREAD | CLOCAL | CharSizes[Dcb.ByteSize - 5];

    unsigned Code = BOTHER;
    for (const TRate& R : StandardRates)
        if (R.Rate == Dcb.BaudRate)
            Code = R.Code;
    T.c_cflag |= Code;
    T.c_ispeed = T.c_ospeed = Dcb.BaudRate;

    static const unsigned ParityFlags[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                                           PARENB | CMSPAR};
    T.c_cflag |= ParityFlags[Dcb.Parity];
    if (Dcb.StopBits == 2)
        T.c_cflag |= CSTOPB;
    if (Dcb.Flags & fParity)
        T.c_iflag |= INPCK;
    unsigned Rts = (Dcb.Flags >> fRtsControlShift) & 3;
    if ((Dcb.Flags & fOutxCtsFlow) || Rts == 2)
        T.c_cflag |= CRTSCTS;
    if (Dcb.Flags & fOutX)
        T.c_iflag |= IXON;
    if (Dcb.Flags & fInX)
        T.c_iflag |= IXOFF;
    T.c_cc[VSTART] = static_cast<cc_t>(Dcb.XonChar);
    T.c_cc[VSTOP] = static_cast<cc_t>(Dcb.XoffChar);
    // Non-blocking reads then give EAGAIN when nothing is there, and 0 only at a hang-up.
    T.c_cc[VMIN] = 1;
    T.c_cc[VTIME] = 0;
    if (ioctl(F->Fd, TCSETS2, &T) != 0)
        return Fail(errno);
    F->RearmModemWaiter();

    // DTR and RTS: disabled drops the line, enabled and handshake raise it.
    if (int Down = DisabledLines(Dcb); Down && ioctl(F->Fd, TIOCMBIC, &Down) != 0 && !NoSuchLine(errno))
        return Fail(errno);
    if (int Up = (TIOCM_DTR | TIOCM_RTS) & ~DisabledLines(Dcb);
        Up && ioctl(F->Fd, TIOCMBIS, &Up) != 0 && !NoSuchLine(errno))
        return Fail(errno);

    std::lock_guard G(F->Lock);
    F->Frame = Dcb;
    return true;
}

bool TDevice::SetCommTimeouts(const TCommTimeouts& Timeouts)
{
    std::lock_guard G(F->Lock);
    F->Timeouts = Timeouts;
    return true;
}

bool TDevice::SetCommMask(uint32_t Mask)
{
    F->Mask = Mask;
    ++F->MaskGeneration;
    if (Mask & (EV_CTS | EV_DSR | EV_RING | EV_RLSD))
        F->StartModemWaiter();
    Signal(F->CommWake);
    return true;
}

TWaitResult TDevice::WaitCommEvent(uint32_t& Occurred, int StopEvent, int TimeoutMs)
{
    TImpl& I = *F;
    Occurred = 0;
    if (StopEvent != I.EpollStop) {
        if (I.EpollStop >= 0)
            epoll_ctl(I.Epoll, EPOLL_CTL_DEL, I.EpollStop, nullptr);
        if (StopEvent >= 0) {
            epoll_event Ev{};
            Ev.events = EPOLLIN;
            Ev.data.u32 = KeyStop;
            epoll_ctl(I.Epoll, EPOLL_CTL_ADD, StopEvent, &Ev);
        }
        I.EpollStop = StopEvent;
    }
    const TDeadline Deadline = TimeoutMs >= 0 ? TDeadline::AfterMs(uint64_t(TimeoutMs)) : TDeadline();
    unsigned Generation = I.MaskGeneration;
    for (;;) {
        uint32_t Mask = I.Mask;
        if (I.MaskGeneration != Generation) {
            if (Mask == 0)
                return TWaitResult::Event; // the mask was cleared: the wait ends without events
            Generation = I.MaskGeneration;
        }
        uint32_t Found = I.ModemEvents.exchange(0) & Mask;
        TDeadline Drained;
        if (I.TxPending) {
            if (!(Mask & EV_TXEMPTY)) {
                I.TxPending = false;
            } else if (auto Left = I.LineTimeLeft(); Left.count() <= 0) {
                I.TxPending = false;
                Found |= EV_TXEMPTY;
            } else {
                Drained = TDeadline::At(TClock::now() + Left);
            }
        }
        if (Found) {
            // The stop event wins over what fell due meanwhile.
            pollfd Stop{StopEvent, POLLIN, 0};
            if (StopEvent >= 0 && ::poll(&Stop, 1, 0) == 1)
                return TWaitResult::Stopped;
            Occurred = Found;
            return TWaitResult::Event;
        }
        epoll_event Events[4];
        int N = epoll_wait(I.Epoll, Events, 4, Deadline.Earlier(Drained).MsLeft());
        if (N < 0) {
            if (errno == EINTR)
                continue;
            Fail(errno);
            return TWaitResult::Failed;
        }
        if (N == 0) {
            if (Deadline.Expired())
                return TWaitResult::TimedOut;
            continue;
        }
        bool Device = false;
        for (int K = 0; K < N; ++K) {
            switch (Events[K].data.u32) {
            case KeyStop:
                return TWaitResult::Stopped;
            case KeyWake:
                Drain(I.CommWake);
                break;
            default:
                if (Events[K].events & (EPOLLHUP | EPOLLERR)) {
                    Fail(EIO); // the line hung up or the device went away
                    return TWaitResult::Failed;
                }
                Device = true;
            }
        }
        if (Device) {
            if (uint32_t Found2 = I.DeviceEvents(I.Mask)) {
                Occurred = Found2;
                return TWaitResult::Event;
            }
        }
    }
}

void TDevice::ForgetStopEvent()
{
    if (F->EpollStop >= 0)
        epoll_ctl(F->Epoll, EPOLL_CTL_DEL, F->EpollStop, nullptr);
    F->EpollStop = -1;
}

bool TDevice::WriteFile(const void* Buffer, int Count, TOverlapped& Ov)
{
    Ov = TOverlapped{};
    Ov.Write = true;
    Ov.Buffer = static_cast<char*>(const_cast<void*>(Buffer));
    Ov.Count = std::max(Count, 0);
    Ov.AbortGeneration = F->AbortGeneration;
    {
        std::lock_guard G(F->Lock);
        const TCommTimeouts& T = F->Timeouts;
        uint64_t Total = uint64_t(T.WriteTotalTimeoutMultiplier) * uint64_t(Ov.Count) +
                         T.WriteTotalTimeoutConstant;
        if (T.WriteTotalTimeoutMultiplier || T.WriteTotalTimeoutConstant)
            Ov.Deadline = TDeadline::AfterMs(Total);
    }
    Ov.Pending = true;
    int Transferred;
    return GetOverlappedResult(Ov, Transferred, false);
}

bool TDevice::ReadFile(void* Buffer, int Count, TOverlapped& Ov)
{
    Ov = TOverlapped{};
    Ov.Buffer = static_cast<char*>(Buffer);
    Ov.Count = std::max(Count, 0);
    Ov.AbortGeneration = F->AbortGeneration;
    {
        std::lock_guard G(F->Lock);
        const TCommTimeouts& T = F->Timeouts;
        if (T.ReadIntervalTimeout == MAXDWORD && T.ReadTotalTimeoutMultiplier == 0 &&
            T.ReadTotalTimeoutConstant == 0) {
            Ov.ReturnAtOnce = true;
        } else if (T.ReadIntervalTimeout == MAXDWORD && T.ReadTotalTimeoutMultiplier == MAXDWORD &&
                   T.ReadTotalTimeoutConstant != 0 && T.ReadTotalTimeoutConstant != MAXDWORD) {
            Ov.ReturnOnFirstByte = true;
            Ov.Deadline = TDeadline::AfterMs(T.ReadTotalTimeoutConstant);
        } else {
            if (T.ReadTotalTimeoutMultiplier || T.ReadTotalTimeoutConstant) {
                uint64_t Total = uint64_t(T.ReadTotalTimeoutMultiplier) * uint64_t(Ov.Count) +
                                 T.ReadTotalTimeoutConstant;
                Ov.Deadline = TDeadline::AfterMs(Total);
            }
            if (T.ReadIntervalTimeout != 0 && T.ReadIntervalTimeout != MAXDWORD)
                Ov.Interval = std::chrono::milliseconds(T.ReadIntervalTimeout);
        }
    }
    Ov.Pending = true;
    int Transferred;
    return GetOverlappedResult(Ov, Transferred, false);
}

bool TDevice::GetOverlappedResult(TOverlapped& Ov, int& Transferred, bool Wait)
{
    TImpl& I = *F;
    while (Ov.Pending) {
        if (I.Progress(Ov))
            break;
        if (!Wait)
            return Fail(PendingError());
        pollfd Fds[2] = {{I.Fd, short(Ov.Write ? POLLOUT : POLLIN), 0}, {I.XferWake, POLLIN, 0}};
        int N = ::poll(Fds, 2, I.TransferTimeout(Ov));
        if (N < 0 && errno != EINTR) {
            I.Finish(Ov, errno);
            break;
        }
        if (N > 0 && (Fds[1].revents & POLLIN))
            Drain(I.XferWake);
        if (N > 0 && (Fds[0].revents & (POLLHUP | POLLERR)) && !(Fds[0].revents & POLLIN) &&
            !I.Progress(Ov)) {
            I.Finish(Ov, EIO);
            break;
        }
    }
    Transferred = Ov.Done;
    if (Ov.Failed)
        return Fail(Ov.Error);
    return true;
}

bool TDevice::PurgeComm(uint32_t Flags)
{
    qCDebug(SerialLog) << "purge" << Qt::hex << Flags;
    if (Flags & (PURGE_TXABORT | PURGE_RXABORT)) {
        ++F->AbortGeneration;
        Signal(F->XferWake);
    }
    bool Rx = Flags & PURGE_RXCLEAR, Tx = Flags & PURGE_TXCLEAR;
    if ((Rx || Tx) && ioctl(F->Fd, TCFLSH, Rx && Tx ? TCIOFLUSH : Rx ? TCIFLUSH : TCOFLUSH) != 0)
        return Fail(errno);
    if (Tx) {
        F->TxPending = false;
        std::lock_guard G(F->Lock);
        F->Line.Purged();
    }
    Signal(F->CommWake);
    return true;
}

std::chrono::microseconds TDevice::LineTimeLeft() { return F->LineTimeLeft(); }

bool TDevice::ClearCommError(uint32_t& Errors, TComStat& Stat, bool OutQueue)
{
    Errors = 0;
    int In = F->InQueue();
    if (In < 0)
        return Fail(errno);
    int Out = OutQueue ? F->OutQueue() : 0;
    if (Out < 0)
        return Fail(errno);
    Stat = TComStat{0, uint32_t(In), uint32_t(Out)};
    std::lock_guard G(F->Lock);
    serial_icounter_struct Now{};
    if (F->HasCounters && F->Counters(Now)) {
        const serial_icounter_struct& B = F->ErrorBase;
        Errors = (Now.frame != B.frame ? CE_FRAME : 0) | (Now.parity != B.parity ? CE_RXPARITY : 0) |
                 (Now.overrun != B.overrun ? CE_OVERRUN : 0) |
                 (Now.buf_overrun != B.buf_overrun ? CE_RXOVER : 0) |
                 (Now.brk != B.brk ? CE_BREAK : 0);
        F->ErrorBase = Now;
    }
    return true;
}

bool TDevice::GetCommModemStatus(uint32_t& ModemStat)
{
    ModemStat = 0;
    int Lines = 0;
    if (ioctl(F->Fd, TIOCMGET, &Lines) != 0)
        return NoSuchLine(errno) ? true : Fail(errno);
    ModemStat = (Lines & TIOCM_CTS ? MS_CTS_ON : 0) | (Lines & TIOCM_DSR ? MS_DSR_ON : 0) |
                (Lines & TIOCM_RNG ? MS_RING_ON : 0) | (Lines & TIOCM_CD ? MS_RLSD_ON : 0);
    return true;
}

bool TDevice::EscapeCommFunction(uint32_t Function)
{
    int Result;
    int Line;
    switch (Function) {
    case SETXOFF: Result = ioctl(F->Fd, TCXONC, TCOOFF); break;
    case SETXON: Result = ioctl(F->Fd, TCXONC, TCOON); break;
    case SETRTS: Line = TIOCM_RTS; Result = ioctl(F->Fd, TIOCMBIS, &Line); break;
    case CLRRTS: Line = TIOCM_RTS; Result = ioctl(F->Fd, TIOCMBIC, &Line); break;
    case SETDTR: Line = TIOCM_DTR; Result = ioctl(F->Fd, TIOCMBIS, &Line); break;
    case CLRDTR: Line = TIOCM_DTR; Result = ioctl(F->Fd, TIOCMBIC, &Line); break;
    case SETBREAK: Result = ioctl(F->Fd, TIOCSBRK); break;
    case CLRBREAK: Result = ioctl(F->Fd, TIOCCBRK); break;
    default: return Fail(EINVAL);
    }
    if (Result != 0 && !(NoSuchLine(errno) && Function >= SETRTS))
        return Fail(errno);
    return true;
}

bool TDevice::TransmitCommChar(char Ch)
{
    // The tty layer has no priority slot for ordinary bytes: the byte joins the output queue.
    for (;;) {
        ssize_t N = ::write(F->Fd, &Ch, 1);
        if (N == 1)
            return true;
        if (N < 0 && errno == EINTR)
            continue;
        return Fail(N < 0 ? errno : EIO);
    }
}

bool TDevice::CloseHandle()
{
    TImpl& I = *F;
    if (I.Fd < 0)
        return true;
    qCDebug(SerialLog) << "close";
    I.StopModemWaiter();
    (void)ioctl(I.Fd, TIOCNXCL);
    for (int* Fd : {&I.Epoll, &I.CommWake, &I.XferWake, &I.Fd}) {
        if (*Fd >= 0)
            ::close(*Fd);
        *Fd = -1;
    }
    I.EpollStop = -1;
    if (!I.LockFile.empty())
        ReleaseLock(std::exchange(I.LockFile, std::string()));
    return true;
}

} // namespace ComPlatform
