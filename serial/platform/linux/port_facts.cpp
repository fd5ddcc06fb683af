// The Linux facts behind a port's failures: the lock file, /proc's open descriptors, the node's
// group. Read without opening the port.
#include "serial/platform/port_facts.h"
#include "serial/port_facts.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace ComPlatform {

namespace {
using TDirPtr = std::unique_ptr<DIR, int (*)(DIR*)>;

TDirPtr OpenFolder(const char* Path) { return TDirPtr(::opendir(Path), &::closedir); }

// A whole number spelled by all of Text, or -1.
long long Number(const char* Text)
{
    if (!*Text || !std::all_of(Text, Text + std::strlen(Text), [](char C) { return C >= '0' && C <= '9'; }))
        return -1;
    return std::strtoll(Text, nullptr, 10);
}

// A small file's first line, without its break; empty when it cannot be read.
QString FirstLine(const QString& Path)
{
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(File.readLine(4096)).trimmed();
}

// Whether the descriptor Name in the open folder Fds (a process's /proc/PID/fd) is the device
// Device. The link is followed with stat(), which opens nothing.
bool OpensDevice(int Fds, const char* Name, dev_t Device)
{
    char Target[64];
    const ssize_t N = ::readlinkat(Fds, Name, Target, sizeof Target - 1);
    if (N <= 0 || Target[0] != '/')
        return false; // sockets, pipes, anonymous inodes
    struct stat Node;
    return ::fstatat(Fds, Name, &Node, 0) == 0 && S_ISCHR(Node.st_mode) && Node.st_rdev == Device;
}

// The index of a pseudo-terminal whose terminal side Node is (/dev/pts/N); -1 for other nodes.
int PtyIndex(const struct stat& Node)
{
    const unsigned Major = major(Node.st_rdev);
    return Major >= 136 && Major <= 143 ? int((Major - 136) * 256 + minor(Node.st_rdev)) : -1;
}

// Whether the descriptor Name of process Pid, open in Fds, is the master of pseudo-terminal
// Index: a program holding it is the line's far end (a simulator), not a holder of the port.
bool OpensMaster(long long Pid, int Fds, const char* Name, int Index)
{
    char Target[64];
    const ssize_t N = ::readlinkat(Fds, Name, Target, sizeof Target - 1);
    if (Index < 0 || N <= 0)
        return false;
    Target[N] = 0;
    if (std::strcmp(Target, "/dev/ptmx") != 0 && std::strcmp(Target, "/dev/pts/ptmx") != 0)
        return false;
    QFile Info(QStringLiteral("/proc/%1/fdinfo/%2").arg(Pid).arg(QLatin1String(Name)));
    if (!Info.open(QIODevice::ReadOnly))
        return false;
    // Files in /proc tell no size, so atEnd() holds from the start: read them whole.
    for (const QByteArray& Line : Info.read(4096).split('\n'))
        if (Line.startsWith("tty-index:"))
            return Line.mid(10).trimmed().toInt() == Index;
    return false;
}

// The processes that hold a lock (flock, fcntl) on the node Node, from /proc/locks:
// "1: FLOCK  ADVISORY  WRITE 812 00:05:123 0 EOF", the device in hexadecimal.
std::vector<long long> LockHolders(const struct stat& Node)
{
    std::vector<long long> Pids;
    QFile Locks(QStringLiteral("/proc/locks"));
    if (!Locks.open(QIODevice::ReadOnly))
        return Pids;
    for (const QByteArray& Line : Locks.readAll().split('\n')) {
        const QList<QByteArray> Fields = Line.simplified().split(' ');
        if (Fields.size() < 6 || Fields[1] == "->")
            continue; // a waiter's line
        const QList<QByteArray> File = Fields[5].split(':');
        bool Ok = File.size() == 3;
        const unsigned Major = Ok ? File[0].toUInt(&Ok, 16) : 0;
        const unsigned Minor = Ok ? File[1].toUInt(&Ok, 16) : 0;
        const unsigned long long Inode = Ok ? File[2].toULongLong(&Ok) : 0;
        const long long Pid = Fields[4].toLongLong();
        if (Ok && Pid > 0 && makedev(Major, Minor) == Node.st_dev && Inode == Node.st_ino)
            Pids.push_back(Pid);
    }
    return Pids;
}
} // namespace

