#include "last_port.h"

#include "serial/port_list.h"

#include <QFileInfo>
#include <QSettings>

namespace {
const QString LastPortKey = QStringLiteral("Port/Last");

QSettings Settings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope,
                     QStringLiteral("morvel-sms-controller"),
                     QStringLiteral("morvel-sms-controller"));
}
} // namespace

void RememberLastPort(const QString& Port)
{
    if (Port.isEmpty())
        return;
    const QStringList Stable = StableSerialPortNames(Port);
    QSettings Store = Settings();
    Store.setValue(LastPortKey, Stable.isEmpty() ? Port : Stable.front());
}

QString LastPort() { return Settings().value(LastPortKey).toString(); }

bool SamePort(const QString& Entry, const QString& Remembered)
{
    if (Entry.isEmpty() || Remembered.isEmpty())
        return false;
    if (Entry == Remembered)
        return true;
    const QString Device = QFileInfo(Remembered).canonicalFilePath();
    return !Device.isEmpty() && QFileInfo(Entry).canonicalFilePath() == Device;
}
