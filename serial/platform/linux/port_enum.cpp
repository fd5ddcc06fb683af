// The Linux walks behind the port list: sysfs, /dev and the per-user folder, read without opening
// any port.
#include "serial/platform/port_enum.h"

#include "core/exceptions.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ComPlatform {

namespace {
struct TDirEntry
{
    QString Name;
    unsigned char Type; // readdir's d_type; DT_UNKNOWN when the file system does not tell
};

// The names in Folder, unsorted. A folder that is missing or cannot be opened holds nothing:
// like a registry key that is absent, it simply contributes no ports.
std::vector<TDirEntry> ReadFolder(const QString& Folder)
{
    std::vector<TDirEntry> Entries;
    std::unique_ptr<DIR, int (*)(DIR*)> Dir(::opendir(QFile::encodeName(Folder).constData()),
                                           &::closedir);
    if (!Dir)
        return Entries;
    while (const dirent* Entry = ::readdir(Dir.get())) {
        const QString Name = QFile::decodeName(Entry->d_name);
        if (Name != QLatin1String(".") && Name != QLatin1String(".."))
            Entries.push_back({Name, Entry->d_type});
    }
    return Entries;
}

void SortNatural(std::vector<TDirEntry>& Entries)
{
    std::sort(Entries.begin(), Entries.end(),
              [](const TDirEntry& A, const TDirEntry& B) { return NaturalLess(A.Name, B.Name); });
}

// The canonical path of what Path names, or an empty text when it does not exist.
QString Resolve(const QString& Path, bool& Missing)
{
    std::unique_ptr<char, void (*)(void*)> Real(
        ::realpath(QFile::encodeName(Path).constData(), nullptr), &std::free);
    Missing = !Real && (errno == ENOENT || errno == ENOTDIR);
    return Real ? QFile::decodeName(Real.get()) : QString();
}

// Where the link Folder/Entry points, fully resolved. Empty when the entry is no symlink, or a
// link that leads nowhere: dangling (a stale virtual port is no device), a loop, or out of
// reach. Such a link is one port less, never the end of the list.
QString LinkTarget(const QString& Folder, const TDirEntry& Entry)
{
    const QString Path = Folder + u'/' + Entry.Name;
    if (Entry.Type != DT_LNK) {
        if (Entry.Type != DT_UNKNOWN)
            return {};
        struct stat Info;
        if (::lstat(QFile::encodeName(Path).constData(), &Info) != 0 || !S_ISLNK(Info.st_mode))
            return {};
    }
    bool Missing = false;
    return Resolve(Path, Missing);
}

bool Exists(const QString& Path)
{
    struct stat Info;
    return ::stat(QFile::encodeName(Path).constData(), &Info) == 0;
}

QString FileText(const QString& Path)
{
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(File.readAll()).trimmed();
}

// The name of the driver that serves a tty. Since Linux 6.5 the serial core puts devices of its
// own (bus serial-base, drivers "port" and "ctrl") between a UART's tty and the UART's device,
// so the walk goes up past them to the device whose driver is the UART's.
QString DriverOf(const QString& TtyEntry)
{
    bool Missing = false;
    QString Device = Resolve(TtyEntry + QStringLiteral("/device"), Missing);
    for (int Step = 0; Step < 4 && !Device.isEmpty(); ++Step) {
        const QString Bus =
            QFileInfo(Resolve(Device + QStringLiteral("/subsystem"), Missing)).fileName();
        if (Bus != QLatin1String("serial-base"))
            break;
        const QString Parent = QFileInfo(Device).path();
        if (!Exists(Parent + QStringLiteral("/driver")))
            break;
        Device = Parent;
    }
    if (Device.isEmpty())
        return {};
    return QFileInfo(Resolve(Device + QStringLiteral("/driver"), Missing)).fileName();
}

// An 8250-family port whose UART type is 0 (PORT_UNKNOWN) is a legacy slot the driver reserves
// whether or not a chip answers there; only the ones with a UART behind them are ports. The
// family is told by the 8250 driver's device name ttyS, or by the driver's own name.
bool IsEmpty8250Slot(const QString& TtyEntry, const QString& Name)
{
    const QString Driver = DriverOf(TtyEntry);
    const bool Is8250 =
        Name.startsWith(QLatin1String("ttyS")) || Driver.contains(QLatin1String("8250"));
    return Is8250 && FileText(TtyEntry + QStringLiteral("/type")) == QLatin1String("0");
}

// The USB device a tty hangs off: the nearest folder above the tty's device that carries the
// vendor and product ids, not above SysDevices.
QString UsbDeviceOf(const QString& TtyEntry, const TSerialDeviceRoots& Roots)
{
    bool Missing = false;
    QString Folder = Resolve(TtyEntry + QStringLiteral("/device"), Missing);
    QString Top = Resolve(Roots.SysDevices, Missing);
    if (Top.isEmpty())
        Top = Roots.SysDevices;
    while (!Folder.isEmpty() && Folder.startsWith(Top + u'/')) {
        if (Exists(Folder + QStringLiteral("/idVendor")) &&
            Exists(Folder + QStringLiteral("/idProduct")))
            return Folder;
        Folder = QFileInfo(Folder).path();
    }
    return {};
}

bool IsPseudoTerminal(const QString& Target, const QString& PtsFolder)
{
    const QFileInfo Info(Target);
    const QString Name = Info.fileName();
    return Info.path() == PtsFolder && !Name.isEmpty() &&
           std::all_of(Name.begin(), Name.end(), [](QChar C) { return C.isDigit(); });
}
} // namespace

