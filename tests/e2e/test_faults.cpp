// Faults and load through the real window: a device flooding the line in every exchange mode,
// a second instance on a held port, and the device going away at each phase.
#include "device/link_state.h"
#include "tests/support/e2e_support.h"
#include "tests/support/process_stats.h"
#include "tests/support/pty_pair.h"

#include <QEvent>
#include <QFile>
#include <QRegularExpression>
#include <QMessageBox>
#include <QProgressBar>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Stands for a user's click: from another thread, an event is posted to the main thread every
// 10 ms and the time it waited in the queue, behind whatever the window was doing, is kept.
class TClickProbe : public QObject
{
public:
    TClickProbe()
    {
        FThread = std::thread([this] {
            while (!FStop) {
                auto* E = new TProbeEvent;
                E->Posted = Clock::now();
                QCoreApplication::postEvent(this, E);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    ~TClickProbe() override
    {
        FStop = true;
        FThread.join();
        QCoreApplication::removePostedEvents(this);
    }
    double WorstMs() const { return FWorstMs; }
    int Answered() const { return FAnswered; }

protected:
    bool event(QEvent* E) override
    {
        if (E->type() != TProbeEvent::Type)
            return QObject::event(E);
        const double Ms = std::chrono::duration<double, std::milli>(
                              Clock::now() - static_cast<TProbeEvent*>(E)->Posted)
                              .count();
        FWorstMs = std::max(FWorstMs, Ms);
        ++FAnswered;
        return true;
    }

private:
    struct TProbeEvent : QEvent
    {
        static constexpr QEvent::Type Type = static_cast<QEvent::Type>(QEvent::User + 71);
        TProbeEvent() : QEvent(Type) {}
        Clock::time_point Posted;
    };
    std::thread FThread;
    std::atomic<bool> FStop{false};
    double FWorstMs = 0;
    int FAnswered = 0;
};

// A device on the far end of a pty: it answers the connect request, and once it sees the
// request named as the trigger (or is told to) it writes 1 MiB of random bytes as fast as the
// line takes them, reading what the tool sends meanwhile; it may hang up afterwards.
class TFloodDevice
{
public:
    static constexpr int FloodBytes = 1 << 20;
    static constexpr char NoTrigger = 0;

    TFloodDevice(TPtyPair& Pty, char Trigger, bool HangUpAfter)
        : FPty(Pty), FTrigger(Trigger), FHangUpAfter(HangUpAfter)
    {
        FThread = std::thread([this] { Run(); });
    }
    ~TFloodDevice()
    {
        FStop = true;
        FThread.join();
    }
    void StartFlood() { FStartFlood = true; }
    bool Done() const { return FDone; }

private:
    void Run()
    {
        std::mt19937 Random(20261209);
        QByteArray Flood(FloodBytes, Qt::Uninitialized);
        for (char& C : Flood)
            C = static_cast<char>(Random() & 0xFF);
        qsizetype Sent = 0;
        char Last = 0;
        while (!FStop && !FDone) {
            const bool Flooding = FStartFlood;
            pollfd P{FPty.Master(), static_cast<short>(POLLIN | (Flooding ? POLLOUT : 0)), 0};
            if (poll(&P, 1, 10) <= 0)
                continue;
            if (P.revents & POLLIN) {
                char Buf[4096];
                const ssize_t N = read(FPty.Master(), Buf, sizeof Buf);
                for (ssize_t I = 0; I < N; ++I) {
                    if (Last == '\x19' && Buf[I] == '\x18')
                        FPty.Send("1");
                    if (Last == '\x19' && FTrigger != NoTrigger && Buf[I] == FTrigger)
                        FStartFlood = true;
                    Last = Buf[I];
                }
            }
            if (Flooding && (P.revents & POLLOUT)) {
                const ssize_t N = write(FPty.Master(), Flood.constData() + Sent,
                                        std::min<size_t>(4096, size_t(Flood.size() - Sent)));
                if (N > 0)
                    Sent += N;
                if (Sent == Flood.size()) {
                    if (FHangUpAfter)
                        FPty.Hangup();
                    FDone = true;
                }
            }
        }
    }

    TPtyPair& FPty;
    const char FTrigger;
    const bool FHangUpAfter;
    std::thread FThread;
    std::atomic<bool> FStop{false}, FStartFlood{false}, FDone{false};
};

class TFaults : public TE2E
{
protected:
    QProgressBar* Bar() { return Find<QProgressBar>(Form4, "sProgressBar1"); }

    // Runs Pumping while the device floods; checks the window kept answering and memory stayed
    // bounded.
    void ExpectAnsweringThroughout(TFloodDevice& Device, const std::function<void()>& Start)
    {
        const long long Before = ProcessStats::ResidentBytes();
        TClickProbe Probe;
        Start();
        ASSERT_TRUE(PumpUntil([&] { return Device.Done(); }, 60000));
        PumpFor(300); // what is still in the line
        const long long Growth = ProcessStats::ResidentBytes() - Before;
        std::printf("worst wait for a click %.1f ms over %d clicks; memory grew %.1f MiB\n",
                    Probe.WorstMs(), Probe.Answered(), double(Growth) / (1 << 20));
        EXPECT_GT(Probe.Answered(), 10);
        EXPECT_LT(Probe.WorstMs(), ProcessStats::Sanitized ? 1000.0 : 100.0);
        if (!ProcessStats::Sanitized) {
            EXPECT_LT(Growth, 32ll << 20);
        }
        // The window still does what it is asked.
        Click(Form4, "sSpeedButton4");
        EXPECT_TRUE(Form2->isVisible());
        Form2->hide();
    }

    void ConnectTo(TPtyPair& Pty)
    {
        SelectedPort = Pty.Path();
        Click(Form4, "sSpeedButton2");
        ASSERT_EQ(ConnectCaption(), "DisConnect");
    }

    // CPU this process spends over Ms of waiting: a spinning thread shows here.
    static double CpuWhileWaiting(int Ms)
    {
        const double Start = ProcessStats::CpuMs();
        PumpFor(Ms);
        return ProcessStats::CpuMs() - Start;
    }
};

int VisibleBoxes()
{
    int N = 0;
    for (QWidget* W : QApplication::topLevelWidgets())
        N += qobject_cast<QMessageBox*>(W) && W->isVisible();
    return N;
}

} // namespace

TEST_F(TFaults, FloodWithNoExchangeRunning)
{
    TPtyPair Pty;
    TFloodDevice Device(Pty, TFloodDevice::NoTrigger, false);
    ConnectTo(Pty);
    LinkMode.clear(); // as before any exchange
    TBoxWatcher Boxes;
    ExpectAnsweringThroughout(Device, [&] { Device.StartFlood(); });
    EXPECT_TRUE(Boxes.Seen().empty());
    EXPECT_EQ(ConnectCaption(), "DisConnect");
}

TEST_F(TFaults, FloodDuringAndAfterTheHandshake)
{
    TPtyPair Pty;
    TFloodDevice Device(Pty, '\x18', false); // the flood follows the answer at once
    TBoxWatcher Boxes;
    SelectedPort = Pty.Path();
    ExpectAnsweringThroughout(Device, [&] { Click(Form4, "sSpeedButton2"); });
    EXPECT_TRUE(Boxes.Seen().empty());
    EXPECT_EQ(ConnectCaption(), "DisConnect");
}

TEST_F(TFaults, FloodDuringAnImportReportsBadLinesOneBoxAtATime)
{
    TPtyPair Pty;
    TFloodDevice Device(Pty, '\x1a', false);
    ConnectTo(Pty);
    int Stacked = 0;
    TBoxWatcher Boxes([&](const TSeenBox&) { Stacked = std::max(Stacked, VisibleBoxes()); });
    ExpectAnsweringThroughout(Device, [&] { Click(Form4, "sSpeedButton3"); });
    EXPECT_EQ(Stacked, 1);
    for (const TSeenBox& Box : Boxes.Seen()) {
        EXPECT_EQ(Box.ObjectName, "ErrorBox");
        EXPECT_LE(Box.Text.count(u'\n'), 10); // ten lines listed at most, then a count
        EXPECT_LT(Box.Text.size(), 1000);
    }
    EXPECT_LE(RxLine.size(), 65536);
    EXPECT_EQ(ConnectCaption(), "DisConnect");
}

TEST_F(TFaults, FloodDuringAnExportThenHangUp)
{
    TPtyPair Pty;
    TFloodDevice Device(Pty, '\x1b', true);
    ConnectTo(Pty);
    TBoxWatcher Boxes;
    // The press returns when the export has stopped at the write after the hang-up.
    ExpectAnsweringThroughout(Device, [&] { Click(Form4, "sSpeedButton6"); });
    ASSERT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_TRUE(Boxes.Seen()[0].Text.startsWith("WriteFile function failed (Error: "))
        << Boxes.Seen()[0].Text.toStdString();
    EXPECT_EQ(ConnectCaption(), "Connect"); // the device is gone: so is the link
    EXPECT_FALSE(Bar()->isVisible());
    EXPECT_LT(CpuWhileWaiting(500), 100.0);
}

TEST_F(TFaults, ASecondInstanceOnAHeldPortGetsTheOpenErrorAndSendsNothing)
{
    TSimProcess Sim(Runtime());
    ASSERT_TRUE(Sim.Started());
    ConnectThroughDialog(Sim.LinkPath());
    ASSERT_EQ(ConnectCaption(), "DisConnect");

    QProcess Second;
    Second.start(BuildDir() + "/tests/e2e_second_instance", {Sim.LinkPath()});
    ASSERT_TRUE(Second.waitForStarted(5000));
    ASSERT_TRUE(PumpUntil([&] { return Second.state() == QProcess::NotRunning; }, 20000));
    const QStringList Printed =
        QString::fromLocal8Bit(Second.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    // The lock file names this process as the holder; the simulator, the line's far end, is none.
    QFile Comm("/proc/self/comm");
    ASSERT_TRUE(Comm.open(QIODevice::ReadOnly));
    const QString Held = QString("ErrorBox|Unable to open com port (Error: 16)\\n%1: held by %2 (pid %3); close that "
                                 "program (or end it: kill %3) and try again. (morvel-smsctl doctor checks every port.)")
                             .arg(Sim.LinkPath(), QString::fromLocal8Bit(Comm.readAll().trimmed()))
                             .arg(::getpid());
    EXPECT_EQ(Printed, QStringList({Held, "caption|Connect"}))
        << QString::fromLocal8Bit(Second.readAllStandardError()).toStdString();
    PumpFor(200);
    EXPECT_EQ(Sim.Count("request"), 1) << Sim.LogText().toStdString();

    // The first instance still holds a working link.
    Click(Form4, "sSpeedButton3");
    ASSERT_TRUE(PumpUntil([] { return RxLineCount == 59; }));
}

TEST_F(TFaults, UnpluggedWhileIdleTheNextWriteFailsAndReconnectingWorks)
{
    {
        TSimProcess Sim(Runtime());
        ASSERT_TRUE(Sim.Started());
        ConnectThroughDialog(Sim.LinkPath());
        ASSERT_EQ(ConnectCaption(), "DisConnect");
        Sim.Stop();
    }
    EXPECT_LT(CpuWhileWaiting(500), 100.0);
    TBoxWatcher Boxes;
    Click(Form4, "sSpeedButton3");
    ASSERT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_TRUE(Boxes.Seen()[0].Text.startsWith("WriteFile function failed (Error: "))
        << Boxes.Seen()[0].Text.toStdString();
    // The failed write closed the link; the port stays chosen.
    EXPECT_EQ(ConnectCaption(), "Connect");
    EXPECT_FALSE(Find(Form4, "sSpeedButton3")->isEnabled());
    EXPECT_FALSE(Find(Form4, "sSpeedButton6")->isEnabled());

    // The device comes back on the same name: one press of Connect, and a whole import.
    TSimProcess Again(Runtime());
    ASSERT_TRUE(Again.Started());
    Click(Form4, "sSpeedButton2");
    ASSERT_EQ(ConnectCaption(), "DisConnect");
    Click(Form4, "sSpeedButton3");
    EXPECT_TRUE(PumpUntil([] { return RxLineCount == 59; }));
    EXPECT_EQ(Boxes.Seen().size(), 1u);
}

TEST_F(TFaults, UnpluggedDuringAnImportNothingHangsAndTheNextImportIsWhole)
{
    {
        TSimProcess Sim(Runtime(), {"--paced"});
        ASSERT_TRUE(Sim.Started());
        ConnectThroughDialog(Sim.LinkPath());
        ASSERT_EQ(ConnectCaption(), "DisConnect");
        Click(Form4, "sSpeedButton3");
        ASSERT_TRUE(PumpUntil([] { return RxLineCount >= 5; }));
        Sim.Stop();
    }
    const int Received = RxLineCount;
    EXPECT_LT(Received, 59);
    EXPECT_LT(CpuWhileWaiting(500), 100.0);
    EXPECT_EQ(RxLineCount, Received);

    TSimProcess Again(Runtime());
    ASSERT_TRUE(Again.Started());
    TBoxWatcher Boxes;
    Click(Form4, "sSpeedButton2");
    Click(Form4, "sSpeedButton2");
    ASSERT_EQ(ConnectCaption(), "DisConnect");
    Click(Form4, "sSpeedButton3");
    EXPECT_TRUE(PumpUntil([] { return RxLineCount == 59; }));
    EXPECT_TRUE(Boxes.Seen().empty());
    EXPECT_EQ(Form4->ItemText("rel1_on"), "rel1=on"); // the first line of the new import landed
}

TEST_F(TFaults, UnpluggedDuringAnExportTheWriteFailsAndTheNextExportIsWhole)
{
    TBoxWatcher Boxes;
    {
        TSimProcess Sim(Runtime());
        ASSERT_TRUE(Sim.Started());
        ConnectThroughDialog(Sim.LinkPath());
        ASSERT_EQ(ConnectCaption(), "DisConnect");
        QTimer::singleShot(1500, [&] { Sim.Stop(); });
        Click(Form4, "sSpeedButton6"); // returns at the first write after the device went
        ASSERT_EQ(Boxes.Seen().size(), 1u);
        // The box says that the device is gone and which records went before.
        const QRegularExpression Expected(
            QRegularExpression::anchoredPattern(
                QRegularExpression::escape(QString("WriteFile function failed (Error: %1)\n%2: the adapter is "
                                                   "not there any more (unplugged?); plug it back in and connect "
                                                   "again.\nRecords 1 to ").arg(EIO).arg(Sim.LinkPath())) +
                QString("[1-9] of 59 were sent \\(up to relay\\.[1-5]\\.o(n|ff)\\); the box may hold a partial "
                        "configuration until the next full Export\\.")));
        EXPECT_TRUE(Expected.match(Boxes.Seen()[0].Text).hasMatch()) << Boxes.Seen()[0].Text.toStdString();
    }
    EXPECT_EQ(ConnectCaption(), "Connect");
    EXPECT_FALSE(Bar()->isVisible());
    EXPECT_LT(CpuWhileWaiting(500), 100.0);

    // Plugged back in: one press of Connect, and a whole export whose bar starts from 0.
    TSimProcess Again(Runtime());
    ASSERT_TRUE(Again.Started());
    Click(Form4, "sSpeedButton2");
    ASSERT_EQ(ConnectCaption(), "DisConnect");
    QList<int> Positions;
    QObject::connect(Bar(), &QProgressBar::valueChanged, Bar(), [&](int Value) { Positions << Value; });
    Click(Form4, "sSpeedButton6");
    EXPECT_TRUE(PumpUntil([&] { return Again.Count("stored") == 1; }, 2000)) << Again.LogText().toStdString();
    EXPECT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_FALSE(Bar()->isVisible());
    ASSERT_GE(Positions.size(), 2);
    EXPECT_EQ(Positions.mid(0, 2), QList<int>({0, 10}));
}
