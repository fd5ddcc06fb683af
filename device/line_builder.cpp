#include "line_builder.h"

#include "line_bytes.h"

void BuildLines(const std::uint8_t* Bytes, int Count, QString& Line, std::int32_t& LineCount,
                const TLineHandler& OnLine)
{
    for (int I = 0; I < Count; ++I) {
        const std::uint8_t Byte = Bytes[I];
        if (Byte == 0x0D) {
            // The count wraps like the 32-bit counter it stands for.
            LineCount = static_cast<std::int32_t>(static_cast<std::uint32_t>(LineCount) + 1u);
            const QString Completed = Line;
            Line.clear();
            OnLine(static_cast<std::uint8_t>(LineCount & 0xFF), Completed);
        } else if (Byte != 0x0A) {
            if (Line.size() < MaxRxLineLength)
                Line.append(CharOfLineByte(Byte));
        }
    }
}