QString UntrustedFolder(const QString& Folder)
{
    const uid_t User = ::getuid();
    struct stat Place;
    const QByteArray PlacePath = QFile::encodeName(QFileInfo(Folder).absolutePath());
    if (::stat(PlacePath.constData(), &Place) != 0)
        return {}; // no place, no folder
    if (Place.st_uid != User && Place.st_uid != 0)
        return QStringLiteral("%1 lies in a folder of another user").arg(Folder);
    const bool Shared = Place.st_mode & (S_IWGRP | S_IWOTH);
    if (!Shared)
        return {}; // only this user (or root) can put anything there
    if (!(Place.st_mode & S_ISVTX))
        return QStringLiteral("%1 lies in a folder where anyone may replace it").arg(Folder);
    struct stat Info;
    if (::lstat(QFile::encodeName(Folder).constData(), &Info) != 0)
        return {};
    if (S_ISLNK(Info.st_mode))
        return QStringLiteral("%1 is a link").arg(Folder);
    if (!S_ISDIR(Info.st_mode))
        return QStringLiteral("%1 is not a folder").arg(Folder);
    if (Info.st_uid != User)
        return QStringLiteral("%1 belongs to another user").arg(Folder);
    if (Info.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("%1 is writable by other users").arg(Folder);
    return {};
}

void AddHardwarePorts(const TAddPort& Add, const TSerialDeviceRoots& Roots)
{
    std::vector<TDirEntry> Entries = ReadFolder(Roots.SysClassTty);
    SortNatural(Entries);
    for (const TDirEntry& Entry : Entries) {
        const QString TtyEntry = Roots.SysClassTty + u'/' + Entry.Name;
        const QString Node = Roots.Dev + u'/' + Entry.Name;
        // Virtual terminals, consoles and pseudo-terminals have no driver-bound device.
        if (!Exists(TtyEntry + QStringLiteral("/device/driver")) ||
            IsEmpty8250Slot(TtyEntry, Entry.Name))
            continue;
        if (Exists(Node))
            Add(Node);
    }
}

void AddPseudoTerminalLinks(const TAddPort& Add, const TSerialDeviceRoots& Roots)
{
    bool Missing = false;
    QString Dev = Resolve(Roots.Dev, Missing);
    if (Dev.isEmpty())
        Dev = Roots.Dev;
    const QString PtsFolder = Dev + QStringLiteral("/pts");
    std::vector<TDirEntry> Entries = ReadFolder(Roots.Dev);
    SortNatural(Entries);
    for (const TDirEntry& Entry : Entries) {
        if (!Entry.Name.startsWith(QLatin1String("tty")))
            continue;
        const QString Target = LinkTarget(Roots.Dev, Entry);
        if (!Target.isEmpty() && IsPseudoTerminal(Target, PtsFolder))
            Add(Roots.Dev + u'/' + Entry.Name);
    }
}

void AddUserPortLinks(const TAddPort& Add, const TSerialDeviceRoots& Roots)
{
    std::vector<TDirEntry> Entries = ReadFolder(Roots.UserPorts);
    SortNatural(Entries);
    for (const TDirEntry& Entry : Entries)
        if (!LinkTarget(Roots.UserPorts, Entry).isEmpty())
            Add(Roots.UserPorts + u'/' + Entry.Name);
}

QStringList StableNames(const QString& Node, const TSerialDeviceRoots& Roots)
{
    const QString Folder = Roots.Dev + QStringLiteral("/serial/by-id");
    std::vector<TDirEntry> Entries = ReadFolder(Folder);
    SortNatural(Entries);
    bool Missing = false;
    const QString Target = Resolve(Node, Missing);
    QStringList Names;
    for (const TDirEntry& Entry : Entries) {
        const QString Link = Folder + u'/' + Entry.Name;
        if (!Target.isEmpty() && Resolve(Link, Missing) == Target)
            Names << Link;
    }
    return Names;
}

bool IsCharacterDevice(const QString& Path)
{
    struct stat Info;
    return !Path.isEmpty() && ::stat(QFile::encodeName(Path).constData(), &Info) == 0 &&
           S_ISCHR(Info.st_mode);
}

QString DescribePort(const QString& Port, const TSerialDeviceRoots& Roots)
{
    QStringList Facts;
    const QString Name = QFileInfo(Port).fileName();
    const QString TtyEntry = Roots.SysClassTty + u'/' + Name;
    if (QFileInfo(Port).path() == Roots.Dev && Exists(TtyEntry + QStringLiteral("/device/driver"))) {
        if (const QString Usb = UsbDeviceOf(TtyEntry, Roots); !Usb.isEmpty()) {
            const std::pair<const char*, const char*> Texts[] = {
                {"Manufacturer", "manufacturer"}, {"Product", "product"}, {"Serial number", "serial"}};
            for (const auto& [Label, File] : Texts)
                if (const QString Value = FileText(Usb + u'/' + QLatin1String(File)); !Value.isEmpty())
                    Facts << QStringLiteral("%1: %2").arg(QLatin1String(Label), Value);
            Facts << QStringLiteral("VID:PID: %1:%2")
                         .arg(FileText(Usb + QStringLiteral("/idVendor")),
                              FileText(Usb + QStringLiteral("/idProduct")));
        }
        for (const QString& Stable : StableNames(Port, Roots))
            Facts << QStringLiteral("Stable name: %1").arg(Stable);
        if (const QString Driver = DriverOf(TtyEntry); !Driver.isEmpty())
            Facts << QStringLiteral("Driver: %1").arg(Driver);
        return Facts.join(u'\n');
    }
    bool Missing = false;
    const QString Target = Resolve(Port, Missing);
    if (!Target.isEmpty() && Target != Port)
        Facts << QStringLiteral("Virtual port: %1").arg(Target);
    return Facts.join(u'\n');
}

} // namespace ComPlatform
