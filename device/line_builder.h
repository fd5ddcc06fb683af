// Received bytes become numbered import lines: a carriage return ends a line, a line feed is
// dropped, every other byte is one character of the same code.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

// A device that never sends a carriage return cannot grow a line without bound.
inline constexpr int MaxRxLineLength = 64 * 1024;

using TLineHandler = std::function<void(std::uint8_t Line, const QString& Text)>;

// Feeds Count bytes through the line building. Line is the line being built, LineCount the
// lines completed so far; each completed line goes to OnLine with the low 8 bits of its number.
void BuildLines(const std::uint8_t* Bytes, int Count, QString& Line, std::int32_t& LineCount,
                const TLineHandler& OnLine);
