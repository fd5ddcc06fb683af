#include "import_copies.h"

#include "core/file_io.h"
#include "serial/port_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <cerrno>

namespace {
// Letters, digits and ".+-_" stay; a slash, a space or a control character would not do.
QString FileNamePart(const QString& Text)
{
    QString Out;
    for (const QChar C : Text)
        Out += (C.unicode() < 0x80 && (C.isLetterOrNumber() || QStringLiteral(".+-_").contains(C)))
                   ? C
                   : u'_';
    return Out;
}

const QRegularExpression& CopyPattern()
{
    static const QRegularExpression Pattern(
        QStringLiteral(R"(^\d{4}-\d{2}-\d{2}-\d{6}-[^/]+\.toml$)"));
    return Pattern;
}
} // namespace

QString ImportCopyFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/morvel-sms-controller");
}

QString ImportCopyName(const QDateTime& When, const QString& Port, const QString& Serial)
{
    QString Name = When.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) + u'-' +
                   FileNamePart(QFileInfo(Port).fileName());
    if (!Serial.isEmpty())
        Name += u'-' + FileNamePart(Serial);
    return Name + QStringLiteral(".toml");
}

QString AdapterSerialNumber(const QString& Port)
{
    const QString Label = QStringLiteral("Serial number: ");
    for (const QString& Fact : DescribeSerialPort(Port).split(u'\n'))
        if (Fact.startsWith(Label))
            return Fact.mid(Label.size()).trimmed();
    return {};
}

QString KeepImportCopy(const QString& Folder, const QString& Name, const QByteArray& Text, int Kept)
{
    if (!QFileInfo(Folder).isDir()) {
        // The copies hold telephone numbers: the folder is the user's alone.
        errno = 0;
        if (!QDir().mkpath(Folder))
            throw EFileIo(QStringLiteral("%1: the folder cannot be made: %2").arg(Folder, qt_error_string(errno)));
        QFile::setPermissions(Folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QString Path = Folder + u'/' + Name;
    WriteFileSafely(Path, Text);

    // Names begin with the time, so they sort oldest first. The copy just written stays even
    // when the clock was put back.
    QStringList Copies = QDir(Folder).entryList(QDir::Files | QDir::System, QDir::Name);
    Copies.removeIf([](const QString& File) { return !CopyPattern().match(File).hasMatch(); });
    Copies.removeAll(Name);
    for (qsizetype I = 0; I < Copies.size() - (Kept - 1); ++I)
        QFile::remove(Folder + u'/' + Copies[I]); // a copy that cannot go is no reason to fail
    return Path;
}
