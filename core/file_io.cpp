#include "file_io.h"

#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many links as the kernel itself follows before it gives ELOOP.
constexpr int MaxLinkHops = 40;

[[noreturn]] void Fail(const QString& Shown, int Error)
{
    throw EFileIo(QStringLiteral("%1: %2").arg(Shown, QString::fromLocal8Bit(std::strerror(Error))));
}

// Closes on every way out; Close() reports what the kernel said at the end of the write.
class TFd
{
public:
    explicit TFd(int Fd) : FFd(Fd) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    int Get() const { return FFd; }
    // 0, or the errno of a failed close. EINTR counts as closed: Linux frees the descriptor
    // before it reports the interruption, so a retry could close somebody else's.
    int Close()
    {
        const int Fd = std::exchange(FFd, -1);
        return ::close(Fd) == 0 || errno == EINTR ? 0 : errno;
    }

private:
    int FFd;
};

int OpenRetrying(const char* Path, int Flags, mode_t Mode = 0)
{
    int Fd;
    do
        Fd = ::open(Path, Flags, Mode);
    while (Fd < 0 && errno == EINTR);
    return Fd;
}

// 0 when all of Data went out, or the errno that stopped it.
int WriteAll(int Fd, const QByteArray& Data)
{
    const char* At = Data.constData();
    qint64 Left = Data.size();
    while (Left > 0) {
        const ssize_t N = ::write(Fd, At, static_cast<size_t>(std::min<qint64>(Left, 1 << 30)));
        if (N < 0 && errno == EINTR)
            continue;
        if (N < 0)
            return errno;
        if (N == 0)
            return EIO;
        At += N;
        Left -= N;
    }
    return 0;
}

int SyncRetrying(int Fd)
{
    int Result;
    do
        Result = ::fsync(Fd);
    while (Result < 0 && errno == EINTR);
    return Result == 0 ? 0 : errno;
}

QByteArray Folder(const QByteArray& Local)
{
    const qsizetype Slash = Local.lastIndexOf('/');
    return Slash < 0 ? QByteArray(".") : Slash == 0 ? QByteArray("/") : Local.left(Slash);
}

QByteArray BaseName(const QByteArray& Local)
{
    return Local.mid(Local.lastIndexOf('/') + 1);
}

// A device node or a FIFO: the node itself stays; what it leads to gets the bytes.
void WriteInPlace(const QString& Shown, const QByteArray& Local, const QByteArray& Data,
                  bool ThroughOwnLink = false)
{
    // O_NOFOLLOW: a link put in the node's place since it was looked at is not followed.
    TFd File(OpenRetrying(Local.constData(),
                          O_WRONLY | O_NOCTTY | O_CLOEXEC | (ThroughOwnLink ? 0 : O_NOFOLLOW)));
    if (File.Get() < 0)
        Fail(Shown, errno);
    struct stat Info{};
    if (::fstat(File.Get(), &Info) != 0)
        Fail(Shown, errno);
    if (!S_ISCHR(Info.st_mode) && !S_ISBLK(Info.st_mode) && !S_ISFIFO(Info.st_mode))
        throw EFileIo(Shown + QStringLiteral(": changed while being written; try again"));
    if (const int Error = WriteAll(File.Get(), Data))
        Fail(Shown, Error);
    // A pipe or a terminal has nothing to sync; a disk does.
    if (const int Error = SyncRetrying(File.Get()); Error && Error != EINVAL && Error != EROFS)
        Fail(Shown, Error);
    if (const int Error = File.Close())
        Fail(Shown, Error);
}

