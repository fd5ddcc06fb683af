// The installed program as a user meets it: the real executable on a real X server (Xvfb),
// driven by mouse clicks and key presses from xdotool, against the simulator. A whole cycle:
// Connect, type the port's name, OK, Import, Export, Exit.
#include "tests/support/sim_process.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

class TDesktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FRuntime.IsValid());
        // -displayfd: the server picks a free display and prints its number once it is ready.
        FServer.setProgram(QStringLiteral("Xvfb"));
        FServer.setArguments({"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        FServer.start();
        ASSERT_TRUE(FServer.waitForStarted(5000)) << "Xvfb is missing (package xvfb)";
        ASSERT_TRUE(PumpUntil([&] { return FServer.canReadLine(); }, 10000));
        FDisplay = ":" + QString::fromLatin1(FServer.readLine()).trimmed();
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            << "xdotool is missing (package xdotool)";
    }
    void TearDown() override
    {
        if (FTool.state() != QProcess::NotRunning) {
            FTool.kill();
            FTool.waitForFinished(5000);
        }
        FServer.terminate();
        FServer.waitForFinished(5000);
    }

    QProcessEnvironment DisplayEnvironment() const
    {
        QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
        Env.insert(QStringLiteral("DISPLAY"), FDisplay);
        Env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        Env.insert(QStringLiteral("XDG_RUNTIME_DIR"), FRuntime.Path());
        return Env;
    }
    // Runs xdotool on the test's display; its output.
    QString Xdo(const QStringList& Arguments) const
    {
        QProcess P;
        P.setProcessEnvironment(DisplayEnvironment());
        P.start(QStringLiteral("xdotool"), Arguments);
        P.waitForFinished(15000);
        return QString::fromLocal8Bit(P.readAllStandardOutput()).trimmed();
    }
    // A window's id and its top-left corner on the screen.
    struct TWindow
    {
        QString Id;
        int X = 0, Y = 0;
    };
    TWindow FindWindow(const QString& Name) const
    {
        TWindow W;
        W.Id = Xdo({"search", "--sync", "--onlyvisible", "--name", Name}).section(u'\n', 0, 0);
        for (const QString& Line : Xdo({"getwindowgeometry", "--shell", W.Id}).split(u'\n')) {
            if (Line.startsWith("X="))
                W.X = Line.mid(2).toInt();
            else if (Line.startsWith("Y="))
                W.Y = Line.mid(2).toInt();
        }
        return W;
    }
    void ClickAt(const TWindow& W, int X, int Y) const
    {
        Xdo({"mousemove", "--sync", QString::number(W.X + X), QString::number(W.Y + Y)});
        Xdo({"click", "1"});
    }

    QString Runtime() const { return FRuntime.Path(); }

    QProcess FTool;

private:
    TPrivateRuntime FRuntime;
    QProcess FServer;
    QString FDisplay;
};

// The records of one line that the device received, with their end.
QByteArray RecordOf(const TSimProcess& Sim, int Line)
{
    for (const auto& E : Sim.Events())
        if (E.Kind == "record" && E.Line == Line)
            return E.Bytes;
    return {};
}

} // namespace

