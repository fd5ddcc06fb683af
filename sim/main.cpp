// relay-sim: a relay controller on a pseudo-terminal (or on an existing tty), for users without
// hardware and for the end-to-end tests. The protocol lives in TRelaySimulator; this is only its
// I/O loop.
#include "sim/sim_port.h"
#include "sim/relay_simulator.h"
#include "sim/sim_options.h"

#include "core/file_io.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>

#include <poll.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {
// One byte at 9600 baud, 8N1: ten bits.
constexpr std::int64_t PacedByteNs = 10'000'000'000LL / 9600;

// The name it was started by: relay-sim in the build tree, morvel-relay-sim when installed.
std::string ProgramName = "relay-sim";

volatile std::sig_atomic_t StopSignal = 0;
void OnStop(int Signal) { StopSignal = Signal; }

std::int64_t NowNs()
{
    timespec Now{};
    ::clock_gettime(CLOCK_MONOTONIC, &Now);
    return Now.tv_sec * 1'000'000'000LL + Now.tv_nsec;
}

class TSimProgram
{
public:
    TSimProgram(const TSimCommandLine& Line, FILE* Log, TRelayConfig Config)
        : FLine(Line), FLog(Log), FSim(Line.Sim, std::move(Config)),
          FPort(Line.Device.empty() ? TSimPort(Line.Dir, Line.Name)
                                    : TSimPort(Line.Dir, Line.Name, Line.Device, Line.Register))
    {
    }

    const TSimPort& Port() const { return FPort; }

    // Runs until a stop signal or the hang-up point. Returns the exit status.
    int Run(const sigset_t& Unblocked)
    {
        while (!StopSignal) {
            if (FPort.Fd() < 0) {
                // The device is gone (unplugged): look for it again now and then, never spin.
                ::ppoll(nullptr, 0, &ReopenPause, &Unblocked);
                if (FPort.Reopen())
                    Report(Stamped("device back"));
                continue;
            }
            const std::int64_t Now = NowNs();
            pollfd Fd{FPort.Fd(), POLLIN, 0};
            if (!FPending.empty() && (!FLine.Paced || Now >= FNextByteNs))
                Fd.events |= POLLOUT;
            timespec Timeout{};
            const timespec* Wait = Deadline(Now, Timeout);
            const int Ready = ::ppoll(&Fd, 1, Wait, &Unblocked);
            if (Ready < 0 && errno != EINTR)
                return Fatal("poll");
            bool Gone = false;
            if (Ready > 0 && (Fd.revents & POLLIN))
                Gone = !ReadInput();
            else if (Ready > 0 && (Fd.revents & (POLLHUP | POLLERR)))
                Gone = FPort.IsDevice();
            if (Gone) {
                // A device that hung up stays dead: it must be opened again once it is back.
                Report(Stamped("device gone"));
                FPort.CloseDevice();
                FPending.clear();
                FSent = 0;
                continue;
            }
            if (Ready > 0 && (Fd.revents & (POLLHUP | POLLERR)) && !(Fd.revents & POLLIN))
                ::ppoll(nullptr, 0, &HangupPause, &Unblocked); // no reader: wait, never spin
            FSim.Advance(NowNs() / 1000);
            Collect();
            if (FSim.HangupRequested()) {
                RunOnHangup(Unblocked);
                FPort.Hangup();
                return 0;
            }
            WriteOutput();
        }
        return 0;
    }

private:
    static constexpr timespec HangupPause{0, 20'000'000};
    static constexpr timespec ReopenPause{0, 100'000'000};

