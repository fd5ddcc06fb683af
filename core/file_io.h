// Reading and writing the programs' files: whole or not at all, never through another user's
// link, never more than a bounded amount.
#pragma once

#include "core/exceptions.h"

#include <QByteArray>
#include <QString>

// A file that could not be read or written; the message names the path and the cause,
// e.g. "out.toml: No space left on device".
class EFileIo : public Exception
{
public:
    using Exception::Exception;
};

// Far beyond any real configuration file, far below what hurts to hold in memory.
constexpr qint64 MaxConfigFileSize = 1 << 20;

// Writes Data to Path whole or not at all: a temporary file beside it (O_EXCL), every write
// and the flush checked, fsync, rename; on failure the old file stays as it was. "-" is
// standard output. A device node or FIFO is written in place; a directory is refused. An
// existing symbolic link is replaced, not written through, unless it belongs to the user
// running the program: then its target is written by the same rules. A replaced file keeps
// its permission bits. Throws EFileIo.
void WriteFileSafely(const QString& Path, const QByteArray& Data);

// Opens Path for appending (a log), creating it when missing, and returns the descriptor. The
// user's own links are followed; another user's link, a folder or a socket is refused.
// Throws EFileIo.
int OpenFileForAppending(const QString& Path);

// The whole of a regular file (or standard input for "-"), refusing anything else, and
// anything above Limit bytes before reading it all. Throws EFileIo.
QByteArray ReadFileBounded(const QString& Path, qint64 Limit = MaxConfigFileSize);
