#include "port_reason.h"

#include "serial/platform/serial_device.h"

#include <cerrno>

namespace {
QString OctalMode(unsigned Mode) { return QStringLiteral("%1").arg(Mode, 4, 8, QLatin1Char('0')); }
} // namespace

bool DeviceGone(int Error)
{
    return Error == ENOENT || Error == ENODEV || Error == ENXIO || Error == EIO;
}

QString AccessAdvice(const TPortAccess& Access)
{
    if (Access.CanUse)
        return QStringLiteral("you may use it");
    if (Access.Node.isEmpty())
        return QStringLiteral("permission refused on a folder on its way; ask the administrator");
    const QString Node = QStringLiteral("(owner %1, group %2, mode %3)")
                             .arg(Access.Owner, Access.Group, OctalMode(Access.Mode));
    if ((Access.Mode & 060) != 060)
        return QStringLiteral("only its owner %1 may read and write it %2: ask the administrator for "
                              "a udev rule such as KERNEL==\"%3\", GROUP=\"dialout\", MODE=\"0660\"")
            .arg(Access.Owner, Node, Access.Node.section(u'/', -1));
    if (Access.InGroup)
        return QStringLiteral("permission refused although you are in its group %1 %2: a security "
                              "module or an access list refuses it; ask the administrator")
            .arg(Access.Group, Node);
    if (Access.GroupListsUser)
        return QStringLiteral("you joined its group %1 after logging in, and this session does not "
                              "have it yet: log out and back in")
            .arg(Access.Group);
    return QStringLiteral("permission refused: the port belongs to group %1 and you are not in it; "
                          "join it with: sudo usermod -aG %1 $USER, then log out and back in")
        .arg(Access.Group);
}

QString StopAdvice(const QString& Program)
{
    if (Program == QLatin1String("ModemManager"))
        return QStringLiteral("ModemManager probes serial ports for modems; stop it with: sudo "
                              "systemctl stop ModemManager (or keep it off for good: sudo systemctl "
                              "disable --now ModemManager)");
    if (Program.startsWith(QLatin1String("brltty")))
        return QStringLiteral("brltty, the braille display driver, takes USB-serial adapters; "
                              "without a braille display remove it: sudo apt remove brltty");
    return {};
}

QString HolderAdvice(const QString& Port, const QList<TPortHolder>& Holders)
{
    if (Holders.isEmpty()) {
        for (const char* Known : {"ModemManager", "brltty"})
            if (const qint64 Pid = RunningProgram(QString::fromLatin1(Known)))
                return QStringLiteral("another program holds it, probably %1; %2")
                    .arg(DescribePortHolders({{Pid, QString::fromLatin1(Known)}}),
                         StopAdvice(QString::fromLatin1(Known)));
        return QStringLiteral("another program holds it (sudo fuser -v %1 names it); close that "
                              "program and try again")
            .arg(Port);
    }
    QString Text = QStringLiteral("held by %1").arg(DescribePortHolders(Holders));
    for (const TPortHolder& Holder : Holders)
        if (const QString Stop = StopAdvice(Holder.Program); !Stop.isEmpty())
            return Text + QStringLiteral("; ") + Stop;
    return Text + QStringLiteral("; close that program (or end it: kill %1) and try again").arg(Holders.first().Pid);
}

QString PortFailureReason(const QString& Port, int Error)
{
    QString Reason;
    if (Error == EACCES || Error == EPERM) {
        TPortAccess Access = PortAccess(Port);
        Access.CanUse = false; // refused, whatever the mode says now
        Reason = AccessAdvice(Access) + u'.' + QString::fromLatin1(DoctorHint);
    } else if (Error == EBUSY) {
        Reason = HolderAdvice(Port, PortHolders(Port)) + QStringLiteral(".") + QString::fromLatin1(DoctorHint);
    } else if (DeviceGone(Error)) {
        Reason = QStringLiteral("the adapter is not there any more (unplugged?); plug it back in and connect again.");
    } else if (Error == ETIMEDOUT) {
        Reason = QStringLiteral("no box answered; check the box's power and cable.");
    } else {
        Reason = ComPlatform::SystemErrorText(Error) + u'.';
    }
    return Port + QStringLiteral(": ") + Reason;
}
