// Preloaded into a Qt program: at the first paint of a top-level window it prints the
// monotonic time and the resident memory, then ends the process. Nothing of the measured
// program is changed.
#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {
long ResidentKiB()
{
    long Pages = 0, Resident = 0;
    if (FILE* F = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(F, "%ld %ld", &Pages, &Resident) != 2)
            Resident = 0;
        std::fclose(F);
    }
    return Resident * (sysconf(_SC_PAGESIZE) / 1024);
}

class TPaintProbe : public QObject
{
protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() == QEvent::Paint) {
            auto* W = qobject_cast<QWidget*>(Watched);
            if (W && W->isWindow() && W->isVisible()) {
                // Report once the paint has been delivered, so it is counted whole.
                const bool Result = QObject::eventFilter(Watched, Event);
                W->removeEventFilter(this);
                QMetaObject::invokeMethod(qApp, [] {
                    timespec Now{};
                    clock_gettime(CLOCK_MONOTONIC, &Now);
                    std::printf("PAINT %lld RSS %ld\n",
                                static_cast<long long>(Now.tv_sec) * 1000000000LL + Now.tv_nsec,
                                ResidentKiB());
                    std::fflush(stdout);
                    _exit(0);
                }, Qt::QueuedConnection);
                return Result;
            }
        }
        return QObject::eventFilter(Watched, Event);
    }
};

void InstallProbe()
{
    static TPaintProbe Probe;
    qApp->installEventFilter(&Probe);
}
} // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallProbe)
