// The message-pumping pause with which every exchange paces itself.
#pragma once

// Returns once more than Units x 20 ms have passed by the 32-bit millisecond tick (wrap-around
// included), processing every window message meanwhile: receive events, clicks and painting
// all run inside it. Between messages it sleeps until the next one or the deadline.
void PumpingDelay(int Units);
