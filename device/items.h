// The 59 configuration items of the relay controller, numbered by their line in the exchange.
// This one table drives the import, the export, the pages and the simulator.
#pragma once

#include <QString>
#include <QStringList>
#include <array>

enum class TItemKind { CommandText, Telephone, Mask8, Mask4, Flag };
enum class TItemPage { Output, Input, TellNumber, Config };

struct TItemDef
{
    int Line;            // 1 to 59
    TItemKind Kind;
    TItemPage Page;
    const char* Control; // text and flag items: the control; masks: the controls' common prefix
    int MaxLength;       // edit fields only; 0 otherwise
    const char* Default; // text items: the text; flags: "1" ticked / "0" clear; masks: "0"
    const char* Title;   // what a screen reader calls the control; masks: %1 = box number
    const char* Meaning; // what the control does, in a sentence; masks: %1 = box number
    const char* Key;     // its name in a configuration file; masks: %1 = box number
};

inline constexpr int ItemCount = 59;

// Items by line: ItemTable()[Line - 1].
const std::array<TItemDef, ItemCount>& ItemTable();
// The item on a line, or nullptr for a line outside 1 to 59.
const TItemDef* FindItem(int Line);

// The controls that hold an item, in bit order for masks (bit 0 first).
QStringList ItemControls(const TItemDef& Item);
// The item's keys in a configuration file, in the same order as its controls.
QStringList ItemKeys(const TItemDef& Item);
// The page's tab caption.
QString ItemPageName(TItemPage Page);

// The title and meaning of one of the item's controls (a mask's box gets its number filled in).
QString ControlTitle(const TItemDef& Item, const QString& Control);
QString ControlMeaning(const TItemDef& Item, const QString& Control);

bool IsTextKind(TItemKind Kind);
bool IsMaskKind(TItemKind Kind);
// Boxes of a mask: 8, or 4 for line 59.
int MaskBits(TItemKind Kind);
