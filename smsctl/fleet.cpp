#include "fleet.h"

#include "box_session.h"
#include "console_link.h"

#include "core/message_pump.h"
#include "core/stop_signals.h"
#include "device/config_file.h"
#include "device/export_plan.h"
#include "device/items.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <algorithm>
#include <csignal>
#include <memory>

#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr int RedrawMs = 200;

enum class TState { Starting, Connected, Sending, Done, Failed, Skipped };

struct TPort
{
    TFleetJob Job;
    std::unique_ptr<QProcess> Process;
    QByteArray Pending; // a JSON line not yet whole
    QByteArray Stderr;
    TState State = TState::Starting;
    int Position = 0;
    int SecondsLeft = 0;
    int Records = 0;
    int Status = -1;
    bool HasResult = false;
    QString Message;
};

QString RecordsText(int Records)
{
    if (Records <= 0)
        return QStringLiteral("no record was sent");
    if (Records >= ItemCount)
        return QStringLiteral("all %1 records").arg(ItemCount);
    return QStringLiteral("records 1 to %1 of %2 (up to %3)")
        .arg(Records)
        .arg(ItemCount)
        .arg(ItemKeys(*FindItem(Records)).first());
}

class TFleet
{
public:
    TFleet(const TFleetOptions& Options, FILE* Output, FILE* Errors)
        : FOptions(Options), FOutput(Output), FErrors(Errors),
          FTerminal(!Options.Json && ::isatty(::fileno(Errors)))
    {
    }

    int Run(const std::vector<TFleetJob>& Jobs)
    {
        // Each child takes its stop signals itself, between records; here they are passed on.
        const TStopSignals Signals([this](int Signal) { Forward(Signal); });
        // Lines rewritten in place must all fit on the screen; more ports get plain lines.
        if (winsize Size{}; FTerminal && ::ioctl(::fileno(FErrors), TIOCGWINSZ, &Size) == 0 && Size.ws_row > 0 &&
                            Jobs.size() + 2 > Size.ws_row)
            FTerminal = false;
        for (const TFleetJob& Job : Jobs)
            Start(Job);
        QElapsedTimer SinceDraw;
        SinceDraw.start();
        Draw();
        while (std::any_of(FPorts.begin(), FPorts.end(), [](const auto& P) { return P->Process != nullptr; })) {
            MessagePump->ProcessMessagesOrWait(RedrawMs);
            if (FChanged && (SinceDraw.elapsed() >= RedrawMs || !FTerminal)) {
                Draw();
                SinceDraw.restart();
            }
        }
        Draw();
        return Summary();
    }

private:
    void Start(const TFleetJob& Job)
    {
        auto Port = std::make_unique<TPort>();
        Port->Job = Job;
        Port->Process = std::make_unique<QProcess>();
        QProcess& Child = *Port->Process;
        TPort* P = Port.get();
        Child.setProgram(QCoreApplication::applicationFilePath());
        Child.setArguments(QStringList{QStringLiteral("--json"), QStringLiteral("--child")} + Job.Args);
        // Its own process group: a Ctrl+C on the terminal reaches this process only, which
        // passes it on, so each child gets it once. A child whose parent dies is stopped, so
        // no port stays held.
        Child.setChildProcessModifier([] {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        });
        QObject::connect(&Child, &QProcess::readyReadStandardOutput, [this, P] { TakeOutput(*P); });
        QObject::connect(&Child, &QProcess::readyReadStandardError,
                         [P] {
                             if (P->Process)
                                 P->Stderr += P->Process->readAllStandardError();
                         });
        QObject::connect(&Child, &QProcess::finished, [this, P](int Code, QProcess::ExitStatus How) {
            Finished(*P, Code, How);
        });
        QObject::connect(&Child, &QProcess::errorOccurred, [this, P](QProcess::ProcessError Error) {
            if (Error == QProcess::FailedToStart)
                Finished(*P, esBrokenOff, QProcess::CrashExit);
        });
        FPorts.push_back(std::move(Port));
        Child.start();
        Child.write(Job.Input);
        Child.closeWriteChannel();
    }

    void Forward(int Signal)
    {
        if (!FInterrupted)
            FInterrupted = Signal;
        for (const auto& P : FPorts)
            if (P->Process && P->Process->processId() > 0)
                ::kill(static_cast<pid_t>(P->Process->processId()), Signal);
    }

    void TakeOutput(TPort& P)
    {
        if (!P.Process)
            return;
        P.Pending += P.Process->readAllStandardOutput();
        for (qsizetype End; (End = P.Pending.indexOf('\n')) >= 0;) {
            const QByteArray Line = P.Pending.left(End);
            P.Pending.remove(0, End + 1);
            TakeEvent(P, Line);
        }
    }

