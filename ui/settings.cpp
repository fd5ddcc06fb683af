#include "settings.h"

#include <QStandardPaths>

QSettings ProgramSettings()
{
    return QSettings(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/morvel-sms-controller/morvel-sms-controller.conf"),
                     QSettings::IniFormat);
}
