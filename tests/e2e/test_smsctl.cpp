// morvel-smsctl against relay-sim: the configuration survives a box byte for byte, diff finds
// what changed, a bad file sends nothing, each failure ends with its own status, many boxes
// are written at once, and set changes only what it names.
#include "tests/support/e2e_support.h"

#include "core/tick.h"
#include "device/codecs.h"
#include "device/config_file.h"
#include "device/item_store.h"
#include "device/line_builder.h"
#include "smsctl/box_session.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <map>

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TRun
{
    int Status = -1;
    QByteArray Out;
    QString Err;
};

TRun Smsctl(const QStringList& Args, int TimeoutMs = 60000)
{
    QProcess Program;
    Program.start(BuildDir() + "/morvel-smsctl", Args);
    Program.closeWriteChannel();
    TRun Run;
    if (!Program.waitForFinished(TimeoutMs))
        return Run;
    Run.Status = Program.exitStatus() == QProcess::NormalExit ? Program.exitCode() : -1;
    Run.Out = Program.readAllStandardOutput();
    Run.Err = QString::fromUtf8(Program.readAllStandardError());
    return Run;
}

QByteArray ReadFile(const QString& Path)
{
    QFile File(Path);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

void WriteFile(const QString& Path, const QByteArray& Text)
{
    QFile File(Path);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
    File.write(Text);
}

// Replaces the value of Key in a configuration file.
QByteArray WithValue(QByteArray File, const QByteArray& Key, const QByteArray& Value)
{
    const qsizetype At = File.indexOf("\n" + Key + " = ");
    EXPECT_GE(At, 0) << Key.constData();
    const qsizetype End = File.indexOf('\n', At + 1);
    return File.replace(At + 1, End - At - 1, Key + " = " + Value);
}

class TSmsctl : public ::testing::Test
{
protected:
    TPrivateRuntime FRuntime;
    QTemporaryDir FWork;
    QString Path(const char* Name) const { return FWork.filePath(QLatin1String(Name)); }
};

} // namespace

