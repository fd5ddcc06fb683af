// The event thread and the delivery of line events, on real ptys.
#include "tests/support/pty_pair.h"
#include "serial/cport.h"
#include "tests/support/process_stats.h"

#include <QDir>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

struct EventTest : testing::Test
{
    TPtyPair Pty;
    std::vector<int> Counts;
    std::vector<bool> OnMain;
    TComPort Port;
    EventTest()
    {
        Port.SetPort(Pty.Path());
        Port.SetOnRxChar([this](QObject*, int Count) {
            Counts.push_back(Count);
            OnMain.push_back(IsMainThread());
            char Buf[600];
            Port.Read(Buf, std::min(Count, int(sizeof Buf)));
        });
    }
};

} // namespace

TEST_F(EventTest, RxCharRunsOnTheMainThreadWithTheWaitingCount)
{
    Port.Open();
    Pty.Send("hello");
    ASSERT_TRUE(PumpUntil([&] { return !Counts.empty(); }));
    EXPECT_EQ(Counts.front(), 5);
    EXPECT_TRUE(OnMain.front());
    PumpFor(50);
    EXPECT_EQ(Counts.size(), 1u);
}

TEST_F(EventTest, BytesAlreadyReadGiveNoZeroCount)
{
    // The handler leaves nothing for a second wake-up; a Read elsewhere takes bytes too.
    Port.SetOnRxChar([this](QObject*, int Count) { Counts.push_back(Count); });
    Port.Open();
    Pty.Send("abc");
    // Take the bytes while the batch waits for the main thread: it then calls nothing.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    char Buf[8];
    EXPECT_EQ(Port.Read(Buf, 8), 3);
    PumpFor(100);
    EXPECT_TRUE(Counts.empty());
}

TEST_F(EventTest, ExceptionInRxCharEndsDeliveryUntilReopen)
{
    Port.SetOnRxChar([this](QObject*, int Count) {
        Counts.push_back(Count);
        char Buf[64];
        Port.Read(Buf, 64);
        throw EConvertError("not a number");
    });
    Port.Open();
    Pty.Send("1");
    ASSERT_TRUE(PumpUntil([&] { return Counts.size() == 1; }));
    Pty.Send("2");
    PumpFor(200);
    EXPECT_EQ(Counts.size(), 1u);
    EXPECT_TRUE(Port.Connected());
    Port.Close();
    Port.Open();
    Pty.Send("3");
    ASSERT_TRUE(PumpUntil([&] { return Counts.size() == 2; }));
}

TEST_F(EventTest, CloseRunsAPendingHandOverAndNothingArrivesAfter)
{
    std::vector<std::string> Order;
    Port.SetOnRxChar([&](QObject*, int Count) {
        Counts.push_back(Count);
        Order.push_back("RxChar");
        char Buf[16];
        Port.Read(Buf, 16);
    });
    Port.SetOnTxEmpty([&](QObject*) { Order.push_back("TxEmpty"); });
    Port.SetOnBeforeClose([&](QObject*) {
        Order.push_back("BeforeClose");
        // The write's TX-empty falls due meanwhile: the stop asked for before wins over it.
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    });
    Port.Open();
    Pty.Send("xy");
    // The event thread hands the batch over and blocks; the main loop does not run meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Port.Write(QByteArray(100, 'w').constData(), 100); // 104 ms at 9600 baud
    Port.Close();
    EXPECT_EQ(Counts.size(), 1u);
    EXPECT_EQ(Order, (std::vector<std::string>{"RxChar", "BeforeClose"}));
    EXPECT_EQ(Port.Handle(), -1);
    Pty.Send("zz");
    PumpFor(100);
    EXPECT_EQ(Counts.size(), 1u);
}

TEST_F(EventTest, RepeatedOpenCloseLeaksNoDescriptorOrThread)
{
    Port.Open();
    Port.Close();
    const int Fds = ProcessStats::OpenDescriptors();
    const int Threads = ProcessStats::Threads();
    for (int I = 0; I < 30; ++I) {
        Port.Open();
        if (I % 3 == 0)
            Pty.Send("q");
        PumpFor(I % 5 == 0 ? 5 : 0);
        Port.Close();
    }
    EXPECT_EQ(ProcessStats::OpenDescriptors(), Fds);
    EXPECT_EQ(ProcessStats::Threads(), Threads);
}

