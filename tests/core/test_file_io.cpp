// The programs' one writer and one reader: what an unlucky user or a hostile neighbour puts in
// their way leaves every file as it was.
#include "core/file_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Contents(const QString& Path)
{
    QFile File(Path);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("<unreadable>");
}

void Put(const QString& Path, const QByteArray& Data)
{
    QFile File(Path);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly));
    File.write(Data);
}

QString WriteError(const QString& Path, const QByteArray& Data)
{
    try {
        WriteFileSafely(Path, Data);
    } catch (const EFileIo& Error) {
        return Error.Message();
    }
    return {};
}

QString ReadError(const QString& Path, qint64 Limit = MaxConfigFileSize)
{
    try {
        ReadFileBounded(Path, Limit);
    } catch (const EFileIo& Error) {
        return Error.Message();
    }
    return {};
}

// Nothing but the target is left in Dir: no temporary file stays behind.
QStringList Entries(const QString& Dir)
{
    return QDir(Dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

TEST(WriteFileSafely, ReplacesWholeKeepingModeAndFollowsOnlyTheUsersOwnLinks)
{
    QTemporaryDir Dir;
    const QString Target = Dir.filePath("out.toml");
    Put(Target, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(Target).constData(), 0640), 0);
    WriteFileSafely(Target, "new");
    EXPECT_EQ(Contents(Target), "new");
    struct stat Info{};
    ASSERT_EQ(::stat(QFile::encodeName(Target).constData(), &Info), 0);
    EXPECT_EQ(Info.st_mode & 0777, 0640u);
    EXPECT_EQ(Entries(Dir.path()), QStringList{"out.toml"});

    // The user's own links are written through, a dangling one creating its target.
    const QString Own = Dir.filePath("own"), Dangling = Dir.filePath("dangling");
    ASSERT_TRUE(QFile::link("out.toml", Own));
    ASSERT_TRUE(QFile::link("made.toml", Dangling));
    WriteFileSafely(Own, "through");
    WriteFileSafely(Dangling, "made");
    EXPECT_EQ(Contents(Target), "through");
    EXPECT_TRUE(QFileInfo(Own).isSymLink());
    EXPECT_EQ(Contents(Dir.filePath("made.toml")), "made");

    // A directory is refused, and nothing appears inside it.
    EXPECT_EQ(WriteError(Dir.path(), "x"), Dir.path() + ": Is a directory");
    // A folder that does not exist, named by the path the user gave.
    EXPECT_EQ(WriteError(Dir.filePath("none/out.toml"), "x"),
              Dir.filePath("none/out.toml") + ": No such file or directory");
}

TEST(WriteFileSafely, AnotherUsersLinkIsReplacedNotWrittenThrough)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a link owned by another user can only be made by root";
    QTemporaryDir Dir;
    const QString Victim = Dir.filePath("victim"), Link = Dir.filePath("out.toml");
    const QString Dangling = Dir.filePath("dangling.toml");
    Put(Victim, "precious");
    ASSERT_TRUE(QFile::link(Victim, Link));
    ASSERT_TRUE(QFile::link(Dir.filePath("planted"), Dangling));
    ASSERT_EQ(::lchown(QFile::encodeName(Link).constData(), 65534, 65534), 0);
    ASSERT_EQ(::lchown(QFile::encodeName(Dangling).constData(), 65534, 65534), 0);
    WriteFileSafely(Link, "new");
    WriteFileSafely(Dangling, "new");
    EXPECT_EQ(Contents(Victim), "precious");
    EXPECT_FALSE(QFileInfo::exists(Dir.filePath("planted")));
    EXPECT_FALSE(QFileInfo(Link).isSymLink());
    EXPECT_EQ(Contents(Link), "new");
    EXPECT_EQ(Contents(Dangling), "new");

    // A log cannot replace what it appends to: another user's link is refused.
    const QString LogLink = Dir.filePath("sim.log");
    ASSERT_TRUE(QFile::link(Victim, LogLink));
    ASSERT_EQ(::lchown(QFile::encodeName(LogLink).constData(), 65534, 65534), 0);
    try {
        ::close(OpenFileForAppending(LogLink));
        ADD_FAILURE() << "opened through another user's link";
    } catch (const EFileIo& Error) {
        EXPECT_EQ(Error.Message(), LogLink + ": a link of another user, not followed");
    }
    EXPECT_EQ(Contents(Victim), "precious");
}

TEST(WriteFileSafely, DeviceNodesAndFifosAreWrittenInPlace)
{
    // /dev/null stays the device; /dev/full says why nothing could be written.
    WriteFileSafely("/dev/null", "x");
    struct stat Info{};
    ASSERT_EQ(::stat("/dev/null", &Info), 0);
    EXPECT_TRUE(S_ISCHR(Info.st_mode));
    EXPECT_EQ(WriteError("/dev/full", "x"), "/dev/full: No space left on device");

    QTemporaryDir Dir;
    const QString Fifo = Dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(Fifo).constData(), 0600), 0);
    // Opened without waiting, so the writer finds a reader there.
    const int Fd = ::open(QFile::encodeName(Fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(Fd, 0);
    WriteFileSafely(Fifo, "through the pipe");
    char Buffer[64] = {};
    EXPECT_EQ(::read(Fd, Buffer, sizeof Buffer), 16);
    ::close(Fd);
    EXPECT_STREQ(Buffer, "through the pipe");
    ASSERT_EQ(::lstat(QFile::encodeName(Fifo).constData(), &Info), 0);
    EXPECT_TRUE(S_ISFIFO(Info.st_mode));

    // The user's own link to what is no file at all, as /dev/stdout to a pipe is.
    int Pipe[2];
    ASSERT_EQ(::pipe(Pipe), 0);
    WriteFileSafely(QStringLiteral("/proc/self/fd/%1").arg(Pipe[1]), "piped");
    char Piped[16] = {};
    EXPECT_EQ(::read(Pipe[0], Piped, sizeof Piped), 5);
    EXPECT_STREQ(Piped, "piped");
    ::close(Pipe[0]);
    ::close(Pipe[1]);
}

TEST(WriteFileSafely, FullDiskKeepsTheOldFileWhole)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    QTemporaryDir Dir;
    const QByteArray Mount = QFile::encodeName(Dir.path());
    if (::mount("tmpfs", Mount.constData(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    const auto Unmount = qScopeGuard([&] { ::umount(Mount.constData()); });
    const QString Target = Dir.filePath("old.toml");
    Put(Target, "old and whole");
    EXPECT_EQ(WriteError(Target, QByteArray(64 * 1024, 'x')), Target + ": No space left on device");
    EXPECT_EQ(Contents(Target), "old and whole");
    EXPECT_EQ(Entries(Dir.path()), QStringList{"old.toml"});
}

TEST(ReadFileBounded, RefusesWhatIsNotARegularFileOrTooLarge)
{
    QTemporaryDir Dir;
    const QString File = Dir.filePath("in.toml");
    Put(File, "12345");
    EXPECT_EQ(ReadFileBounded(File), "12345");
    EXPECT_EQ(ReadError(File, 4), File + ": larger than 4 bytes; not a configuration file");
    // An endless device is refused before a byte is read.
    EXPECT_EQ(ReadError("/dev/zero"), "/dev/zero: not a regular file");
    EXPECT_EQ(ReadError(Dir.path()), Dir.path() + ": Is a directory");
    const QString Fifo = Dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(Fifo).constData(), 0600), 0);
    EXPECT_EQ(ReadError(Fifo), Fifo + ": a pipe, not a regular file; give - and redirect it to standard input");
}
