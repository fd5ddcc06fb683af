#include "port_facts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QString ReadAttribute(const QString& Folder, const char* Name)
{
    QFile File(Folder + u'/' + QLatin1String(Name));
    if (!File.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(File.readAll()).trimmed();
}
} // namespace

TPortFacts PortFacts(const QString& Port, const TSerialDeviceRoots& Roots)
{
    TPortFacts Facts;
    const QString Node = QFileInfo(Port).canonicalFilePath();
    if (Node.isEmpty())
        return Facts;
    // The tty's device in sysfs; the USB device is the nearest folder above it with an idVendor.
    QString Device = QFileInfo(Roots.SysClassTty + u'/' + QFileInfo(Node).fileName() + QStringLiteral("/device"))
                         .canonicalFilePath();
    for (int Depth = 0; !Device.isEmpty() && Depth < 4; ++Depth) {
        if (QFileInfo::exists(Device + QStringLiteral("/idVendor"))) {
            Facts.Manufacturer = ReadAttribute(Device, "manufacturer");
            Facts.Product = ReadAttribute(Device, "product");
            Facts.SerialNumber = ReadAttribute(Device, "serial");
            Facts.VendorId = ReadAttribute(Device, "idVendor");
            Facts.ProductId = ReadAttribute(Device, "idProduct");
            break;
        }
        Device = QFileInfo(Device).path();
    }
    const QDir ById(Roots.Dev + QStringLiteral("/serial/by-id"));
    for (const QFileInfo& Link : ById.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
        if (Link.isSymLink() && Link.canonicalFilePath() == Node)
            Facts.ById << Link.absoluteFilePath();
    return Facts;
}

QString PortFactsText(const TPortFacts& Facts)
{
    QStringList Parts;
    const QString Name = QStringList{Facts.Manufacturer, Facts.Product}.join(u' ').trimmed();
    if (!Name.isEmpty())
        Parts << Name;
    if (!Facts.SerialNumber.isEmpty())
        Parts << QStringLiteral("serial ") + Facts.SerialNumber;
    if (!Facts.VendorId.isEmpty())
        Parts << Facts.VendorId + u':' + Facts.ProductId;
    return Parts.join(QStringLiteral(", "));
}
