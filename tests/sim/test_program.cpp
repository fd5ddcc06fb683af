// The real relay-sim over its pseudo-terminal, reached with plain POSIX calls as the tool would.
#include "sim/relay_config.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

// The test binaries sit in build/tests, the simulator in build.
std::string SimPath()
{
    if (const char* Build = std::getenv("MORVEL_BUILD_DIR"))
        return std::string(Build) + "/relay-sim";
    char Self[4096] = {};
    const ssize_t Length = ::readlink("/proc/self/exe", Self, sizeof Self - 1);
    std::string Path(Self, Length > 0 ? static_cast<size_t>(Length) : 0);
    Path.resize(Path.rfind('/') == std::string::npos ? 0 : Path.rfind('/'));
    return Path + "/../relay-sim";
}

class TSimProcess
{
public:
    explicit TSimProcess(std::vector<std::string> Options)
    {
        char Template[] = "/tmp/relay-sim-test-XXXXXX";
        Dir = ::mkdtemp(Template);
        Options.insert(Options.begin(), {SimPath(), "--print-port", "--quiet", "--dir", Dir + "/serial"});
        int Out[2];
        if (::pipe(Out) != 0)
            throw std::runtime_error("pipe");
        Pid = ::fork();
        if (Pid == 0) {
            ::dup2(Out[1], 1);
            std::vector<char*> Argv;
            for (std::string& O : Options)
                Argv.push_back(O.data());
            Argv.push_back(nullptr);
            ::execv(Argv[0], Argv.data());
            ::_exit(127);
        }
        ::close(Out[1]);
        // Readiness is the two printed lines: the link and the pts.
        std::string Text;
        const auto Until = Clock::now() + std::chrono::seconds(5);
        while (std::count(Text.begin(), Text.end(), '\n') < 2 && Clock::now() < Until) {
            pollfd P{Out[0], POLLIN, 0};
            if (::poll(&P, 1, 100) > 0) {
                char Buffer[512];
                const ssize_t N = ::read(Out[0], Buffer, sizeof Buffer);
                if (N <= 0)
                    break;
                Text.append(Buffer, static_cast<size_t>(N));
            }
        }
        ::close(Out[0]);
        const size_t Newline = Text.find('\n');
        if (Newline != std::string::npos) {
            Link = Text.substr(0, Newline);
            Pts = Text.substr(Newline + 1, Text.find('\n', Newline + 1) - Newline - 1);
        }
    }

    ~TSimProcess()
    {
        if (Pid > 0) {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
        std::error_code Ignored;
        std::filesystem::remove_all(Dir, Ignored);
    }

    // The exit status once it ended within the time, or -1.
    int WaitExit(int TimeoutMs)
    {
        const auto Until = Clock::now() + std::chrono::milliseconds(TimeoutMs);
        while (Clock::now() < Until) {
            int Status = 0;
            if (::waitpid(Pid, &Status, WNOHANG) == Pid) {
                Pid = -1;
                return WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
            }
            ::usleep(5000);
        }
        return -1;
    }

    std::string Dir, Link, Pts;
    pid_t Pid = -1;
};

int OpenRaw(const std::string& Path)
{
    const int Fd = ::open(Path.c_str(), O_RDWR | O_NOCTTY);
    if (Fd >= 0) {
        termios Line{};
        ::tcgetattr(Fd, &Line);
        ::cfmakeraw(&Line);
        ::tcsetattr(Fd, TCSANOW, &Line);
    }
    return Fd;
}

void Send(int Fd, const std::string& Bytes)
{
    ASSERT_EQ(::write(Fd, Bytes.data(), Bytes.size()), static_cast<ssize_t>(Bytes.size()));
}

// Reads until Count bytes have come or the time is up.
std::string ReadBytes(int Fd, size_t Count, int TimeoutMs, std::vector<Clock::time_point>* Times = nullptr)
{
    std::string Got;
    const auto Until = Clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (Got.size() < Count && Clock::now() < Until) {
        pollfd P{Fd, POLLIN, 0};
        if (::poll(&P, 1, 20) > 0) {
            char Buffer[1024];
            const ssize_t N = ::read(Fd, Buffer, sizeof Buffer);
            if (N <= 0)
                break;
            Got.append(Buffer, static_cast<size_t>(N));
            if (Times)
                Times->push_back(Clock::now());
        }
    }
    return Got;
}

bool Exists(const std::string& Path)
{
    struct stat Info;
    return ::lstat(Path.c_str(), &Info) == 0;
}
} // namespace

TEST(SimProgram, AnswersOverThePtyAcrossOpenCloseCyclesAndUnregistersOnSigterm)
{
    TSimProcess Sim({});
    ASSERT_FALSE(Sim.Link.empty());
    EXPECT_EQ(Sim.Link, Sim.Dir + "/serial/relay-sim");
    struct stat Folder;
    ASSERT_EQ(::stat((Sim.Dir + "/serial").c_str(), &Folder), 0);
    EXPECT_EQ(Folder.st_mode & 0777, 0700u);
    char Target[256] = {};
    ASSERT_GT(::readlink(Sim.Link.c_str(), Target, sizeof Target - 1), 0);
    EXPECT_EQ(std::string(Target), Sim.Pts);

    for (int Round = 0; Round < 3; ++Round) {
        const int Fd = OpenRaw(Sim.Link);
        ASSERT_GE(Fd, 0);
        Send(Fd, "\x19\x18");
        EXPECT_EQ(ReadBytes(Fd, 1, 1000), "1") << Round;
        ::close(Fd);
        ::usleep(20000); // nobody holds the port now; the simulator must neither die nor spin
    }
    ::kill(Sim.Pid, SIGTERM);
    EXPECT_EQ(Sim.WaitExit(2000), 0);
    EXPECT_FALSE(Exists(Sim.Link));
}

