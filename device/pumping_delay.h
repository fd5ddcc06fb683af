// The message-pumping pause with which every exchange paces itself.
#pragma once

#include <chrono>

// Returns once more than Units x 20 ms have passed by the 32-bit millisecond tick (wrap-around
// included), processing every window message meanwhile: receive events, clicks and painting
// all run inside it. Between messages it sleeps until the next one or the deadline.
// Before is time the span must not count: bytes still leaving the line when the pause starts.
void PumpingDelay(int Units, std::chrono::microseconds Before = {});
