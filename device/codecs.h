// The encodings between the controls' state and the bytes on the serial line. Pure functions;
// the only conversions there are.
#pragma once

#include "items.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

class TItemView;

// Telephone numbers: the device keeps "+98" where the user writes the leading "0". Only the
// first occurrence is replaced, wherever it stands.
QString TelephoneToDevice(const QString& Text);   // first "0" -> "+98"
QString TelephoneFromDevice(const QString& Line); // first "+98" -> "0"

// A mask line's integer: 32-bit signed decimal, leading blanks and a sign allowed, nothing
// after the digits. Anything else raises EConvertError naming the text.
std::int32_t StrToInt(const QString& Text);

// The boxes of a mask from a received line (low 8 bits; four boxes on line 59), and the byte
// sent for them.
std::uint8_t MaskFromLine(const QString& Line); // raises EConvertError
bool FlagFromLine(const QString& Line);         // ticked only for exactly "1"

// The bytes of the record an item is sent as, read from the view at this moment: a text one
// byte per character, a flag or a mask its one byte; then 0x0D. A text that a record cannot
// hold raises EConvertError naming the line, and nothing of it is sent.
std::uint8_t MaskByte(const TItemDef& Item, const TItemView& View);
QByteArray RecordBytes(const TItemDef& Item, const TItemView& View);

// The line a box that stored the item's record sends back on a read request: texts as they
// are, telephone numbers with "+98", masks in decimal, flags "1" or "0".
QString StoredLine(const TItemDef& Item, const TItemView& View);

// Stores one received line into the item with that number; other numbers change nothing.
// A mask line that is no integer raises EConvertError and leaves its boxes as they were.
void ApplyLine(TItemView& View, int Line, const QString& Text);

// Restores every item to its default.
void ApplyDefaults(TItemView& View);
