// The report of import lines that could not be stored: bounded whatever the device sends.
#include "device/link_control.h"

#include <gtest/gtest.h>

TEST(BadLines, ListsTheFirstLinesShortensLongTextsAndCountsTheRest)
{
    TBadLines Lines;
    EXPECT_TRUE(Lines.IsEmpty());
    Lines.Add(34, "abc");
    EXPECT_FALSE(Lines.IsEmpty());
    EXPECT_EQ(Lines.Take(), "Line 34: \"abc\" is not a valid number");
    EXPECT_TRUE(Lines.IsEmpty());

    Lines.Add(58, QString(70000, u'x'));
    const QString Long = Lines.Take();
    EXPECT_EQ(Long, "Line 58: \"" + QString(TBadLines::ShownCharacters, u'x') +
                        "...\" is not a valid number");

    for (int I = 0; I < 1000; ++I)
        Lines.Add(static_cast<std::uint8_t>(I), "z");
    const QStringList Shown = Lines.Take().split(u'\n');
    ASSERT_EQ(Shown.size(), TBadLines::ListedLines + 1);
    EXPECT_EQ(Shown.front(), "Line 0: \"z\" is not a valid number");
    EXPECT_EQ(Shown.back(), "and 990 more lines that could not be stored");

    for (int I = 0; I < TBadLines::ListedLines + 1; ++I)
        Lines.Add(59, "-");
    EXPECT_EQ(Lines.Take().split(u'\n').back(), "and 1 more line that could not be stored");
}
