// The main-thread call queue, driven from real worker threads.
#include "app/application.h"
#include "app/boxes.h"
#include "core/call_queue.h"
#include "core/exceptions.h"
#include "core/thread.h"
#include "tests/support/box_watcher.h"
#include "tests/support/pump.h"

#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>


TEST(CallQueue, RunsOnMainThreadAndBlocksWorkerUntilDone)
{
    const auto MainId = std::this_thread::get_id();
    std::atomic<bool> Ran{false}, WorkerReturned{false};
    std::thread::id RanOn;
    std::thread Worker([&] {
        Synchronize([&] {
            RanOn = std::this_thread::get_id();
            // The worker is still blocked while the call runs.
            EXPECT_FALSE(WorkerReturned.load());
            Ran = true;
        });
        WorkerReturned = true;
    });
    // Nothing runs until the main thread dispatches messages.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(Ran.load());
    EXPECT_FALSE(WorkerReturned.load());
    ASSERT_TRUE(PumpUntil([&] { return WorkerReturned.load(); }));
    Worker.join();
    EXPECT_EQ(RanOn, MainId);
}

TEST(CallQueue, OldestFirstAcrossWorkers)
{
    std::vector<int> Order;
    std::vector<std::thread> Workers;
    std::atomic<int> Queued{0};
    for (int I = 0; I < 4; ++I) {
        Workers.emplace_back([&, I] {
            // Stagger the workers so the queue order is known.
            std::this_thread::sleep_for(std::chrono::milliseconds(20 * I));
            ++Queued;
            Synchronize([&, I] { Order.push_back(I); });
        });
    }
    // Let all four queue up before the main thread takes the list.
    while (Queued.load() < 4)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(CheckSynchronize());
    for (auto& W : Workers)
        W.join();
    EXPECT_EQ(Order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_FALSE(CheckSynchronize());
}

TEST(CallQueue, ExceptionRaisedInCallIsRaisedAgainInWorker)
{
    QString Caught;
    std::thread Worker([&] {
        try {
            Synchronize([] { throw Exception(QStringLiteral("handed back")); });
        } catch (const Exception& E) {
            Caught = E.Message();
        }
    });
    // The error is not reported on the main thread: no box comes up.
    TBoxWatcher Boxes;
    while (Caught.isEmpty())
        Application->ProcessMessagesOrWait(10);
    Worker.join();
    EXPECT_EQ(Caught, QStringLiteral("handed back"));
    EXPECT_TRUE(Boxes.Seen().empty());
}

TEST(CallQueue, CheckSynchronizeOffMainThreadRaisesEThread)
{
    QString Message;
    unsigned Number = 0;
    std::thread Worker([&] {
        Number = CurrentThreadNumber();
        try {
            CheckSynchronize();
        } catch (const EThread& E) {
            Message = E.Message();
        }
    });
    Worker.join();
    EXPECT_EQ(Message, QString::asprintf("CheckSynchronize called from thread $%x, which is NOT "
                                         "the main thread",
                                         Number));
}

TEST(CallQueue, SynchronizeOnMainThreadRunsAtOnce)
{
    bool Ran = false;
    Synchronize([&] { Ran = true; });
    EXPECT_TRUE(Ran);
}

TEST(CallQueue, CallsRunInsideProcessMessages)
{
    std::atomic<bool> Done{false};
    bool Ran = false;
    std::thread Worker([&] {
        Synchronize([&] { Ran = true; });
        Done = true;
    });
    // ProcessMessages never waits, so call it in a loop as the pause does.
    QElapsedTimer Clock;
    Clock.start();
    while (!Done && Clock.elapsed() < 5000)
        Application->ProcessMessages();
    Worker.join();
    EXPECT_TRUE(Ran);
}

TEST(CallQueue, CallsRunWhileANoticeBoxIsUp)
{
    bool RanWhileBoxUp = false;
    std::thread Worker;
    // The box comes up; while it is shown a worker hands over a call; then the box is closed.
    TBoxWatcher Boxes([&](const TSeenBox&) {
        std::atomic<bool> Done{false};
        Worker = std::thread([&] {
            Synchronize([&] { RanWhileBoxUp = QApplication::activeModalWidget() != nullptr; });
            Done = true;
        });
        // Still inside the box's modal loop: keep it up until the call has run there.
        while (!Done)
            Application->ProcessMessagesOrWait(5);
    });
    ShowNotice(QStringLiteral("Waiting"));
    Worker.join();
    EXPECT_TRUE(RanWhileBoxUp);
    ASSERT_EQ(Boxes.Seen().size(), 1u);
}

TEST(CallQueue, MainThreadWaitForThreadEndRunsQueuedCalls)
{
    struct TWorker : TThread
    {
        bool Ran = false;
        void Execute() override { Synchronize([this] { Ran = true; }); }
    } Worker;
    Worker.Start();
    // Without running the queue this wait would never end: the worker waits in the hand-over.
    Worker.WaitFor();
    EXPECT_TRUE(Worker.Finished());
    EXPECT_TRUE(Worker.Ran);
}

TEST(Thread, ExceptionLeavingBodyIsKeptAsFatalException)
{
    struct TFailing : TThread
    {
        void Execute() override { throw Exception(QStringLiteral("body failed")); }
    } Worker;
    Worker.Start();
    Worker.WaitFor();
    ASSERT_TRUE(Worker.FatalException());
    EXPECT_THROW(std::rethrow_exception(Worker.FatalException()), Exception);
}
