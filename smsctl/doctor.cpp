#include "doctor.h"

#include "box_session.h"

#include "serial/port_list.h"
#include "serial/port_reason.h"

#include <QDir>
#include <QFileInfo>

namespace {

enum class TVerdict { Ok, Warning, Problem };

// USB-serial chips that relay controllers' cables carry and that brltty's rules also take.
const QStringList CommonAdapters = {
    QStringLiteral("0403:6001"), // FTDI FT232R
    QStringLiteral("10c4:ea60"), // Silicon Labs CP210x
    QStringLiteral("1a86:7523"), // WCH CH340
    QStringLiteral("067b:2303"), // Prolific PL2303
};

class TDoctor
{
public:
    explicit TDoctor(FILE* Output) : FOutput(Output) {}

    void Line(TVerdict Verdict, const QString& Text)
    {
        static const char* const Words[] = {"ok", "warning", "problem"};
        std::fprintf(FOutput, "%-8s %s\n", Words[int(Verdict)], qPrintable(Text));
        FBlocked = FBlocked || Verdict == TVerdict::Problem;
    }

    void CheckPort(const QString& Port, qint64 ModemManager)
    {
        const TPortAccess Access = PortAccess(Port);
        if (Access.Node.isEmpty()) {
            Line(TVerdict::Problem, Port + QStringLiteral(": not there (unplugged?); plug the adapter in, "
                                                          "then morvel-smsctl ports lists it"));
            return;
        }
        const QString Node = QStringLiteral("(group %1, mode %2)")
                                 .arg(Access.Group)
                                 .arg(Access.Mode, 4, 8, QLatin1Char('0'));
        if (Access.CanUse)
            Line(TVerdict::Ok, QStringLiteral("%1: you may open it %2").arg(Port, Node));
        else
            Line(TVerdict::Problem, Port + QStringLiteral(": ") + AccessAdvice(Access));

        const QList<TPortHolder> Holders = PortHolders(Port);
        if (Holders.isEmpty())
            Line(TVerdict::Ok, Port + QStringLiteral(": no other program holds it"));
        else
            Line(TVerdict::Problem, Port + QStringLiteral(": ") + HolderAdvice(Port, Holders));

        // Pseudo-terminals are no hardware: no modem manager probes them, no bus suspends them.
        if (Access.Node.startsWith(QLatin1String("/dev/pts/")))
            return;
        const TUsbPower Usb = UsbPower(Port);
        if (ModemManager) {
            const QMap<QString, QString> Udev = UdevProperties(Port);
            if (Udev.value(QStringLiteral("ID_MM_DEVICE_IGNORE")) == QLatin1String("1") ||
                Udev.value(QStringLiteral("ID_MM_PORT_IGNORE")) == QLatin1String("1"))
                Line(TVerdict::Ok, Port + QStringLiteral(": ModemManager leaves it alone (udev marks it ID_MM_DEVICE_IGNORE)"));
            else if (!Udev.isEmpty() && Udev.value(QStringLiteral("ID_MM_CANDIDATE")) != QLatin1String("1"))
                Line(TVerdict::Ok, Port + QStringLiteral(": ModemManager leaves it alone (udev does not mark it ID_MM_CANDIDATE)"));
            else
                Line(TVerdict::Warning,
                     QStringLiteral("%1: ModemManager (pid %2) may probe it for a modem when it appears, writing "
                                    "AT commands to the box; keep it off this adapter with a udev rule "
                                    "%3ENV{ID_MM_DEVICE_IGNORE}=\"1\", or stop it: sudo systemctl stop ModemManager")
                         .arg(Port)
                         .arg(ModemManager)
                         .arg(Usb.Id.isEmpty() ? QString()
                                               : QStringLiteral("ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\", ")
                                                     .arg(Usb.Id.section(u':', 0, 0), Usb.Id.section(u':', 1))));
        }
        if (Usb.Control == QLatin1String("auto"))
            Line(TVerdict::Warning, QStringLiteral("%1: its USB adapter may be suspended when idle (power/control is "
                                                   "auto); keep it awake: echo on | sudo tee %2/power/control")
                                        .arg(Port, Usb.Device));
        else if (!Usb.Control.isEmpty())
            Line(TVerdict::Ok, Port + QStringLiteral(": its USB adapter is kept awake (power/control is ") + Usb.Control + u')');
        if (!Usb.Id.isEmpty())
            FUsbIds.insert(Usb.Id, Port);
    }

