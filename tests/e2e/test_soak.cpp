// Soak: a thousand connect and disconnect cycles against the simulator, each a whole
// handshake (open, request, answer through the event thread, close), leave nothing behind.
#include "tests/support/e2e_support.h"
#include "serial/cport.h"
#include "tests/support/process_stats.h"

namespace {
class TSoak : public TE2E
{
};
} // namespace

TEST_F(TSoak, AThousandHandshakesGiveBackDescriptorsThreadsAndMemory)
{
    TSimProcess Sim(Runtime());
    ASSERT_TRUE(Sim.Started());

    TComPort Port;
    Port.SetPort(Sim.LinkPath());
    int Answers = 0;
    Port.SetOnRxChar([&](QObject*, int Count) {
        char Buffer[600];
        const int Got = Port.Read(Buffer, std::min<int>(Count, sizeof Buffer));
        Answers += Got > 0 && Buffer[0] == '1';
    });
    auto Cycle = [&] {
        const int Before = Answers;
        Port.Open();
        const char Request[] = {'\x19', '\x18'};
        Port.Write(Request, 2);
        const bool Answered = PumpUntil([&] { return Answers > Before; });
        Port.Close();
        return Answered;
    };

    for (int I = 0; I < 20; ++I) // warm-up: first-use allocations are no leak
        ASSERT_TRUE(Cycle());
    const int Fds = ProcessStats::OpenDescriptors();
    const int Threads = ProcessStats::Threads();
    const long long Resident = ProcessStats::ResidentBytes();
    int Failed = 0;
    for (int I = 0; I < 1000; ++I)
        Failed += !Cycle();
    const long long Growth = ProcessStats::ResidentBytes() - Resident;
    std::printf("1000 handshakes: %d unanswered; descriptors %d -> %d, threads %d -> %d, memory "
                "grew %lld KiB\n",
                Failed, Fds, ProcessStats::OpenDescriptors(), Threads, ProcessStats::Threads(),
                Growth / 1024);
    EXPECT_EQ(Failed, 0);
    EXPECT_EQ(ProcessStats::OpenDescriptors(), Fds);
    EXPECT_EQ(ProcessStats::Threads(), Threads);
    if (!ProcessStats::Sanitized) {
        EXPECT_LT(Growth, 1ll << 20);
    }
    EXPECT_EQ(Sim.Count("request", "connect"), 1020);
}
