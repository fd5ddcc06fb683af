// morvel-smsctl against relay-sim: the configuration survives a box byte for byte, diff finds
// what changed, a bad file sends nothing, and each failure ends with its own status.
#include "e2e_support.h"

#include <QProcess>
#include <QTemporaryDir>

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
    WriteFile(Path("custom.toml"), Custom);

    const TRun Write = Smsctl({"write", "--verify", "relay-sim", Path("custom.toml")});
    ASSERT_EQ(Write.Status, 0) << Write.Err.toStdString();
    EXPECT_TRUE(Write.Err.isEmpty()) << "no progress off a terminal: " << Write.Err.toStdString();
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
        {WithValue(Good, "relay.2.on", "\"0123456789ABCDEF\""),
         QStringLiteral("%1:14: relay.2.on is 16 bytes long; expected at most 15").arg(Line)},
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
    EXPECT_TRUE(Missing.Err.contains("Unable to open com port (Error: 2)\n")) << Missing.Err.toStdString();

    {
        TSimProcess Silent(FRuntime.Path(), {"--no-answer"});
        ASSERT_TRUE(Silent.Started());
        const TRun NoAnswer = Smsctl({"read", "relay-sim"});
        EXPECT_EQ(NoAnswer.Status, 6);
        EXPECT_TRUE(NoAnswer.Err.contains("Device Not Detected! Please change com Port!\n(")) << NoAnswer.Err.toStdString();
        EXPECT_EQ(Smsctl({"read", "auto"}).Status, 6);

        // Held by another program: the port is locked as every open of it locks it.
        const int Held = ::open(Silent.LinkPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        ASSERT_GE(Held, 0);
        ASSERT_EQ(::flock(Held, LOCK_EX | LOCK_NB), 0);
        const TRun Busy = Smsctl({"write", "relay-sim", Path("good.toml")});
        ::close(Held);
        EXPECT_EQ(Busy.Status, 5) << Busy.Err.toStdString();
        EXPECT_EQ(Silent.Count("request"), 2); // the two reads' handshakes only
    }

    // Unplugged during the export: the records that went are named; the file is untouched.
    TSimProcess Unplugged(FRuntime.Path(), {"--hangup-after", "34"});
    ASSERT_TRUE(Unplugged.Started());
    const QByteArray Before = ReadFile(Path("good.toml"));
    const TRun Broken = Smsctl({"write", "auto", Path("good.toml")});
    EXPECT_EQ(Broken.Status, 7) << Broken.Err.toStdString();
    EXPECT_TRUE(Broken.Err.contains("records 1 to 4 of 59 were sent (up to relay.2.off); the rest were not"))
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
