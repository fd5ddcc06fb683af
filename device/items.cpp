#include "items.h"

#include <string>

namespace {
using K = TItemKind;
using P = TItemPage;

constexpr std::array<TItemDef, ItemCount> Table = {{
    {1, K::CommandText, P::Output, "rel1_on", 15, "rel1=on",
     "Relay 1 on command", "The SMS word that switches relay 1 on"},
    {2, K::CommandText, P::Output, "rel1_off", 15, "rel1=off",
     "Relay 1 off command", "The SMS word that switches relay 1 off"},
    {3, K::CommandText, P::Output, "rel2_on", 15, "rel2=on",
     "Relay 2 on command", "The SMS word that switches relay 2 on"},
    {4, K::CommandText, P::Output, "rel2_off", 15, "rel2=off",
     "Relay 2 off command", "The SMS word that switches relay 2 off"},
    {5, K::CommandText, P::Output, "rel3_on", 15, "rel3=on",
     "Relay 3 on command", "The SMS word that switches relay 3 on"},
    {6, K::CommandText, P::Output, "rel3_off", 15, "rel3=off",
     "Relay 3 off command", "The SMS word that switches relay 3 off"},
    {7, K::CommandText, P::Output, "rel4_on", 15, "rel4=on",
     "Relay 4 on command", "The SMS word that switches relay 4 on"},
    {8, K::CommandText, P::Output, "rel4_off", 15, "rel4=off",
     "Relay 4 off command", "The SMS word that switches relay 4 off"},
    {9, K::CommandText, P::Output, "rel5_on", 15, "rel5=on",
     "Relay 5 on command", "The SMS word that switches relay 5 on"},
    {10, K::CommandText, P::Output, "rel5_off", 15, "rel5=off",
     "Relay 5 off command", "The SMS word that switches relay 5 off"},
    {11, K::CommandText, P::Output, "rel6_on", 15, "rel6=on",
     "Relay 6 on command", "The SMS word that switches relay 6 on"},
    {12, K::CommandText, P::Output, "rel6_off", 15, "rel6=off",
     "Relay 6 off command", "The SMS word that switches relay 6 off"},
    {13, K::CommandText, P::Output, "rel7_on", 15, "rel7=on",
     "Relay 7 on command", "The SMS word that switches relay 7 on"},
    {14, K::CommandText, P::Output, "rel7_off", 15, "rel7=off",
     "Relay 7 off command", "The SMS word that switches relay 7 off"},
    {15, K::CommandText, P::Output, "rel8_on", 15, "rel8=on",
     "Relay 8 on command", "The SMS word that switches relay 8 on"},
    {16, K::CommandText, P::Output, "rel8_off", 15, "rel8=off",
     "Relay 8 off command", "The SMS word that switches relay 8 off"},
    {17, K::CommandText, P::Output, "rel9_on", 15, "rel9=on",
     "Relay 9 on command", "The SMS word that switches relay 9 on"},
    {18, K::CommandText, P::Output, "rel9_off", 15, "rel9=off",
     "Relay 9 off command", "The SMS word that switches relay 9 off"},
    {19, K::CommandText, P::Output, "rel10_on", 15, "rel10=on",
     "Relay 10 on command", "The SMS word that switches relay 10 on"},
    {20, K::CommandText, P::Output, "rel10_off", 15, "rel10=off",
     "Relay 10 off command", "The SMS word that switches relay 10 off"},
    {21, K::CommandText, P::Output, "rel11_on", 15, "rel11=on",
     "Relay 11 on command", "The SMS word that switches relay 11 on"},
    {22, K::CommandText, P::Output, "rel11_off", 15, "rel11=off",
     "Relay 11 off command", "The SMS word that switches relay 11 off"},
    {23, K::CommandText, P::Output, "rel12_on", 15, "rel12=on",
     "Relay 12 on command", "The SMS word that switches relay 12 on"},
    {24, K::CommandText, P::Output, "rel12_off", 15, "rel12=off",
     "Relay 12 off command", "The SMS word that switches relay 12 off"},
    {25, K::Telephone, P::TellNumber, "TEL1", 11, "09xxxxxxxxx",
     "Telephone 1", "Telephone number 1"},
    {26, K::Telephone, P::TellNumber, "TEL2", 11, "",
     "Telephone 2", "Telephone number 2"},
    {27, K::Telephone, P::TellNumber, "TEL3", 11, "",
     "Telephone 3", "Telephone number 3"},
    {28, K::Telephone, P::TellNumber, "TEL4", 11, "",
     "Telephone 4", "Telephone number 4"},
    {29, K::Telephone, P::TellNumber, "TEL5", 11, "",
     "Telephone 5", "Telephone number 5"},
    {30, K::Telephone, P::TellNumber, "TEL6", 11, "",
     "Telephone 6", "Telephone number 6"},
    {31, K::Telephone, P::TellNumber, "TEL7", 11, "",
     "Telephone 7", "Telephone number 7"},
    {32, K::Telephone, P::TellNumber, "TEL8", 11, "",
     "Telephone 8", "Telephone number 8"},
    {33, K::Mask8, P::TellNumber, "CK_TEL_", 0, "0",
     "Telephone %1 may call in", "Ticked: the box takes calls coming in from telephone %1"},
    {34, K::Mask8, P::TellNumber, "CK_TEL_in_", 0, "0",
     "Telephone %1 may be called", "Ticked: the box calls telephone %1"},
    {35, K::CommandText, P::Input, "input1_1", 15, "OPEN PORT 1",
     "Input 1 0 to 1 text", "The SMS text sent when input 1 changes from 0 to 1"},
    {36, K::CommandText, P::Input, "input2_1", 15, "OPEN PORT 2",
     "Input 2 0 to 1 text", "The SMS text sent when input 2 changes from 0 to 1"},
    {37, K::CommandText, P::Input, "input3_1", 15, "OPEN PORT 3",
     "Input 3 0 to 1 text", "The SMS text sent when input 3 changes from 0 to 1"},
    {38, K::CommandText, P::Input, "input4_1", 15, "OPEN PORT 4",
     "Input 4 0 to 1 text", "The SMS text sent when input 4 changes from 0 to 1"},
    {39, K::CommandText, P::Input, "input5_1", 15, "OPEN PORT 5",
     "Input 5 0 to 1 text", "The SMS text sent when input 5 changes from 0 to 1"},
    {40, K::CommandText, P::Input, "input6_1", 15, "OPEN PORT 6",
     "Input 6 0 to 1 text", "The SMS text sent when input 6 changes from 0 to 1"},
    {41, K::CommandText, P::Input, "input7_1", 15, "OPEN PORT 7",
     "Input 7 0 to 1 text", "The SMS text sent when input 7 changes from 0 to 1"},
    {42, K::CommandText, P::Input, "input8_1", 15, "OPEN PORT 8",
     "Input 8 0 to 1 text", "The SMS text sent when input 8 changes from 0 to 1"},
    {43, K::CommandText, P::Input, "input9_1", 15, "OPEN PORT 9",
     "Input 9 0 to 1 text", "The SMS text sent when input 9 changes from 0 to 1"},
    {44, K::CommandText, P::Input, "input10_1", 15, "OPEN PORT 10",
     "Input 10 0 to 1 text", "The SMS text sent when input 10 changes from 0 to 1"},
    {45, K::CommandText, P::Input, "input1_2", 15, "CLOSE PORT 1",
     "Input 1 1 to 0 text", "The SMS text sent when input 1 changes from 1 to 0"},
    {46, K::CommandText, P::Input, "input2_2", 15, "CLOSE PORT 2",
     "Input 2 1 to 0 text", "The SMS text sent when input 2 changes from 1 to 0"},
    {47, K::CommandText, P::Input, "input3_2", 15, "CLOSE PORT 3",
     "Input 3 1 to 0 text", "The SMS text sent when input 3 changes from 1 to 0"},
    {48, K::CommandText, P::Input, "input4_2", 15, "CLOSE PORT 4",
     "Input 4 1 to 0 text", "The SMS text sent when input 4 changes from 1 to 0"},
    {49, K::CommandText, P::Input, "input5_2", 15, "CLOSE PORT 5",
     "Input 5 1 to 0 text", "The SMS text sent when input 5 changes from 1 to 0"},
    {50, K::CommandText, P::Input, "input6_2", 15, "CLOSE PORT 6",
     "Input 6 1 to 0 text", "The SMS text sent when input 6 changes from 1 to 0"},
    {51, K::CommandText, P::Input, "input7_2", 15, "CLOSE PORT 7",
     "Input 7 1 to 0 text", "The SMS text sent when input 7 changes from 1 to 0"},
    {52, K::CommandText, P::Input, "input8_2", 15, "CLOSE PORT 8",
     "Input 8 1 to 0 text", "The SMS text sent when input 8 changes from 1 to 0"},
    {53, K::CommandText, P::Input, "input9_2", 15, "CLOSE PORT 9",
     "Input 9 1 to 0 text", "The SMS text sent when input 9 changes from 1 to 0"},
    {54, K::CommandText, P::Input, "input10_2", 15, "CLOSE PORT 10",
     "Input 10 1 to 0 text", "The SMS text sent when input 10 changes from 1 to 0"},
    {55, K::CommandText, P::Config, "txt_status", 5, "get",
     "Relay state request command", "The SMS word that asks the box for the relays' states"},
    {56, K::Flag, P::Config, "ch_feadback", 0, "1",
     "Confirm command execution", "Ticked: the box confirms every command it carries out"},
    {57, K::Flag, P::Config, "ch_state", 0, "1",
     "Keep relay states at start-up", "Ticked: the relays keep their states when the box starts"},
    {58, K::Mask8, P::Config, "sCheckBox", 0, "0",
     "Relay %1 on", "Ticked: relay %1 is on"},
    {59, K::Mask4, P::Config, "sCheckBox", 0, "0",
     "Relay %1 on", "Ticked: relay %1 is on"},
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

namespace {
// The box number of a mask's control (its name's trailing number).
QString BoxNumber(const TItemDef& Item, const QString& Control)
{
    return Control.mid(qsizetype(std::char_traits<char>::length(Item.Control)));
}
} // namespace

QString ControlTitle(const TItemDef& Item, const QString& Control)
{
    const QString Title = QString::fromLatin1(Item.Title);
    return IsMaskKind(Item.Kind) ? Title.arg(BoxNumber(Item, Control)) : Title;
}

QString ControlMeaning(const TItemDef& Item, const QString& Control)
{
    const QString Meaning = QString::fromLatin1(Item.Meaning);
    return IsMaskKind(Item.Kind) ? Meaning.arg(BoxNumber(Item, Control)) : Meaning;
}

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
