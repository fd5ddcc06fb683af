// morvel-smsctl against relay-sim: the configuration survives a box byte for byte, diff finds
// what changed, a bad file sends nothing, and each failure ends with its own status.
#include "e2e_support.h"

#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/file.h>
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
}
