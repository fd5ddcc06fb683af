// The installed tree: the tool runs from where it is installed and finds Help.pdf beside it.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Install, IntoATemporaryRootTheInstalledToolStartsWithItsHelpBesideIt)
{
    QTemporaryDir Root;
    ASSERT_TRUE(Root.isValid());
    QProcess Install;
    Install.start("cmake", {"--install", MORVEL_BUILD_DIR, "--prefix", Root.path() + "/usr"});
    ASSERT_TRUE(Install.waitForFinished(60000));
    ASSERT_EQ(Install.exitCode(), 0) << Install.readAllStandardError().toStdString();

    const QString Usr = Root.path() + "/usr";
    const QFileInfo Link(Usr + "/bin/morvel-sms-controller");
    ASSERT_TRUE(Link.isSymLink());
    const QFileInfo Program(Link.canonicalFilePath());
    ASSERT_TRUE(Program.isExecutable());
    EXPECT_TRUE(QFileInfo::exists(Program.absolutePath() + "/Help.pdf"));
    for (const char* File : {"/share/applications/morvel-sms-controller.desktop",
                             "/share/icons/hicolor/scalable/apps/morvel-sms-controller.svg",
                             "/share/metainfo/morvel-sms-controller.metainfo.xml", "/bin/relay-sim",
                             "/bin/morvel-smsctl", "/share/bash-completion/completions/morvel-smsctl"})
        EXPECT_TRUE(QFileInfo::exists(Usr + File)) << File;

    // Started through the link on the PATH, offscreen: it comes up and keeps running.
    QProcess Tool;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert("QT_QPA_PLATFORM", "offscreen");
    Tool.setProcessEnvironment(Env);
    Tool.start(Link.absoluteFilePath(), {});
    ASSERT_TRUE(Tool.waitForStarted(5000));
    EXPECT_FALSE(Tool.waitForFinished(1500)) << Tool.readAllStandardError().toStdString();
    Tool.kill();
    Tool.waitForFinished(5000);
}
