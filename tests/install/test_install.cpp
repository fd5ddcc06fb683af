// The package as a user gets it: built by CPack, unpacked into a scratch root with dpkg -x, held
// to lintian and AppStream's validator, and the programs started from where it puts them.
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
struct TRun
{
    int ExitCode = -1;
    QString Output; // stdout and stderr together
};

TRun RunProgram(const QString& Program, const QStringList& Args, int TimeoutMs = 120000)
{
    QProcess Process;
    Process.setProcessChannelMode(QProcess::MergedChannels);
    Process.start(Program, Args);
    if (!Process.waitForFinished(TimeoutMs) || Process.exitStatus() != QProcess::NormalExit)
        return {-1, Program + " did not finish: " + QString::fromLocal8Bit(Process.readAll())};
    return {Process.exitCode(), QString::fromLocal8Bit(Process.readAll())};
}

// The package tools are those `./run` installs; without them the check cannot be skipped quietly.
QString Tool(const char* Name)
{
    const QString Path = QStandardPaths::findExecutable(QString::fromLatin1(Name));
    if (Path.isEmpty())
        ADD_FAILURE() << Name << " is not installed (./run installs it)";
    return Path;
}
} // namespace

TEST(Package, BuiltUnpackedAndStartedAsAUserGetsIt)
{
    QTemporaryDir Work;
    ASSERT_TRUE(Work.isValid());
    const TRun Pack = RunProgram(MORVEL_CPACK, {"-G", "DEB", "--config", MORVEL_BUILD_DIR "/CPackConfig.cmake", "-B", Work.path()});
    ASSERT_EQ(Pack.ExitCode, 0) << Pack.Output.toStdString();
    const QStringList Debs = QDir(Work.path()).entryList({"*.deb"}, QDir::Files);
    ASSERT_EQ(Debs.size(), 1) << Debs.join(' ').toStdString();
    const QString Deb = Work.path() + "/" + Debs[0];

    // No error and no warning; the overrides the package carries are its own, explained there.
    const QString Lintian = Tool("lintian");
    ASSERT_FALSE(Lintian.isEmpty());
    const TRun Lint = RunProgram(Lintian, {"--fail-on", "error,warning", "--display-info", Deb});
    EXPECT_EQ(Lint.ExitCode, 0) << Lint.Output.toStdString();

    const QString Root = Work.path() + "/root";
    const TRun Unpack = RunProgram("dpkg", {"-x", Deb, Root});
    ASSERT_EQ(Unpack.ExitCode, 0) << Unpack.Output.toStdString();
    const QString Usr = Root + "/usr";

    // The desktop finds the AppStream file by its id, the launcher and the binaries it names.
    const QString AppStream = Tool("appstreamcli");
    ASSERT_FALSE(AppStream.isEmpty());
    const TRun Valid = RunProgram(AppStream, {"validate-tree", "--no-net", Root});
    EXPECT_EQ(Valid.ExitCode, 0) << Valid.Output.toStdString();

    // An icon for every size of the theme, each drawn at that size rather than scaled on the fly.
    for (const int Size : {16, 24, 32, 48, 64, 128, 256}) {
        const QImage Icon(QStringLiteral("%1/share/icons/hicolor/%2x%2/apps/morvel-sms-controller.png").arg(Usr).arg(Size));
        EXPECT_EQ(Icon.size(), QSize(Size, Size)) << Size;
    }

    // Started through the link on the PATH, offscreen: it comes up and keeps running, and its
    // help document lies beside it.
    const QFileInfo Link(Usr + "/bin/morvel-sms-controller");
    ASSERT_TRUE(Link.isSymLink());
    const QFileInfo Program(Link.canonicalFilePath());
    ASSERT_TRUE(Program.isExecutable());
    EXPECT_TRUE(QFileInfo::exists(Program.absolutePath() + "/Help.pdf"));
    QProcess Window;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert("QT_QPA_PLATFORM", "offscreen");
    Window.setProcessEnvironment(Env);
    Window.start(Link.absoluteFilePath(), {});
    ASSERT_TRUE(Window.waitForStarted(5000));
    EXPECT_FALSE(Window.waitForFinished(1500)) << Window.readAllStandardError().toStdString();
    Window.kill();
    Window.waitForFinished(5000);

    // The simulator speaks under the name it is installed by.
    const QString Sim = Usr + "/bin/morvel-relay-sim";
    const TRun Version = RunProgram(Sim, {"--version"}, 5000);
    EXPECT_EQ(Version.ExitCode, 0);
    EXPECT_EQ(Version.Output, QStringLiteral("morvel-relay-sim %1\n").arg(MORVEL_VERSION));
    const TRun Usage = RunProgram(Sim, {"--help"}, 5000);
    EXPECT_EQ(Usage.ExitCode, 0);
    EXPECT_TRUE(Usage.Output.startsWith("usage: morvel-relay-sim [OPTION]...\n")) << Usage.Output.toStdString();
    EXPECT_TRUE(Usage.Output.contains("--version")) << Usage.Output.toStdString();
    const TRun Bad = RunProgram(Sim, {"--bogus"}, 5000);
    EXPECT_EQ(Bad.ExitCode, 2);
    EXPECT_TRUE(Bad.Output.contains("Try morvel-relay-sim --help.")) << Bad.Output.toStdString();

    // The command-line program, with its manual page and its completion for bash.
    const TRun Smsctl = RunProgram(Usr + "/bin/morvel-smsctl", {"--version"}, 5000);
    EXPECT_EQ(Smsctl.Output, QStringLiteral("morvel-smsctl %1\n").arg(MORVEL_VERSION));
    for (const char* File : {"/share/man/man1/morvel-smsctl.1.gz", "/share/bash-completion/completions/morvel-smsctl"})
        EXPECT_TRUE(QFileInfo::exists(Usr + File)) << File;
}