// Writes a new file beside Local and renames it over Local (a file, a link or nothing), so
// Local is the old file or the whole new one. Old: what a regular file there was like.
void ReplaceFile(const QString& Shown, const QByteArray& Local, const struct stat* Old,
                 const QByteArray& Data)
{
    const QByteArray Dir = Folder(Local);
    // Shortened so that a name near the file system's limit still leaves room for the suffix.
    const QByteArray Prefix = Dir + "/." + BaseName(Local).left(200) + '.';
    QByteArray Temporary;
    int Fd = -1;
    for (int Attempt = 0; Fd < 0; ++Attempt) {
        Temporary = Prefix + QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ".tmp";
        // O_EXCL with O_NOFOLLOW: a name planted in the folder is never opened, let alone
        // followed. A new file's mode is the user's umask's, as for any new file; one that
        // replaces a file starts private and gets that file's mode below, so no one can open
        // it meanwhile whom the old file kept out.
        Fd = OpenRetrying(Temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          Old ? 0600 : 0666);
        if (Fd < 0 && (errno != EEXIST || Attempt >= 100))
            Fail(Shown, errno);
    }
    TFd File(Fd);
    auto Discard = [&](int Error) {
        ::unlink(Temporary.constData());
        Fail(Shown, Error);
    };
    if (Old) {
        // The file keeps its owner where the user may give it (root may), and its mode.
        if (struct stat Mine{}; ::fstat(Fd, &Mine) == 0 &&
                                (Mine.st_uid != Old->st_uid || Mine.st_gid != Old->st_gid))
            if (::fchown(Fd, Old->st_uid, Old->st_gid) != 0) {
                // Not allowed: the new file is the user's own, as a new file would be.
            }
        if (::fchmod(Fd, Old->st_mode & 0777) != 0)
            Discard(errno);
    }
    if (const int Error = WriteAll(Fd, Data))
        Discard(Error);
    if (const int Error = SyncRetrying(Fd))
        Discard(Error);
    if (const int Error = File.Close())
        Discard(Error);
    if (::rename(Temporary.constData(), Local.constData()) != 0)
        Discard(errno);
    // The rename itself reaches the disk with the folder; a folder that cannot be synced
    // (some network file systems) still holds the whole file.
    if (TFd DirFd(OpenRetrying(Dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); DirFd.Get() >= 0)
        SyncRetrying(DirFd.Get());
}

void WriteStandardOutput(const QByteArray& Data)
{
    // What the program printed through stdio before goes first.
    if (std::fflush(stdout) != 0)
        Fail(QStringLiteral("standard output"), errno);
    if (const int Error = WriteAll(STDOUT_FILENO, Data))
        Fail(QStringLiteral("standard output"), Error);
}

} // namespace

void WriteFileSafely(const QString& Path, const QByteArray& Data)
{
    if (Path == QLatin1String("-"))
        return WriteStandardOutput(Data);
    if (Path.isEmpty())
        throw EFileIo(QStringLiteral("an empty file name"));
    QByteArray Local = QFile::encodeName(Path);
    for (int Hops = 0;; ++Hops) {
        struct stat Info{};
        if (::lstat(Local.constData(), &Info) != 0) {
            if (errno != ENOENT)
                Fail(Path, errno);
            return ReplaceFile(Path, Local, nullptr, Data);
        }
        if (S_ISLNK(Info.st_mode)) {
            // Somebody else's link, say in a shared folder such as /tmp, may point anywhere
            // the user may write: it is replaced by the file, its target left alone.
            if (Info.st_uid != ::geteuid())
                return ReplaceFile(Path, Local, nullptr, Data);
            if (Hops >= MaxLinkHops)
                Fail(Path, ELOOP);
            // What the user's link leads to may be no file at all: /dev/stdout is a link to
            // /proc/self/fd/1, whose "target" names a pipe or a socket, not a path.
            if (struct stat Target{}; ::stat(Local.constData(), &Target) == 0 && !S_ISREG(Target.st_mode)) {
                if (S_ISDIR(Target.st_mode))
                    Fail(Path, EISDIR);
                return WriteInPlace(Path, Local, Data, true);
            }
            QByteArray Target(static_cast<qsizetype>(std::max<off_t>(Info.st_size, 0)) + 256, Qt::Uninitialized);
            const ssize_t Length = ::readlink(Local.constData(), Target.data(), static_cast<size_t>(Target.size()));
            if (Length < 0)
                Fail(Path, errno);
            if (Length >= Target.size())
                Fail(Path, ENAMETOOLONG);
            Target.truncate(Length);
            Local = Target.startsWith('/') ? Target : Folder(Local) + '/' + Target;
            continue;
        }
        if (S_ISDIR(Info.st_mode))
            Fail(Path, EISDIR);
        if (S_ISCHR(Info.st_mode) || S_ISBLK(Info.st_mode) || S_ISFIFO(Info.st_mode))
            return WriteInPlace(Path, Local, Data);
        if (S_ISREG(Info.st_mode))
            return ReplaceFile(Path, Local, &Info, Data);
        throw EFileIo(Path + QStringLiteral(": not a file that can be written (a socket?)"));
    }
}