    void TakeEvent(TPort& P, const QByteArray& Line)
    {
        const QJsonObject Event = QJsonDocument::fromJson(Line).object();
        const QString Kind = Event.value(QLatin1String("event")).toString();
        if (Kind == QLatin1String("result")) {
            const QJsonObject Port = Event.value(QLatin1String("ports")).toArray().at(0).toObject();
            P.HasResult = true;
            P.Status = Event.value(QLatin1String("status")).toInt(esBrokenOff);
            P.Message = Event.value(QLatin1String("message")).toString();
            P.Records = Port.value(QLatin1String("records")).toInt(P.Records);
            return; // this process gives the run's one result
        }
        if (Kind == QLatin1String("connected")) {
            P.State = TState::Connected;
        } else if (Kind == QLatin1String("progress")) {
            P.State = TState::Sending;
            P.Position = Event.value(QLatin1String("position")).toInt();
            P.SecondsLeft = Event.value(QLatin1String("seconds_left")).toInt();
            P.Records = Event.value(QLatin1String("records")).toInt();
        } else if (Kind == QLatin1String("written")) {
            P.Records = Event.value(QLatin1String("records")).toInt(P.Records);
        }
        FChanged = true;
        if (FOptions.Json)
            Emit(Line + '\n');
        else if (!FTerminal && Kind == QLatin1String("connected"))
            std::fprintf(FErrors, "%s: connected\n", qPrintable(P.Job.Port));
    }

    void Finished(TPort& P, int Code, QProcess::ExitStatus How)
    {
        if (!P.Process)
            return;
        TakeOutput(P);
        P.Stderr += P.Process->readAllStandardError();
        if (!P.HasResult) {
            // No word from the child: it died, or could not start at all.
            const bool Crashed = How == QProcess::CrashExit;
            P.Status = Crashed && FInterrupted ? StoppedExitStatus(FInterrupted) : Crashed ? esBrokenOff : Code;
            P.Message = QString::fromLocal8Bit(P.Stderr).trimmed();
            if (P.Message.isEmpty())
                P.Message = P.Process->error() == QProcess::FailedToStart
                                ? QStringLiteral("cannot start %1: %2").arg(P.Process->program(), P.Process->errorString())
                                : QStringLiteral("the exchange stopped; %1 went out").arg(RecordsText(P.Records));
        }
        const bool NoBox = P.Status == esNoDevice || P.Status == esPortFailed || P.Status == esPortHeld;
        P.State = P.Status == esOk ? TState::Done : FOptions.Auto && NoBox ? TState::Skipped : TState::Failed;
        // Not deleted from inside its own signal: kept until the run is over.
        FEnded.push_back(std::move(P.Process));
        FChanged = true;
        if (!FTerminal && !FOptions.Json && P.State != TState::Skipped)
            std::fprintf(FErrors, "%s: %s\n", qPrintable(P.Job.Port), qPrintable(StateText(P)));
    }

    QString StateText(const TPort& P) const
    {
        switch (P.State) {
        case TState::Starting: return QStringLiteral("connecting");
        case TState::Connected: return QStringLiteral("connected");
        case TState::Sending:
            return ProgressLine(P.Position, ProgressMaximum, P.SecondsLeft, 20);
        case TState::Done: return DoneText(P);
        case TState::Skipped: return QStringLiteral("no box answered");
        case TState::Failed: break;
        }
        if (FInterrupted && P.Status == StoppedExitStatus(FInterrupted))
            return QStringLiteral("stopped, %1").arg(RecordsText(P.Records));
        return QStringLiteral("failed (%1)").arg(P.Status);
    }

    // On a terminal, one line per port, rewritten in place.
    void Draw()
    {
        FChanged = false;
        if (!FTerminal)
            return;
        winsize Size{};
        const int Width = ::ioctl(::fileno(FErrors), TIOCGWINSZ, &Size) == 0 && Size.ws_col > 0 ? Size.ws_col : 80;
        int NameWidth = 0;
        for (const auto& P : FPorts)
            NameWidth = std::max<int>(NameWidth, static_cast<int>(P->Job.Port.size()));
        NameWidth = std::min(NameWidth, 28);
        QByteArray Out;
        if (FDrawnLines > 0)
            Out += "\033[" + QByteArray::number(FDrawnLines) + "A";
        for (const auto& P : FPorts) {
            QString Name = P->Job.Port;
            if (Name.size() > NameWidth)
                Name = QStringLiteral("...") + Name.right(NameWidth - 3);
            // Kept inside the terminal's width: a wrapped line would throw the rewrite off.
            const QString Line = (Name.leftJustified(NameWidth) + QStringLiteral("  ") + StateText(*P)).left(Width - 1);
            Out += "\r\033[K" + Line.toLocal8Bit() + '\n';
        }
        FDrawnLines = static_cast<int>(FPorts.size());
        std::fwrite(Out.constData(), 1, static_cast<size_t>(Out.size()), FErrors);
        std::fflush(FErrors);
    }