TEST_F(EventTest, WaitForEventWithAndWithoutThread)
{
    Port.Open();
    TComEvents Events{evRxChar};
    try {
        Port.WaitForEvent(Events, nullptr, 0);
        ADD_FAILURE() << "no EComPort";
    } catch (const EComPort& E) {
        EXPECT_EQ(E.Code(), 20);
        EXPECT_EQ(E.Message(), "Cannot wait for event if event thread is created");
    }
    Port.Close();

    Port.SetEvents(TComEvents());
    Port.Open();
    Events = {evRxChar};
    Port.WaitForEvent(Events, nullptr, 0);
    EXPECT_TRUE(Events.Empty());

    std::thread Sender([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Pty.Send("k");
    });
    Events = {evRxChar, evBreak};
    Port.WaitForEvent(Events, nullptr, 2000);
    Sender.join();
    EXPECT_EQ(Events, TComEvents{evRxChar});

    TWaitEvent Stop;
    std::thread Stopper([&Stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Stop.SetEvent();
    });
    Events = {evBreak};
    Port.WaitForEvent(Events, &Stop, -1);
    Stopper.join();
    EXPECT_TRUE(Events.Empty());
    // Each wait watches the stop event it is given, also on a reused descriptor.
    for (int Round = 0; Round < 2; ++Round) {
        auto Again = std::make_unique<TWaitEvent>();
        Again->SetEvent();
        Events = {evBreak};
        QElapsedTimer T;
        T.start();
        Port.WaitForEvent(Events, Again.get(), 2000);
        EXPECT_LT(T.elapsed(), 1000);
        EXPECT_TRUE(Events.Empty());
    }
    EXPECT_TRUE(Counts.empty()); // no thread: no OnRxChar
}

TEST_F(EventTest, TxEmptyFollowsAWriteAndEventsCarryTheirOrder)
{
    std::vector<std::string> Order;
    Port.SetOnTxEmpty([&](QObject*) { Order.push_back("TxEmpty"); });
    Port.SetOnRxChar([&](QObject*, int) {
        Order.push_back("RxChar");
        char Buf[16];
        Port.Read(Buf, 16);
    });
    Port.Open();
    Port.WriteStr("ping\r");
    ASSERT_TRUE(PumpUntil([&] { return !Order.empty(); }));
    EXPECT_EQ(Order.front(), "TxEmpty");
    Pty.Send("pong");
    ASSERT_TRUE(PumpUntil([&] { return Order.size() >= 2; }));
    EXPECT_EQ(Order.back(), "RxChar");
}

TEST_F(EventTest, NoneAndWindowSyncDeliverToo)
{
    std::atomic<int> OffMain{0};
    Port.SetSyncMethod(smNone);
    Port.SetOnRxChar([&](QObject*, int Count) {
        if (!IsMainThread())
            OffMain += Count;
        char Buf[16];
        Port.Read(Buf, 16);
    });
    Port.Open();
    Pty.Send("abc");
    ASSERT_TRUE(PumpUntil([&] { return OffMain.load() == 3; }));
    Port.Close();

    // Window sync: on the main thread, and an exception does not end the delivery.
    Port.SetSyncMethod(smWindowSync);
    int Calls = 0;
    Port.SetOnRxChar([&](QObject*, int) {
        ++Calls;
        char Buf[16];
        Port.Read(Buf, 16);
        if (!IsMainThread())
            ADD_FAILURE() << "off the main thread";
        throw EAbort("silent"); // the frame reports it (EAbort: no box) and goes on
    });
    Port.Open();
    Pty.Send("1");
    ASSERT_TRUE(PumpUntil([&] { return Calls == 1; }));
    Pty.Send("2");
    ASSERT_TRUE(PumpUntil([&] { return Calls == 2; }));
    Port.Close();
}

TEST_F(EventTest, ReadDropsBytesWhenNotTriggeringOnRxChar)
{
    Port.SetTriggersOnRxChar(false);
    std::vector<QByteArray> Bufs;
    Port.SetOnRxBuf([&](QObject*, const char* B, int N) { Bufs.emplace_back(B, N); });
    Port.Open();
    Pty.Send("data");
    ASSERT_TRUE(PumpUntil([&] { return !Bufs.empty(); }));
    EXPECT_EQ(Bufs.front(), "data");
    EXPECT_TRUE(Counts.empty());
    EXPECT_EQ(Port.InputCount(), 0);
}

TEST_F(EventTest, HangUpEndsTheWatchQuietly)
{
    auto Device = std::make_unique<TPtyPair>();
    TComPort Other;
    int Calls = 0;
    Other.SetOnRxChar([&](QObject*, int) { ++Calls; });
    Other.SetPort(Device->Path());
    Other.Open();
    Device.reset(); // the device side goes away
    PumpFor(100);
    EXPECT_TRUE(Other.Connected());
    EXPECT_EQ(Calls, 0);
    Other.Close();
    EXPECT_FALSE(Other.Connected());
}
