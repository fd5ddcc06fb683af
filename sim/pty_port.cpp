#include "pty_port.h"

#include "relay_config.h"

#include "serial/port_list.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {
[[noreturn]] void Fail(const std::string& What)
{
    throw ESimError(What + ": " + std::strerror(errno));
}

// Creates Folder and its missing parents with mode 0700.
void MakeFolder(const std::string& Folder)
{
    for (size_t Slash = Folder.find('/', 1);; Slash = Folder.find('/', Slash + 1)) {
        const std::string Part = Folder.substr(0, Slash);
        if (::mkdir(Part.c_str(), 0700) != 0 && errno != EEXIST)
            Fail("cannot create " + Part);
        if (Slash == std::string::npos)
            break;
    }
    struct stat Info;
    if (::stat(Folder.c_str(), &Info) != 0)
        Fail(Folder);
    if (!S_ISDIR(Info.st_mode))
        throw ESimError(Folder + " is not a folder");
}

// The tool lists no port of a folder it cannot trust; registering there would be in vain, or
// worse, in a folder another user controls.
void CheckPrivate(const std::string& Folder)
{
    const QString Why = UntrustedPortFolder(QString::fromStdString(Folder));
    if (!Why.isEmpty())
        throw ESimError(Why.toStdString() + "; refusing to register a port there");
}

std::string ReadLink(const std::string& Path)
{
    std::vector<char> Buffer(4096);
    const ssize_t Length = ::readlink(Path.c_str(), Buffer.data(), Buffer.size());
    return Length > 0 ? std::string(Buffer.data(), static_cast<size_t>(Length)) : std::string();
}
} // namespace

TPtyPort::TPtyPort(const std::string& Folder, const std::string& Name)
{
    try {
        FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (FMaster < 0)
            Fail("posix_openpt");
        if (::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0)
            Fail("cannot unlock the pty");
        const char* Slave = ::ptsname(FMaster);
        if (!Slave)
            Fail("ptsname");
        FSlavePath = Slave;
        FSlave = ::open(Slave, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (FSlave < 0)
            Fail("cannot open " + FSlavePath);
        // Raw bytes in both directions: no echo, no line editing, no CR/LF translation.
        termios Line{};
        if (::tcgetattr(FSlave, &Line) != 0)
            Fail("tcgetattr");
        ::cfmakeraw(&Line);
        ::cfsetispeed(&Line, B9600);
        ::cfsetospeed(&Line, B9600);
        Line.c_cflag |= CLOCAL | CREAD;
        if (::tcsetattr(FSlave, TCSANOW, &Line) != 0)
            Fail("tcsetattr");
        const int Flags = ::fcntl(FMaster, F_GETFL);
        if (Flags < 0 || ::fcntl(FMaster, F_SETFL, Flags | O_NONBLOCK) != 0)
            Fail("fcntl");

        MakeFolder(Folder);
        CheckPrivate(Folder);
        const std::string Link = Folder + '/' + Name;
        struct stat Info;
        if (::lstat(Link.c_str(), &Info) == 0 && !S_ISLNK(Info.st_mode))
            throw ESimError(Link + " exists and is not a link; refusing to replace it");
        // A stale link of an earlier run is replaced in one step, never left half made.
        const std::string Temporary = Link + ".new-" + std::to_string(::getpid());
        ::unlink(Temporary.c_str());
        if (::symlink(FSlavePath.c_str(), Temporary.c_str()) != 0)
            Fail("cannot create the link " + Temporary);
        if (::rename(Temporary.c_str(), Link.c_str()) != 0) {
            const int Error = errno;
            ::unlink(Temporary.c_str());
            errno = Error;
            Fail("cannot register " + Link);
        }
        FLink = Link;
    } catch (...) {
        Hangup();
        throw;
    }
}

TPtyPort::~TPtyPort() { Hangup(); }

void TPtyPort::Hangup()
{
    Unregister();
    if (FMaster >= 0)
        ::close(std::exchange(FMaster, -1));
    if (FSlave >= 0)
        ::close(std::exchange(FSlave, -1));
}

void TPtyPort::Unregister()
{
    // Another simulator may have taken the name since: its link is not ours to remove.
    if (!FLink.empty() && ReadLink(FLink) == FSlavePath)
        ::unlink(FLink.c_str());
    FLink.clear();
}
