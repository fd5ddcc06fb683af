// Soak through the real window: connect and disconnect N times (default 1000) against relay-sim,
// each with the whole one-second handshake, and print what the process holds every 100 cycles.
#include "app/application.h"
#include "device/link_state.h"
#include "tests/support/sim_process.h"
#include "tests/support/process_stats.h"
#include "tests/support/program_forms.h"

#include <QTest>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const int Cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TPrivateRuntime Runtime;
    TApplication App(argc, argv);
    ShowProgramForms();

    TSimProcess Sim(Runtime.Path(), {});
    if (!Sim.Started()) {
        std::fprintf(stderr, "bench-soak: relay-sim did not start\n");
        return 1;
    }
    SelectedPort = Sim.LinkPath();
    QWidget* Connect = Form4->findChild<QWidget*>(QStringLiteral("sSpeedButton2"));
    int Failed = 0;
    auto Cycle = [&] {
        QTest::mouseClick(Connect, Qt::LeftButton); // returns after the handshake
        Failed += Form4->ConnectCaption() != QStringLiteral("DisConnect");
        if (SelectedPort.isEmpty())
            SelectedPort = Sim.LinkPath(); // not detected: the dialog would be next
        else
            QTest::mouseClick(Connect, Qt::LeftButton);
    };
    Cycle(); // warm-up
    const int Fds = ProcessStats::OpenDescriptors();
    const int Threads = ProcessStats::Threads();
    const long long Resident = ProcessStats::ResidentBytes();
    std::printf("start: %d descriptors, %d threads, %.2f MiB resident\n", Fds, Threads,
                double(Resident) / (1 << 20));
    for (int I = 1; I <= Cycles; ++I) {
        Cycle();
        if (I % 100 == 0 || I == Cycles) {
            std::printf("after %4d cycles: %d descriptors, %d threads, memory grew %+.1f KiB, "
                        "%d not detected\n",
                        I, ProcessStats::OpenDescriptors(), ProcessStats::Threads(),
                        double(ProcessStats::ResidentBytes() - Resident) / 1024, Failed);
            std::fflush(stdout);
        }
    }
    return Failed == 0 ? 0 : 1;
}
