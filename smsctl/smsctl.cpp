#include "smsctl.h"

#include "box_session.h"
#include "doctor.h"

#include "app/box_texts.h"

#include "device/config_file.h"
#include "device/items.h"
#include "serial/com_errors.h"
#include "serial/port_list.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <optional>

#include <unistd.h>

const char* const SmsctlUsage =
    "usage: morvel-smsctl COMMAND [ARGUMENT]...\n"
    "Back up, restore, compare and provision Morvel SMS relay controllers.\n"
    "\n"
    "  ports                        the serial ports, with what is known of USB adapters\n"
    "  read PORT [-o FILE]          read the box's configuration (to standard output)\n"
    "  write [--verify] PORT FILE   send FILE to the box; --verify reads it back\n"
    "  diff A B                     the items that differ; A and B are files or ports\n"
    "  defaults [-o FILE]           the default configuration, each item explained\n"
    "  doctor [PORT]                what keeps this user from the ports, and the fixes\n"
    "\n"
    "PORT is a path, a name from 'ports', or 'auto' for the one port whose box answers.\n"
    "FILE - is standard input. Exit status: 0 done, 1 differences found, 2 bad command\n"
    "line, 3 bad or unwritable file, 4 port cannot be opened, 5 port held by another\n"
    "program, 6 no box answered, 7 the exchange broke off, 8 --verify found differences;\n"
    "doctor: 1 a check found a problem that blocks.\n";

namespace {

const QString Auto = QStringLiteral("auto");

[[noreturn]] void Usage(const QString& What)
{
    throw ESmsctl(esUsage, What + QStringLiteral("\nTry morvel-smsctl --help."));
}

QStringList ListPorts()
{
    QStringList Ports;
    try {
        EnumSerialPorts([&](const QString& Port) { Ports << Port; });
    } catch (const Exception& Error) {
        throw ESmsctl(esPortFailed, Error.Message());
    }
    return Ports;
}

// A name from the port list stands for its path; anything with a slash is a path already.
QString ResolvePort(const QString& Name)
{
    if (Name.contains(u'/'))
        return Name;
    for (const QString& Port : ListPorts())
        if (QFileInfo(Port).fileName() == Name)
            return Port;
    if (IsCharacterDevice(QStringLiteral("/dev/") + Name))
        return QStringLiteral("/dev/") + Name;
    throw ESmsctl(esPortFailed, QStringLiteral("%1: no such port (morvel-smsctl ports lists them)").arg(Name));
}

// diff takes files and ports alike: a port is "auto", a device node, or a name from the list.
bool NamesPort(const QString& Arg)
{
    if (Arg == Auto || IsCharacterDevice(Arg))
        return true;
    if (QFileInfo::exists(Arg) || Arg.contains(u'/') || Arg == QLatin1String("-"))
        return false;
    for (const QString& Port : ListPorts())
        if (QFileInfo(Port).fileName() == Arg)
            return true;
    return false;
}

class TCommands
{
public:
    TCommands(FILE* Output, FILE* Errors) : FOutput(Output), FErrors(Errors), FSession(Errors) {}

