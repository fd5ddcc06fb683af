#include "items.h"

namespace {
using K = TItemKind;
using P = TItemPage;

constexpr std::array<TItemDef, ItemCount> Table = {{
    {1, K::CommandText, P::Output, "rel1_on", 15, "rel1=on",
     "relay.1.on", "Command word that switches relay 1 on"},
    {2, K::CommandText, P::Output, "rel1_off", 15, "rel1=off",
     "relay.1.off", "Command word that switches relay 1 off"},
    {3, K::CommandText, P::Output, "rel2_on", 15, "rel2=on",
     "relay.2.on", "Command word that switches relay 2 on"},
    {4, K::CommandText, P::Output, "rel2_off", 15, "rel2=off",
     "relay.2.off", "Command word that switches relay 2 off"},
    {5, K::CommandText, P::Output, "rel3_on", 15, "rel3=on",
     "relay.3.on", "Command word that switches relay 3 on"},
    {6, K::CommandText, P::Output, "rel3_off", 15, "rel3=off",
     "relay.3.off", "Command word that switches relay 3 off"},
    {7, K::CommandText, P::Output, "rel4_on", 15, "rel4=on",
     "relay.4.on", "Command word that switches relay 4 on"},
    {8, K::CommandText, P::Output, "rel4_off", 15, "rel4=off",
     "relay.4.off", "Command word that switches relay 4 off"},
    {9, K::CommandText, P::Output, "rel5_on", 15, "rel5=on",
     "relay.5.on", "Command word that switches relay 5 on"},
    {10, K::CommandText, P::Output, "rel5_off", 15, "rel5=off",
     "relay.5.off", "Command word that switches relay 5 off"},
    {11, K::CommandText, P::Output, "rel6_on", 15, "rel6=on",
     "relay.6.on", "Command word that switches relay 6 on"},
    {12, K::CommandText, P::Output, "rel6_off", 15, "rel6=off",
     "relay.6.off", "Command word that switches relay 6 off"},
    {13, K::CommandText, P::Output, "rel7_on", 15, "rel7=on",
     "relay.7.on", "Command word that switches relay 7 on"},
    {14, K::CommandText, P::Output, "rel7_off", 15, "rel7=off",
     "relay.7.off", "Command word that switches relay 7 off"},
    {15, K::CommandText, P::Output, "rel8_on", 15, "rel8=on",
     "relay.8.on", "Command word that switches relay 8 on"},
    {16, K::CommandText, P::Output, "rel8_off", 15, "rel8=off",
     "relay.8.off", "Command word that switches relay 8 off"},
    {17, K::CommandText, P::Output, "rel9_on", 15, "rel9=on",
     "relay.9.on", "Command word that switches relay 9 on"},
    {18, K::CommandText, P::Output, "rel9_off", 15, "rel9=off",
     "relay.9.off", "Command word that switches relay 9 off"},
    {19, K::CommandText, P::Output, "rel10_on", 15, "rel10=on",
     "relay.10.on", "Command word that switches relay 10 on"},
    {20, K::CommandText, P::Output, "rel10_off", 15, "rel10=off",
     "relay.10.off", "Command word that switches relay 10 off"},
    {21, K::CommandText, P::Output, "rel11_on", 15, "rel11=on",
     "relay.11.on", "Command word that switches relay 11 on"},
    {22, K::CommandText, P::Output, "rel11_off", 15, "rel11=off",
     "relay.11.off", "Command word that switches relay 11 off"},
    {23, K::CommandText, P::Output, "rel12_on", 15, "rel12=on",
     "relay.12.on", "Command word that switches relay 12 on"},
    {24, K::CommandText, P::Output, "rel12_off", 15, "rel12=off",
     "relay.12.off", "Command word that switches relay 12 off"},
    {25, K::Telephone, P::TellNumber, "TEL1", 11, "09xxxxxxxxx",
     "telephone.1.number", "Telephone number 1"},
    {26, K::Telephone, P::TellNumber, "TEL2", 11, "",
     "telephone.2.number", "Telephone number 2"},
    {27, K::Telephone, P::TellNumber, "TEL3", 11, "",
     "telephone.3.number", "Telephone number 3"},
    {28, K::Telephone, P::TellNumber, "TEL4", 11, "",
     "telephone.4.number", "Telephone number 4"},
    {29, K::Telephone, P::TellNumber, "TEL5", 11, "",
     "telephone.5.number", "Telephone number 5"},
    {30, K::Telephone, P::TellNumber, "TEL6", 11, "",
     "telephone.6.number", "Telephone number 6"},
    {31, K::Telephone, P::TellNumber, "TEL7", 11, "",
     "telephone.7.number", "Telephone number 7"},
    {32, K::Telephone, P::TellNumber, "TEL8", 11, "",
     "telephone.8.number", "Telephone number 8"},
    {33, K::Mask8, P::TellNumber, "CK_TEL_", 0, "0",
     "telephone.%1.incoming", "Incoming calls box of telephone number %1"},
    {34, K::Mask8, P::TellNumber, "CK_TEL_in_", 0, "0",
     "telephone.%1.outgoing", "Outgoing calls box of telephone number %1"},
    {35, K::CommandText, P::Input, "input1_1", 15, "OPEN PORT 1",
     "input.1.opened", "Text for input 1 changing from 0 to 1"},
    {36, K::CommandText, P::Input, "input2_1", 15, "OPEN PORT 2",
     "input.2.opened", "Text for input 2 changing from 0 to 1"},
    {37, K::CommandText, P::Input, "input3_1", 15, "OPEN PORT 3",
     "input.3.opened", "Text for input 3 changing from 0 to 1"},
    {38, K::CommandText, P::Input, "input4_1", 15, "OPEN PORT 4",
     "input.4.opened", "Text for input 4 changing from 0 to 1"},
    {39, K::CommandText, P::Input, "input5_1", 15, "OPEN PORT 5",
     "input.5.opened", "Text for input 5 changing from 0 to 1"},
    {40, K::CommandText, P::Input, "input6_1", 15, "OPEN PORT 6",
     "input.6.opened", "Text for input 6 changing from 0 to 1"},
    {41, K::CommandText, P::Input, "input7_1", 15, "OPEN PORT 7",
     "input.7.opened", "Text for input 7 changing from 0 to 1"},
    {42, K::CommandText, P::Input, "input8_1", 15, "OPEN PORT 8",
     "input.8.opened", "Text for input 8 changing from 0 to 1"},
    {43, K::CommandText, P::Input, "input9_1", 15, "OPEN PORT 9",
     "input.9.opened", "Text for input 9 changing from 0 to 1"},
    {44, K::CommandText, P::Input, "input10_1", 15, "OPEN PORT 10",
     "input.10.opened", "Text for input 10 changing from 0 to 1"},
    {45, K::CommandText, P::Input, "input1_2", 15, "CLOSE PORT 1",
     "input.1.closed", "Text for input 1 changing from 1 to 0"},
    {46, K::CommandText, P::Input, "input2_2", 15, "CLOSE PORT 2",
     "input.2.closed", "Text for input 2 changing from 1 to 0"},
    {47, K::CommandText, P::Input, "input3_2", 15, "CLOSE PORT 3",
     "input.3.closed", "Text for input 3 changing from 1 to 0"},
    {48, K::CommandText, P::Input, "input4_2", 15, "CLOSE PORT 4",
     "input.4.closed", "Text for input 4 changing from 1 to 0"},
    {49, K::CommandText, P::Input, "input5_2", 15, "CLOSE PORT 5",
     "input.5.closed", "Text for input 5 changing from 1 to 0"},
    {50, K::CommandText, P::Input, "input6_2", 15, "CLOSE PORT 6",
     "input.6.closed", "Text for input 6 changing from 1 to 0"},
    {51, K::CommandText, P::Input, "input7_2", 15, "CLOSE PORT 7",
     "input.7.closed", "Text for input 7 changing from 1 to 0"},
    {52, K::CommandText, P::Input, "input8_2", 15, "CLOSE PORT 8",
     "input.8.closed", "Text for input 8 changing from 1 to 0"},
    {53, K::CommandText, P::Input, "input9_2", 15, "CLOSE PORT 9",
     "input.9.closed", "Text for input 9 changing from 1 to 0"},
    {54, K::CommandText, P::Input, "input10_2", 15, "CLOSE PORT 10",
     "input.10.closed", "Text for input 10 changing from 1 to 0"},
    {55, K::CommandText, P::Config, "txt_status", 5, "get",
     "status_command", "Command word that requests the state of the relays"},
    {56, K::Flag, P::Config, "ch_feadback", 0, "1",
     "feedback", "Confirmation of command execution enabled"},
    {57, K::Flag, P::Config, "ch_state", 0, "1",
     "keep_states", "Relay states kept at start-up"},
    {58, K::Mask8, P::Config, "sCheckBox", 0, "0",
     "relay.%1.state", "On / off box of relay %1"},
    {59, K::Mask4, P::Config, "sCheckBox", 0, "0",
     "relay.%1.state", "On / off box of relay %1"},
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
// One name per control: a mask's pattern numbered like its boxes.
QStringList PerControl(const TItemDef& Item, const char* Pattern, bool Append)
{
    const QString Text = QString::fromLatin1(Pattern);
    if (!IsMaskKind(Item.Kind))
        return {Text};
    QStringList Names;
    const int First = FirstBoxNumber(Item);
    for (int Bit = 0; Bit < MaskBits(Item.Kind); ++Bit) {
        const QString Number = QString::number(First + Bit);
        Names << (Append ? Text + Number : QString(Text).replace(QStringLiteral("%1"), Number));
    }
    return Names;
}
} // namespace

QStringList ItemControls(const TItemDef& Item) { return PerControl(Item, Item.Control, true); }

QStringList ItemKeys(const TItemDef& Item) { return PerControl(Item, Item.Key, false); }

QStringList ItemMeanings(const TItemDef& Item) { return PerControl(Item, Item.Meaning, false); }

QString ItemPageName(TItemPage Page)
{
    switch (Page) {
    case P::Output: return QStringLiteral("Output");
    case P::Input: return QStringLiteral("Input");
    case P::TellNumber: return QStringLiteral("Tell Number");
    case P::Config: return QStringLiteral("Config");
    }
    return {};
}
