// Many boxes at once, timed: eight simulators, one morvel-smsctl write to all eight, against
// the same write to one box. Prints both wall times and their ratio (the goal: at most 1.1),
// and per box the gaps between records as the box saw them against the pauses' spans: each box
// keeps its own pacing however many run beside it. The simulator stamps a record when it wakes
// to read it, so on a loaded machine single gaps fall short by its wake-up delay: compare the
// fleet's boxes with the one box alone, and the medians, which a lost pause moves by 400 ms.
//
// bench-fleet [N] runs N boxes (8 by default).
#include "app/application.h"
#include "device/export_plan.h"
#include "device/items.h"
#include "tests/support/sim_process.h"

#include <QDir>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

struct TBox
{
    std::unique_ptr<QProcess> Process;
    TSimLog Log;
    QString Name;
};

// Runs morvel-smsctl with Args to its end; the wall time in seconds, or -1 when it failed.
double TimedSmsctl(const QStringList& Args, QByteArray* Out = nullptr)
{
    QProcess Program;
    QElapsedTimer Clock;
    Clock.start();
    Program.start(BuildDir() + "/morvel-smsctl", Args);
    Program.closeWriteChannel();
    if (!Program.waitForFinished(120000) || Program.exitStatus() != QProcess::NormalExit || Program.exitCode() != 0) {
        std::fprintf(stderr, "morvel-smsctl %s failed:\n%s\n", qPrintable(Args.join(u' ')),
                     Program.readAllStandardError().constData());
        return -1;
    }
    if (Out)
        *Out = Program.readAllStandardOutput();
    return static_cast<double>(Clock.nsecsElapsed()) / 1e9;
}

// The records a box logged from the Skip-th on, each gap less its span (400 ms, 1000 ms after
// line 36): how many records, the smallest and the median of those margins. The simulator
// stamps a record when it wakes to read it, so a late wake-up on a busy machine shortens the
// next gap by that much; a missing or shortened pause shows as far more.
struct TPacing
{
    int Records = 0;
    double Smallest = -1;
    double Median = -1;
};
TPacing Pacing(const TSimLog& Log, size_t Skip)
{
    std::vector<TSimLog::TEvent> R;
    for (const TSimLog::TEvent& E : Log.Events())
        if (E.Kind == QLatin1String("record"))
            R.push_back(E);
    if (R.size() <= Skip + 1)
        return {};
    std::vector<double> Over;
    for (size_t I = Skip + 1; I < R.size(); ++I)
        Over.push_back(R[I].Ms - R[I - 1].Ms - (R[I - 1].Line == 36 ? ExportLongPause : ExportPause) * 20.0);
    std::sort(Over.begin(), Over.end());
    return {static_cast<int>(R.size() - Skip), Over.front(), Over[Over.size() / 2]};
}

void PrintPacing(const QString& Name, const TPacing& P)
{
    std::printf("    %-6s %2d records, gap less its span: smallest %+6.1f ms, median %+6.1f ms%s\n", qPrintable(Name),
                P.Records, P.Smallest, P.Median, P.Records == ItemCount && P.Median > 0 ? "" : "  SHORT OR INCOMPLETE");
}

int Run(int Count)
{
    TPrivateRuntime Runtime;
    std::vector<TBox> Boxes(static_cast<size_t>(Count));
    for (int I = 0; I < Count; ++I) {
        TBox& Box = Boxes[static_cast<size_t>(I)];
        Box.Name = QStringLiteral("box%1").arg(I + 1);
        Box.Log = TSimLog(Runtime.Path() + "/" + Box.Name + ".log");
        Box.Process = std::make_unique<QProcess>();
        Box.Process->start(BuildDir() + "/relay-sim",
                           {"--name", Box.Name, "--quiet", "--log", Box.Log.Path()});
        if (!Box.Process->waitForStarted(5000))
            return 1;
    }
    const bool Up = PumpUntil([&] {
        return std::all_of(Boxes.begin(), Boxes.end(), [&](const TBox& B) {
            return QFileInfo::exists(Runtime.Path() + "/serial/" + B.Name);
        });
    }, 10000);
    if (!Up) {
        std::fprintf(stderr, "the simulators did not register\n");
        return 1;
    }
    QByteArray Defaults;
    if (TimedSmsctl({"defaults"}, &Defaults) < 0)
        return 1;
    const QString File = Runtime.Path() + "/site.toml";
    {
        QFile F(File);
        if (!F.open(QIODevice::WriteOnly) || F.write(Defaults) != Defaults.size())
            return 1;
    }

    const double One = TimedSmsctl({"write", Boxes[0].Name, File});
    if (One < 0)
        return 1;
    const TPacing Alone = Pacing(Boxes[0].Log, 0);
    QStringList All{"write"};
    for (const TBox& B : Boxes)
        All << B.Name;
    const double Fleet = TimedSmsctl(All << File);
    if (Fleet < 0)
        return 1;

    std::printf("fleet write: %d boxes\n", Count);
    std::printf("  one box:          %6.2f s\n", One);
    std::printf("  %d boxes at once:  %6.2f s = %.3f x one box (goal: at most 1.1)\n", Count, Fleet, Fleet / One);
    std::printf("  pauses as each box saw them (span: more than %.0f ms, %.0f ms after line 36):\n",
                ExportPause * 20.0, ExportLongPause * 20.0);
    PrintPacing(QStringLiteral("alone"), Alone);
    double Worst = 1e9;
    for (size_t I = 0; I < Boxes.size(); ++I) {
        const TPacing P = Pacing(Boxes[I].Log, I == 0 ? static_cast<size_t>(Alone.Records) : 0);
        Worst = std::min(Worst, P.Smallest);
        PrintPacing(Boxes[I].Name, P);
    }
    std::printf("  worst gap of all boxes: %+.1f ms against its span (one box alone: %+.1f ms)\n", Worst, Alone.Smallest);
    for (TBox& B : Boxes) {
        B.Process->terminate();
        B.Process->waitForFinished(5000);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication App(argc, argv);
    const QStringList Args = App.arguments().mid(1);
    bool Ok = Args.isEmpty();
    const int Count = Args.isEmpty() ? 8 : Args[0].toInt(&Ok);
    if (!Ok || Count < 1 || Args.size() > 1) {
        std::fprintf(stderr, "usage: bench-fleet [BOXES]\n");
        return 2;
    }
    return Run(Count);
}