TEST_F(TSmsctl, ConfigurationSurvivesTheBoxByteForByteAndDiffFindsOneChangedBox)
{
    const QString State = Path("box.toml");
    TSimProcess Sim(FRuntime.Path(), {"--state", State});
    ASSERT_TRUE(Sim.Started());

    // A fresh box reads as the defaults.
    const TRun Defaults = Smsctl({"defaults"});
    ASSERT_EQ(Defaults.Status, 0) << Defaults.Err.toStdString();
    const TRun First = Smsctl({"read", "relay-sim"});
    ASSERT_EQ(First.Status, 0) << First.Err.toStdString();
    WriteFile(Path("defaults.toml"), Defaults.Out);
    WriteFile(Path("first.toml"), First.Out);
    EXPECT_EQ(Smsctl({"diff", Path("defaults.toml"), Path("first.toml")}).Status, 0);

    // Every kind of item changed, texts with the bytes a line can carry but an editor cannot
    // show; a telephone number whose "0" is not its first character.
    QByteArray Custom = First.Out;
    Custom = WithValue(Custom, "relay.1.on", R"("\u0000\u0001 \"\\ \u007F\u00E9\u00FF ")");
    Custom = WithValue(Custom, "input.10.closed", R"("\u0080\u001B[x\t")");
    Custom = WithValue(Custom, "telephone.8.number", R"("9120x")");
    Custom = WithValue(Custom, "telephone.2.outgoing", "true");
    Custom = WithValue(Custom, "telephone.8.incoming", "true");
    Custom = WithValue(Custom, "status_command", R"("")");
    Custom = WithValue(Custom, "feedback", "false");
    Custom = WithValue(Custom, "relay.12.state", "true");
    // A box holds a text longer than its field (an import stores it whole): its backup must
    // restore it whole, with a word about it.
    Custom = WithValue(Custom, "relay.3.on", R"("0123456789ABCDEFGHIJKL")");
    WriteFile(Path("custom.toml"), Custom);

    const TRun Write = Smsctl({"write", "--verify", "relay-sim", Path("custom.toml")});
    ASSERT_EQ(Write.Status, 0) << Write.Err.toStdString();
    EXPECT_EQ(Write.Err.toStdString(), "morvel-smsctl: warning: " + Path("custom.toml").toStdString() +
                                           ":9:14: relay.3.on is 22 bytes long, more than the 15 its field "
                                           "takes; it is sent whole, as the box holds it\n")
        << "no progress off a terminal";
    EXPECT_TRUE(Write.Out.isEmpty());
    ASSERT_EQ(Smsctl({"read", "relay-sim", "-o", Path("second.toml")}).Status, 0);
    EXPECT_EQ(ReadFile(Path("second.toml")), Custom);
    // The simulator keeps its state in the same file.
    EXPECT_EQ(ReadFile(State), Custom);

    WriteFile(Path("changed.toml"), WithValue(Custom, "telephone.5.incoming", "true"));
    EXPECT_EQ(Smsctl({"diff", Path("custom.toml"), "relay-sim"}).Status, 0);
    const TRun Diff = Smsctl({"diff", "relay-sim", Path("changed.toml")});
    EXPECT_EQ(Diff.Status, 1);
    EXPECT_EQ(Diff.Out, "--- relay-sim\n+++ " + Path("changed.toml").toUtf8() +
                            "\n-telephone.5.incoming = false\n+telephone.5.incoming = true\n");
}

TEST_F(TSmsctl, BadFileNamesItsPlaceAndSendsNothing)
{
    TSimProcess Sim(FRuntime.Path());
    ASSERT_TRUE(Sim.Started());
    const QByteArray Good = Smsctl({"defaults"}).Out;
    ASSERT_FALSE(Good.isEmpty());
    WriteFile(Path("good.toml"), Good);
    const int Line = static_cast<int>(Good.left(Good.indexOf("\nrelay.2.on")).count('\n')) + 2;
    const int End = static_cast<int>(Good.count('\n')) + 1;

    struct TCase
    {
        QByteArray Text;
        QString Expected; // after "bad.toml:": line, column, what
    };
    const QByteArray MissingKey = QByteArray(Good).replace("\nrelay.2.on", "\n#relay.2.on");
    const TCase Cases[] = {
        {WithValue(Good, "relay.2.on", "\"open"), QStringLiteral("%1:").arg(Line)},
        {Good + "relay.13.on = \"x\"\n", QStringLiteral("%1:7: unknown key \"relay.13.on\"").arg(End)},
        {MissingKey, QStringLiteral("%1:1: missing key relay.2.on; expected a text").arg(End)},
        {WithValue(Good, "relay.2.on", '"' + QByteArray(65537, 'x') + '"'),
         QStringLiteral("%1:14: relay.2.on is 65537 bytes long; expected at most 65536").arg(Line)},
        {WithValue(Good, "relay.2.on", "1"), QStringLiteral("%1:14: relay.2.on is a number; expected a text").arg(Line)},
        {WithValue(Good, "relay.2.on", "\"a\\rb\""), QStringLiteral("%1:14: relay.2.on: The controller takes no line break").arg(Line)},
        {WithValue(Good, "relay.2.on", "\"\\u0627\""), QStringLiteral("%1:14: relay.2.on: The controller takes only Western (Latin-1) characters").arg(Line)},
    };
    for (const TCase& Case : Cases) {
        WriteFile(Path("bad.toml"), Case.Text);
        const TRun Run = Smsctl({"write", "relay-sim", Path("bad.toml")});
        EXPECT_EQ(Run.Status, 3) << Run.Err.toStdString();
        EXPECT_TRUE(Run.Err.contains(Path("bad.toml") + ":" + Case.Expected))
            << Case.Expected.toStdString() << " in " << Run.Err.toStdString();
    }
    EXPECT_EQ(Sim.Count("request"), 0) << Sim.LogText().toStdString();
}

TEST_F(TSmsctl, FailuresEndWithTheirOwnStatusAndSayWhatHappened)
{
    WriteFile(Path("good.toml"), Smsctl({"defaults"}).Out);

    const TRun Missing = Smsctl({"read", FRuntime.Path() + "/no-such-port"});
    EXPECT_EQ(Missing.Status, 4) << Missing.Err.toStdString();
    EXPECT_TRUE(Missing.Err.contains("Unable to open com port (Error: 2)\n" + FRuntime.Path() +
                                     "/no-such-port: the adapter is not there any more (unplugged?)"))
        << Missing.Err.toStdString();

    {
        TSimProcess Silent(FRuntime.Path(), {"--no-answer"});
        ASSERT_TRUE(Silent.Started());
        const TRun NoAnswer = Smsctl({"read", "relay-sim"});
        EXPECT_EQ(NoAnswer.Status, 6);
        EXPECT_TRUE(NoAnswer.Err.contains("Device Not Detected! Please change com Port!\n(")) << NoAnswer.Err.toStdString();
        EXPECT_TRUE(NoAnswer.Err.contains(": no box answered; check the box's power and cable.")) << NoAnswer.Err.toStdString();
        EXPECT_EQ(Smsctl({"read", "auto"}).Status, 6);
        // The simulator holding the far end of its line is no holder.
        const TRun Free = Smsctl({"doctor", "relay-sim"});
        EXPECT_EQ(Free.Status, 0) << Free.Out.toStdString();
        EXPECT_TRUE(Free.Out.contains(("ok       " + Silent.LinkPath() + ": no other program holds it\n").toUtf8()))
            << Free.Out.toStdString();

        // Held by another program: the port is locked as every open of it locks it.
        const int Held = ::open(Silent.LinkPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        ASSERT_GE(Held, 0);
        ASSERT_EQ(::flock(Held, LOCK_EX | LOCK_NB), 0);
        const TRun Busy = Smsctl({"write", "relay-sim", Path("good.toml")});
        const TRun Doctor = Smsctl({"doctor", "relay-sim"});
        ::close(Held);
        EXPECT_EQ(Doctor.Status, 1) << Doctor.Out.toStdString();
        EXPECT_TRUE(Doctor.Out.contains(QString("problem  %1: held by ").arg(Silent.LinkPath()).toUtf8()))
            << Doctor.Out.toStdString();
        EXPECT_EQ(Busy.Status, 5) << Busy.Err.toStdString();
        EXPECT_TRUE(Busy.Err.contains(QString(" (pid %1); close that program").arg(::getpid())))
            << Busy.Err.toStdString();
        EXPECT_EQ(Silent.Count("request"), 2); // the two reads' handshakes only
    }

    // Unplugged during the export: the records that went are named; the file is untouched.
    TSimProcess Unplugged(FRuntime.Path(), {"--hangup-after", "34"});
    ASSERT_TRUE(Unplugged.Started());
    const QByteArray Before = ReadFile(Path("good.toml"));
    const TRun Broken = Smsctl({"write", "auto", Path("good.toml")});
    EXPECT_EQ(Broken.Status, 7) << Broken.Err.toStdString();
    EXPECT_TRUE(Broken.Err.contains("Records 1 to 4 of 59 were sent (up to relay.2.off); the box may hold a "
                                    "partial configuration until the next full Export."))
        << Broken.Err.toStdString();
    EXPECT_EQ(ReadFile(Path("good.toml")), Before);

    // A read that fails leaves no file behind, not even half of one.
    EXPECT_NE(Smsctl({"read", "relay-sim", "-o", Path("never.toml")}).Status, 0);
    EXPECT_FALSE(QFileInfo::exists(Path("never.toml")));

    // A full disk or an endless device is a file error that says why, and nothing is sent.
    const TRun Full = Smsctl({"defaults", "-o", "/dev/full"});
    EXPECT_EQ(Full.Status, 3);
    EXPECT_EQ(Full.Err, "morvel-smsctl: /dev/full: No space left on device\n");
    const TRun Endless = Smsctl({"write", "relay-sim", "/dev/zero"});
    EXPECT_EQ(Endless.Status, 3);
    EXPECT_EQ(Endless.Err, "morvel-smsctl: /dev/zero: not a regular file\n");
}

TEST_F(TSmsctl, OutputNeverGoesThroughAnotherUsersLinkInASharedFolder)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two users";
    // nobody runs the program; root's link in a sticky folder points at nobody's own file.
    constexpr uid_t Nobody = 65534;
    ASSERT_EQ(::chmod(QFile::encodeName(FWork.path()).constData(), 0755), 0);
    const QString Shared = Path("shared"), Home = Path("home"), Victim = Path("home/victim");
    const QString Link = Path("shared/out.toml");
    ASSERT_TRUE(QDir().mkdir(Shared) && QDir().mkdir(Home));
    ASSERT_EQ(::chmod(QFile::encodeName(Shared).constData(), 01777), 0);
    WriteFile(Victim, "nobody's own");
    for (const QString& Own : {Home, Victim})
        ASSERT_EQ(::chown(QFile::encodeName(Own).constData(), Nobody, Nobody), 0);
    ASSERT_TRUE(QFile::link(Victim, Link));
    QProcess Program;
    Program.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0)
            ::_exit(126);
    });
    Program.start(BuildDir() + "/morvel-smsctl", {"defaults", "-o", Link});
    if (!Program.waitForFinished(10000) || Program.exitCode() == 126 || Program.exitCode() == 127)
        GTEST_SKIP() << "cannot run the program as nobody here (is the build folder out of its reach?)";
    EXPECT_EQ(Program.exitCode(), 3);
    EXPECT_EQ(QString::fromUtf8(Program.readAllStandardError()),
              "morvel-smsctl: " + Link + ": Operation not permitted\n");
    EXPECT_EQ(ReadFile(Victim), "nobody's own");
    EXPECT_TRUE(QFileInfo(Link).isSymLink());
}