std::string LockPath(const QByteArray& Path)
{
    std::unique_ptr<char, void (*)(void*)> Real(::realpath(Path.constData(), nullptr), &std::free);
    if (!Real)
        return {};
    std::string Name = Real.get();
    if (Name.rfind("/dev/", 0) == 0)
        Name.erase(0, 5);
    else
        Name.erase(0, Name.rfind('/') + 1);
    std::replace(Name.begin(), Name.end(), '/', '_');
    return std::string(LockFolder) + "/LCK.." + Name;
}

pid_t LockOwner(int Fd)
{
    char Text[32] = {};
    ssize_t N;
    while ((N = ::pread(Fd, Text, sizeof Text - 1, 0)) < 0 && errno == EINTR) {
    }
    char* End = nullptr;
    const long Pid = N > 0 ? std::strtol(Text, &End, 10) : 0;
    return Pid > 0 && End != Text ? pid_t(Pid) : 0;
}

bool Alive(pid_t Pid) { return Pid > 0 && (::kill(Pid, 0) == 0 || errno == EPERM); }

QString ProgramName(qint64 Pid)
{
    // The kernel keeps 15 characters of a name ("morvel-sms-cont"); the command line has it
    // whole, when it starts the same way.
    const QString Name = FirstLine(QStringLiteral("/proc/%1/comm").arg(Pid));
    if (Name.size() < 15)
        return Name;
    QFile CommandLine(QStringLiteral("/proc/%1/cmdline").arg(Pid));
    if (!CommandLine.open(QIODevice::ReadOnly))
        return Name;
    const QString Whole = QFile::decodeName(CommandLine.read(4096).split('\0').first()).section(u'/', -1);
    return Whole.startsWith(Name) ? Whole : Name;
}

QList<TPortHolder> PortHolders(const QString& Port)
{
    const QByteArray Path = QFile::encodeName(Port);
    struct stat Node;
    if (::stat(Path.constData(), &Node) != 0 || !S_ISCHR(Node.st_mode))
        return {};
    QList<TPortHolder> Holders;
    auto Add = [&](qint64 Pid) {
        if (Pid == ::getpid() ||
            std::any_of(Holders.begin(), Holders.end(), [Pid](const TPortHolder& H) { return H.Pid == Pid; }))
            return;
        Holders.append({Pid, ProgramName(Pid)});
    };

    if (const std::string Lock = LockPath(Path); !Lock.empty()) {
        int Fd;
        while ((Fd = ::open(Lock.c_str(), O_RDONLY | O_CLOEXEC)) < 0 && errno == EINTR) {
        }
        if (Fd >= 0) {
            const pid_t Owner = LockOwner(Fd);
            ::close(Fd);
            if (Alive(Owner))
                Add(Owner);
        }
    }

    for (const long long Pid : LockHolders(Node))
        Add(Pid);

    // Other users' descriptors are closed to this user (EACCES) unless it is root.
    const int Index = PtyIndex(Node);
    TDirPtr Processes = OpenFolder("/proc");
    while (Processes) {
        const dirent* Entry = ::readdir(Processes.get());
        if (!Entry)
            break;
        const long long Pid = Number(Entry->d_name);
        if (Pid <= 0)
            continue;
        TDirPtr Fds = OpenFolder(("/proc/" + std::string(Entry->d_name) + "/fd").c_str());
        if (!Fds)
            continue;
        bool Opens = false, FarEnd = false;
        while (const dirent* Fd = ::readdir(Fds.get())) {
            if (Number(Fd->d_name) < 0)
                continue;
            Opens = Opens || OpensDevice(::dirfd(Fds.get()), Fd->d_name, Node.st_rdev);
            FarEnd = FarEnd || OpensMaster(Pid, ::dirfd(Fds.get()), Fd->d_name, Index);
        }
        if (Opens && !FarEnd)
            Add(Pid);
    }
    std::sort(Holders.begin(), Holders.end(), [](const TPortHolder& A, const TPortHolder& B) { return A.Pid < B.Pid; });
    return Holders;
}

} // namespace ComPlatform

