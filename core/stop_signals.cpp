#include "stop_signals.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int StopSignals[] = {SIGINT, SIGTERM};

volatile std::sig_atomic_t CaughtSignal = 0;
// The self-pipe: the handler's one byte wakes the main thread's event loop.
int WakeRead = -1, WakeWrite = -1;
struct sigaction Previous[std::size(StopSignals)];
bool Taken[std::size(StopSignals)] = {};
std::atomic<bool> Alive{false};

void OnSignal(int Signal)
{
    const int SavedErrno = errno;
    if (!CaughtSignal)
        CaughtSignal = Signal;
    const char Byte = 1;
    // Full pipe: a wake-up is already waiting, which is all that is needed.
    [[maybe_unused]] const ssize_t Ignored = ::write(WakeWrite, &Byte, 1);
    errno = SavedErrno;
}

} // namespace

TStopSignals::TStopSignals(std::function<void(int Signal)> OnStop) : FOnStop(std::move(OnStop))
{
    if (Alive.exchange(true))
        throw EThread(QStringLiteral("stop signals are taken twice"));
    int Fds[2];
    if (::pipe2(Fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        Alive = false;
        throw Exception(QStringLiteral("cannot take stop signals: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    WakeRead = Fds[0];
    WakeWrite = Fds[1];
    CaughtSignal = 0;
    FNotifier = new QSocketNotifier(static_cast<qintptr>(WakeRead), QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] { TakeWakeUp(); });

    struct sigaction Action{};
    Action.sa_handler = OnSignal;
    sigemptyset(&Action.sa_mask);
    for (const int Signal : StopSignals)
        sigaddset(&Action.sa_mask, Signal);
    // Interrupted calls go on: the stop is taken between records, not inside a write.
    Action.sa_flags = SA_RESTART;
    for (size_t I = 0; I < std::size(StopSignals); ++I) {
        ::sigaction(StopSignals[I], nullptr, &Previous[I]);
        // A shell starts background programs with SIGINT ignored; Ctrl+C is not for them.
        Taken[I] = !(StopSignals[I] == SIGINT && Previous[I].sa_handler == SIG_IGN);
        if (Taken[I])
            ::sigaction(StopSignals[I], &Action, nullptr);
    }
}

TStopSignals::~TStopSignals()
{
    for (size_t I = 0; I < std::size(StopSignals); ++I)
        if (Taken[I])
            ::sigaction(StopSignals[I], &Previous[I], nullptr);
    delete FNotifier;
    ::close(WakeRead);
    ::close(WakeWrite);
    WakeRead = WakeWrite = -1;
    CaughtSignal = 0;
    Alive = false;
}

int TStopSignals::Caught() { return CaughtSignal; }

void TStopSignals::TakeWakeUp()
{
    char Bytes[16];
    while (::read(WakeRead, Bytes, sizeof Bytes) > 0) {
    }
    try {
        if (CaughtSignal && FOnStop)
            FOnStop(CaughtSignal);
    } catch (...) {
        ReportException(this);
    }
}

QString SignalName(int Signal)
{
    switch (Signal) {
    case SIGINT: return QStringLiteral("SIGINT");
    case SIGTERM: return QStringLiteral("SIGTERM");
    default: return QStringLiteral("signal %1").arg(Signal);
    }
}

EExchangeStopped::EExchangeStopped(int Signal)
    : EAbort(QStringLiteral("stopped by %1").arg(SignalName(Signal))), FSignal(Signal)
{
}

void CheckStopSignal()
{
    if (const int Signal = TStopSignals::Caught())
        throw EExchangeStopped(Signal);
}
