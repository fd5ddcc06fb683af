// The exchange, timed: one scripted run of the real window against relay-sim. Prints the
// handshake's time, the import's latency (fast and at 9600-baud pacing), and the export's wall
// time and CPU against the pacing's floor.
//
// bench-exchange --port PORT --sim-log FILE [--paced] runs the same on an existing port (a real
// driver) whose far end a simulator already serves, logging to FILE (--paced: it was started
// with --paced).
#include "app/application.h"
#include "device/items.h"
#include "device/link_state.h"
#include "tests/support/sim_process.h"
#include "tests/support/process_stats.h"
#include "ui/about_form.h"
#include "ui/forms.h"
#include "ui/main_form.h"
#include "ui/port_form.h"
#include "ui/start_up.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

namespace {
double NowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double Percentile(std::vector<double> V, double P)
{
    if (V.empty())
        return -1;
    std::sort(V.begin(), V.end());
    return V[std::min(V.size() - 1, static_cast<size_t>(P * static_cast<double>(V.size())))];
}

void Click(QWidget* Root, const char* Name)
{
    QTest::mouseClick(Root->findChild<QWidget*>(QString::fromLatin1(Name)), Qt::LeftButton);
}

// The overlay is hidden as the connected state is entered, inside the handshake's pause.
class THideWatch : public QObject
{
public:
    double At = 0;

protected:
    bool eventFilter(QObject*, QEvent* Event) override
    {
        if (Event->type() == QEvent::Hide && At == 0)
            At = NowMs();
        return false;
    }
};

// Connects through the dialog: click to connected state, and click to the handler's return.
// A port the dialog does not list (a real driver's, named as the user would type it) is taken
// as the stored choice, as after an earlier connect.
std::pair<double, double> Connect(const QString& Port)
{
    auto* List = Form1->findChild<QComboBox*>("ComboBox1");
    QWidget* Confirm = Form1;
    const char* Button = "sButton1";
    Click(Form4, "sSpeedButton2");
    if (List->findText(Port) >= 0) {
        List->setCurrentIndex(List->findText(Port));
    } else {
        Click(Form1, "sButton2"); // Cancel
        SelectedPort = Port;
        Confirm = Form4;
        Button = "sSpeedButton2";
    }
    QWidget* Overlay = Form4->findChild<QWidget*>("sPanel2");
    THideWatch Watch;
    Overlay->installEventFilter(&Watch);
    const double Start = NowMs();
    Click(Confirm, Button);
    const double Returned = NowMs();
    Overlay->removeEventFilter(&Watch);
    return {Watch.At ? Watch.At - Start : -1, Returned - Start};
}

void PrintHandshake(const std::pair<double, double>& Times)
{
    std::printf("handshake: click to connected state %.1f ms, click to handler return %.3f s "
                "(goal <= 1.05 s)\n", Times.first, Times.second / 1000);
}

// When each line's field last changed during an import.
std::map<int, double> Landed;

// Every field gets something the import will change, and reports its change.
void WatchFields()
{
    for (const TItemDef& Item : ItemTable())
        for (const QString& Control : ItemControls(Item)) {
            const int Line = Item.Line;
            if (IsTextKind(Item.Kind)) {
                auto* Edit = Form4->findChild<QLineEdit*>(Control);
                QObject::connect(Edit, &QLineEdit::textChanged, Edit, [Line] { Landed[Line] = NowMs(); });
            } else {
                auto* Box = Form4->findChild<QAbstractButton*>(Control);
                QObject::connect(Box, &QAbstractButton::toggled, Box, [Line] { Landed[Line] = NowMs(); });
            }
        }
}

void Scramble()
{
    for (const TItemDef& Item : ItemTable())
        for (const QString& Control : ItemControls(Item)) {
            if (IsTextKind(Item.Kind))
                Form4->findChild<QLineEdit*>(Control)->setText("x");
            else
                Form4->findChild<QAbstractButton*>(Control)->setChecked(QLatin1String(Item.Default) != "1");
        }
    Landed.clear();
}

struct TImportFigures
{
    std::vector<double> LatencyMs; // each line: from its last byte's write to its field
    double AfterLastByteMs = -1;   // the last field update after the last line's carriage return
};

// Paced output is written a byte at a time, the first at the logged time of the first line and
// each next one ByteMs later; unpaced, a line's bytes leave at its logged time.
TImportFigures Import(const TSimLog& Sim, double ByteMs)
{
    Scramble();
    const size_t Before = Sim.Events().size();
    Click(Form4, "sSpeedButton3");
    PumpUntil([&] { return Landed.size() >= static_cast<size_t>(ItemCount); }, 10000);
    PumpFor(50);
    const auto Events = Sim.Events();
    TImportFigures F;
    double Start = 0, Sent = 0, LastCr = 0;
    for (size_t I = Before; I < Events.size(); ++I) {
        const auto& E = Events[I];
        if (E.Kind != "line")
            continue;
        if (Start == 0)
            Start = E.Ms;
        Sent += E.Bytes.size();
        // The carriage return is the line's next-to-last byte (a line feed follows).
        const double CrAt = ByteMs > 0 ? Start + (Sent - 2) * ByteMs : E.Ms;
        LastCr = CrAt;
        if (Landed.count(E.Line))
            F.LatencyMs.push_back(Landed[E.Line] - CrAt);
    }
    double LastLanded = 0;
    for (const auto& [Line, At] : Landed)
        LastLanded = std::max(LastLanded, At);
    F.AfterLastByteMs = LastLanded - LastCr;
    return F;
}

// The export: click to the device's final 0x0D, the tool's CPU meanwhile, and the gaps
// between records as the device saw them. WallGoal: the goal for the wall time, in seconds.
void Export(const TSimLog& Sim, const char* WallGoal)
{
    const double CpuBefore = ProcessStats::CpuMs();
    const double ClickAt = NowMs();
    Click(Form4, "sSpeedButton6");
    const double Cpu = ProcessStats::CpuMs() - CpuBefore;
    PumpUntil([&] { return Sim.Count("end") > 0; }, 2000);
    double EndAt = 0, Previous = 0, MinGap = 1e9, GapAfter36 = 0;
    int PreviousLine = 0;
    for (const auto& E : Sim.Events()) {
        if (E.Kind == "end")
            EndAt = E.Ms;
        if (E.Kind == "request" && E.Word == "set")
            Previous = E.Ms;
        if (E.Kind == "record") {
            if (PreviousLine == 36)
                GapAfter36 = E.Ms - Previous;
            else
                MinGap = std::min(MinGap, E.Ms - Previous);
            Previous = E.Ms;
            PreviousLine = E.Line;
        }
    }
    const double Wall = EndAt - ClickAt;
    std::printf("export: click to final 0x0D %.3f s against the 25.0 s floor (goal <= %s s); "
                "CPU %.0f ms = %.2f %% of one core (goal <= 2 %%)\n",
                Wall / 1000, WallGoal, Cpu, 100 * Cpu / Wall);
    std::printf("export pauses as the device saw them: shortest gap between records %.2f ms "
                "(must be > 400), after line 36 %.2f ms (must be > 1000)\n",
                MinGap, GapAfter36);
}

void CreateForms()
{
    Form4 = new TForm4;
    Form1 = new TForm1;
    Form2 = new TForm2;
    Form4->show();
    WatchFields();
}

void DestroyForms()
{
    delete Form2;
    delete Form1;
    delete Form4;
}

int Run()
{
    TPrivateRuntime Runtime;
    CreateForms();

    TSimProcess Fast(Runtime.Path(), {"--name", "fast"});
    if (!Fast.Process().waitForStarted()) {
        std::printf("relay-sim did not start\n");
        return 1;
    }
    PrintHandshake(Connect(Runtime.Path() + "/serial/fast"));

    const TImportFigures F = Import(Fast, 0);
    std::printf("import at pty speed: latency median %.3f ms, p99 %.3f ms over %zu lines "
                "(goal median < 2 ms)\n",
                Percentile(F.LatencyMs, 0.5), Percentile(F.LatencyMs, 0.99), F.LatencyMs.size());
    Export(Fast, "25.25");
    Click(Form4, "sSpeedButton2"); // DisConnect

    TSimProcess Paced(Runtime.Path(), {"--name", "paced", "--paced"});
    Paced.Process().waitForStarted();
    SelectedPort.clear();
    Connect(Runtime.Path() + "/serial/paced");
    const TImportFigures P = Import(Paced, 1000.0 / 960.0);
    std::printf("import at 9600 baud: whole import done %.2f ms after its last carriage return "
                "(goal <= 10 ms); per-line latency median %.3f ms\n",
                P.AfterLastByteMs, Percentile(P.LatencyMs, 0.5));
    DestroyForms();
    return 0;
}

// One round on a port whose far end a simulator already serves.
int RunOnPort(const QString& Port, const TSimLog& Sim, bool Paced)
{
    CreateForms();
    const auto Handshake = Connect(Port);
    PrintHandshake(Handshake);
    if (Form4->ConnectCaption() != QLatin1String("DisConnect")) {
        std::printf("no connection on %s\n", qPrintable(Port));
        DestroyForms();
        return 1;
    }
    const TImportFigures I = Import(Sim, Paced ? 1000.0 / 960.0 : 0);
    std::printf("import: whole import done %.2f ms after the simulator wrote its last carriage "
                "return (goal <= 10 ms); per-line latency median %.3f ms\n",
                I.AfterLastByteMs, Percentile(I.LatencyMs, 0.5));
    Export(Sim, "26.0");
    Click(Form4, "sSpeedButton2"); // DisConnect
    DestroyForms();
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Each import leaves a copy: in the run's own folder, not among the user's.
    const QTemporaryDir Data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(Data.path()));
    TApplication App(argc, argv);
    PrepareApplication();
    const QStringList Args = App.arguments().mid(1);
    if (Args.isEmpty())
        return Run();
    const qsizetype PortAt = Args.indexOf("--port"), LogAt = Args.indexOf("--sim-log");
    const bool Paced = Args.contains("--paced");
    if (PortAt < 0 || PortAt + 1 >= Args.size() || LogAt < 0 || LogAt + 1 >= Args.size() ||
        Args.size() != 4 + (Paced ? 1 : 0)) {
        std::fprintf(stderr, "usage: bench-exchange [--port PORT --sim-log FILE [--paced]]\n");
        return 2;
    }
    return RunOnPort(Args[PortAt + 1], TSimLog(Args[LogAt + 1]), Paced);
}
