// Receive latency, receive throughput and idle CPU of TComPort, each against QSerialPort's
// readyRead over the same kind of pty pair. Prints every figure and the ratio to the peer.
#include "app/application.h"
#include "serial/cport.h"
#include "tests/support/process_stats.h"
#include "tests/support/pump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <stdlib.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int64_t NowNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

struct TPty
{
    int Master = -1;
    QString Path;
    TPty()
    {
        Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        grantpt(Master);
        unlockpt(Master);
        Path = QString::fromLocal8Bit(ptsname(Master));
    }
    ~TPty() { close(Master); }
};

// The receiving side under test: opens the pty's other end and calls Received(n) on the main
// thread for every batch it has read.
struct TReceiver
{
    virtual ~TReceiver() = default;
    virtual void Open(const QString& Path, std::function<void(int)> Received) = 0;
    virtual void Close() = 0;
};

struct TComReceiver : TReceiver
{
    TComPort Port;
    std::vector<char> Buf = std::vector<char>(1 << 16);
    void Open(const QString& Path, std::function<void(int)> Received) override
    {
        Port.SetPort(Path);
        Port.SetOnRxChar([this, Received](QObject*, int Count) {
            int Total = 0;
            while (Count > 0) {
                int N = Port.Read(Buf.data(), std::min<int>(Count, int(Buf.size())));
                if (N <= 0)
                    break;
                Total += N;
                Count -= N;
            }
            Received(Total);
        });
        Port.Open();
    }
    void Close() override { Port.Close(); }
};

struct TQtReceiver : TReceiver
{
    QSerialPort Port;
    void Open(const QString& Path, std::function<void(int)> Received) override
    {
        Port.setPortName(Path);
        QObject::connect(&Port, &QSerialPort::readyRead, [this, Received] {
            QByteArray Data = Port.readAll();
            Received(int(Data.size()));
        });
        if (!Port.open(QIODevice::ReadWrite)) {
            std::fprintf(stderr, "QSerialPort: %s\n", qPrintable(Port.errorString()));
            std::exit(1);
        }
        Port.setBaudRate(9600);
    }
    void Close() override { Port.close(); }
};


struct TLatency
{
    double Median, P99;
};

TLatency MeasureLatency(TReceiver& R, int Samples)
{
    TPty Pty;
    std::atomic<int64_t> SentAt{0};
    std::atomic<int> Got{0};
    std::vector<double> Us;
    Us.reserve(size_t(Samples));
    R.Open(Pty.Path, [&](int) {
        Us.push_back(double(NowNs() - SentAt.load()) / 1000.0);
        Got.fetch_add(1);
    });
    std::thread Writer([&] {
        for (int I = 0; I < Samples + 20; ++I) {
            int Before = Got.load();
            SentAt = NowNs();
            char Byte = 'x';
            (void)!write(Pty.Master, &Byte, 1);
            while (Got.load() == Before)
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    PumpUntil([&] { return Got.load() >= Samples + 20; }, 60000);
    Writer.join();
    R.Close();
    Us.erase(Us.begin(), Us.begin() + 20); // warm-up
    std::sort(Us.begin(), Us.end());
    return {Us[Us.size() / 2], Us[size_t(double(Us.size()) * 0.99)]};
}

double MeasureThroughput(TReceiver& R, qint64 Bytes)
{
    TPty Pty;
    std::atomic<qint64> Received{0};
    R.Open(Pty.Path, [&](int N) { Received.fetch_add(N); });
    int64_t Start = NowNs();
    std::thread Writer([&] {
        std::vector<char> Chunk(4096, 'a');
        qint64 Sent = 0;
        while (Sent < Bytes) {
            ssize_t N = write(Pty.Master, Chunk.data(), Chunk.size());
            if (N > 0)
                Sent += N;
        }
    });
    PumpUntil([&] { return Received.load() >= Bytes; }, 120000);
    int64_t End = NowNs();
    Writer.join();
    R.Close();
    return double(Received.load()) / (double(End - Start) / 1e9) / 1e6;
}

struct TIdle
{
    double CpuMs;
    long Wakeups;
};

TIdle MeasureIdle(TReceiver& R, int Seconds)
{
    TPty Pty;
    R.Open(Pty.Path, [](int) {});
    PumpFor(200); // settle
    rusage Before{};
    getrusage(RUSAGE_SELF, &Before);
    double Cpu0 = ProcessStats::CpuMs();
    // The main loop sleeps until a message arrives; a timer ends the wait.
    bool Done = false;
    QTimer::singleShot(Seconds * 1000, [&] { Done = true; });
    while (!Done)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    double Cpu = ProcessStats::CpuMs() - Cpu0;
    rusage After{};
    getrusage(RUSAGE_SELF, &After);
    R.Close();
    return {Cpu, (After.ru_nvcsw + After.ru_nivcsw) - (Before.ru_nvcsw + Before.ru_nivcsw)};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication App(argc, argv);
    const int Samples = argc > 1 ? atoi(argv[1]) : 2000;
    const qint64 Bytes = 32ll << 20;

    TComReceiver Com1, Com2, Com3;
    TQtReceiver Qt1, Qt2, Qt3;
    TLatency LQt = MeasureLatency(Qt1, Samples);
    TLatency LCom = MeasureLatency(Com1, Samples);
    std::printf("latency byte -> handler, %d samples\n", Samples);
    std::printf("  TComPort OnRxChar     median %7.1f us  p99 %7.1f us\n", LCom.Median, LCom.P99);
    std::printf("  QSerialPort readyRead median %7.1f us  p99 %7.1f us\n", LQt.Median, LQt.P99);
    std::printf("  ratio (TComPort / QSerialPort) median %.2f  p99 %.2f\n", LCom.Median / LQt.Median,
                LCom.P99 / LQt.P99);

    double TQt = MeasureThroughput(Qt2, Bytes);
    double TCom = MeasureThroughput(Com2, Bytes);
    std::printf("receive throughput, %lld MiB\n", Bytes >> 20);
    std::printf("  TComPort    %8.1f MB/s\n  QSerialPort %8.1f MB/s\n  ratio %.2f\n", TCom, TQt,
                TCom / TQt);

    TIdle ICom = MeasureIdle(Com3, 5);
    TIdle IQt = MeasureIdle(Qt3, 5);
    std::printf("CPU while open and idle, 5 s\n");
    std::printf("  TComPort    %6.2f ms CPU, %ld context switches\n", ICom.CpuMs, ICom.Wakeups);
    std::printf("  QSerialPort %6.2f ms CPU, %ld context switches\n", IQt.CpuMs, IQt.Wakeups);
    return 0;
}