TEST_F(TDesktop, ConnectTypeThePortImportExportAndExitByMouseAndKeyboard)
{
    // The box holds a configuration of its own, so the export proves that the import arrived.
    const QString State = Runtime() + "/box.state";
    {
        QFile F(State);
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write("relay.1.on = \"LAMP ON\"\nrelay.1.off = \"LAMP OFF\"\n"
                "telephone.1.number = \"09121234567\"\nfeedback = false\n"
                "telephone.1.incoming = true\ntelephone.3.incoming = true\ntelephone.4.incoming = true\n");
    }
    TSimProcess Sim(Runtime(), {"--state", State});
    ASSERT_TRUE(Sim.Started());

    FTool.setProcessEnvironment(DisplayEnvironment());
    FTool.start(BuildDir() + "/morvel-sms-controller", {});
    ASSERT_TRUE(FTool.waitForStarted(5000));
    const TWindow Main = FindWindow("^Morvel SMS Controller");
    ASSERT_FALSE(Main.Id.isEmpty());

    ClickAt(Main, 238, 30); // Connect
    const TWindow Dialog = FindWindow("^Setting$");
    ASSERT_FALSE(Dialog.Id.isEmpty());
    Xdo({"type", "--delay", "20", Sim.LinkPath()}); // over the preselected first entry
    ClickAt(Dialog, 72, 176);                       // OK
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("answer") == 1; }, 10000)) << Sim.LogText().toStdString();
    PumpFor(1500); // the handshake's pause

    ClickAt(Main, 50, 30); // Import
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("line") == 59; }, 10000));
    PumpFor(500);

    ClickAt(Main, 145, 30); // Export
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("stored") == 1; }, 40000)) << Sim.LogText().toStdString();
    EXPECT_EQ(RecordOf(Sim, 1), "LAMP ON\r");
    EXPECT_EQ(RecordOf(Sim, 2), "LAMP OFF\r");
    EXPECT_EQ(RecordOf(Sim, 3), "rel2=on\r");
    EXPECT_EQ(RecordOf(Sim, 25), "+989121234567\r");
    EXPECT_EQ(RecordOf(Sim, 33), "\r\r");
    EXPECT_EQ(RecordOf(Sim, 56), QByteArray("\x00\r", 2));

    ClickAt(Main, 621 + 46, 30); // Exit
    ASSERT_TRUE(PumpUntil([&] { return FTool.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(FTool.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(FTool.exitCode(), 0);
}

// The same cycle from the keyboard alone, as a user without a mouse works: the toolbar's keys,
// the port typed into the dialog's focused field, Tab and Space for OK. A restart then offers
// the port that reached the box, so OK alone connects again.
TEST_F(TDesktop, KeyboardAloneFromConnectToExitThenOkAloneAfterARestart)
{
    TSimProcess Sim(Runtime(), {});
    ASSERT_TRUE(Sim.Started());
    auto Start = [&] {
        FTool.setProcessEnvironment(DisplayEnvironment());
        FTool.start(BuildDir() + "/morvel-sms-controller", {});
        EXPECT_TRUE(FTool.waitForStarted(5000));
        const TWindow Main = FindWindow("^Morvel SMS Controller");
        Xdo({"windowfocus", "--sync", Main.Id});
        PumpFor(300);
        return Main;
    };
    auto Keys = [&](const TWindow& W, const QStringList& Keys) {
        Xdo({"windowfocus", "--sync", W.Id});
        Xdo(QStringList{"key", "--delay", "50"} + Keys);
    };
    auto Exit = [&](const TWindow& Main) {
        Keys(Main, {"ctrl+q"});
        EXPECT_TRUE(PumpUntil([&] { return FTool.state() == QProcess::NotRunning; }, 10000));
        EXPECT_EQ(FTool.exitCode(), 0);
    };

    TWindow Main = Start();
    Keys(Main, {"ctrl+l"}); // Connect
    ASSERT_FALSE(FindWindow("^Setting$").Id.isEmpty());
    Xdo({"type", "--delay", "20", Sim.LinkPath()}); // into the focused port field
    Xdo({"key", "--delay", "50", "Tab", "space"});   // OK
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("answer") == 1; }, 10000)) << Sim.LogText().toStdString();
    PumpFor(1500);

    Keys(Main, {"ctrl+i"}); // Import
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("line") == 59; }, 10000));
    PumpFor(500);
    Keys(Main, {"ctrl+shift+e"}); // Export
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("stored") == 1; }, 40000)) << Sim.LogText().toStdString();
    PumpFor(1500); // the export's last pause
    Keys(Main, {"ctrl+l"}); // DisConnect
    PumpFor(300);
    Keys(Main, {"ctrl+l"}); // Connect again: the same port, no dialog
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("answer") == 2; }, 10000));
    PumpFor(1500);
    Exit(Main);

    Main = Start();
    Keys(Main, {"ctrl+l"});
    ASSERT_FALSE(FindWindow("^Setting$").Id.isEmpty());
    Xdo({"key", "--delay", "50", "Tab", "space"}); // OK on what the dialog offers
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("answer") == 3; }, 10000)) << Sim.LogText().toStdString();
    PumpFor(1500);
    Exit(Main);
}
