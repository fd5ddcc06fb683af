// Real serial drivers: the real window, offscreen, in a guest kernel, with relay-sim on the far
// end of a cdc_acm gadget link, an FT232 behind ftdi_sio, or a pair of 16550s. Run inside the
// guest by tests/hw/guest/run-guest, which says in the environment which wiring this boot has.
#include "device/items.h"
#include "device/link_state.h"
#include "serial/port_watcher.h"
#include "sim/relay_config.h"
#include "tests/support/e2e_support.h"
#include "tests/support/process_stats.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

#include <sched.h>
#include <sys/inotify.h>
#include <time.h>
#include <unistd.h>

namespace {

struct TWiring
{
    QString Name;  // cdc_acm, ftdi_sio or 8250
    QString Port;  // the tool's end
    QString Far;   // the simulator's end
    QString Share; // folder shared with the host, for monitor requests

    // A UART has no plug: pulling its cable only silences the far end, and writes still succeed.
    bool Unpluggable() const { return Name != QLatin1String("8250"); }
};

TWiring WiringFromEnvironment()
{
    return {qEnvironmentVariable("MORVEL_HW_WIRING"), qEnvironmentVariable("MORVEL_HW_PORT"),
            qEnvironmentVariable("MORVEL_HW_FAR"), qEnvironmentVariable("MORVEL_HW_SHARE")};
}

bool NodeExists(const QString& Path)
{
    return ::access(QFile::encodeName(Path).constData(), F_OK) == 0;
}

// A configuration in which every item differs from its default, in the device's form. Masks 13
// and 10 put a carriage return and a line feed on the wire as raw bytes; no telephone number
// holds a "0", so a round trip leaves it as it is.
TRelayConfig CustomConfig()
{
    TRelayConfig Config;
    for (const TItemDef& Def : ItemTable()) {
        std::string& V = Config.Value(Def.Line);
        switch (Def.Kind) {
        case TItemKind::CommandText:
            V = "c" + std::to_string(Def.Line) + " Zq";
            break;
        case TItemKind::Telephone:
            V = "+9891234567" + std::to_string(Def.Line - 24);
            break;
        case TItemKind::Mask8:
            V = Def.Line == 33 ? "13" : Def.Line == 34 ? "255" : "10";
            break;
        case TItemKind::Mask4:
            V = "5";
            break;
        case TItemKind::Flag:
            V = "0";
            break;
        }
    }
    return Config;
}

// What an export of Config puts on the wire: the request, 59 records, the final 0x0D.
QByteArray ExportBytes(const TRelayConfig& Config)
{
    QByteArray Bytes("\x19\x1b");
    for (const TItemDef& Def : ItemTable()) {
        const std::string& V = Config.Value(Def.Line);
        if (IsMaskKind(Def.Kind))
            Bytes += char(std::stoi(V));
        else if (Def.Kind == TItemKind::Flag)
            Bytes += char(V == "1");
        else if (Def.Kind == TItemKind::Telephone)
            Bytes += QByteArray::fromStdString(TelephoneWireForm(V));
        else
            Bytes += QByteArray::fromStdString(V);
        Bytes += '\r';
    }
    return Bytes + '\r';
}

// The tool's CPU time over Ms of idle waiting, in ms: a thread spinning on a dead line shows here.
double CpuWhileIdle(int Ms)
{
    const double Start = ProcessStats::CpuMs();
    QElapsedTimer Clock;
    Clock.start();
    while (Clock.elapsed() < Ms)
        Application->ProcessMessagesOrWait(int(Ms - Clock.elapsed()));
    return ProcessStats::CpuMs() - Start;
}

// The modem lines as a USB serial driver puts them on the wire: the control requests that
// cdc_acm (SET_CONTROL_LINE_STATE) and ftdi_sio (its modem-control request) send, read from
// the bus's usbmon text. A cat of its own drains the monitor, so that nothing is lost while the
// tool is busy and the reading costs the tool no CPU time.
class TModemLines
{
public:
    struct TEvent
    {
        qint64 Us;       // usbmon's stamp: the monotonic clock, seconds modulo 4096
        bool Write;      // a bulk-out submission: bytes of the tool on their way
        int Dtr, Rts;    // 1 raised, 0 lowered, -1 left as it was
        bool Raises() const { return Dtr == 1 || Rts == 1; }
    };

