#include "items.h"

namespace {
using K = TItemKind;
using P = TItemPage;

constexpr std::array<TItemDef, ItemCount> Table = {{
    {1, K::CommandText, P::Output, "rel1_on", 15, "rel1=on"},
    {2, K::CommandText, P::Output, "rel1_off", 15, "rel1=off"},
    {3, K::CommandText, P::Output, "rel2_on", 15, "rel2=on"},
    {4, K::CommandText, P::Output, "rel2_off", 15, "rel2=off"},
    {5, K::CommandText, P::Output, "rel3_on", 15, "rel3=on"},
    {6, K::CommandText, P::Output, "rel3_off", 15, "rel3=off"},
    {7, K::CommandText, P::Output, "rel4_on", 15, "rel4=on"},
    {8, K::CommandText, P::Output, "rel4_off", 15, "rel4=off"},
    {9, K::CommandText, P::Output, "rel5_on", 15, "rel5=on"},
    {10, K::CommandText, P::Output, "rel5_off", 15, "rel5=off"},
    {11, K::CommandText, P::Output, "rel6_on", 15, "rel6=on"},
    {12, K::CommandText, P::Output, "rel6_off", 15, "rel6=off"},
    {13, K::CommandText, P::Output, "rel7_on", 15, "rel7=on"},
    {14, K::CommandText, P::Output, "rel7_off", 15, "rel7=off"},
    {15, K::CommandText, P::Output, "rel8_on", 15, "rel8=on"},
    {16, K::CommandText, P::Output, "rel8_off", 15, "rel8=off"},
    {17, K::CommandText, P::Output, "rel9_on", 15, "rel9=on"},
    {18, K::CommandText, P::Output, "rel9_off", 15, "rel9=off"},
    {19, K::CommandText, P::Output, "rel10_on", 15, "rel10=on"},
    {20, K::CommandText, P::Output, "rel10_off", 15, "rel10=off"},
    {21, K::CommandText, P::Output, "rel11_on", 15, "rel11=on"},
    {22, K::CommandText, P::Output, "rel11_off", 15, "rel11=off"},
    {23, K::CommandText, P::Output, "rel12_on", 15, "rel12=on"},
    {24, K::CommandText, P::Output, "rel12_off", 15, "rel12=off"},
    {25, K::Telephone, P::TellNumber, "TEL1", 11, "09xxxxxxxxx"},
    {26, K::Telephone, P::TellNumber, "TEL2", 11, ""},
    {27, K::Telephone, P::TellNumber, "TEL3", 11, ""},
    {28, K::Telephone, P::TellNumber, "TEL4", 11, ""},
    {29, K::Telephone, P::TellNumber, "TEL5", 11, ""},
    {30, K::Telephone, P::TellNumber, "TEL6", 11, ""},
    {31, K::Telephone, P::TellNumber, "TEL7", 11, ""},
    {32, K::Telephone, P::TellNumber, "TEL8", 11, ""},
    {33, K::Mask8, P::TellNumber, "CK_TEL_", 0, "0"},
    {34, K::Mask8, P::TellNumber, "CK_TEL_in_", 0, "0"},
    {35, K::CommandText, P::Input, "input1_1", 15, "OPEN PORT 1"},
    {36, K::CommandText, P::Input, "input2_1", 15, "OPEN PORT 2"},
    {37, K::CommandText, P::Input, "input3_1", 15, "OPEN PORT 3"},
    {38, K::CommandText, P::Input, "input4_1", 15, "OPEN PORT 4"},
    {39, K::CommandText, P::Input, "input5_1", 15, "OPEN PORT 5"},
    {40, K::CommandText, P::Input, "input6_1", 15, "OPEN PORT 6"},
    {41, K::CommandText, P::Input, "input7_1", 15, "OPEN PORT 7"},
    {42, K::CommandText, P::Input, "input8_1", 15, "OPEN PORT 8"},
    {43, K::CommandText, P::Input, "input9_1", 15, "OPEN PORT 9"},
    {44, K::CommandText, P::Input, "input10_1", 15, "OPEN PORT 10"},
    {45, K::CommandText, P::Input, "input1_2", 15, "CLOSE PORT 1"},
    {46, K::CommandText, P::Input, "input2_2", 15, "CLOSE PORT 2"},
    {47, K::CommandText, P::Input, "input3_2", 15, "CLOSE PORT 3"},
    {48, K::CommandText, P::Input, "input4_2", 15, "CLOSE PORT 4"},
    {49, K::CommandText, P::Input, "input5_2", 15, "CLOSE PORT 5"},
    {50, K::CommandText, P::Input, "input6_2", 15, "CLOSE PORT 6"},
    {51, K::CommandText, P::Input, "input7_2", 15, "CLOSE PORT 7"},
    {52, K::CommandText, P::Input, "input8_2", 15, "CLOSE PORT 8"},
    {53, K::CommandText, P::Input, "input9_2", 15, "CLOSE PORT 9"},
    {54, K::CommandText, P::Input, "input10_2", 15, "CLOSE PORT 10"},
    {55, K::CommandText, P::Config, "txt_status", 5, "get"},
    {56, K::Flag, P::Config, "ch_feadback", 0, "1"},
    {57, K::Flag, P::Config, "ch_state", 0, "1"},
    {58, K::Mask8, P::Config, "sCheckBox", 0, "0"},
    {59, K::Mask4, P::Config, "sCheckBox", 0, "0"},
}};

// The relay boxes of the Config page are numbered on from line 58 into line 59.
int FirstBoxNumber(const TItemDef& Item) { return Item.Line == 59 ? 9 : 1; }
} // namespace

const std::array<TItemDef, ItemCount>& ItemTable() { return Table; }

const TItemDef* FindItem(int Line)
{
    if (Line < 1 || Line > ItemCount)
        return nullptr;
    return &Table[static_cast<size_t>(Line - 1)];
}

bool IsTextKind(TItemKind Kind) { return Kind == K::CommandText || Kind == K::Telephone; }

bool IsMaskKind(TItemKind Kind) { return Kind == K::Mask8 || Kind == K::Mask4; }

int MaskBits(TItemKind Kind) { return Kind == K::Mask4 ? 4 : 8; }

QStringList ItemControls(const TItemDef& Item)
{
    if (!IsMaskKind(Item.Kind))
        return {QString::fromLatin1(Item.Control)};
    QStringList Names;
    const int First = FirstBoxNumber(Item);
    for (int Bit = 0; Bit < MaskBits(Item.Kind); ++Bit)
        Names << QString::fromLatin1(Item.Control) + QString::number(First + Bit);
    return Names;
}
