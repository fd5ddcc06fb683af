// The Linux facts behind a port's failures: the lock file, /proc's open descriptors, the node's
// group. Read without opening the port.
#include "serial/platform/port_facts.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
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

QString ProgramName(qint64 Pid) { return FirstLine(QStringLiteral("/proc/%1/comm").arg(Pid)); }

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

    // Other users' descriptors are closed to this user (EACCES) unless it is root.
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
        while (const dirent* Fd = ::readdir(Fds.get())) {
            if (Number(Fd->d_name) >= 0 && OpensDevice(::dirfd(Fds.get()), Fd->d_name, Node.st_rdev)) {
                Add(Pid);
                break;
            }
        }
    }
    std::sort(Holders.begin(), Holders.end(), [](const TPortHolder& A, const TPortHolder& B) { return A.Pid < B.Pid; });
    return Holders;
}

} // namespace ComPlatform