    TModemLines(const QString& Monitor, const QString& Log) : FLog(Log)
    {
        FCat.setStandardOutputFile(Log);
        FCat.start(QStringLiteral("cat"), {Monitor});
        FCat.waitForStarted(5000);
        // The monitor keeps only a few dozen events per reader and drops the rest (an open
        // alone submits 16 reads): the reader runs ahead of everything else in the guest.
        const sched_param Priority{.sched_priority = 20};
        FPriority = ::sched_setscheduler(pid_t(FCat.processId()), SCHED_FIFO, &Priority) == 0;
        // Events count from the reader's open on: the test starts once the monitor is open.
        const QString Fds = QStringLiteral("/proc/%1/fd").arg(FCat.processId());
        FOpen = PumpUntil(
            [&] {
                const QDir Dir(Fds);
                for (const QString& Fd : Dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
                    if (QFile::symLinkTarget(Dir.filePath(Fd)) == Monitor)
                        return true;
                return false;
            },
            5000);
    }
    ~TModemLines()
    {
        FCat.kill();
        FCat.waitForFinished(5000);
    }
    bool Running() const { return FCat.state() == QProcess::Running && FPriority && FOpen; }

    // A guest boot runs far less than 4096 s, so the stamps never wrap within one.
    static qint64 Now()
    {
        timespec T{};
        ::clock_gettime(CLOCK_MONOTONIC, &T);
        return (T.tv_sec & 0xFFF) * 1000000LL + T.tv_nsec / 1000;
    }

    // Lines such as "ffff... 25305276 S Co:1:002:0 s 21 22 0003 0000 0000 0": a submission
    // (S) on a control endpoint with its setup packet, or on a bulk-out one.
    std::vector<TEvent> Events() const
    {
        std::vector<TEvent> Events;
        QFile F(FLog);
        if (!F.open(QIODevice::ReadOnly))
            return Events;
        for (const QByteArray& Line : F.readAll().split('\n')) {
            const QList<QByteArray> W = Line.simplified().split(' ');
            if (W.size() < 4 || W[2] != "S")
                continue;
            const qint64 Us = W[1].toLongLong();
            if (W[3].startsWith("Bo:")) {
                Events.push_back({Us, true, -1, -1});
                continue;
            }
            if (!W[3].startsWith("Co:") || W.size() < 8 || W[4] != "s")
                continue;
            const int Type = W[5].toInt(nullptr, 16), Request = W[6].toInt(nullptr, 16);
            const int Value = W[7].toInt(nullptr, 16);
            if (Type == 0x21 && Request == 0x22) // CDC: DTR bit 0, RTS bit 1
                Events.push_back({Us, false, Value & 1, (Value >> 1) & 1});
            else if (Type == 0x40 && Request == 0x01) { // FTDI: which lines in the high byte
                const int Mask = Value >> 8;
                Events.push_back({Us, false, Mask & 1 ? Value & 1 : -1,
                                  Mask & 2 ? (Value >> 1) & 1 : -1});
            }
        }
        return Events;
    }

private:
    QString FLog;
    QProcess FCat;
    bool FPriority = false, FOpen = false;
};

class THw : public TE2E
{
protected:
    void SetUp() override
    {
        TE2E::SetUp();
        W = WiringFromEnvironment();
        ASSERT_FALSE(W.Port.isEmpty()) << "run in the guest: tests/hw/guest/run-guest";
        ASSERT_TRUE(NodeExists(W.Port)) << W.Port.toStdString();
        if (const QString Monitor = qEnvironmentVariable("MORVEL_HW_USBMON"); !Monitor.isEmpty()) {
            FLines = std::make_unique<TModemLines>(Monitor, Runtime() + "/usbmon.txt");
            ASSERT_TRUE(FLines->Running()) << Monitor.toStdString();
        }
        FFds = ProcessStats::OpenDescriptors();
        FThreads = ProcessStats::Threads();
    }
    void TearDown() override
    {
        const bool Held =
            Form4 && ConnectCaption() == QLatin1String("DisConnect") && !FHolds.empty();
        if (Held)
            FHolds.back().Closing = TModemLines::Now();
        FSim.reset();
        TE2E::TearDown(); // the window goes, and with it the port
        if (Held)
            FHolds.back().Closed = TModemLines::Now();
        ExpectModemLinesLowWhileHeld();
        FLines.reset();
    }