    void RunOnHangup(const sigset_t& Unblocked)
    {
        if (FLine.OnHangup.empty())
            return;
        const pid_t Child = ::fork();
        if (Child == 0) {
            ::sigprocmask(SIG_SETMASK, &Unblocked, nullptr);
            ::execl("/bin/sh", "sh", "-c", FLine.OnHangup.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int Status = 0;
        while (Child > 0 && ::waitpid(Child, &Status, 0) < 0 && errno == EINTR) {
        }
        if (Child < 0 || !WIFEXITED(Status) || WEXITSTATUS(Status) != 0)
            std::fprintf(stderr, "relay-sim: --on-hangup command failed: %s\n", FLine.OnHangup.c_str());
    }

    const timespec* Deadline(std::int64_t Now, timespec& Timeout) const
    {
        std::optional<std::int64_t> At;
        if (const auto Next = FSim.NextDeadline())
            At = *Next * 1000;
        if (!FPending.empty() && FLine.Paced && FNextByteNs > Now)
            At = At ? std::min(*At, FNextByteNs) : FNextByteNs;
        if (!At)
            return nullptr;
        const std::int64_t Left = std::max<std::int64_t>(*At - Now, 0);
        Timeout.tv_sec = static_cast<time_t>(Left / 1'000'000'000);
        Timeout.tv_nsec = static_cast<long>(Left % 1'000'000'000);
        return &Timeout;
    }

    // False when a device has hung up: read() gives 0 or EIO from then on.
    bool ReadInput()
    {
        char Buffer[4096];
        const ssize_t Count = ::read(FPort.Fd(), Buffer, sizeof Buffer);
        if (Count > 0)
            FSim.Receive(std::string_view(Buffer, static_cast<size_t>(Count)), NowNs() / 1000);
        return !FPort.IsDevice() || Count > 0 || (Count < 0 && errno != EIO);
    }

    void Collect()
    {
        for (TSimWrite& Write : FSim.TakeWrites()) {
            if (FPending.empty())
                FNextByteNs = std::max(FNextByteNs, NowNs());
            FPending.push_back(std::move(Write));
        }
        for (const TSimEvent& Event : FSim.TakeEvents())
            Report(FormatSimEvent(Event));
        if (FSim.TakeStored() && !FLine.StateFile.empty()) {
            try {
                SaveRelayState(FLine.StateFile, FSim.Config());
            } catch (const ESimError& Error) {
                std::fprintf(stderr, "%s: %s\n", ProgramName.c_str(), Error.what());
            }
        }
    }

    void WriteOutput()
    {
        while (!FPending.empty()) {
            TSimWrite& Front = FPending.front();
            size_t Size = Front.Bytes.size() - FSent;
            if (FLine.Paced) {
                if (NowNs() < FNextByteNs)
                    return;
                if (!Front.Whole)
                    Size = 1;
            }
            const ssize_t Done = ::write(FPort.Fd(), Front.Bytes.data() + FSent, Size);
            if (Done < 0)
                return; // the line is full (or no one listens): poll says when to go on
            FSent += static_cast<size_t>(Done);
            FNextByteNs += PacedByteNs * Done;
            if (FSent == Front.Bytes.size()) {
                FPending.pop_front();
                FSent = 0;
            }
        }
    }

    // A note of the I/O loop in the log's own form: "<ms> <kind> <word>".
    static std::string Stamped(const char* What)
    {
        char Text[64];
        std::snprintf(Text, sizeof Text, "%.3f %s", static_cast<double>(NowNs()) / 1e6, What);
        return Text;
    }

    void Report(const std::string& Text)
    {
        if (FLog) {
            std::fprintf(FLog, "%s\n", Text.c_str());
            std::fflush(FLog);
        }
    }

    int Fatal(const char* What)
    {
        std::fprintf(stderr, "%s: %s: %s\n", ProgramName.c_str(), What, std::strerror(errno));
        return 1;
    }

    const TSimCommandLine& FLine;
    FILE* FLog;
    TRelaySimulator FSim;
    TSimPort FPort;
    std::deque<TSimWrite> FPending;
    size_t FSent = 0;            // bytes of the front write already sent
    std::int64_t FNextByteNs = 0; // paced output: when the next byte may go
};
} // namespace

int main(int argc, char** argv)
{
    if (argc > 0 && argv[0] && *argv[0]) {
        const std::string_view Started(argv[0]);
        ProgramName = Started.substr(Started.rfind('/') + 1);
    }
    const char* Name = ProgramName.c_str();
    TSimCommandLine Line;
    try {
        Line = ParseSimCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const ESimError& Error) {
        std::fprintf(stderr, "%s: %s\nTry %s --help.\n", Name, Error.what(), Name);
        return 2;
    }
    if (Line.Help) {
        std::printf("usage: %s [OPTION]...\n%s", Name, SimUsage);
        return 0;
    }
    if (Line.Version) {
        std::printf("%s %s\n", Name, MORVEL_VERSION);
        return 0;
    }

    // The stop signals are taken only inside the poll, so none is lost between two checks.
    sigset_t Stops, Unblocked;
    sigemptyset(&Stops);
    for (const int Signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&Stops, Signal);
    sigprocmask(SIG_BLOCK, &Stops, &Unblocked);
    struct sigaction Action{};
    Action.sa_handler = OnStop;
    for (const int Signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(Signal, &Action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    FILE* Log = Line.Quiet ? nullptr : stderr;
    try {
        const TRelayConfig Config =
            Line.StateFile.empty() ? DefaultRelayConfig() : LoadRelayState(Line.StateFile);
        if (!Line.LogFile.empty()) {
            // Never through another user's link: a log in a shared folder is a classic trap.
            try {
                const int Fd = OpenFileForAppending(QString::fromStdString(Line.LogFile));
                Log = ::fdopen(Fd, "a");
                if (!Log) {
                    const int Error = errno;
                    ::close(Fd);
                    throw ESimError(Line.LogFile + ": " + std::strerror(Error));
                }
            } catch (const EFileIo& Error) {
                throw ESimError(Error.what());
            }
        }
        TSimProgram Program(Line, Log, Config);
        if (Line.PrintPort) {
            std::printf("%s\n%s\n", Program.Port().LinkPath().c_str(), Program.Port().LinePath().c_str());
            std::fflush(stdout);
        }
        if (Log)
            std::fprintf(Log, "%s on %s (%s)\n", Name, Program.Port().LinkPath().c_str(),
                         Program.Port().LinePath().c_str());
        return Program.Run(Unblocked);
    } catch (const ESimError& Error) {
        std::fprintf(stderr, "%s: %s\n", Name, Error.what());
        return 1;
    }
}
