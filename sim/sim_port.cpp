#include "sim_port.h"

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

// Raw bytes in both directions at 9600 baud 8N1: no echo, no line editing, no CR/LF
// translation, no flow control, and no carrier needed.
void MakeRaw(int Fd)
{
    termios Line{};
    if (::tcgetattr(Fd, &Line) != 0)
        Fail("tcgetattr");
    ::cfmakeraw(&Line);
    ::cfsetispeed(&Line, B9600);
    ::cfsetospeed(&Line, B9600);
    Line.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS | HUPCL);
    Line.c_cflag |= CLOCAL | CREAD;
    Line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    Line.c_cc[VMIN] = 1;
    Line.c_cc[VTIME] = 0;
    if (::tcsetattr(Fd, TCSANOW, &Line) != 0)
        Fail("tcsetattr");
}

std::string ReadLink(const std::string& Path)
{
    std::vector<char> Buffer(4096);
    const ssize_t Length = ::readlink(Path.c_str(), Buffer.data(), Buffer.size());
    return Length > 0 ? std::string(Buffer.data(), static_cast<size_t>(Length)) : std::string();
}
} // namespace

TSimPort::TSimPort(const std::string& Folder, const std::string& Name)
{
    try {
        FFd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (FFd < 0)
            Fail("posix_openpt");
        if (::grantpt(FFd) != 0 || ::unlockpt(FFd) != 0)
            Fail("cannot unlock the pty");
        const char* Slave = ::ptsname(FFd);
        if (!Slave)
            Fail("ptsname");
        FLinePath = Slave;
        FSlave = ::open(Slave, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (FSlave < 0)
            Fail("cannot open " + FLinePath);
        MakeRaw(FSlave);
        const int Flags = ::fcntl(FFd, F_GETFL);
        if (Flags < 0 || ::fcntl(FFd, F_SETFL, Flags | O_NONBLOCK) != 0)
            Fail("fcntl");
        Register(Folder, Name, FLinePath);
    } catch (...) {
        Hangup();
        throw;
    }
}

TSimPort::TSimPort(const std::string& Folder, const std::string& Name, const std::string& Device,
                   const std::string& Register)
    : FDevice(true), FLinePath(Device)
{
    try {
        OpenDevice();
        if (!Register.empty())
            this->Register(Folder, Name, Register);
    } catch (...) {
        Hangup();
        throw;
    }
}

TSimPort::~TSimPort() { Hangup(); }

void TSimPort::OpenDevice()
{
    FFd = ::open(FLinePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FFd < 0)
        Fail("cannot open " + FLinePath);
    try {
        MakeRaw(FFd);
    } catch (...) {
        ::close(std::exchange(FFd, -1));
        throw;
    }
    // What the line held from before this opening is no request of the tool's.
    ::tcflush(FFd, TCIOFLUSH);
}

void TSimPort::CloseDevice()
{
    if (FDevice && FFd >= 0)
        ::close(std::exchange(FFd, -1));
}

bool TSimPort::Reopen()
{
    if (FFd >= 0)
        return true;
    try {
        OpenDevice();
        return true;
    } catch (const ESimError&) {
        return false; // not back yet
    }
}

void TSimPort::Register(const std::string& Folder, const std::string& Name, const std::string& Target)
{
    MakeFolder(Folder);
    CheckPrivate(Folder);
    const std::string Link = Folder + '/' + Name;
    struct stat Info;
    if (::lstat(Link.c_str(), &Info) == 0 && !S_ISLNK(Info.st_mode))
        throw ESimError(Link + " exists and is not a link; refusing to replace it");
    // A stale link of an earlier run is replaced in one step, never left half made.
    const std::string Temporary = Link + ".new-" + std::to_string(::getpid());
    ::unlink(Temporary.c_str());
    if (::symlink(Target.c_str(), Temporary.c_str()) != 0)
        Fail("cannot create the link " + Temporary);
    if (::rename(Temporary.c_str(), Link.c_str()) != 0) {
        const int Error = errno;
        ::unlink(Temporary.c_str());
        errno = Error;
        Fail("cannot register " + Link);
    }
    FLink = Link;
    FLinkTarget = Target;
}

void TSimPort::Hangup()
{
    Unregister();
    if (FFd >= 0)
        ::close(std::exchange(FFd, -1));
    if (FSlave >= 0)
        ::close(std::exchange(FSlave, -1));
}

void TSimPort::Unregister()
{
    // Another simulator may have taken the name since: its link is not ours to remove.
    if (!FLink.empty() && ReadLink(FLink) == FLinkTarget)
        ::unlink(FLink.c_str());
    FLink.clear();
}
