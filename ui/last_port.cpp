#include "last_port.h"

#include "serial/port_list.h"

#include "settings.h"

#include <QFileInfo>

namespace {
const QString LastPortKey = QStringLiteral("Port/Last");

} // namespace

void RememberLastPort(const QString& Port)
{
    if (Port.isEmpty())
        return;
    const QStringList Stable = StableSerialPortNames(Port);
    const QString Key = Stable.isEmpty() ? Port : Stable.front();
    QSettings Store = ProgramSettings();
    if (Store.value(LastPortKey).toString() != Key) // most connects are to the same port again
        Store.setValue(LastPortKey, Key);
}

QString LastPort() { return ProgramSettings().value(LastPortKey).toString(); }

bool SamePort(const QString& Entry, const QString& Remembered)
{
    if (Entry.isEmpty() || Remembered.isEmpty())
        return false;
    if (Entry == Remembered)
        return true;
    const QString Device = QFileInfo(Remembered).canonicalFilePath();
    return !Device.isEmpty() && QFileInfo(Entry).canonicalFilePath() == Device;
}
