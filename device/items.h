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
    // The item's name in a configuration file and what it means; for masks one per box, "%1"
    // standing for the box's number (the telephone number or relay it belongs to).
    const char* Key;
    const char* Meaning;
};

inline constexpr int ItemCount = 59;

// Items by line: ItemTable()[Line - 1].
const std::array<TItemDef, ItemCount>& ItemTable();
// The item on a line, or nullptr for a line outside 1 to 59.
const TItemDef* FindItem(int Line);

// The controls that hold an item, in bit order for masks (bit 0 first).
QStringList ItemControls(const TItemDef& Item);
// The item's keys and meanings in a configuration file, in the same order as its controls.
QStringList ItemKeys(const TItemDef& Item);
QStringList ItemMeanings(const TItemDef& Item);
// The page's tab caption.
QString ItemPageName(TItemPage Page);

bool IsTextKind(TItemKind Kind);
bool IsMaskKind(TItemKind Kind);
// Boxes of a mask: 8, or 4 for line 59.
int MaskBits(TItemKind Kind);
