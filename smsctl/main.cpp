// morvel-smsctl: the relay controller's configuration from the command line. No windows: the
// device exchange and the serial component run under a core application object.
#include "core/message_pump.h"
#include "smsctl/smsctl.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication App(argc, argv);
    TMessagePump Pump;
    QStringList Args = QCoreApplication::arguments();
    Args.removeFirst();
    return RunSmsctl(Args);
}