TEST_F(TSmsctl, StopSignalsEndTheExportBetweenRecordsReleaseThePortAndSayWhatWasSent)
{
    WriteFile(Path("good.toml"), Smsctl({"defaults"}).Out);
    for (const int Signal : {SIGINT, SIGTERM}) {
        QFile::remove(FRuntime.Path() + "/sim.log"); // each box's log of its own
        TSimProcess Sim(FRuntime.Path());
        ASSERT_TRUE(Sim.Started());
        QProcess Program;
        Program.start(BuildDir() + "/morvel-smsctl", {"write", "relay-sim", Path("good.toml")});
        ASSERT_TRUE(PumpUntil([&] { return Sim.Count("record") >= 3; }, 20000)) << Sim.LogText().toStdString();
        ::kill(static_cast<pid_t>(Program.processId()), Signal);
        ASSERT_TRUE(Program.waitForFinished(5000));
        EXPECT_EQ(Program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(Program.exitCode(), 128 + Signal);
        const QString Err = QString::fromUtf8(Program.readAllStandardError());
        const QString Stopped = QStringLiteral("stopped by %1: records 1 to ").arg(Signal == SIGINT ? "SIGINT" : "SIGTERM");
        EXPECT_TRUE(Err.contains(Stopped) && Err.contains("; the rest were not")) << Err.toStdString();
        // No record went after the stop was told, and the port is free for the next user.
        const int Told = Err.section(Stopped, 1).section(u' ', 0, 0).toInt();
        PumpUntil([&] { return Sim.Count("record") > Told; }, 500); // a record after the stop shows by now
        EXPECT_EQ(Sim.Count("record"), Told) << Err.toStdString();
        const QString Device = QFileInfo(Sim.LinkPath()).canonicalFilePath();
        EXPECT_FALSE(QFileInfo::exists("/run/lock/LCK..pts_" + Device.section(u'/', -1)));
        const int Fd = ::open(QFile::encodeName(Device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(Fd, 0);
        int Exclusive = -1;
        EXPECT_EQ(::ioctl(Fd, TIOCGEXCL, &Exclusive), 0);
        EXPECT_EQ(Exclusive, 0) << "TIOCEXCL left set: the next user outside root is refused";
        ::close(Fd);
    }
}

TEST_F(TSmsctl, ManyBoxesAtOnceEachWireExactAndPacedThenSetChangesOnlyTheNamedItems)
{
    std::vector<std::unique_ptr<TSimProcess>> Boxes;
    QStringList Names;
    for (int I = 1; I <= 4; ++I) {
        Names << QStringLiteral("box%1").arg(I);
        Boxes.push_back(std::make_unique<TSimProcess>(FRuntime.Path(), QStringList{}, Names.last()));
        ASSERT_TRUE(Boxes.back()->Started());
    }
    TSimProcess Silent(FRuntime.Path(), {"--no-answer"}, "silent");
    ASSERT_TRUE(Silent.Started());

    const TRun List = Smsctl({"--json", "ports"});
    ASSERT_EQ(List.Status, 0) << List.Err.toStdString();
    QStringList Listed;
    for (const QJsonValue Port : QJsonDocument::fromJson(List.Out).object().value("ports").toArray())
        Listed << QFileInfo(Port.toObject().value("path").toString()).fileName();
    EXPECT_TRUE(Listed.contains("box4") && Listed.contains("silent")) << List.Out.toStdString();

    QByteArray Site = WithValue(Smsctl({"defaults"}).Out, "telephone.3.number", R"("09121234567")");
    Site = WithValue(Site, "relay.7.off", R"("\u00FFoff\u0001")");
    Site = WithValue(Site, "telephone.4.outgoing", "true");
    WriteFile(Path("site.toml"), Site);
    TItemStore Items;
    LoadConfigFile(Path("site.toml"), Items);
    QByteArray Records;
    for (const TItemDef& Item : ItemTable())
        Records += RecordBytes(Item, Items);

    // One box that does not answer fails alone: the run's status is the worst of the ports'.
    const TRun Write = Smsctl(QStringList{"--json", "write"} + Names + QStringList{"silent", Path("site.toml")});
    EXPECT_EQ(Write.Status, 6) << Write.Err.toStdString();
    for (const auto& Box : Boxes) {
        QByteArray Wire;
        for (const TSimLog::TEvent& E : Box->Events())
            if (E.Kind == "record")
                Wire += E.Bytes;
        EXPECT_EQ(Wire.toHex(' ').toStdString(), Records.toHex(' ').toStdString()) << Box->LinkPath().toStdString();
        // Each box keeps its own pauses however many run beside it: a lost pause leaves two
        // records back to back, while the simulator's late wake-up on a loaded machine (two
        // driver guests beside the suite) shortens a gap by up to a few hundred milliseconds.
        double Previous = 0;
        for (const TSimLog::TEvent& E : Box->Events())
            if (E.Kind == "record") {
                if (Previous > 0) {
                    EXPECT_GT(E.Ms - Previous, 150.0) << "before line " << E.Line;
                }
                Previous = E.Ms;
            }
        EXPECT_EQ(Box->Count("stored"), 1);
    }
    // JSON lines: each a whole object; the last the result with every port's status.
    const QList<QByteArray> Lines = Write.Out.trimmed().split('\n');
    for (const QByteArray& Line : Lines)
        EXPECT_TRUE(QJsonDocument::fromJson(Line).isObject()) << Line.toStdString();
    const QJsonObject Result = QJsonDocument::fromJson(Lines.last()).object();
    EXPECT_EQ(Result.value("event").toString(), "result");
    EXPECT_EQ(Result.value("status").toInt(), 6);
    std::map<QString, std::pair<int, int>> Ports; // name: status, records
    for (const QJsonValue Port : Result.value("ports").toArray())
        Ports[QFileInfo(Port.toObject().value("port").toString()).fileName()] = {
            Port.toObject().value("status").toInt(), Port.toObject().value("records").toInt()};
    EXPECT_EQ(Ports, (std::map<QString, std::pair<int, int>>{
                         {"box1", {0, 59}}, {"box2", {0, 59}}, {"box3", {0, 59}}, {"box4", {0, 59}}, {"silent", {6, 0}}}));

    // set: an unknown key or a value an item cannot take sends nothing.
    const int Requests = Boxes[0]->Count("request");
    EXPECT_EQ(Smsctl({"set", "box1", "relay.1.on=x", "relay.13.on=x"}).Status, 2);
    EXPECT_EQ(Smsctl({"set", "box1", "telephone.1.incoming=yes"}).Status, 2);
    EXPECT_EQ(Boxes[0]->Count("request"), Requests);
    const TRun Set = Smsctl({"set", "box1", "relay.1.on=ON 1", "telephone.1.incoming=true"});
    ASSERT_EQ(Set.Status, 0) << Set.Err.toStdString();
    const TRun Diff = Smsctl({"--json", "diff", Path("site.toml"), "box1"});
    EXPECT_EQ(Diff.Status, 1) << Diff.Err.toStdString();
    const QJsonObject Differences = QJsonDocument::fromJson(Diff.Out).object();
    EXPECT_EQ(QJsonDocument(Differences.value("differences").toArray()).toJson(QJsonDocument::Compact).toStdString(),
              R"([{"a":"rel1=on","b":"ON 1","key":"relay.1.on"},{"a":false,"b":true,"key":"telephone.1.incoming"}])");

    // A stop signal reaches every port's exchange: each stops between records and the result
    // names the records each box got, as the box counted them. (SIGTERM: a test run in the
    // background has SIGINT ignored, as the program then does.)
    const int Before[] = {Boxes[2]->Count("record"), Boxes[3]->Count("record")};
    QProcess Stopped;
    Stopped.start(BuildDir() + "/morvel-smsctl", {"--json", "write", "box3", "box4", Path("site.toml")});
    Stopped.closeWriteChannel();
    ASSERT_TRUE(PumpUntil([&] { return Boxes[2]->Count("record") > Before[0] + 2 && Boxes[3]->Count("record") > Before[1] + 2; }, 20000));
    ::kill(static_cast<pid_t>(Stopped.processId()), SIGTERM);
    ASSERT_TRUE(Stopped.waitForFinished(10000));
    EXPECT_EQ(Stopped.exitCode(), 143) << Stopped.readAllStandardError().toStdString();
    const QJsonObject Last = QJsonDocument::fromJson(Stopped.readAllStandardOutput().trimmed().split('\n').last()).object();
    EXPECT_EQ(Last.value("status").toInt(), 143);
    const QJsonArray Got = Last.value("ports").toArray();
    ASSERT_EQ(Got.size(), 2);
    for (int I = 0; I < 2; ++I) {
        // The simulator may log the last record a moment after the program has ended.
        const int Reported = Got[I].toObject().value("records").toInt();
        PumpUntil([&] { return Boxes[2 + I]->Count("record") - Before[I] == Reported; }, 2000);
        const int Records = Boxes[2 + I]->Count("record") - Before[I];
        EXPECT_LT(Records, 59);
        EXPECT_EQ(Reported, Records);
        EXPECT_EQ(Got[I].toObject().value("status").toInt(), 143);
    }
}

namespace {
std::atomic<std::uint32_t> TickShift{0};
std::uint32_t ShiftedTick()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count()) +
           TickShift.load();
}
} // namespace

TEST(BoxSession, AFarEndTricklingWithoutEndIsGivenUpAfterTheLongestAnswerTakes)
{
    // A far end that answers the handshake, then sends a byte every 100 ms and never a CR: each
    // byte restarts the quiet timer, so only the overall deadline ends the read.
    const int Master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(Master, 0);
    ASSERT_EQ(::grantpt(Master), 0);
    ASSERT_EQ(::unlockpt(Master), 0);
    const QString Slave = QString::fromLocal8Bit(::ptsname(Master));
    QSocketNotifier Requests(Master, QSocketNotifier::Read);
    QTimer Trickle;
    QObject::connect(&Trickle, &QTimer::timeout, [&] {
        [[maybe_unused]] const ssize_t Sent = ::write(Master, "x", 1);
        // The clock runs on past the deadline once the answer has begun.
        TickShift = static_cast<std::uint32_t>(LongestImportTime.count()) + 1000;
    });
    QByteArray Heard;
    QObject::connect(&Requests, &QSocketNotifier::activated, [&] {
        char Bytes[64];
        const ssize_t Got = ::read(Master, Bytes, sizeof Bytes);
        Heard += QByteArray(Bytes, static_cast<qsizetype>(std::max<ssize_t>(Got, 0)));
        if (Heard.endsWith("\x19\x18")) {
            [[maybe_unused]] const ssize_t Answered = ::write(Master, "1", 1);
        }
        if (Heard.endsWith("\x19\x1a"))
            Trickle.start(100);
    });
    SetTickSource(&ShiftedTick);
    const auto Restore = qScopeGuard([&] {
        SetTickSource(nullptr);
        ::close(Master);
    });
    FILE* Quiet = std::fopen("/dev/null", "w");
    TBoxSession Session(Quiet);
    Session.Connect(Slave);
    try {
        Session.Read();
        ADD_FAILURE() << "the read ended";
    } catch (const ESmsctl& Error) {
        EXPECT_EQ(Error.Status(), esBrokenOff);
        EXPECT_EQ(Error.Message(), Slave + ": the answer did not end within 4028 s, the longest a box's answer "
                                           "takes at 9600 baud; 0 of 59 lines had come");
    }
    Session.Disconnect();
    std::fclose(Quiet);
}