// ---- the public facts (serial/port_facts.h)

namespace ComPlatform {
namespace {
QString GroupName(gid_t Gid)
{
    std::vector<char> Buffer(16384);
    group Entry{}, *Found = nullptr;
    if (::getgrgid_r(Gid, &Entry, Buffer.data(), Buffer.size(), &Found) == 0 && Found)
        return QString::fromLocal8Bit(Found->gr_name);
    return QString::number(Gid);
}

QString OwnerName(uid_t Uid)
{
    std::vector<char> Buffer(16384);
    passwd Entry{}, *Found = nullptr;
    if (::getpwuid_r(Uid, &Entry, Buffer.data(), Buffer.size(), &Found) == 0 && Found)
        return QString::fromLocal8Bit(Found->pw_name);
    return QString::number(Uid);
}

// The groups the group database gives this user, which a new login would have.
std::vector<gid_t> DatabaseGroups()
{
    std::vector<char> Buffer(16384);
    passwd Entry{}, *Found = nullptr;
    if (::getpwuid_r(::geteuid(), &Entry, Buffer.data(), Buffer.size(), &Found) != 0 || !Found)
        return {};
    int Count = 64;
    std::vector<gid_t> Groups(static_cast<size_t>(Count));
    while (::getgrouplist(Found->pw_name, Found->pw_gid, Groups.data(), &Count) < 0)
        Groups.resize(size_t(Count));
    Groups.resize(size_t(Count));
    return Groups;
}

// The groups this process has.
std::vector<gid_t> ProcessGroups()
{
    std::vector<gid_t> Groups(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int Count = ::getgroups(int(Groups.size()), Groups.data());
    Groups.resize(size_t(std::max(Count, 0)));
    Groups.push_back(::getegid());
    return Groups;
}

bool Contains(const std::vector<gid_t>& Groups, gid_t Gid)
{
    return std::find(Groups.begin(), Groups.end(), Gid) != Groups.end();
}

QString Canonical(const QString& Port)
{
    std::unique_ptr<char, void (*)(void*)> Real(::realpath(QFile::encodeName(Port).constData(), nullptr), &std::free);
    return Real ? QFile::decodeName(Real.get()) : QString();
}

// The sysfs folder of the USB device behind a tty node, or empty.
QString UsbDeviceFolder(const QString& Node)
{
    const QString Class = Canonical(QStringLiteral("/sys/class/tty/") + Node.section(u'/', -1) + QStringLiteral("/device"));
    for (QString Folder = Class; Folder.startsWith(QLatin1String("/sys/devices/")); Folder = Folder.section(u'/', 0, -2))
        if (QFile::exists(Folder + QStringLiteral("/idVendor")) && QFile::exists(Folder + QStringLiteral("/power/control")))
            return Folder;
    return {};
}
} // namespace

} // namespace ComPlatform

TPortAccess PortAccess(const QString& Port)
{
    using namespace ComPlatform;
    TPortAccess Access;
    const QString Node = Canonical(Port);
    struct stat Info;
    if (Node.isEmpty() || ::stat(QFile::encodeName(Node).constData(), &Info) != 0)
        return Access;
    Access.Node = Node;
    Access.Owner = OwnerName(Info.st_uid);
    Access.Group = GroupName(Info.st_gid);
    Access.Mode = Info.st_mode & 07777;
    Access.CanUse = ::euidaccess(QFile::encodeName(Node).constData(), R_OK | W_OK) == 0;
    Access.InGroup = Contains(ProcessGroups(), Info.st_gid);
    Access.GroupListsUser = Contains(DatabaseGroups(), Info.st_gid);
    return Access;
}

QString UserName() { return ComPlatform::OwnerName(::geteuid()); }

qint64 RunningProgram(const QString& Name)
{
    using namespace ComPlatform;
    TDirPtr Processes = OpenFolder("/proc");
    while (Processes) {
        const dirent* Entry = ::readdir(Processes.get());
        if (!Entry)
            break;
        const long long Pid = Number(Entry->d_name);
        if (Pid > 0 && Pid != ::getpid() && ProgramName(Pid) == Name)
            return Pid;
    }
    return 0;
}

QMap<QString, QString> UdevProperties(const QString& Port)
{
    QMap<QString, QString> Properties;
    struct stat Info;
    if (::stat(QFile::encodeName(Port).constData(), &Info) != 0 || !S_ISCHR(Info.st_mode))
        return Properties;
    QFile Record(QStringLiteral("/run/udev/data/c%1:%2").arg(major(Info.st_rdev)).arg(minor(Info.st_rdev)));
    if (!Record.open(QIODevice::ReadOnly))
        return Properties;
    while (!Record.atEnd()) {
        const QString Line = QString::fromLocal8Bit(Record.readLine(4096)).trimmed();
        if (Line.startsWith(QLatin1String("E:")) && Line.contains(u'='))
            Properties.insert(Line.mid(2).section(u'=', 0, 0), Line.section(u'=', 1, -1));
    }
    return Properties;
}

TUsbPower UsbPower(const QString& Port)
{
    const QString Node = ComPlatform::Canonical(Port);
    const QString Device = Node.isEmpty() ? QString() : ComPlatform::UsbDeviceFolder(Node);
    if (Device.isEmpty())
        return {};
    return {Device,
            (ComPlatform::FirstLine(Device + QStringLiteral("/idVendor")) + u':' +
             ComPlatform::FirstLine(Device + QStringLiteral("/idProduct"))).toLower(),
            ComPlatform::FirstLine(Device + QStringLiteral("/power/control"))};
}

TBrltty Brltty()
{
    TBrltty Found;
    for (const char* Path : {"/usr/bin/brltty", "/bin/brltty", "/usr/sbin/brltty", "/sbin/brltty"})
        if (::access(Path, X_OK) == 0) {
            Found.Program = QString::fromLatin1(Path);
            break;
        }
    // Its rules name each display's adapter, as ENV{PRODUCT}=="1a86/7523/*" (hexadecimal
    // without leading zeros) or as ATTRS{idVendor}=="1a86", ATTRS{idProduct}=="7523".
    static const QRegularExpression Product(QStringLiteral("ENV\\{PRODUCT\\}==\"([0-9a-fA-F]{1,4})/([0-9a-fA-F]{1,4})/"));
    static const QRegularExpression Attributes(QStringLiteral(
        "ATTRS\\{idVendor\\}==\"([0-9a-fA-F]{4})\".*ATTRS\\{idProduct\\}==\"([0-9a-fA-F]{4})\""));
    for (const char* Folder : {"/usr/lib/udev/rules.d", "/lib/udev/rules.d", "/etc/udev/rules.d"}) {
        QDir Rules(QString::fromLatin1(Folder), QStringLiteral("*brltty*.rules"));
        for (const QString& Name : Rules.entryList(QDir::Files)) {
            QFile File(Rules.filePath(Name));
            if (!File.open(QIODevice::ReadOnly))
                continue;
            while (!File.atEnd()) {
                const QString Line = QString::fromLocal8Bit(File.readLine(4096));
                auto Match = Product.match(Line);
                if (!Match.hasMatch())
                    Match = Attributes.match(Line);
                if (!Match.hasMatch())
                    continue;
                const QString Pair = (Match.captured(1).rightJustified(4, u'0') + u':' +
                                      Match.captured(2).rightJustified(4, u'0')).toLower();
                if (!Found.ClaimedIds.contains(Pair))
                    Found.ClaimedIds << Pair;
            }
        }
    }
    return Found;
}