    // Connect and DisConnect, each noted with the times the tool opened and let go of the port.
    void Connect()
    {
        const qint64 Start = TModemLines::Now();
        ConnectThroughDialog(W.Port);
        const qint64 End = TModemLines::Now();
        if (ConnectCaption() == QLatin1String("DisConnect"))
            FHolds.push_back({Start, End, -1, -1});
        else // the handshake failed and the port is closed again
            FHolds.push_back({Start, End, End, End});
    }
    void DisConnect()
    {
        ASSERT_EQ(ConnectCaption(), "DisConnect");
        FHolds.back().Closing = TModemLines::Now();
        Click(Form4, "sSpeedButton2");
        FHolds.back().Closed = TModemLines::Now();
    }

    void StartSim(const QStringList& Options = {})
    {
        // The far end talks at the line's rate, as a box does: QEMU's 16550 hands bytes on at
        // once and drops what its peer cannot take yet (an FT232 with a full buffer), which a
        // real line never does.
        QStringList Line{"--device", W.Far, "--register", W.Port};
        if (!Options.contains("--paced"))
            Line << "--paced";
        FSim = std::make_unique<TSimProcess>(Runtime(), Line + Options);
        ASSERT_TRUE(FSim->Started()) << FSim->Printed().toStdString();
        // The far end stamps each record when it wakes to read it: ahead of the tool, so a
        // late wake-up inside the guest does not show as a shortened gap.
        const sched_param Priority{.sched_priority = 10};
        EXPECT_EQ(sched_setscheduler(pid_t(FSim->Process().processId()), SCHED_FIFO, &Priority), 0);
    }
    TSimProcess& Sim() { return *FSim; }

    // Starts taking the device away and returns at once, so it may run inside a pause.
    void Unplug()
    {
        std::printf("[%s] unplug\n", qPrintable(W.Name));
        if (W.Name == QLatin1String("cdc_acm"))
            SoftConnect("disconnect");
        else if (W.Name == QLatin1String("ftdi_sio"))
            AskMonitor("device_del ftdi");
        else
            FSim.reset();
    }
    void WaitUnplugged()
    {
        if (W.Unpluggable()) {
            ASSERT_TRUE(PumpUntil([&] { return MonitorDone() && !NodeExists(W.Port); }, 15000))
                << W.Port.toStdString() << " stays";
        }
        FSim.reset();
    }
    void PlugBack()
    {
        // A gadget disconnected by soft_connect does not enumerate again when reconnected on
        // dummy_hcd (descriptor reads fail with EPROTO): a fresh gadget stands for the cable.
        if (W.Name == QLatin1String("cdc_acm"))
            ASSERT_EQ(QProcess::execute("sh", {"-c", "modprobe -r g_serial && modprobe g_serial"}),
                      0);
        else if (W.Name == QLatin1String("ftdi_sio"))
            AskMonitor("device_add usb-serial,chardev=line,id=ftdi");
        ASSERT_TRUE(PumpUntil([&] { return MonitorDone() && NodeExists(W.Port); }, 15000))
            << W.Port.toStdString() << " is not back; /dev has "
            << QDir("/dev")
                   .entryList({"ttyACM*", "ttyUSB*", "ttyS?"}, QDir::System)
                   .join(' ')
                   .toStdString();
        StartSim();
    }

