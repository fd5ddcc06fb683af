// Start-up cost: time from exec to the main window's first paint and resident memory once
// shown, for the tool and for a minimal Qt Widgets window, side by side, offscreen and under
// Xvfb. Prints the medians and the ratios.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {
long long NowNs()
{
    timespec T{};
    clock_gettime(CLOCK_MONOTONIC, &T);
    return static_cast<long long>(T.tv_sec) * 1000000000LL + T.tv_nsec;
}

struct TSample
{
    double Ms;
    long RssKiB;
};

// Runs Program with the probe preloaded; false when it printed no figures.
bool RunOnce(const std::string& Program, const std::string& Probe, const char* Platform,
             const char* Display, TSample& Out)
{
    int Pipe[2];
    if (pipe(Pipe) != 0)
        return false;
    const long long Start = NowNs();
    const pid_t Child = fork();
    if (Child == 0) {
        dup2(Pipe[1], STDOUT_FILENO);
        close(Pipe[0]);
        close(Pipe[1]);
        setenv("LD_PRELOAD", Probe.c_str(), 1);
        if (Platform)
            setenv("QT_QPA_PLATFORM", Platform, 1);
        else
            unsetenv("QT_QPA_PLATFORM");
        if (Display)
            setenv("DISPLAY", Display, 1);
        alarm(20); // a program that never paints is ended, not waited for forever
        execl(Program.c_str(), Program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(Pipe[1]);
    std::string Text;
    char Buffer[256];
    ssize_t N;
    while ((N = read(Pipe[0], Buffer, sizeof Buffer)) > 0 || (N < 0 && errno == EINTR))
        if (N > 0)
            Text.append(Buffer, static_cast<size_t>(N));
    close(Pipe[0]);
    int Status = 0;
    waitpid(Child, &Status, 0);
    long long Painted = 0;
    long Rss = 0;
    const size_t At = Text.find("PAINT ");
    if (At == std::string::npos || std::sscanf(Text.c_str() + At, "PAINT %lld RSS %ld", &Painted, &Rss) != 2)
        return false;
    Out = {static_cast<double>(Painted - Start) / 1e6, Rss};
    return true;
}

double Median(std::vector<double> V)
{
    std::sort(V.begin(), V.end());
    return V.empty() ? 0 : V[V.size() / 2];
}

pid_t StartXvfb(std::string& Display)
{
    for (int N = 70; N < 99; ++N) {
        const std::string Lock = "/tmp/.X" + std::to_string(N) + "-lock";
        if (access(Lock.c_str(), F_OK) == 0)
            continue;
        Display = ":" + std::to_string(N);
        const pid_t Pid = fork();
        if (Pid == 0) {
            // Only async-signal-safe calls between fork and exec.
            if (const int Null = open("/dev/null", O_WRONLY); Null >= 0)
                dup2(Null, STDERR_FILENO);
            execlp("Xvfb", "Xvfb", Display.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
                   "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        const std::string Socket = "/tmp/.X11-unix/X" + std::to_string(N);
        for (int I = 0; I < 100 && access(Socket.c_str(), F_OK) != 0; ++I)
            usleep(20000);
        return access(Socket.c_str(), F_OK) == 0 ? Pid : -1;
    }
    return -1;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s TOOL MINIMAL PROBE [RUNS]\n", argv[0]);
        return 2;
    }
    // Absolute paths: the loader resolves a relative LD_PRELOAD against the child's directory.
    auto Absolute = [](const char* Path) {
        char* Real = realpath(Path, nullptr);
        std::string Result = Real ? Real : Path;
        std::free(Real);
        return Result;
    };
    const std::string Tool = Absolute(argv[1]), Minimal = Absolute(argv[2]), Probe = Absolute(argv[3]);
    const int Runs = argc > 4 ? std::atoi(argv[4]) : 9;
    std::string Display;
    const pid_t Xvfb = StartXvfb(Display);
    struct TMode
    {
        const char* Name;
        const char* Platform;
        const char* Display;
    };
    std::vector<TMode> Modes = {{"offscreen", "offscreen", nullptr}};
    if (Xvfb > 0)
        Modes.push_back({"xvfb", "xcb", Display.c_str()});
    else
        std::printf("Xvfb not available: offscreen only\n");
    int Failures = 0;
    for (const TMode& Mode : Modes) {
        std::vector<double> ToolMs, ToolKiB, MinMs, MinKiB;
        // Warm the page cache first, then alternate so both see the same machine state.
        TSample S{};
        RunOnce(Tool, Probe, Mode.Platform, Mode.Display, S);
        RunOnce(Minimal, Probe, Mode.Platform, Mode.Display, S);
        for (int I = 0; I < Runs; ++I) {
            if (RunOnce(Tool, Probe, Mode.Platform, Mode.Display, S)) {
                ToolMs.push_back(S.Ms);
                ToolKiB.push_back(static_cast<double>(S.RssKiB));
            } else {
                ++Failures;
            }
            if (RunOnce(Minimal, Probe, Mode.Platform, Mode.Display, S)) {
                MinMs.push_back(S.Ms);
                MinKiB.push_back(static_cast<double>(S.RssKiB));
            } else {
                ++Failures;
            }
        }
        const double Tm = Median(ToolMs), Mm = Median(MinMs);
        const double Tk = Median(ToolKiB), Mk = Median(MinKiB);
        std::printf("%-9s  first paint: tool %7.1f ms, minimal %7.1f ms, ratio %.2f (goal <= 1.50)\n",
                    Mode.Name, Tm, Mm, Mm > 0 ? Tm / Mm : 0);
        std::printf("%-9s  resident:    tool %7.0f KiB, minimal %7.0f KiB, ratio %.2f (goal <= 1.50)\n",
                    Mode.Name, Tk, Mk, Mk > 0 ? Tk / Mk : 0);
    }
    if (Xvfb > 0) {
        kill(Xvfb, SIGTERM);
        waitpid(Xvfb, nullptr, 0);
    }
    if (Failures)
        std::printf("%d runs printed no figures\n", Failures);
    return Failures ? 1 : 0;
}