int OpenFileForAppending(const QString& Path)
{
    if (Path.isEmpty())
        throw EFileIo(QStringLiteral("an empty file name"));
    QByteArray Local = QFile::encodeName(Path);
    for (int Hops = 0;; ++Hops) {
        struct stat Info{};
        if (::lstat(Local.constData(), &Info) != 0 && errno != ENOENT)
            Fail(Path, errno);
        if (S_ISLNK(Info.st_mode)) {
            // Appending cannot replace the link, and following it could add to any file the
            // user may write: another user's link is refused.
            if (Info.st_uid != ::geteuid())
                throw EFileIo(Path + QStringLiteral(": a link of another user, not followed"));
            if (Hops >= MaxLinkHops)
                Fail(Path, ELOOP);
            if (struct stat Target{}; ::stat(Local.constData(), &Target) == 0 && !S_ISREG(Target.st_mode) &&
                                      !S_ISDIR(Target.st_mode) && !S_ISSOCK(Target.st_mode))
                break; // /dev/stderr and the like: opened through the link below
            QByteArray Target(static_cast<qsizetype>(std::max<off_t>(Info.st_size, 0)) + 256, Qt::Uninitialized);
            const ssize_t Length = ::readlink(Local.constData(), Target.data(), static_cast<size_t>(Target.size()));
            if (Length < 0 || Length >= Target.size())
                Fail(Path, Length < 0 ? errno : ENAMETOOLONG);
            Target.truncate(Length);
            Local = Target.startsWith('/') ? Target : Folder(Local) + '/' + Target;
            continue;
        }
        if (S_ISDIR(Info.st_mode))
            Fail(Path, EISDIR);
        if (S_ISSOCK(Info.st_mode))
            throw EFileIo(Path + QStringLiteral(": not a file that can be written (a socket?)"));
        // Nothing, a file, a device or a FIFO: opened as it is, never through a link planted
        // meanwhile.
        const int Fd = OpenRetrying(Local.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
        if (Fd < 0)
            Fail(Path, errno);
        return Fd;
    }
    const int Fd = OpenRetrying(Local.constData(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC);
    if (Fd < 0)
        Fail(Path, errno);
    return Fd;
}

QByteArray ReadFileBounded(const QString& Path, qint64 Limit)
{
    const bool StandardInput = Path == QLatin1String("-");
    const QString Shown = StandardInput ? QStringLiteral("<stdin>") : Path;
    const auto TooLarge = [&] {
        throw EFileIo(QStringLiteral("%1: larger than %2 bytes; not a configuration file").arg(Shown).arg(Limit));
    };
    std::optional<TFd> Opened;
    if (!StandardInput) {
        if (Path.isEmpty())
            throw EFileIo(QStringLiteral("an empty file name"));
        const QByteArray Local = QFile::encodeName(Path);
        // Looked at before it is opened: opening a device can itself do something (a serial
        // port raises its lines), and a FIFO would wait for a writer.
        struct stat Info{};
        if (::stat(Local.constData(), &Info) != 0)
            Fail(Path, errno);
        if (S_ISDIR(Info.st_mode))
            Fail(Path, EISDIR);
        if (S_ISFIFO(Info.st_mode))
            throw EFileIo(Path + QStringLiteral(": a pipe, not a regular file; give - and redirect it to "
                                                "standard input"));
        if (!S_ISREG(Info.st_mode))
            throw EFileIo(Path + QStringLiteral(": not a regular file"));
        Opened.emplace(OpenRetrying(Local.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (Opened->Get() < 0)
            Fail(Path, errno);
        if (::fstat(Opened->Get(), &Info) != 0)
            Fail(Path, errno);
        if (!S_ISREG(Info.st_mode))
            throw EFileIo(Path + QStringLiteral(": not a regular file"));
        if (Info.st_size > Limit)
            TooLarge();
    }
    const int Fd = StandardInput ? STDIN_FILENO : Opened->Get();
    // Read to one byte past the limit: a file growing meanwhile, or a pipe, is caught too.
    QByteArray Text;
    for (;;) {
        const qint64 Chunk = std::min<qint64>(Limit + 1 - Text.size(), 64 * 1024);
        if (Chunk <= 0)
            TooLarge();
        const qsizetype Before = Text.size();
        Text.resize(Before + static_cast<qsizetype>(Chunk));
        const ssize_t N = ::read(Fd, Text.data() + Before, static_cast<size_t>(Chunk));
        if (N < 0 && errno == EINTR) {
            Text.truncate(Before);
            continue;
        }
        if (N < 0)
            Fail(Shown, errno);
        Text.truncate(Before + N);
        if (N == 0)
            return Text;
    }
}
