// The link state of the device exchange, shared by the main window's handlers and the port
// dialog. Touched on the main thread only.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

extern QString LinkMode;                   // exchange mode: "con", "get" or "set"
extern QString RxLine;                     // the line being received
extern std::int32_t RxLineCount;           // lines received since the last request
extern std::array<std::uint8_t, 600> RxBuffer; // bytes of one receive event
extern QString SelectedPort;               // the chosen port's path; empty = none chosen
