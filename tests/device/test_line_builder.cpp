// Received bytes to numbered lines.
#include "device/line_builder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
struct TCollector
{
    QString Line;
    std::int32_t Count = 0;
    std::vector<std::pair<int, QString>> Lines;
    void Feed(const std::string& Bytes)
    {
        BuildLines(reinterpret_cast<const std::uint8_t*>(Bytes.data()), static_cast<int>(Bytes.size()),
                   Line, Count, [this](std::uint8_t N, const QString& T) { Lines.emplace_back(N, T); });
    }
};
} // namespace

TEST(LineBuilder, CarriageReturnEndsLineFeedIsDropped)
{
    TCollector C;
    C.Feed("rel1=on\r\nrel1");
    C.Feed("=off\r");
    C.Feed("\n\r");
    ASSERT_EQ(C.Lines.size(), 3u);
    EXPECT_EQ(C.Lines[0], (std::pair<int, QString>{1, "rel1=on"}));
    EXPECT_EQ(C.Lines[1], (std::pair<int, QString>{2, "rel1=off"}));
    EXPECT_EQ(C.Lines[2], (std::pair<int, QString>{3, ""})); // an empty line counts
    // A line ended by a line feed alone runs on into the next.
    C.Feed("a\nb\r");
    EXPECT_EQ(C.Lines.back().second, "ab");
}

TEST(LineBuilder, EveryByteIsOneCharacterOfTheSameCode)
{
    TCollector C;
    std::string All;
    for (int B = 0; B < 256; ++B)
        if (B != 0x0D && B != 0x0A)
            All.push_back(static_cast<char>(B));
    C.Feed(All + "\r");
    ASSERT_EQ(C.Lines.size(), 1u);
    const QString& T = C.Lines[0].second;
    ASSERT_EQ(T.size(), 254);
    for (int I = 0, B = 0; B < 256; ++B) {
        if (B == 0x0D || B == 0x0A)
            continue;
        EXPECT_EQ(T[I++].unicode(), B);
    }
}

TEST(LineBuilder, NumbersWrapModulo256)
{
    TCollector C;
    C.Feed(std::string(257, '\r'));
    EXPECT_EQ(C.Lines[254].first, 255);
    EXPECT_EQ(C.Lines[255].first, 0);
    EXPECT_EQ(C.Lines[256].first, 1);
    EXPECT_EQ(C.Count, 257);
}

TEST(LineBuilder, ALineWithoutEndStopsGrowingAt64KiB)
{
    TCollector C;
    for (int I = 0; I < 100; ++I)
        C.Feed(std::string(1024, 'x'));
    EXPECT_EQ(C.Line.size(), MaxRxLineLength);
    EXPECT_TRUE(C.Lines.empty());
    C.Feed("\r");
    ASSERT_EQ(C.Lines.size(), 1u);
    EXPECT_EQ(C.Lines[0].second.size(), MaxRxLineLength);
    EXPECT_TRUE(C.Line.isEmpty());
}
