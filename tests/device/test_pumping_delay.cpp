// The pause: longer than Units x 20 ms by the tick, messages processed meanwhile.
#include "core/message_pump.h"
#include "core/tick.h"
#include "device/pumping_delay.h"

#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>

namespace {
std::atomic<std::uint32_t> Base{0};
QElapsedTimer RealClock;
// A tick that starts just below the wrap-around and runs with the real clock.
std::uint32_t NearWrapTick()
{
    return Base.load() + static_cast<std::uint32_t>(RealClock.elapsed());
}
} // namespace

TEST(PumpingDelay, LastsLongerThanUnitsTimes20AndProcessesMessages)
{
    QElapsedTimer Clock;
    Clock.start();
    const std::uint32_t Start = GetTickCount();
    int TimerRuns = 0;
    QTimer Timer;
    QObject::connect(&Timer, &QTimer::timeout, [&] { ++TimerRuns; });
    Timer.start(20);
    PumpingDelay(10);
    EXPECT_GT(GetTickCount() - Start, 200u);
    EXPECT_LT(Clock.elapsed(), 400);
    EXPECT_GE(TimerRuns, 5); // events ran inside the pause
}

TEST(PumpingDelay, SurvivesTheTickWrapping)
{
    RealClock.start();
    Base = 0xFFFFFFFFu - 300u; // wraps 300 ms in
    SetTickSource(&NearWrapTick);
    const std::uint32_t Start = GetTickCount();
    PumpingDelay(50);
    const std::uint32_t End = GetTickCount();
    SetTickSource(nullptr);
    EXPECT_LT(End, Start);              // the counter did wrap
    EXPECT_GT(End - Start, 1000u);      // and the pause still lasted its length
    EXPECT_LT(RealClock.elapsed(), 1500);
}

TEST(PumpingDelay, ZeroAndNegativeUnits)
{
    QElapsedTimer Clock;
    Clock.start();
    PumpingDelay(-5);
    EXPECT_LT(Clock.elapsed(), 50);
    PumpingDelay(0); // more than 0 ms: at least one tick
    EXPECT_LT(Clock.elapsed(), 100);
}

TEST(PumpingDelay, BytesStillLeavingTheLineLengthenThePause)
{
    QElapsedTimer Clock;
    Clock.start();
    PumpingDelay(2, std::chrono::milliseconds(150)); // 40 ms after 150 ms of line time
    EXPECT_GE(Clock.elapsed(), 190);
    EXPECT_LT(Clock.elapsed(), 400);
}