    int Summary()
    {
        int Worst = esOk, Done = 0, Failed = 0, Stopped = 0;
        QByteArray Ports;
        QStringList Lines;
        for (const auto& P : FPorts) {
            if (P->State == TState::Skipped)
                continue;
            Worst = std::max(Worst, P->Status);
            const bool WasStopped = FInterrupted && P->Status == StoppedExitStatus(FInterrupted);
            (P->State == TState::Done ? Done : WasStopped ? Stopped : Failed) += 1;
            if (!Ports.isEmpty())
                Ports += ',';
            Ports += "{\"port\":" + JsonText(P->Job.Port) + ",\"status\":" + QByteArray::number(P->Status) +
                     ",\"records\":" + QByteArray::number(P->Records) + ",\"message\":" + JsonText(P->Message) + '}';
            if (P->State == TState::Done) {
                if (!FTerminal) // the port's line above says it already
                    Lines << QStringLiteral("  %1: %2").arg(P->Job.Port, DoneText(*P));
                continue;
            }
            // The child's message names its port first; the line does already.
            QString Message = P->Message;
            if (Message.startsWith(P->Job.Port + QStringLiteral(": ")))
                Message.remove(0, P->Job.Port.size() + 2);
            if (!WasStopped)
                Message = QStringLiteral("failed (%1): %2").arg(P->Status).arg(Message);
            Lines << QStringLiteral("  %1: %2").arg(P->Job.Port, Message.replace(u'\n', QStringLiteral("\n    ")));
        }
        QString Message;
        if (Done + Failed + Stopped == 0) {
            // Say why, so that a user outside the group that may open ports learns it here.
            QStringList Why;
            const auto Held = std::count_if(FPorts.begin(), FPorts.end(), [](const auto& P) { return P->Status == esPortHeld; });
            if (Held > 0)
                Why << QStringLiteral("%1 held by another program").arg(Held);
            const auto Closed = std::find_if(FPorts.begin(), FPorts.end(), [](const auto& P) { return P->Status == esPortFailed; });
            if (Closed != FPorts.end())
                Why << QStringLiteral("%1 could not be opened (%2)")
                           .arg(std::count_if(FPorts.begin(), FPorts.end(), [](const auto& P) { return P->Status == esPortFailed; }))
                           .arg((*Closed)->Message);
            Worst = FInterrupted ? StoppedExitStatus(FInterrupted) : esNoDevice;
            Message = FInterrupted ? QStringLiteral("stopped before any box answered")
                                   : QStringLiteral("auto: no port answered the handshake") +
                                         (Why.isEmpty() ? QString() : QStringLiteral("; ") + Why.join(QStringLiteral(", ")));
            std::fprintf(FErrors, "morvel-smsctl: %s\n", qPrintable(Message));
        } else {
            const int All = Done + Failed + Stopped;
            QString Head = QStringLiteral("%1 box%2: %3 %4, %5 failed")
                               .arg(All)
                               .arg(All == 1 ? "" : "es")
                               .arg(Done)
                               .arg(FOptions.Done)
                               .arg(Failed);
            if (FInterrupted) {
                Message = QStringLiteral("stopped by %1").arg(SignalName(FInterrupted));
                Head += QStringLiteral(", %1 %2").arg(Stopped).arg(Message);
            }
            Lines.prepend(QStringLiteral("morvel-smsctl: ") + Head);
            std::fprintf(FErrors, "%s\n", qPrintable(Lines.join(u'\n')));
        }
        std::fflush(FErrors);
        if (FOptions.Json)
            Emit("{\"event\":\"result\",\"status\":" + QByteArray::number(Worst) + ",\"message\":" + JsonText(Message) +
                 ",\"ports\":[" + Ports + "]}\n");
        return Worst;
    }

    // What a box that succeeded got: its records for a write, the file for a read.
    QString DoneText(const TPort& P) const
    {
        QString Text = FOptions.Done;
        if (!P.Job.Detail.isEmpty())
            Text += u' ' + P.Job.Detail;
        if (P.Records > 0)
            Text += QStringLiteral(", ") + RecordsText(P.Records);
        return Text;
    }

    void Emit(const QByteArray& Text)
    {
        std::fwrite(Text.constData(), 1, static_cast<size_t>(Text.size()), FOutput);
        std::fflush(FOutput);
    }

    TFleetOptions FOptions;
    FILE* FOutput;
    FILE* FErrors;
    bool FTerminal;
    std::vector<std::unique_ptr<TPort>> FPorts;
    std::vector<std::unique_ptr<QProcess>> FEnded;
    int FDrawnLines = 0;
    int FInterrupted = 0;
    bool FChanged = true;
};

} // namespace

int RunFleet(const std::vector<TFleetJob>& Jobs, const TFleetOptions& Options, FILE* Output, FILE* Errors)
{
    return TFleet(Options, Output, Errors).Run(Jobs);
}

QByteArray FleetEvent(const QString& Event, const QString& Port, const QByteArray& Fields)
{
    QByteArray Line = "{\"event\":" + JsonText(Event) + ",\"port\":" + JsonText(Port);
    if (!Fields.isEmpty())
        Line += ',' + Fields;
    return Line + "}\n";
}
