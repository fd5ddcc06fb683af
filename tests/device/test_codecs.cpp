// The encodings between the fields and the line, checked against the device's forms.
#include "core/exceptions.h"
#include "device/codecs.h"
#include "device/item_view.h"
#include "device/items.h"

#include <QHash>
#include <gtest/gtest.h>

namespace {
// The fields in memory: what the window holds, without a window.
class TMemoryView : public TItemView
{
public:
    QString ItemText(const QString& C) const override { return Texts.value(C); }
    void SetItemText(const QString& C, const QString& T) override { Texts[C] = T; }
    bool ItemChecked(const QString& C) const override { return Boxes.value(C); }
    void SetItemChecked(const QString& C, bool B) override { Boxes[C] = B; }
    QHash<QString, QString> Texts;
    QHash<QString, bool> Boxes;
};

QByteArray Record(int Line, const TItemView& View) { return RecordBytes(*FindItem(Line), View); }
} // namespace

TEST(Telephone, FirstZeroAndFirstPlus98Only)
{
    EXPECT_EQ(TelephoneToDevice("09xxxxxxxxx"), "+989xxxxxxxxx");
    EXPECT_EQ(TelephoneToDevice("9xx0xx"), "9xx+98xx");
    EXPECT_EQ(TelephoneToDevice("0100"), "+98100");
    EXPECT_EQ(TelephoneToDevice(""), "");
    EXPECT_EQ(TelephoneToDevice("912"), "912");
    EXPECT_EQ(TelephoneFromDevice("+989xxxxxxxxx"), "09xxxxxxxxx");
    EXPECT_EQ(TelephoneFromDevice("09xxxxxxxxx"), "09xxxxxxxxx");
    EXPECT_EQ(TelephoneFromDevice("+98+98"), "0+98");
}

TEST(Mask, IntegerRules)
{
    EXPECT_EQ(MaskFromLine("5"), 5);
    EXPECT_EQ(MaskFromLine("261"), 5);
    EXPECT_EQ(MaskFromLine("-1"), 255);
    EXPECT_EQ(MaskFromLine("0"), 0);
    EXPECT_EQ(MaskFromLine("  +13"), 13);
    EXPECT_EQ(MaskFromLine("-2147483648"), 0);
    EXPECT_EQ(MaskFromLine("2147483647"), 255);
    for (const char* Bad : {"", " ", "abc", "5 ", "1x", "+", "-", "2147483648", "-2147483649",
                            "99999999999999999999", "\x01", "0x10", "\t5"})
        EXPECT_THROW(MaskFromLine(QString::fromLatin1(Bad)), EConvertError) << Bad;
    try {
        MaskFromLine("abc");
    } catch (const EConvertError& E) {
        EXPECT_EQ(E.Message(), "\"abc\" is not a valid number");
    }
}

TEST(Flag, OnlyExactlyOneTicks)
{
    EXPECT_TRUE(FlagFromLine("1"));
    for (const char* Other : {"01", "1 ", "0", "", "\x01", " 1"})
        EXPECT_FALSE(FlagFromLine(QString::fromLatin1(Other))) << Other;
}

TEST(Records, DefaultsGiveTheDeviceForms)
{
    TMemoryView View;
    ApplyDefaults(View);
    EXPECT_EQ(Record(1, View), QByteArray("rel1=on\r"));
    EXPECT_EQ(Record(24, View), QByteArray("rel12=off\r"));
    EXPECT_EQ(Record(25, View), QByteArray("+989xxxxxxxxx\r"));
    EXPECT_EQ(Record(26, View), QByteArray("\r")); // an empty number is a lone 0x0D
    EXPECT_EQ(Record(33, View), QByteArray("\x00\r", 2));
    EXPECT_EQ(Record(54, View), QByteArray("CLOSE PORT 10\r"));
    EXPECT_EQ(Record(55, View), QByteArray("get\r"));
    EXPECT_EQ(Record(56, View), QByteArray("\x01\r"));
    EXPECT_EQ(Record(59, View), QByteArray("\x00\r", 2));
    QByteArray All;
    for (int Line = 1; Line <= ItemCount; ++Line)
        All += Record(Line, View);
    // The request (2 bytes) and the final lone 0x0D make up the rest of the 502.
    EXPECT_EQ(All.size() + 3, 502);
}

