// A second instance of the tool in its own process: it presses Connect on the port given as
// its argument and prints every box it is shown ("<object name>|<text>", each line break as
// "\n") and the caption the Connect button ends with.
#include "app/application.h"
#include "device/link_state.h"
#include "tests/support/box_watcher.h"
#include "tests/support/program_forms.h"

#include <QTest>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_second_instance PORT\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication App(argc, argv);
    ShowProgramForms();
    SelectedPort = QString::fromLocal8Bit(argv[1]);
    TBoxWatcher Boxes([](const TSeenBox& Box) {
        std::printf("%s|%s\n", qPrintable(Box.ObjectName),
                    qPrintable(QString(Box.Text).replace(u'\n', QStringLiteral("\\n"))));
    });
    QTest::mouseClick(Form4->findChild<QWidget*>(QStringLiteral("sSpeedButton2")), Qt::LeftButton);
    std::printf("caption|%s\n", qPrintable(Form4->ConnectCaption()));
    std::fflush(stdout);
    Application->Terminate();
    return 0;
}
