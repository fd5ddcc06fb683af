// What the tool and the relay controller say to each other on the serial line.
#pragma once

#include <cstdint>

// Every request is the prefix followed by one code byte, each written on its own.
inline constexpr std::uint8_t CommandPrefix = 0x19;
inline constexpr std::uint8_t CommandConnect = 0x18; // the handshake
inline constexpr std::uint8_t CommandGet = 0x1A;     // send the stored configuration
inline constexpr std::uint8_t CommandSet = 0x1B;     // the configuration follows

// The handshake succeeds when a receive event starts with this byte, within the pause.
inline constexpr std::uint8_t ConnectAnswer = 0x31; // "1"
// Ends every import line and every export record; a line feed after it is ignored.
inline constexpr std::uint8_t RecordEnd = 0x0D;
inline constexpr std::uint8_t LineFeed = 0x0A;
// Flags go out as one raw byte; a flag line comes back as "1" when set.
inline constexpr std::uint8_t FlagSetByte = 0x01;
inline constexpr std::uint8_t FlagClearByte = 0x00;

// The notice when no device answered the handshake.
inline constexpr const char* DeviceNotDetectedText =
    "Device Not Detected! Please change com Port!\n\r"
    "(\u0639\u062f\u0645 \u0634\u0646\u0627\u0633\u0627\u06cc\u06cc \u062f\u0633\u062a\u06af\u0627\u0647 "
    "\u0644\u0637\u0641\u0627 \u067e\u0648\u0631\u062a \u062f\u06cc\u06af\u0631\u06cc "
    "\u0627\u0646\u062a\u062e\u0627\u0628 \u06a9\u0646\u06cc\u062f)";