    // The checks after any unplug (with no box watcher polling meanwhile): no spin; after
    // DisConnect the descriptors and threads are back; plugged back, the port dialog lists the
    // device and a new Connect and import work.
    void ExpectRecovery(const char* Phase)
    {
        const double Cpu = CpuWhileIdle(3000);
        std::printf("[%s] %s: CPU over the 3 s after the unplug %.1f ms (%.2f %% of a core)\n",
                    qPrintable(W.Name), Phase, Cpu, Cpu / 30.0);
        EXPECT_LT(Cpu, 60.0) << Phase;
        if (ConnectCaption() == QLatin1String("DisConnect"))
            DisConnect();
        else if (!FHolds.empty() && FHolds.back().Closed < 0) // the link let go of the port, its device gone
            FHolds.back().Closing = FHolds.back().Closed = TModemLines::Now();
        ASSERT_EQ(ConnectCaption(), "Connect");
        WaitUnplugged();
        // Qt starts pooled threads of its own for the error box (each with its eventfd) and lets
        // them go after 30 s idle: so at most the count from before, within that time.
        EXPECT_TRUE(PumpUntil(
            [&] {
                return ProcessStats::OpenDescriptors() <= FFds &&
                       ProcessStats::Threads() <= FThreads;
            },
            35000))
            << Phase << ": descriptors " << ProcessStats::OpenDescriptors() << " (were " << FFds
            << "), threads " << ProcessStats::Threads() << " (were " << FThreads << ")";
        PlugBack();
        SelectedPort.clear(); // through the dialog: it must list the device again
        Connect();
        ASSERT_EQ(ConnectCaption(), "DisConnect") << Phase;
        Click(Form4, "sSpeedButton3");
        EXPECT_TRUE(PumpUntil([] { return RxLineCount == 59; }, 15000)) << Phase << ": " << RxLineCount << " lines";
        DisConnect();
    }

    static QString WriteFailed() { return QStringLiteral("WriteFile function failed (Error: "); }

    TWiring W;

private:
    struct THold
    {
        qint64 Opening, Opened, Closing, Closed; // -1: still held
    };

    // The kernel raises DTR and RTS as it opens a port; the tool lowers them before any byte
    // goes out, never raises them while it holds the port, and the port is left with them low.
    void ExpectModemLinesLowWhileHeld()
    {
        if (!FLines) {
            std::printf("[%s] modem lines: no usbmon for this wiring\n", qPrintable(W.Name));
            return;
        }
        PumpFor(300); // the monitor's last events reach the log
        const std::vector<TModemLines::TEvent> Events = FLines->Events();
        constexpr qint64 Later = std::numeric_limits<qint64>::max();
        int Dtr = -1, Rts = -1;
        size_t Next = 0;
        // Takes the events up to Us into the lines' state, each shown after it applies.
        auto Until = [&](qint64 Us, auto&& Each) {
            for (; Next < Events.size() && Events[Next].Us <= Us; ++Next) {
                const auto& E = Events[Next];
                if (E.Dtr >= 0) Dtr = E.Dtr;
                if (E.Rts >= 0) Rts = E.Rts;
                Each(E);
            }
        };
        for (size_t H = 0; H < FHolds.size(); ++H) {
            const THold& Hold = FHolds[H];
            Until(Hold.Opening, [](const TModemLines::TEvent&) {});
            qint64 Raised = -1, Lowered = -1;
            bool WroteWhileRaised = false;
            Until(Hold.Opened, [&](const TModemLines::TEvent& E) {
                if (E.Raises())
                    Raised = E.Us, Lowered = -1;
                else if (Raised >= 0 && Lowered < 0 && Dtr == 0 && Rts == 0)
                    Lowered = E.Us;
                WroteWhileRaised |= E.Write && Raised >= 0 && Lowered < 0;
            });
            EXPECT_TRUE(Raised >= 0 && Lowered >= 0)
                << "open " << H << ": DTR and RTS were " << (Raised >= 0 ? "not lowered" : "never raised")
                << " between " << Hold.Opening << " and " << Hold.Opened << " us; " << Events.size()
                << " events from " << (Events.empty() ? -1 : Events.front().Us) << " to "
                << (Events.empty() ? -1 : Events.back().Us);
            EXPECT_FALSE(WroteWhileRaised) << "open " << H << ": bytes went out with DTR/RTS up";
            EXPECT_EQ(Dtr, 0) << "open " << H;
            EXPECT_EQ(Rts, 0) << "open " << H;
            if (Raised >= 0 && Lowered >= 0)
                std::printf("[%s] modem lines: the kernel's raise at open %zu lasted %.1f ms\n",
                            qPrintable(W.Name), H, (Lowered - Raised) / 1000.0);
            int Raises = 0;
            Until(Hold.Closing < 0 ? Later : Hold.Closing,
                  [&](const TModemLines::TEvent& E) { Raises += E.Raises(); });
            EXPECT_EQ(Raises, 0) << "open " << H << ": DTR/RTS raised while the tool held the port";
            if (Hold.Closed < 0)
                continue;
            int Requests = 0;
            Until(H + 1 < FHolds.size() ? FHolds[H + 1].Opening : Later,
                  [&](const TModemLines::TEvent& E) { Requests += !E.Write; });
            EXPECT_EQ(Dtr, 0) << "after close " << H;
            EXPECT_EQ(Rts, 0) << "after close " << H;
            std::printf("[%s] modem lines: close %zu sent %d line request(s), left DTR %d RTS %d\n",
                        qPrintable(W.Name), H, Requests, Dtr, Rts);
        }
    }