    int Run(QStringList Args)
    {
        if (Args.isEmpty())
            Usage(QStringLiteral("a command is needed"));
        const QString Command = Args.takeFirst();
        if (Command == QLatin1String("--help") || Command == QLatin1String("-h")) {
            std::fputs(SmsctlUsage, FOutput);
            return esOk;
        }
        if (Command == QLatin1String("--version")) {
            std::fprintf(FOutput, "morvel-smsctl %s\n", MORVEL_VERSION);
            return esOk;
        }
        if (Command == QLatin1String("ports"))
            return Ports(Args);
        if (Command == QLatin1String("read"))
            return Read(Args);
        if (Command == QLatin1String("write"))
            return Write(Args);
        if (Command == QLatin1String("diff"))
            return Diff(Args);
        if (Command == QLatin1String("defaults"))
            return Defaults(Args);
        if (Command == QLatin1String("doctor"))
            return RunDoctor(Args, FOutput);
        Usage(QStringLiteral("unknown command \"%1\"").arg(Command));
    }

private:
    // Takes "-o FILE" / "--output FILE" / "--output=FILE" out of Args.
    static std::optional<QString> TakeOutput(QStringList& Args)
    {
        std::optional<QString> Output;
        for (qsizetype I = 0; I < Args.size();) {
            const QString Arg = Args[I];
            if (Arg == QLatin1String("-o") || Arg == QLatin1String("--output")) {
                if (I + 1 >= Args.size())
                    Usage(Arg + QStringLiteral(" needs a file name"));
                Output = Args[I + 1];
                Args.remove(I, 2);
            } else if (Arg.startsWith(QLatin1String("--output="))) {
                Output = Arg.mid(9);
                Args.remove(I);
            } else {
                ++I;
            }
        }
        return Output;
    }

    static void TakeOperands(const QStringList& Args, int Count, const char* Names)
    {
        for (const QString& Arg : Args)
            if (Arg.startsWith(u'-') && Arg != QLatin1String("-"))
                Usage(QStringLiteral("unknown option \"%1\"").arg(Arg));
        if (Args.size() != Count)
            Usage(QStringLiteral("usage: morvel-smsctl %1").arg(QLatin1String(Names)));
    }

    bool Interactive() const { return ::isatty(::fileno(FErrors)); }

    void Connect(const QString& Port)
    {
        if (Port != Auto) {
            FSession.Connect(ResolvePort(Port));
            return;
        }
        QStringList Answering;
        for (const QString& Candidate : ListPorts()) {
            try {
                FSession.Connect(Candidate);
                FSession.Disconnect();
                Answering << Candidate;
            } catch (const ESmsctl&) {
                // Not a relay controller, or not free: auto takes only what answers.
            }
        }
        if (Answering.isEmpty())
            throw ESmsctl(esNoDevice, QStringLiteral("auto: no port answered the handshake"));
        if (Answering.size() > 1)
            throw ESmsctl(esUsage, QStringLiteral("auto: %1 ports answered (%2); name one")
                                       .arg(Answering.size())
                                       .arg(Answering.join(QStringLiteral(", "))));
        FSession.Connect(Answering.first());
    }

    TItemStore ReadBox(const QString& Port)
    {
        Connect(Port);
        const TItemStore Items = FSession.Read();
        FSession.Disconnect();
        return Items;
    }

