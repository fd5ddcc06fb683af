#include "pumping_delay.h"

#include "core/message_pump.h"
#include "core/tick.h"
#include "core/timing.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace {
// The millisecond tick alone can end a pause up to a millisecond early in real time, and
// whoever times the line sees its own scheduling on top: the pause also runs this much past
// its span by the precise clock, so every gap the device sees stays above the span.
constexpr std::chrono::microseconds Margin{2000};
} // namespace

void PumpingDelay(int Units, std::chrono::microseconds Before)
{
    const std::uint32_t Start = GetTickCount();
    const std::int64_t Span = std::int64_t{Units} * 20;
    const TDeadline PreciseEnd =
        TDeadline::At(TDeadline::TClock::now() + std::max(Before, std::chrono::microseconds::zero()) +
                      std::chrono::milliseconds(std::max<std::int64_t>(Span, 0)) + Margin);
    for (;;) {
        const std::uint32_t Elapsed = GetTickCount() - Start; // modulo 2^32
        const TDeadline::TClock::time_point Now = TDeadline::TClock::now();
        if (std::int64_t{Elapsed} > Span && (Span < 0 || PreciseEnd.Expired(Now)))
            return;
        // Sleep until the later of the two deadlines; any message ends the sleep sooner.
        const std::int64_t TickLeft = std::max<std::int64_t>(Span - std::int64_t{Elapsed} + 1, 0);
        const std::int64_t Left =
            std::clamp<std::int64_t>(std::max<std::int64_t>(TickLeft, PreciseEnd.MsLeft(Now)), 1, 1000);
        MessagePump->ProcessMessagesOrWait(static_cast<int>(Left));
    }
}
