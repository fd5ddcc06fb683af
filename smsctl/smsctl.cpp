#include "smsctl.h"

#include "box_session.h"
#include "doctor.h"
#include "fleet.h"

#include "core/box_texts.h"
#include "core/file_io.h"
#include "core/stop_signals.h"

#include "device/config_file.h"
#include "device/export_plan.h"
#include "device/items.h"
#include "serial/com_errors.h"
#include "serial/port_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <optional>

#include <unistd.h>

const char* const SmsctlUsage =
    "usage: morvel-smsctl [--json] COMMAND [ARGUMENT]...\n"
    "Back up, restore, compare and provision Morvel SMS relay controllers.\n"
    "\n"
    "  ports                         the serial ports, with what is known of USB adapters\n"
    "  read PORT [-o FILE]           read the box's configuration (to standard output)\n"
    "  read PORT... -o FOLDER        read several boxes at once, one file per port\n"
    "  write [--verify] PORT... FILE send FILE to the boxes at once; --verify reads back\n"
    "  set PORT KEY=VALUE...         change the named items of the box, keep the rest\n"
    "  diff A B                      the items that differ; A and B are files or ports\n"
    "  defaults [-o FILE]            the default configuration, each item explained\n"
    "  doctor [PORT]                 what keeps this user from the ports, and the fixes\n"
    "\n"
    "PORT is a path, a name from 'ports', or 'auto': for write and read -o FOLDER\n"
    "every port whose box answers, elsewhere the one port whose box answers. --json\n"
    "prints JSON on standard output (ports, read, diff, write). FILE - is standard\n"
    "input. Exit status: 0 done, 1 differences found, 2 bad command line, 3 bad or\n"
    "unwritable file, 4 port cannot be opened, 5 port held by another program, 6 no\n"
    "box answered, 7 the exchange broke off, 8 --verify found differences, 130/143\n"
    "stopped by SIGINT/SIGTERM; for several ports the worst of theirs; doctor: 1 a\n"
    "check found a problem that blocks.\n";

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
        FJson = Args.removeAll(QStringLiteral("--json")) > 0;
        FChild = Args.removeAll(QStringLiteral("--child")) > 0;
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
        // A --json write ends with its result line whatever stops it; a fleet's child likewise.
        FResultDue = FChild || (FJson && Command == QLatin1String("write"));
        if (FJson && (Command == QLatin1String("set") || Command == QLatin1String("defaults")))
            Usage(QStringLiteral("--json is for ports, read, diff and write"));
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
        if (Command == QLatin1String("set"))
            return Set(Args);
        Usage(QStringLiteral("unknown command \"%1\"").arg(Command));
    }

    // The last line of a --json write and of every command a fleet runs as its child: the
    // exit status, the message and the records the box got. Never throws.
    void Finish(int Status, const QString& Message) noexcept
    {
        if (!FResultDue)
            return;
        const QString& Said = Message.isEmpty() ? FResultMessage : Message;
        try {
            const QString Name = FSession.Port().isEmpty() ? FResultPort : FSession.Port();
            const QByteArray Port = "{\"port\":" + JsonText(Name) + ",\"status\":" + QByteArray::number(Status) +
                                    ",\"records\":" + QByteArray::number(FSession.RecordsWritten()) +
                                    ",\"message\":" + JsonText(Said) + '}';
            Line("{\"event\":\"result\",\"status\":" + QByteArray::number(Status) + ",\"message\":" +
                 JsonText(Said) + ",\"ports\":[" + Port + "]}\n");
        } catch (...) {
            // The status still tells.
        }
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

    static void TakeOperands(const QStringList& Args, int Least, int Most, const char* Names)
    {
        TakeOperands(Args, static_cast<int>(std::clamp<qsizetype>(Args.size(), Least, Most)), Names);
    }

    bool Interactive() const { return !FChild && ::isatty(::fileno(FErrors)); }

    void Line(const QByteArray& Text)
    {
        if (std::fwrite(Text.constData(), 1, static_cast<size_t>(Text.size()), FOutput) !=
                static_cast<size_t>(Text.size()) ||
            std::fflush(FOutput) != 0)
            throw ESmsctl(esFile, QStringLiteral("standard output: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    }

    // The ports a command names, each once, as paths; 'auto' stands for every listed port.
    QStringList ExpandPorts(const QStringList& Names, bool& FromAuto)
    {
        QStringList Ports, Devices;
        FromAuto = Names.contains(Auto);
        for (const QString& Name : Names) {
            const QStringList These = Name == Auto ? ListPorts() : QStringList{ResolvePort(Name)};
            for (const QString& Port : These) {
                // /dev/serial/by-id/... and /dev/ttyUSB0 are one device.
                const QString Device = QFileInfo(Port).canonicalFilePath();
                if (!Devices.contains(Device.isEmpty() ? Port : Device)) {
                    Ports << Port;
                    Devices << (Device.isEmpty() ? Port : Device);
                } else if (!FromAuto) {
                    Usage(QStringLiteral("%1 is named twice; a port takes one exchange at a time").arg(Name));
                }
            }
        }
        if (Ports.isEmpty())
            throw ESmsctl(esNoDevice, QStringLiteral("auto: no port is listed (morvel-smsctl ports)"));
        return Ports;
    }

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
                // Not a relay controller, or not free: auto takes only what answers. A stop
                // signal ends the search.
                if (TStopSignals::Caught())
                    throw;
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
        if (Path && *Path != QLatin1String("-")) {
            WriteFileSafely(*Path, Text);
            return;
        }
        Line(Text);
    }

    int Ports(const QStringList& Args)
    {
        TakeOperands(Args, 0, "no argument");
        if (FJson) {
            QByteArray Ports;
            for (const QString& Port : ListPorts()) {
                QByteArray Facts;
                for (const QString& Fact : DescribeSerialPort(Port).split(u'\n', Qt::SkipEmptyParts))
                    Facts += QByteArray(Facts.isEmpty() ? "" : ",") + JsonText(Fact);
                Ports += QByteArray(Ports.isEmpty() ? "" : ",") + "{\"path\":" + JsonText(Port) + ",\"facts\":[" + Facts + "]}";
            }
            Line("{\"ports\":[" + Ports + "]}\n");
            return esOk;
        }
        // One port a line: its path, then what the system knows of it, tab-separated.
        for (const QString& Port : ListPorts()) {
            const QString Facts = DescribeSerialPort(Port);
            std::fprintf(FOutput, "%s\n", qPrintable(Facts.isEmpty() ? Port : Port + u'\t' + QString(Facts).replace(u'\n', u'\t')));
        }
        return esOk;
    }

    int Read(QStringList Args)
    {
        std::optional<QString> Output = TakeOutput(Args);
        if (FJson && !FChild && Output == QStringLiteral("-"))
            Output.reset(); // standard output carries the JSON document, the configuration in it
        TakeOperands(Args, 1, static_cast<int>(std::max<qsizetype>(Args.size(), 1)), "read PORT [-o FILE], or read PORT... -o FOLDER");
        const bool Folder = Output && QFileInfo(*Output).isDir();
        if (Args.size() > 1 && !Folder)
            Usage(QStringLiteral("several ports need -o FOLDER, an existing folder to hold one file per port"));
        if (Folder && (Args.size() > 1 || Args[0] == Auto))
            return ReadFleet(Args, *Output);
        FResultPort = Args[0];
        const std::optional<QString> Target = Folder ? std::optional(FolderFile(*Output, ResolvePort(Args[0]), {})) : Output;
        const TItemStore Items = ReadBox(Args[0]);
        if (!FJson || FChild || Target)
            Emit(FormatConfigFile(Items, false), Target);
        if (FJson && !FChild)
            Line("{\"port\":" + JsonText(FSession.Port()) +
                 (Target ? ",\"file\":" + JsonText(*Target) : ",\"configuration\":" + ConfigJson(Items)) + "}\n");
        return esOk;
    }

    // One file per port in Folder, named after the port: "ttyUSB0.toml", "ttyUSB0-2.toml" when
    // two ports share a name.
    static QString FolderFile(const QString& Folder, const QString& Port, const QStringList& Taken)
    {
        const QString Base = QFileInfo(Port).fileName();
        QString Name = Base + QStringLiteral(".toml");
        for (int N = 2; Taken.contains(Name); ++N)
            Name = QStringLiteral("%1-%2.toml").arg(Base).arg(N);
        return QDir(Folder).filePath(Name);
    }

    int ReadFleet(const QStringList& Names, const QString& Folder)
    {
        bool FromAuto = false;
        std::vector<TFleetJob> Jobs;
        QStringList Taken;
        for (const QString& Port : ExpandPorts(Names, FromAuto)) {
            const QString File = FolderFile(Folder, Port, Taken);
            Taken << QFileInfo(File).fileName();
            Jobs.push_back({Port, {QStringLiteral("read"), Port, QStringLiteral("-o"), File}, {}, QStringLiteral("into ") + File});
        }
        return RunFleet(Jobs, {.Json = FJson, .Auto = FromAuto, .Done = QStringLiteral("read")}, FOutput, FErrors);
    }

    int Write(QStringList Args)
    {
        const bool Verify = Args.removeAll(QStringLiteral("--verify")) > 0;
        TakeOperands(Args, 2, static_cast<int>(std::max<qsizetype>(Args.size(), 2)), "write [--verify] PORT... FILE");
        const QString File = Args.takeLast();
        FResultPort = Args.size() == 1 ? Args[0] : QString();
        // The whole file is checked before a port is touched: a bad file sends nothing. A text
        // longer than its field is sent whole: a box holds such texts, and its backup must
        // restore them.
        const bool Fleet = Args.size() > 1 || Args[0] == Auto;
        bool FromAuto = false;
        const QStringList Ports = Fleet ? ExpandPorts(Args, FromAuto) : Args;
        TItemStore Items;
        const QStringList Warnings = LoadConfigFile(File, Items, {.Complete = true, .Sendable = true, .Limited = false});
        if (!FChild)
            for (const QString& Warning : Warnings)
                std::fprintf(FErrors, "morvel-smsctl: warning: %s\n", qPrintable(Warning));
        if (!Fleet)
            return WriteBox(Args[0], Items, Verify, File);

        FResultDue = false; // the fleet gives the run's result
        // The children get the file as checked here, through a pipe: read once, the same for all.
        const QByteArray Text = FormatConfigFile(Items, false);
        std::vector<TFleetJob> Jobs;
        for (const QString& Port : Ports) {
            QStringList Command{QStringLiteral("write")};
            if (Verify)
                Command << QStringLiteral("--verify");
            Jobs.push_back({Port, Command << Port << QStringLiteral("-"), Text, {}});
        }
        return RunFleet(Jobs, {.Json = FJson, .Auto = FromAuto, .Done = Verify ? QStringLiteral("verified") : QStringLiteral("written")},
                        FOutput, FErrors);
    }

    void Event(const QString& Kind, const QByteArray& Fields = {})
    {
        if (FJson)
            Line(FleetEvent(Kind, FSession.Port(), Fields));
    }

    int WriteBox(const QString& Port, const TItemStore& Items, bool Verify, const QString& File)
    {
        Connect(Port);
        Event(QStringLiteral("connected"));
        FSession.OnProgress = [this](int Position, int SecondsLeft, int Records) {
            Event(QStringLiteral("progress"), "\"position\":" + QByteArray::number(Position) + ",\"maximum\":" +
                                                  QByteArray::number(ProgressMaximum) + ",\"seconds_left\":" +
                                                  QByteArray::number(SecondsLeft) + ",\"records\":" +
                                                  QByteArray::number(Records) + ",\"total\":" + QByteArray::number(ItemCount));
        };
        FSession.Write(Items);
        Event(QStringLiteral("written"), "\"records\":" + QByteArray::number(FSession.RecordsWritten()));
        if (Interactive())
            std::fprintf(FErrors, "%s: configuration written\n", qPrintable(FSession.Port()));
        if (!Verify) {
            FSession.Disconnect();
            return esOk;
        }
        const TItemStore Sent = AsStoredByBox(Items), Held = FSession.Read();
        FSession.Disconnect();
        const auto Differences = CompareItems(Sent, Held);
        Event(QStringLiteral("verified"), "\"differences\":" + DifferencesJson(Differences, Sent, Held, "sent", "holds"));
        if (Differences.empty()) {
            if (Interactive())
                std::fprintf(FErrors, "%s: verified, the box holds the file\n", qPrintable(FSession.Port()));
            return esOk;
        }
        std::fprintf(FErrors, "morvel-smsctl: %s: the box holds something else than %s:\n",
                     qPrintable(FSession.Port()), qPrintable(File));
        QStringList Keys;
        for (const TItemDifference& D : Differences)
            Keys << D.Key;
        FResultMessage = QStringLiteral("%1: the box holds something else than %2 in %3")
                             .arg(FSession.Port(), File, Keys.join(QStringLiteral(", ")));
        for (const TItemDifference& D : Differences)
            std::fprintf(FErrors, "  %s: sent %s, holds %s\n", qPrintable(D.Key), qPrintable(D.Left),
                         qPrintable(D.Right));
        return esVerifyFailed;
    }

    TItemStore Load(const QString& Source)
    {
        if (NamesPort(Source))
            return ReadBox(Source);
        // A backup holds what the box holds, texts longer than their fields included.
        TItemStore Items;
        LoadConfigFile(Source, Items, {.Limited = false});
        return Items;
    }

    // [{"key": K, "a": value, "b": value}...], the values as JSON.
    static QByteArray DifferencesJson(const std::vector<TItemDifference>& Differences, const TItemView& Left,
                                      const TItemView& Right, const char* LeftName, const char* RightName)
    {
        QByteArray List;
        for (const TItemDifference& D : Differences)
            List += QByteArray(List.isEmpty() ? "{\"key\":" : ",{\"key\":") + JsonText(D.Key) + ",\"" + LeftName +
                    "\":" + ConfigValueJson(D.Key, Left) + ",\"" + RightName + "\":" + ConfigValueJson(D.Key, Right) + '}';
        return '[' + List + ']';
    }

    int Diff(const QStringList& Args)
    {
        TakeOperands(Args, 2, "diff A B");
        const TItemStore Left = Load(Args[0]), Right = Load(Args[1]);
        const auto Differences = CompareItems(Left, Right);
        if (FJson) {
            Line("{\"a\":" + JsonText(Args[0]) + ",\"b\":" + JsonText(Args[1]) + ",\"differences\":" +
                 DifferencesJson(Differences, Left, Right, "a", "b") + "}\n");
            return Differences.empty() ? esOk : esDiffer;
        }
        if (Differences.empty())
            return esOk;
        std::fprintf(FOutput, "--- %s\n+++ %s\n", qPrintable(Args[0]), qPrintable(Args[1]));
        for (const TItemDifference& D : Differences)
            std::fprintf(FOutput, "-%s = %s\n+%s = %s\n", qPrintable(D.Key), qPrintable(D.Left),
                         qPrintable(D.Key), qPrintable(D.Right));
        return esDiffer;
    }

    // Reads the box, changes the named items and writes all of them back. Every assignment
    // is checked before anything is sent.
    int Set(QStringList Args)
    {
        TakeOperands(Args, 2, static_cast<int>(std::max<qsizetype>(Args.size(), 2)), "set PORT KEY=VALUE...");
        const QString Port = Args.takeFirst();
        QSet<QString> Keys;
        TItemStore Check;
        for (const QString& Assignment : Args) {
            const QString Key = Assignment.section(u'=', 0, 0);
            if (Keys.contains(Key))
                Usage(QStringLiteral("%1 is given twice").arg(Key));
            Keys.insert(Key);
            try {
                AssignConfigValue(Assignment, Check);
            } catch (const EConfigFile& Error) {
                throw ESmsctl(esUsage, Error.Message());
            }
        }
        Connect(Port);
        TItemStore Items = FSession.Read();
        for (const QString& Assignment : Args)
            AssignConfigValue(Assignment, Items);
        FSession.Write(Items);
        FSession.Disconnect();
        if (Interactive())
            std::fprintf(FErrors, "%s: %lld item%s changed, configuration written\n", qPrintable(FSession.Port()),
                         static_cast<long long>(Args.size()), Args.size() == 1 ? "" : "s");
        return esOk;
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
    bool FJson = false;
    bool FChild = false;      // run by a fleet: JSON lines, a result, no warnings of its own
    bool FResultDue = false;  // Finish prints the result line
    QString FResultPort;
    QString FResultMessage;   // what the result says of a failure that is no exception
};

} // namespace

int RunSmsctl(const QStringList& Args, FILE* Output, FILE* Errors)
{
    TCommands Commands(Output, Errors);
    int Status = esOk;
    QString Message;
    try {
        Status = Commands.Run(Args);
    } catch (const ESmsctl& Error) {
        Message = Error.Message();
        Status = Error.Status();
    } catch (const EConfigFile& Error) {
        Message = Error.Message();
        Status = esFile;
    } catch (const EFileIo& Error) {
        Message = Error.Message();
        Status = esFile;
    } catch (const EComPort& Error) {
        Message = ErrorReportText(Error);
        Status = esBrokenOff;
    } catch (const std::exception& Error) {
        Message = ExceptionMessage(Error);
        Status = esBrokenOff;
    }
    if (!Message.isEmpty())
        std::fprintf(Errors, "morvel-smsctl: %s\n", qPrintable(Message));
    Commands.Finish(Status, Message);
    return Status;
}