TEST(Records, MaskBitsAndRawBytes)
{
    TMemoryView View;
    ApplyDefaults(View);
    for (const char* Box : {"CK_TEL_1", "CK_TEL_3", "CK_TEL_4"})
        View.SetItemChecked(Box, true);
    EXPECT_EQ(Record(33, View), QByteArray("\r\r")); // 1 + 4 + 8 = 13
    for (int I = 1; I <= 8; ++I)
        View.SetItemChecked(QStringLiteral("CK_TEL_in_%1").arg(I), true);
    EXPECT_EQ(Record(34, View), QByteArray("\xFF\r"));
    for (int I = 9; I <= 12; ++I)
        View.SetItemChecked(QStringLiteral("sCheckBox%1").arg(I), true);
    EXPECT_EQ(Record(59, View), QByteArray("\x0F\r"));
    View.SetItemChecked("sCheckBox2", true);
    View.SetItemChecked("sCheckBox4", true);
    EXPECT_EQ(Record(58, View), QByteArray("\x0A\r")); // a line feed byte goes out raw
}

TEST(Import, LinesLandInTheirItems)
{
    TMemoryView View;
    ApplyDefaults(View);
    View.SetItemChecked("CK_TEL_1", true);
    ApplyLine(View, 25, "+989121234567");
    EXPECT_EQ(View.ItemText("TEL1"), "09121234567");
    EXPECT_FALSE(View.ItemChecked("CK_TEL_1")); // the number's line clears its box
    ApplyLine(View, 33, "5");
    EXPECT_TRUE(View.ItemChecked("CK_TEL_1"));
    EXPECT_FALSE(View.ItemChecked("CK_TEL_2"));
    EXPECT_TRUE(View.ItemChecked("CK_TEL_3"));
    ApplyLine(View, 59, "255");
    for (int I = 9; I <= 12; ++I)
        EXPECT_TRUE(View.ItemChecked(QStringLiteral("sCheckBox%1").arg(I)));
    ApplyLine(View, 56, "\x01");
    EXPECT_FALSE(View.ItemChecked("ch_feadback"));
    ApplyLine(View, 56, "1");
    EXPECT_TRUE(View.ItemChecked("ch_feadback"));
    // A long text is stored whole and sent whole.
    const QString Long(40, u'L');
    ApplyLine(View, 1, Long);
    EXPECT_EQ(Record(1, View), Long.toLatin1() + "\r");
    // Every byte 0 to 255 survives storing and goes out again as itself, one byte each.
    QByteArray AllBytes;
    for (int B = 0; B < 256; ++B)
        if (B != 0x0D && B != 0x0A)
            AllBytes.append(static_cast<char>(B));
    ApplyLine(View, 2, QString::fromLatin1(AllBytes));
    EXPECT_EQ(View.ItemText("rel1_off"), QString::fromLatin1(AllBytes));
    EXPECT_EQ(Record(2, View), AllBytes + "\r");
    // A character no byte stands for is never sent as something else.
    View.SetItemText("input1_2", QString::fromUtf8("a\u0634"));
    try {
        Record(45, View);
        ADD_FAILURE() << "sent";
    } catch (const EConvertError& E) {
        EXPECT_TRUE(E.Message().contains(QChar(0x0634))) << E.what();
        EXPECT_TRUE(E.Message().endsWith("(line 45)")) << E.what();
    }
}

TEST(Import, BadMaskKeepsTheBoxesAndOtherNumbersChangeNothing)
{
    TMemoryView View;
    ApplyDefaults(View);
    View.SetItemChecked("CK_TEL_in_2", true);
    const auto Before = View.Boxes;
    EXPECT_THROW(ApplyLine(View, 34, "abc"), EConvertError);
    EXPECT_THROW(ApplyLine(View, 34, ""), EConvertError);
    EXPECT_EQ(View.Boxes, Before);
    const auto Texts = View.Texts;
    for (int Line : {0, 60, 255})
        ApplyLine(View, Line, "x");
    EXPECT_EQ(View.Texts, Texts);
    EXPECT_EQ(View.Boxes, Before);
}
