// Test support: runs the main thread's messages (and so the call queue) while waiting.
#pragma once

#include "core/message_pump.h"

#include <QElapsedTimer>
#include <functional>

// Processes messages until Done holds; false when TimeoutMs passed first.
inline bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs = 5000)
{
    QElapsedTimer Clock;
    Clock.start();
    while (!Done()) {
        if (Clock.elapsed() > TimeoutMs)
            return false;
        MessagePump->ProcessMessagesOrWait(5);
    }
    return true;
}

inline void PumpFor(int Ms)
{
    PumpUntil([] { return false; }, Ms);
}
