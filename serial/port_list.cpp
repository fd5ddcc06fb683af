#include "port_list.h"

#include "serial/platform/port_enum.h"

#include <QFile>

#include <unistd.h>

QString UserPortFolder()
{
    const QByteArray Runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!Runtime.isEmpty())
        return QFile::decodeName(Runtime) + QStringLiteral("/serial");
    return QStringLiteral("/tmp/serial-%1").arg(::getuid());
}

QString UntrustedPortFolder(const QString& Folder) { return ComPlatform::UntrustedFolder(Folder); }

bool NaturalLess(const QString& A, const QString& B)
{
    qsizetype I = 0, J = 0;
    while (I < A.size() && J < B.size()) {
        if (A[I].isDigit() && B[J].isDigit()) {
            // Compare the two digit runs by value: skip leading zeros, then the longer run is
            // the larger number, and runs of equal length compare digit by digit.
            while (I < A.size() && A[I] == u'0')
                ++I;
            while (J < B.size() && B[J] == u'0')
                ++J;
            qsizetype EndA = I, EndB = J;
            while (EndA < A.size() && A[EndA].isDigit())
                ++EndA;
            while (EndB < B.size() && B[EndB].isDigit())
                ++EndB;
            if (EndA - I != EndB - J)
                return EndA - I < EndB - J;
            const int Order =
                QStringView(A).mid(I, EndA - I).compare(QStringView(B).mid(J, EndB - J));
            if (Order != 0)
                return Order < 0;
            I = EndA;
            J = EndB;
            continue;
        }
        if (A[I] != B[J])
            return A[I] < B[J];
        ++I;
        ++J;
    }
    if (I < A.size() || J < B.size())
        return J < B.size(); // the one that ran out first is a prefix of the other
    return A < B;            // equal by value ("a01", "a1"): keep a stable, total order
}

QString DescribeSerialPort(const QString& Port, const TSerialDeviceRoots& Roots)
{
    return ComPlatform::DescribePort(Port, Roots);
}

QStringList StableSerialPortNames(const QString& Port, const TSerialDeviceRoots& Roots)
{
    return ComPlatform::StableNames(Port, Roots);
}

bool IsCharacterDevice(const QString& Path) { return ComPlatform::IsCharacterDevice(Path); }

void EnumSerialPorts(const std::function<void(const QString& Port)>& Add,
                     const TSerialDeviceRoots& Roots)
{
    ComPlatform::AddHardwarePorts(Add, Roots);
    ComPlatform::AddPseudoTerminalLinks(Add, Roots);
    if (UntrustedPortFolder(Roots.UserPorts).isEmpty()) // otherwise as if it were not there
        ComPlatform::AddUserPortLinks(Add, Roots);
}