TEST(SimProgram, RefusesAPortFolderOthersMayWriteTo)
{
    // The fallback folder in /tmp made writable for everyone: a port there could be planted.
    char Template[] = "/tmp/relay-sim-shared-XXXXXX";
    const std::string Shared = ::mkdtemp(Template);
    ASSERT_EQ(::chmod(Shared.c_str(), 01777), 0);
    const std::string Folder = Shared + "/serial-1";
    ASSERT_EQ(::mkdir(Folder.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(Folder.c_str(), 0777), 0);
    TSimProcess Sim({"--dir", Folder});
    EXPECT_EQ(Sim.WaitExit(5000), 1);
    EXPECT_FALSE(Exists(Folder + "/relay-sim"));
    std::error_code Ignored;
    std::filesystem::remove_all(Shared, Ignored);
}

TEST(SimProgram, LateAnswerComesLate)
{
    TSimProcess Sim({"--late-answer", "300"});
    const int Fd = OpenRaw(Sim.Link);
    ASSERT_GE(Fd, 0);
    Send(Fd, "\x19\x18");
    EXPECT_EQ(ReadBytes(Fd, 1, 150), ""); // not yet
    EXPECT_EQ(ReadBytes(Fd, 2, 600), "1");
    ::close(Fd);
}

TEST(SimProgram, ExportIsStoredLoggedAndSavedToTheState)
{
    char Template[] = "/tmp/relay-sim-state-XXXXXX";
    const std::string Work = ::mkdtemp(Template);
    const std::string State = Work + "/state", Log = Work + "/log";
    {
        std::ofstream(State) << "relay.1.on = \"from the file\"\n";
        TSimProcess Sim({"--state", State, "--log", Log});
        const int Fd = OpenRaw(Sim.Link);
        ASSERT_GE(Fd, 0);
        Send(Fd, "\x19\x1a");
        const std::string Lines = ReadBytes(Fd, 558 - 7 + 13, 2000);
        EXPECT_EQ(Lines.size(), 558u - 7 + 13);
        EXPECT_EQ(Lines.substr(0, 18), "from the file\r\nrel");

        std::string Export = "\x19\x1b";
        for (int Line = 1; Line <= 59; ++Line) {
            const TItemDef& Def = *FindItem(Line);
            Export += IsMaskKind(Def.Kind) || Def.Kind == TItemKind::Flag ? std::string(1, '\x0d')
                                                                          : "t" + std::to_string(Line);
            Export += '\r';
        }
        Export += '\r';
        Send(Fd, Export);
        ::usleep(200000);
        Send(Fd, "\x19\x1a");
        const std::string Back = ReadBytes(Fd, 20, 2000);
        EXPECT_EQ(Back.substr(0, 8), "t1\r\nt2\r\n");
        ::close(Fd);
        ::kill(Sim.Pid, SIGINT);
        EXPECT_EQ(Sim.WaitExit(2000), 0);
        EXPECT_FALSE(Exists(Sim.Link));
    }
    const TRelayConfig Saved = LoadRelayState(State);
    EXPECT_EQ(Saved.Value(1), "t1");
    EXPECT_EQ(Saved.Value(33), "13");
    EXPECT_EQ(Saved.Value(56), "1");
    std::ifstream File(Log);
    std::stringstream Text;
    Text << File.rdbuf();
    EXPECT_NE(Text.str().find(" request set 19 1b\n"), std::string::npos) << Text.str();
    EXPECT_NE(Text.str().find(" record 33 0d 0d\n"), std::string::npos);
    EXPECT_NE(Text.str().find(" stored\n"), std::string::npos);
    std::error_code Ignored;
    std::filesystem::remove_all(Work, Ignored);
}

TEST(SimProgram, HangupMakesTheNextWriteFailAndRemovesTheLink)
{
    TSimProcess Sim({"--hangup-after", "4"});
    const int Fd = OpenRaw(Sim.Link);
    ASSERT_GE(Fd, 0);
    Send(Fd, "\x19\x1b");
    Send(Fd, "rel1");
    EXPECT_EQ(Sim.WaitExit(2000), 0);
    EXPECT_FALSE(Exists(Sim.Link));
    EXPECT_EQ(::write(Fd, "=on\r", 4), -1);
    ::close(Fd);
}

TEST(SimProgram, PacedOutputTakesTheByteTimeOf9600Baud)
{
    TSimProcess Sim({"--paced"});
    const int Fd = OpenRaw(Sim.Link);
    ASSERT_GE(Fd, 0);
    Send(Fd, "\x19\x1a");
    std::vector<Clock::time_point> Times;
    const auto Start = Clock::now();
    const std::string Lines = ReadBytes(Fd, 558, 3000, &Times);
    ASSERT_EQ(Lines.size(), 558u);
    const double Ms = std::chrono::duration<double, std::milli>(Times.back() - Start).count();
    EXPECT_GT(Ms, 557 * 1.0416 - 5) << Ms;
    EXPECT_GT(Times.size(), 100u); // it trickles in, it does not come in one burst
    ::close(Fd);
}
