#include "items.h"

#include <string>

namespace {
using K = TItemKind;
using P = TItemPage;

constexpr std::array<TItemDef, ItemCount> Table = {{
    {1, K::CommandText, P::Output, "rel1_on", 15, "rel1=on",
     "Relay 1 on command", "The SMS word that switches relay 1 on",
     "relay.1.on"},
    {2, K::CommandText, P::Output, "rel1_off", 15, "rel1=off",
     "Relay 1 off command", "The SMS word that switches relay 1 off",
     "relay.1.off"},
    {3, K::CommandText, P::Output, "rel2_on", 15, "rel2=on",
     "Relay 2 on command", "The SMS word that switches relay 2 on",
     "relay.2.on"},
    {4, K::CommandText, P::Output, "rel2_off", 15, "rel2=off",
     "Relay 2 off command", "The SMS word that switches relay 2 off",
     "relay.2.off"},
    {5, K::CommandText, P::Output, "rel3_on", 15, "rel3=on",
     "Relay 3 on command", "The SMS word that switches relay 3 on",
     "relay.3.on"},
    {6, K::CommandText, P::Output, "rel3_off", 15, "rel3=off",
     "Relay 3 off command", "The SMS word that switches relay 3 off",
     "relay.3.off"},
    {7, K::CommandText, P::Output, "rel4_on", 15, "rel4=on",
     "Relay 4 on command", "The SMS word that switches relay 4 on",
     "relay.4.on"},
    {8, K::CommandText, P::Output, "rel4_off", 15, "rel4=off",
     "Relay 4 off command", "The SMS word that switches relay 4 off",
     "relay.4.off"},
    {9, K::CommandText, P::Output, "rel5_on", 15, "rel5=on",
     "Relay 5 on command", "The SMS word that switches relay 5 on",
     "relay.5.on"},
    {10, K::CommandText, P::Output, "rel5_off", 15, "rel5=off",
     "Relay 5 off command", "The SMS word that switches relay 5 off",
     "relay.5.off"},
    {11, K::CommandText, P::Output, "rel6_on", 15, "rel6=on",
     "Relay 6 on command", "The SMS word that switches relay 6 on",
     "relay.6.on"},
    {12, K::CommandText, P::Output, "rel6_off", 15, "rel6=off",
     "Relay 6 off command", "The SMS word that switches relay 6 off",
     "relay.6.off"},
    {13, K::CommandText, P::Output, "rel7_on", 15, "rel7=on",
     "Relay 7 on command", "The SMS word that switches relay 7 on",
     "relay.7.on"},
    {14, K::CommandText, P::Output, "rel7_off", 15, "rel7=off",
     "Relay 7 off command", "The SMS word that switches relay 7 off",
     "relay.7.off"},
    {15, K::CommandText, P::Output, "rel8_on", 15, "rel8=on",
     "Relay 8 on command", "The SMS word that switches relay 8 on",
     "relay.8.on"},
    {16, K::CommandText, P::Output, "rel8_off", 15, "rel8=off",
     "Relay 8 off command", "The SMS word that switches relay 8 off",
     "relay.8.off"},
    {17, K::CommandText, P::Output, "rel9_on", 15, "rel9=on",
     "Relay 9 on command", "The SMS word that switches relay 9 on",
     "relay.9.on"},
    {18, K::CommandText, P::Output, "rel9_off", 15, "rel9=off",
     "Relay 9 off command", "The SMS word that switches relay 9 off",
     "relay.9.off"},
    {19, K::CommandText, P::Output, "rel10_on", 15, "rel10=on",
     "Relay 10 on command", "The SMS word that switches relay 10 on",
     "relay.10.on"},
    {20, K::CommandText, P::Output, "rel10_off", 15, "rel10=off",
     "Relay 10 off command", "The SMS word that switches relay 10 off",
     "relay.10.off"},
    {21, K::CommandText, P::Output, "rel11_on", 15, "rel11=on",
     "Relay 11 on command", "The SMS word that switches relay 11 on",
     "relay.11.on"},
    {22, K::CommandText, P::Output, "rel11_off", 15, "rel11=off",
     "Relay 11 off command", "The SMS word that switches relay 11 off",
     "relay.11.off"},
    {23, K::CommandText, P::Output, "rel12_on", 15, "rel12=on",
     "Relay 12 on command", "The SMS word that switches relay 12 on",
     "relay.12.on"},
    {24, K::CommandText, P::Output, "rel12_off", 15, "rel12=off",
     "Relay 12 off command", "The SMS word that switches relay 12 off",
     "relay.12.off"},
    {25, K::Telephone, P::TellNumber, "TEL1", 11, "09xxxxxxxxx",
     "Telephone 1", "Telephone number 1",
     "telephone.1.number"},
    {26, K::Telephone, P::TellNumber, "TEL2", 11, "",
     "Telephone 2", "Telephone number 2",
     "telephone.2.number"},
    {27, K::Telephone, P::TellNumber, "TEL3", 11, "",
     "Telephone 3", "Telephone number 3",
     "telephone.3.number"},
    {28, K::Telephone, P::TellNumber, "TEL4", 11, "",
     "Telephone 4", "Telephone number 4",
     "telephone.4.number"},
    {29, K::Telephone, P::TellNumber, "TEL5", 11, "",
     "Telephone 5", "Telephone number 5",
     "telephone.5.number"},
    {30, K::Telephone, P::TellNumber, "TEL6", 11, "",
     "Telephone 6", "Telephone number 6",
     "telephone.6.number"},
    {31, K::Telephone, P::TellNumber, "TEL7", 11, "",
     "Telephone 7", "Telephone number 7",
     "telephone.7.number"},
    {32, K::Telephone, P::TellNumber, "TEL8", 11, "",
     "Telephone 8", "Telephone number 8",
     "telephone.8.number"},
    {33, K::Mask8, P::TellNumber, "CK_TEL_", 0, "0",
     "Telephone %1 may call in", "Ticked: the box takes calls coming in from telephone %1",
     "telephone.%1.incoming"},
    {34, K::Mask8, P::TellNumber, "CK_TEL_in_", 0, "0",
     "Telephone %1 may be called", "Ticked: the box calls telephone %1",
     "telephone.%1.outgoing"},
    {35, K::CommandText, P::Input, "input1_1", 15, "OPEN PORT 1",
     "Input 1 0 to 1 text", "The SMS text sent when input 1 changes from 0 to 1",
     "input.1.opened"},
    {36, K::CommandText, P::Input, "input2_1", 15, "OPEN PORT 2",
     "Input 2 0 to 1 text", "The SMS text sent when input 2 changes from 0 to 1",
     "input.2.opened"},
    {37, K::CommandText, P::Input, "input3_1", 15, "OPEN PORT 3",
     "Input 3 0 to 1 text", "The SMS text sent when input 3 changes from 0 to 1",
     "input.3.opened"},
    {38, K::CommandText, P::Input, "input4_1", 15, "OPEN PORT 4",
     "Input 4 0 to 1 text", "The SMS text sent when input 4 changes from 0 to 1",
     "input.4.opened"},
    {39, K::CommandText, P::Input, "input5_1", 15, "OPEN PORT 5",
     "Input 5 0 to 1 text", "The SMS text sent when input 5 changes from 0 to 1",
     "input.5.opened"},
    {40, K::CommandText, P::Input, "input6_1", 15, "OPEN PORT 6",
     "Input 6 0 to 1 text", "The SMS text sent when input 6 changes from 0 to 1",
     "input.6.opened"},
    {41, K::CommandText, P::Input, "input7_1", 15, "OPEN PORT 7",
     "Input 7 0 to 1 text", "The SMS text sent when input 7 changes from 0 to 1",
     "input.7.opened"},
    {42, K::CommandText, P::Input, "input8_1", 15, "OPEN PORT 8",
     "Input 8 0 to 1 text", "The SMS text sent when input 8 changes from 0 to 1",
     "input.8.opened"},
    {43, K::CommandText, P::Input, "input9_1", 15, "OPEN PORT 9",
     "Input 9 0 to 1 text", "The SMS text sent when input 9 changes from 0 to 1",
     "input.9.opened"},
    {44, K::CommandText, P::Input, "input10_1", 15, "OPEN PORT 10",
     "Input 10 0 to 1 text", "The SMS text sent when input 10 changes from 0 to 1",
     "input.10.opened"},
    {45, K::CommandText, P::Input, "input1_2", 15, "CLOSE PORT 1",
     "Input 1 1 to 0 text", "The SMS text sent when input 1 changes from 1 to 0",
     "input.1.closed"},
    {46, K::CommandText, P::Input, "input2_2", 15, "CLOSE PORT 2",
     "Input 2 1 to 0 text", "The SMS text sent when input 2 changes from 1 to 0",
     "input.2.closed"},
    {47, K::CommandText, P::Input, "input3_2", 15, "CLOSE PORT 3",
     "Input 3 1 to 0 text", "The SMS text sent when input 3 changes from 1 to 0",
     "input.3.closed"},
    {48, K::CommandText, P::Input, "input4_2", 15, "CLOSE PORT 4",
     "Input 4 1 to 0 text", "The SMS text sent when input 4 changes from 1 to 0",
     "input.4.closed"},
    {49, K::CommandText, P::Input, "input5_2", 15, "CLOSE PORT 5",
     "Input 5 1 to 0 text", "The SMS text sent when input 5 changes from 1 to 0",
     "input.5.closed"},
    {50, K::CommandText, P::Input, "input6_2", 15, "CLOSE PORT 6",
     "Input 6 1 to 0 text", "The SMS text sent when input 6 changes from 1 to 0",
     "input.6.closed"},
    {51, K::CommandText, P::Input, "input7_2", 15, "CLOSE PORT 7",
     "Input 7 1 to 0 text", "The SMS text sent when input 7 changes from 1 to 0",
     "input.7.closed"},
    {52, K::CommandText, P::Input, "input8_2", 15, "CLOSE PORT 8",
     "Input 8 1 to 0 text", "The SMS text sent when input 8 changes from 1 to 0",
     "input.8.closed"},
    {53, K::CommandText, P::Input, "input9_2", 15, "CLOSE PORT 9",
     "Input 9 1 to 0 text", "The SMS text sent when input 9 changes from 1 to 0",
     "input.9.closed"},
    {54, K::CommandText, P::Input, "input10_2", 15, "CLOSE PORT 10",
     "Input 10 1 to 0 text", "The SMS text sent when input 10 changes from 1 to 0",
     "input.10.closed"},
    {55, K::CommandText, P::Config, "txt_status", 5, "get",
     "Relay state request command", "The SMS word that asks the box for the relays' states",
     "status_command"},
    {56, K::Flag, P::Config, "ch_feadback", 0, "1",
     "Confirm command execution", "Ticked: the box confirms every command it carries out",
     "feedback"},
    {57, K::Flag, P::Config, "ch_state", 0, "1",
     "Keep relay states at start-up", "Ticked: the relays keep their states when the box starts",
     "keep_states"},
    {58, K::Mask8, P::Config, "sCheckBox", 0, "0",
     "Relay %1 on", "Ticked: relay %1 is on",
     "relay.%1.state"},
    {59, K::Mask4, P::Config, "sCheckBox", 0, "0",
     "Relay %1 on", "Ticked: relay %1 is on",
     "relay.%1.state"},
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
        Names << (Append ? Text + Number : Text.arg(Number));
    }
    return Names;
}
} // namespace

QStringList ItemControls(const TItemDef& Item) { return PerControl(Item, Item.Control, true); }

QStringList ItemKeys(const TItemDef& Item) { return PerControl(Item, Item.Key, false); }

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
