// The clocks of waits and of the line: a deadline on the monotonic clock, the time characters
// take on a serial line, and when the bytes handed to a driver have left it. The wall clock
// never enters: a wait must not stretch or shrink when the user sets the time.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>

// The time Bytes characters take on a line at Rate baud, each a start bit, DataBits data bits,
// a parity bit when Parity holds, and StopHalfBits halves of a stop bit (2: one, 3: one and a
// half, 4: two). Rounded up to the microsecond: callers wait it out as a floor. Zero at rate 0.
inline std::chrono::microseconds TransmitTime(int64_t Bytes, uint32_t Rate, int DataBits, bool Parity,
                                              int StopHalfBits)
{
    if (Bytes <= 0 || Rate == 0)
        return {};
    const int64_t HalfBits = 2 * (1 + DataBits + (Parity ? 1 : 0)) + StopHalfBits;
    return std::chrono::microseconds((Bytes * HalfBits * 500000 + Rate - 1) / Rate);
}

// When the bytes handed to a driver have left the line, at most: each write's bytes take their
// transmit time from when the write was handed over, or from when the line was free if that is
// later. A safe bound on every driver, where the drivers' own queue counts are none: cdc_acm
// counts whole USB buffers in flight, UART drivers miss what sits in the chip's FIFO.
class TLineClock
{
public:
    using TTime = std::chrono::steady_clock::time_point;
    void Written(std::chrono::microseconds LineTime, TTime HandedOver)
    {
        FFree = std::max(FFree, HandedOver) + LineTime;
    }
    void Purged() { FFree = TTime(); } // what was queued is gone
    std::chrono::microseconds Left(TTime Now) const
    {
        return FFree > Now ? std::chrono::ceil<std::chrono::microseconds>(FFree - Now)
                           : std::chrono::microseconds::zero();
    }

private:
    TTime FFree;
};

// A point on the monotonic clock by which a wait must end, or never.
class TDeadline
{
public:
    using TClock = std::chrono::steady_clock;

    TDeadline() = default; // never
    static TDeadline At(TClock::time_point When)
    {
        TDeadline D;
        D.FWhen = When;
        D.FSet = true;
        return D;
    }
    // Ms milliseconds after From; a span beyond the clock's range is held at its far end.
    static TDeadline AfterMs(uint64_t Ms, TClock::time_point From = TClock::now())
    {
        const auto Room = std::chrono::floor<std::chrono::milliseconds>(TClock::time_point::max() - From);
        return At(Ms >= uint64_t(Room.count()) ? TClock::time_point::max()
                                               : From + std::chrono::milliseconds(Ms));
    }

    bool IsNever() const { return !FSet; }
    bool Expired(TClock::time_point Now = TClock::now()) const { return FSet && Now >= FWhen; }
    // Milliseconds left, rounded up so that a wait that long reaches the deadline; -1: never.
    int MsLeft(TClock::time_point Now = TClock::now()) const
    {
        if (!FSet)
            return -1;
        if (Now >= FWhen)
            return 0;
        const auto Left = std::chrono::ceil<std::chrono::milliseconds>(FWhen - Now).count();
        return int(std::min<int64_t>(Left, std::numeric_limits<int>::max()));
    }
    TDeadline Earlier(const TDeadline& Other) const
    {
        if (!FSet)
            return Other;
        return Other.FSet && Other.FWhen < FWhen ? Other : *this;
    }

private:
    TClock::time_point FWhen{};
    bool FSet = false;
};
