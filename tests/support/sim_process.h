// The relay controller simulator as a child process, and its log as events; shared by the
// end-to-end tests and the exchange benchmark.
#pragma once

#include "tests/support/pump.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <vector>


inline QString BuildDir() { return QStringLiteral(MORVEL_BUILD_DIR); }

// A runtime folder of one's own, set as XDG_RUNTIME_DIR for the object's life: the simulator
// registers its port there and the port dialog looks there.
class TPrivateRuntime
{
public:
    TPrivateRuntime() : FSaved(qgetenv("XDG_RUNTIME_DIR"))
    {
        qputenv("XDG_RUNTIME_DIR", FDir.path().toLocal8Bit());
    }
    ~TPrivateRuntime() { qputenv("XDG_RUNTIME_DIR", FSaved); }
    TPrivateRuntime(const TPrivateRuntime&) = delete;
    TPrivateRuntime& operator=(const TPrivateRuntime&) = delete;

    bool IsValid() const { return FDir.isValid(); }
    QString Path() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
    QByteArray FSaved;
};

// The simulator's log, read whenever asked: one event a line, "<ms> <kind> [line] [word] [hex
// bytes]", the time by the monotonic clock in milliseconds.
class TSimLog
{
public:
    explicit TSimLog(QString Path = {}) : FLog(std::move(Path)) {}
    const QString& Path() const { return FLog; }

    QString LogText() const
    {
        QFile F(FLog);
        return F.open(QIODevice::ReadOnly) ? QString::fromUtf8(F.readAll()) : QString();
    }
    // One logged event: "<ms> <kind> [line] [word] [hex bytes]".
    struct TEvent
    {
        double Ms = 0;
        QString Kind;
        int Line = 0;
        QString Word;
        QByteArray Bytes;
    };
    std::vector<TEvent> Events() const
    {
        std::vector<TEvent> Result;
        for (const QString& Text : LogText().split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList Parts = Text.split(u' ', Qt::SkipEmptyParts);
            bool IsTime = false;
            TEvent E;
            E.Ms = Parts.value(0).toDouble(&IsTime);
            if (!IsTime || Parts.size() < 2)
                continue;
            E.Kind = Parts[1];
            int I = 2;
            bool IsLine = false;
            if (I < Parts.size()) {
                const int Line = Parts[I].toInt(&IsLine);
                if (IsLine && (E.Kind == "record" || E.Kind == "line" || E.Kind == "abandoned")) {
                    E.Line = Line;
                    ++I;
                }
            }
            for (; I < Parts.size(); ++I) {
                const QString& P = Parts[I];
                bool IsHex = P.size() == 2;
                if (IsHex) {
                    P.toUInt(&IsHex, 16);
                }
                if (IsHex)
                    E.Bytes.append(static_cast<char>(P.toUInt(nullptr, 16)));
                else
                    E.Word += (E.Word.isEmpty() ? "" : " ") + P;
            }
            Result.push_back(E);
        }
        return Result;
    }
    int Count(const QString& Kind, const QString& Word = {}) const
    {
        int N = 0;
        for (const TEvent& E : Events())
            N += E.Kind == Kind && (Word.isEmpty() || E.Word == Word);
        return N;
    }

private:
    QString FLog;
};

// relay-sim in a private runtime folder; it registers itself where the port dialog looks.
class TSimProcess : public TSimLog
{
public:
    // Name: the port's name in the runtime folder; another than the default logs to NAME.log.
    explicit TSimProcess(const QString& RuntimeDir, const QStringList& Options = {},
                         const QString& Name = QStringLiteral("relay-sim"))
        : TSimLog(RuntimeDir + (Name == QLatin1String("relay-sim") ? QStringLiteral("/sim.log") : "/" + Name + ".log"))
    {
        FProcess.setProgram(BuildDir() + "/relay-sim");
        QStringList Arguments{"--print-port", "--quiet", "--log", Path()};
        if (Name != QLatin1String("relay-sim"))
            Arguments << "--name" << Name;
        FProcess.setArguments(Arguments + Options);
        FProcess.setProcessChannelMode(QProcess::SeparateChannels);
        FProcess.start();
        FStarted = FProcess.waitForStarted(5000) &&
                   PumpUntil([this] { return FProcess.canReadLine() ||
                                             FProcess.state() != QProcess::Running; });
        if (FStarted)
            FPrinted = QString::fromLocal8Bit(FProcess.readAll());
        FLinkPath = RuntimeDir + "/serial/" + Name;
    }
    ~TSimProcess() { Stop(); }
    void Stop()
    {
        if (FProcess.state() == QProcess::Running) {
            FProcess.terminate();
            FProcess.waitForFinished(5000);
        }
    }
    bool Started() const { return FStarted && QFileInfo::exists(FLinkPath); }
    QString LinkPath() const { return FLinkPath; }
    QString Printed() const { return FPrinted; }
    QProcess& Process() { return FProcess; }

private:
    QProcess FProcess;
    QString FLinkPath, FPrinted;
    bool FStarted = false;
};
