#include "pumping_delay.h"

#include "app/application.h"
#include "app/tick.h"

#include <algorithm>
#include <cstdint>

void PumpingDelay(int Units)
{
    const std::uint32_t Start = GetTickCount();
    const std::int64_t Span = std::int64_t{Units} * 20;
    for (;;) {
        const std::uint32_t Elapsed = GetTickCount() - Start; // modulo 2^32
        if (std::int64_t{Elapsed} > Span)
            return;
        // One millisecond past the span makes the strict test hold when the wait ends.
        const std::int64_t Left = Span - std::int64_t{Elapsed} + 1;
        Application->ProcessMessagesOrWait(static_cast<int>(std::min<std::int64_t>(Left, 1000)));
    }
}
