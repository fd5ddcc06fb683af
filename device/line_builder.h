// Received bytes become numbered import lines: a carriage return ends a line, a line feed is
// dropped, every other byte is one character of the same code.
#pragma once

#include "items.h"

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>

// A device that never sends a carriage return cannot grow a line without bound.
inline constexpr int MaxRxLineLength = 64 * 1024;

// The longest a read request's answer can take: every item's line at the longest the import
// holds, with its CR and LF, at the line's 9600 baud of ten bits a byte (8N1). A far end still
// sending after this is no relay controller, however steadily it trickles.
inline constexpr std::chrono::milliseconds LongestImportTime{
    (static_cast<std::int64_t>(ItemCount) * (MaxRxLineLength + 2) * 10 * 1000 + 9600 - 1) / 9600};

using TLineHandler = std::function<void(std::uint8_t Line, const QString& Text)>;

// Feeds Count bytes through the line building. Line is the line being built, LineCount the
// lines completed so far; each completed line goes to OnLine with the low 8 bits of its number.
void BuildLines(const std::uint8_t* Bytes, int Count, QString& Line, std::int32_t& LineCount,
                const TLineHandler& OnLine);
