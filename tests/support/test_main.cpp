// Every test binary runs inside one application object, as the program does: a binary of a
// layer without windows inside a Qt Core application with the message pump, as morvel-smsctl
// runs; a binary that tests windows also goes through the program's start-up, so it sees the
// skinned windows.
#ifdef MORVEL_CORE_TESTS
#include "core/message_pump.h"

#include <QCoreApplication>
#else
#include "app/application.h"
#endif
#ifdef MORVEL_WINDOW_TESTS
#include "ui/start_up.h"
#endif

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    // What the programs remember (the last port) goes to a folder of the run's own, never into
    // the user's settings; the programs a test starts inherit it.
    QTemporaryDir Config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Config.path()));
    testing::InitGoogleTest(&argc, argv);
    // The run's own settings and data folders: no test reads or writes the user's (an import
    // leaves a copy there), and the programs the tests start inherit them.
    const QTemporaryDir Home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Home.path() + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(Home.path() + QStringLiteral("/data")));
#ifdef MORVEL_CORE_TESTS
    QCoreApplication App(argc, argv);
    TMessagePump Pump;
#else
    TApplication App(argc, argv);
    App.Title = QStringLiteral("Morvel SMS Controller");
#endif
#ifdef MORVEL_WINDOW_TESTS
    PrepareApplication();
#endif
    return RUN_ALL_TESTS();
}