    void CheckBrltty()
    {
        const TBrltty Brltty = ::Brltty();
        if (Brltty.Program.isEmpty()) {
            Line(TVerdict::Ok, QStringLiteral("brltty is not installed"));
            return;
        }
        QStringList Present, Common;
        for (auto It = FUsbIds.cbegin(); It != FUsbIds.cend(); ++It)
            if (Brltty.ClaimedIds.contains(It.key()))
                Present << QStringLiteral("%1 (%2)").arg(It.value(), It.key());
        for (const QString& Id : CommonAdapters)
            if (Brltty.ClaimedIds.contains(Id))
                Common << Id;
        const QString Remove = QStringLiteral("without a braille display remove it: sudo apt remove brltty");
        if (!Present.isEmpty())
            Line(TVerdict::Warning, QStringLiteral("brltty (%1) is installed and its udev rules take %2 for a braille "
                                                   "display, so it may seize the adapter when it is plugged in; %3")
                                        .arg(Brltty.Program, Present.join(QStringLiteral(", ")), Remove));
        else if (!Common.isEmpty())
            Line(TVerdict::Warning, QStringLiteral("brltty (%1) is installed and its udev rules take USB-serial "
                                                   "adapters (%2) for braille displays: such an adapter vanishes "
                                                   "right after it is plugged in; %3")
                                        .arg(Brltty.Program, Common.join(QStringLiteral(", ")), Remove));
        else
            Line(TVerdict::Ok, QStringLiteral("brltty (%1) is installed but claims no USB-serial adapter").arg(Brltty.Program));
    }

    void CheckPortFolder()
    {
        const QString Folder = UserPortFolder();
        if (const QString Why = UntrustedPortFolder(Folder); !Why.isEmpty()) {
            Line(TVerdict::Problem, QStringLiteral("%1: %2; virtual ports registered there are ignored").arg(Folder, Why));
            return;
        }
        if (!QFileInfo(Folder).isDir()) {
            Line(TVerdict::Ok, Folder + QStringLiteral(": no virtual port registered (relay-sim registers its port here)"));
            return;
        }
        const int Links = int(QDir(Folder).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot).size());
        Line(TVerdict::Ok, QStringLiteral("%1: the per-user port folder, %2 port%3 registered")
                               .arg(Folder)
                               .arg(Links)
                               .arg(Links == 1 ? "" : "s"));
    }

    bool Blocked() const { return FBlocked; }

private:
    FILE* FOutput;
    bool FBlocked = false;
    QMap<QString, QString> FUsbIds; // VID:PID to the port it serves
};

// A path as given; a bare name as the listed port of that name, or under /dev.
QString PortPath(const QString& Name, const QStringList& Listed)
{
    if (Name.contains(u'/'))
        return Name;
    for (const QString& Port : Listed)
        if (QFileInfo(Port).fileName() == Name)
            return Port;
    return QStringLiteral("/dev/") + Name;
}

} // namespace

int RunDoctor(const QStringList& Args, FILE* Output)
{
    if (Args.size() > 1 || (!Args.isEmpty() && Args[0].startsWith(u'-')))
        throw ESmsctl(esUsage, QStringLiteral("usage: morvel-smsctl doctor [PORT]"));
    QStringList Listed;
    try {
        EnumSerialPorts([&](const QString& Port) { Listed << Port; });
    } catch (const Exception& Error) {
        throw ESmsctl(esPortFailed, Error.Message());
    }
    TDoctor Doctor(Output);
    const QStringList Ports = Args.isEmpty() ? Listed : QStringList{PortPath(Args[0], Listed)};
    if (Ports.isEmpty())
        Doctor.Line(TVerdict::Warning, QStringLiteral("no serial port found: plug the adapter in (lsusb shows "
                                                      "whether the system sees it)"));
    const qint64 ModemManager = RunningProgram(QStringLiteral("ModemManager"));
    for (const QString& Port : Ports)
        Doctor.CheckPort(Port, ModemManager);
    if (!ModemManager)
        Doctor.Line(TVerdict::Ok, QStringLiteral("ModemManager is not running"));
    Doctor.CheckBrltty();
    Doctor.CheckPortFolder();
    return Doctor.Blocked() ? 1 : 0;
}