    void SoftConnect(const char* Word)
    {
        QFile F(QStringLiteral("/sys/class/udc/dummy_udc.0/soft_connect"));
        ASSERT_TRUE(F.open(QIODevice::WriteOnly)) << F.errorString().toStdString();
        F.write(Word);
    }
    // The host's watcher sends the command to QEMU's monitor and renames the request.
    void AskMonitor(const QString& Command)
    {
        FRequest = QStringLiteral("%1/requests/%2").arg(W.Share).arg(++FRequests);
        QSaveFile F(FRequest + QStringLiteral(".req"));
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write(Command.toUtf8());
        ASSERT_TRUE(F.commit());
    }
    bool MonitorDone() const
    {
        return FRequest.isEmpty() || NodeExists(FRequest + QStringLiteral(".done"));
    }


    std::unique_ptr<TSimProcess> FSim;
    std::unique_ptr<TModemLines> FLines;
    std::vector<THold> FHolds;
    QString FRequest;
    int FRequests = 0;
    int FFds = 0, FThreads = 0;
};

} // namespace

TEST_F(THw, ConnectImportAndExportAFullCustomConfiguration)
{
    const TRelayConfig Config = CustomConfig();
    const QString State = Runtime() + "/relay.state";
    SaveRelayState(State.toStdString(), Config);
    StartSim({"--state", State});
    Connect();
    ASSERT_EQ(ConnectCaption(), "DisConnect");
    Click(Form4, "sSpeedButton3");
    ASSERT_TRUE(PumpUntil([] { return RxLineCount == 59; }, 15000)) << RxLineCount;
    EXPECT_EQ(Form4->ItemText("rel1_on").toStdString(), Config.Value(1));

    TBoxWatcher Boxes;
    QElapsedTimer Clock;
    Clock.start();
    Click(Form4, "sSpeedButton6"); // returns when the export is done
    const double WallS = Clock.elapsed() / 1000.0;
    ASSERT_TRUE(PumpUntil([&] { return Sim().Count("stored") == 1; }, 3000))
        << Sim().LogText().toStdString();
    EXPECT_TRUE(Boxes.Seen().empty());

    QByteArray Wire;
    std::vector<TSimProcess::TEvent> Records;
    double Request = 0;
    for (const auto& E : Sim().Events()) {
        if (E.Kind == "request" && E.Word == "set") Request = E.Ms;
        if ((E.Kind == "request" && E.Word == "set") || E.Kind == "record" || E.Kind == "end")
            Wire += E.Bytes;
        if (E.Kind == "record") Records.push_back(E);
    }
    EXPECT_EQ(Wire.toHex(' '), ExportBytes(Config).toHex(' '));
    EXPECT_EQ(LoadRelayState(State.toStdString()), Config); // stored as it was read
    // The far end stamps a record when it wakes to read it. In an emulated guest on a shared
    // host that wake-up (and the USB stack's delivery) can come a few ms late, which shortens
    // the next gap by as much and lengthens this one: a gap may fall short of its span by that
    // jitter, while a missing or shortened pause falls far more; most gaps stay above it.
    constexpr double Jitter = 10.0;
    ASSERT_EQ(Records.size(), 59u);
    std::vector<double> Over{Records[0].Ms - Request - 400.0}; // each gap less its span
    double Shortest = Records[0].Ms - Request, ShortestLong = 1e9;
    for (size_t I = 1; I < Records.size(); ++I) {
        const double Gap = Records[I].Ms - Records[I - 1].Ms;
        const bool Long = Records[I - 1].Line == 36;
        Over.push_back(Gap - (Long ? 1000.0 : 400.0));
        (Long ? ShortestLong : Shortest) = std::min(Long ? ShortestLong : Shortest, Gap);
    }
    for (size_t I = 0; I < Over.size(); ++I)
        EXPECT_GT(Over[I], -Jitter) << "before line " << Records[I].Line;
    std::sort(Over.begin(), Over.end());
    EXPECT_GT(Over[Over.size() / 2], 0.0);
    std::printf("[%s] export wall time %.2f s; shortest gap %.1f ms, after line 36 %.1f ms, "
                "median gap %.1f ms over its span\n",
                qPrintable(W.Name), WallS, Shortest, ShortestLong, Over[Over.size() / 2]);
    // The time goal is the benchmark's (./run hw-bench); here only the fault it guards against:
    // pauses stretched by a driver's queue count, which made this export take minutes.
    EXPECT_LE(WallS, 30.0);
}

TEST_F(THw, UnpluggedWhileIdle)
{
    StartSim();
    Connect();
    ASSERT_EQ(ConnectCaption(), "DisConnect");
    // What the port dialog follows the cable by sees the driver take the node away.
    TPortWatcher Watcher;
    int Changes = 0;
    QObject::connect(&Watcher, &TPortWatcher::PortsChanged, [&] { ++Changes; });
    Unplug();
    WaitUnplugged();
    if (W.Unpluggable()) {
        EXPECT_TRUE(Watcher.Watching());
        EXPECT_TRUE(PumpUntil([&] { return Changes > 0; }, 1000)) << "the node's going unseen";
    }
    {
        TBoxWatcher Boxes;
        Click(Form4, "sSpeedButton3"); // the request's write meets the missing device
        PumpFor(300);
        if (W.Unpluggable()) {
            ASSERT_EQ(Boxes.Seen().size(), 1u);
            EXPECT_TRUE(Boxes.Seen()[0].Text.startsWith(WriteFailed()))
                << Boxes.Seen()[0].Text.toStdString();
        } else {
            EXPECT_TRUE(Boxes.Seen().empty());
        }
    }
    ExpectRecovery("idle");
}

TEST_F(THw, UnpluggedDuringTheHandshake)
{
    StartSim({"--late-answer", "700"});
    {
        TBoxWatcher Boxes;
        QTimer::singleShot(300, [&] { Unplug(); });
        QElapsedTimer Clock;
        Clock.start();
        Connect(); // the pause runs out without an answer
        std::printf("[%s] handshake: Connect returned %lld ms after the press\n",
                    qPrintable(W.Name), Clock.elapsed());
        EXPECT_LT(Clock.elapsed(), 5000);
        EXPECT_EQ(ConnectCaption(), "Connect");
        ASSERT_EQ(Boxes.Seen().size(), 1u);
        EXPECT_EQ(Boxes.Seen()[0].ObjectName, "NoticeBox");
        EXPECT_TRUE(Boxes.Seen()[0].Text.startsWith("Device Not Detected!"));
    }
    ExpectRecovery("handshake");
}

TEST_F(THw, UnpluggedDuringAnImport)
{
    StartSim({"--paced"});
    Connect();
    ASSERT_EQ(ConnectCaption(), "DisConnect");
    {
        TBoxWatcher Boxes;
        Click(Form4, "sSpeedButton3");
        ASSERT_TRUE(PumpUntil([] { return RxLineCount >= 5; }, 10000));
        Unplug();
        PumpFor(500);
        EXPECT_LT(RxLineCount, 59);
        EXPECT_TRUE(Boxes.Seen().empty()); // nothing was written, so nothing failed
    }
    ExpectRecovery("import");
}

TEST_F(THw, UnpluggedDuringAnExport)
{
    StartSim();
    Connect();
    ASSERT_EQ(ConnectCaption(), "DisConnect");
    {
        TBoxWatcher Boxes;
        QTimer::singleShot(1500, [&] { Unplug(); });
        QElapsedTimer Clock;
        Clock.start();
        Click(Form4, "sSpeedButton6"); // returns at the first write after the unplug
        std::printf("[%s] export: the press returned %lld ms after it\n", qPrintable(W.Name),
                    Clock.elapsed());
        if (W.Unpluggable()) {
            EXPECT_LT(Clock.elapsed(), 5000);
            ASSERT_EQ(Boxes.Seen().size(), 1u);
            EXPECT_TRUE(Boxes.Seen()[0].Text.startsWith(WriteFailed()))
                << Boxes.Seen()[0].Text.toStdString();
            // The driver's error means the adapter is gone: said so, and the link is closed.
            EXPECT_TRUE(Boxes.Seen()[0].Text.contains(W.Port + ": the adapter is not there any more (unplugged?)"))
                << Boxes.Seen()[0].Text.toStdString();
            EXPECT_EQ(ConnectCaption(), "Connect");
        } else {
            EXPECT_TRUE(Boxes.Seen().empty()); // into a silent line, the export runs to its end
        }
    }
    ExpectRecovery("export");
}

TEST_F(THw, ASecondInstanceNeverOpensTheHeldPort)
{
    StartSim();
    Connect();
    ASSERT_EQ(ConnectCaption(), "DisConnect");

    // Every open of the node from now on, by anyone, is seen here.
    const int Watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(Watch, 0);
    ASSERT_GE(inotify_add_watch(Watch, QFile::encodeName(W.Port).constData(), IN_OPEN), 0);
    QProcess Second;
    Second.start(BuildDir() + "/tests/e2e_second_instance", {W.Port});
    ASSERT_TRUE(Second.waitForStarted(10000));
    ASSERT_TRUE(PumpUntil([&] { return Second.state() == QProcess::NotRunning; }, 30000));
    char Events[4096];
    const ssize_t Opened = ::read(Watch, Events, sizeof Events);
    ::close(Watch);
    const QStringList Printed =
        QString::fromLocal8Bit(Second.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(Printed.size(), 2) << Printed.join(u'\n').toStdString();
    EXPECT_TRUE(Printed[0].startsWith("ErrorBox|Unable to open com port"))
        << Printed[0].toStdString();
    EXPECT_EQ(Printed[1], "caption|Connect");
    EXPECT_LE(Opened, 0) << "the second instance opened " << W.Port.toStdString();

    // The first instance's link is untouched.
    Click(Form4, "sSpeedButton3");
    EXPECT_TRUE(PumpUntil([] { return RxLineCount == 59; }, 15000));
    EXPECT_EQ(Sim().Count("request"), 2) << Sim().LogText().toStdString();
}
