// The field's lock file for a serial device: /run/lock/LCK..<name>, taken before open(), which
// raises DTR and RTS on the holder's live line, as serial programs do.
//
// Choices made here:
// - The owner's pid as ten characters and a newline, made atomically by link() from a file of
//   our own, so no other program ever reads a half-written lock.
// - Taken over when its owner is gone, removed at close. Root respects it too.
// - Where /run/lock is missing or not writable for the user, the device is opened without it.
#include "serial/platform/linux/lock_file.h"
#include "serial/platform/linux/retried.h"
#include "serial/platform/port_facts.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ComPlatform {

namespace {

// Removes the lock file at Lock if it is still the one open as Fd and its owner is still gone.
// The flock keeps two programs that both found it stale from removing each other's new lock;
// the one that does not get it looks again.
void RemoveStaleLock(const std::string& Lock, int Fd)
{
    struct stat Held, Now;
    if (Retried([&] { return flock(Fd, LOCK_EX | LOCK_NB); }) == 0 && fstat(Fd, &Held) == 0 && ::stat(Lock.c_str(), &Now) == 0 &&
        Held.st_ino == Now.st_ino && Held.st_dev == Now.st_dev && !Alive(LockOwner(Fd)))
        ::unlink(Lock.c_str());
}

} // namespace

int TakeLock(const std::string& Lock, bool& Taken)
{
    Taken = false;
    char Pid[16];
    const int Length = std::snprintf(Pid, sizeof Pid, "%10d\n", int(::getpid()));
    const std::string Temporary = std::string(LockFolder) + "/LTMP." + std::to_string(::getpid());
    for (int Attempt = 0; Attempt < 5; ++Attempt) {
        ::unlink(Temporary.c_str());
        const int Fd = Retried(
            [&] { return ::open(Temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644); });
        if (Fd < 0)
            return errno == EACCES || errno == EPERM || errno == EROFS || errno == ENOENT ? 0 : errno;
        const bool Written = Retried([&] { return ::write(Fd, Pid, size_t(Length)); }) == Length;
        ::close(Fd);
        const int Linked = Written ? Retried([&] { return ::link(Temporary.c_str(), Lock.c_str()); }) : -1;
        const int Error = Written ? errno : EIO;
        ::unlink(Temporary.c_str());
        if (Linked == 0) {
            Taken = true;
            return 0;
        }
        if (Error != EEXIST)
            return Error;
        const int Held = Retried([&] { return ::open(Lock.c_str(), O_RDONLY | O_CLOEXEC); });
        if (Held < 0) {
            if (errno == ENOENT)
                continue; // let go of meanwhile
            return errno;
        }
        const pid_t Owner = LockOwner(Held);
        if (Alive(Owner)) {
            ::close(Held);
            return EBUSY;
        }
        RemoveStaleLock(Lock, Held);
        ::close(Held);
    }
    return EBUSY;
}

void ReleaseLock(const std::string& Lock)
{
    const int Fd = Retried([&] { return ::open(Lock.c_str(), O_RDONLY | O_CLOEXEC); });
    if (Fd < 0)
        return;
    const bool Ours = LockOwner(Fd) == ::getpid();
    ::close(Fd);
    if (Ours)
        ::unlink(Lock.c_str());
}

} // namespace ComPlatform