    void Emit(const QByteArray& Text, const std::optional<QString>& Path)
    {
        if (Path) {
            SaveFileAtomically(*Path, Text);
            return;
        }
        if (std::fwrite(Text.constData(), 1, static_cast<size_t>(Text.size()), FOutput) !=
                static_cast<size_t>(Text.size()) ||
            std::fflush(FOutput) != 0)
            throw ESmsctl(esFile, QStringLiteral("standard output: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    }

    int Ports(const QStringList& Args)
    {
        TakeOperands(Args, 0, "no argument");
        // One port a line: its path, then what the system knows of it, tab-separated.
        for (const QString& Port : ListPorts()) {
            const QString Facts = DescribeSerialPort(Port);
            std::fprintf(FOutput, "%s\n", qPrintable(Facts.isEmpty() ? Port : Port + u'\t' + QString(Facts).replace(u'\n', u'\t')));
        }
        return esOk;
    }

    int Read(QStringList Args)
    {
        const std::optional<QString> Output = TakeOutput(Args);
        TakeOperands(Args, 1, "read PORT [-o FILE]");
        const TItemStore Items = ReadBox(Args[0]);
        // The file holds what the box holds; a text the window could not take is worth a word.
        for (const TItemDef& Item : ItemTable()) {
            const qsizetype Length = Items.ItemText(QString::fromLatin1(Item.Control)).size();
            if (IsTextKind(Item.Kind) && Length > Item.MaxLength)
                std::fprintf(FErrors,
                             "morvel-smsctl: warning: %s is %lld bytes long, more than the %d a file "
                             "may give it; write refuses the file until it is shortened\n",
                             Item.Key, static_cast<long long>(Length), Item.MaxLength);
        }
        Emit(FormatConfigFile(Items, false), Output);
        return esOk;
    }

    int Write(QStringList Args)
    {
        const bool Verify = Args.removeAll(QStringLiteral("--verify")) > 0;
        TakeOperands(Args, 2, "write [--verify] PORT FILE");
        // The whole file is checked before the port is touched: a bad file sends nothing.
        TItemStore Items;
        LoadConfigFile(Args[1], Items, {.Complete = true, .Sendable = true});
        Connect(Args[0]);
        FSession.Write(Items);
        if (Interactive())
            std::fprintf(FErrors, "%s: configuration written\n", qPrintable(FSession.Port()));
        if (!Verify) {
            FSession.Disconnect();
            return esOk;
        }
        const auto Differences = CompareItems(AsStoredByBox(Items), FSession.Read());
        FSession.Disconnect();
        if (Differences.empty()) {
            if (Interactive())
                std::fprintf(FErrors, "%s: verified, the box holds the file\n", qPrintable(FSession.Port()));
            return esOk;
        }
        std::fprintf(FErrors, "morvel-smsctl: %s: the box holds something else than %s:\n",
                     qPrintable(FSession.Port()), qPrintable(Args[1]));
        for (const TItemDifference& D : Differences)
            std::fprintf(FErrors, "  %s: sent %s, holds %s\n", qPrintable(D.Key), qPrintable(D.Left),
                         qPrintable(D.Right));
        return esVerifyFailed;
    }

    TItemStore Load(const QString& Source)
    {
        if (NamesPort(Source))
            return ReadBox(Source);
        TItemStore Items;
        LoadConfigFile(Source, Items);
        return Items;
    }

    int Diff(const QStringList& Args)
    {
        TakeOperands(Args, 2, "diff A B");
        const TItemStore Left = Load(Args[0]), Right = Load(Args[1]);
        const auto Differences = CompareItems(Left, Right);
        if (Differences.empty())
            return esOk;
        std::fprintf(FOutput, "--- %s\n+++ %s\n", qPrintable(Args[0]), qPrintable(Args[1]));
        for (const TItemDifference& D : Differences)
            std::fprintf(FOutput, "-%s = %s\n+%s = %s\n", qPrintable(D.Key), qPrintable(D.Left),
                         qPrintable(D.Key), qPrintable(D.Right));
        return esDiffer;
    }

    int Defaults(QStringList Args)
    {
        const std::optional<QString> Output = TakeOutput(Args);
        TakeOperands(Args, 0, "defaults [-o FILE]");
        Emit(FormatConfigFile(TItemStore(), true), Output);
        return esOk;
    }

    FILE* FOutput;
    FILE* FErrors;
    TBoxSession FSession;
};

} // namespace

int RunSmsctl(const QStringList& Args, FILE* Output, FILE* Errors)
{
    try {
        return TCommands(Output, Errors).Run(Args);
    } catch (const ESmsctl& Error) {
        std::fprintf(Errors, "morvel-smsctl: %s\n", qPrintable(Error.Message()));
        return Error.Status();
    } catch (const EConfigFile& Error) {
        std::fprintf(Errors, "morvel-smsctl: %s\n", qPrintable(Error.Message()));
        return esFile;
    } catch (const EComPort& Error) {
        std::fprintf(Errors, "morvel-smsctl: %s\n", qPrintable(ErrorReportText(Error)));
        return esBrokenOff;
    } catch (const std::exception& Error) {
        std::fprintf(Errors, "morvel-smsctl: %s\n", qPrintable(ExceptionMessage(Error)));
        return esBrokenOff;
    }
}
