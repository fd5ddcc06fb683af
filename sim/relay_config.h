// The configuration as the relay controller holds it, and its state file.
//
// Each of the 59 items is kept in the form the device sends back on a read request:
//  - texts as their bytes;
//  - telephone numbers in their wire form, "+98" in place of the first "0", exactly as an export
//    delivered them (the default 09xxxxxxxxx is held as +989xxxxxxxxx), and sent back unchanged;
//  - masks as decimal text "0" to "255";
//  - flags as "1" (set) or "0" (clear).
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

#include "device/items.h"

// A configuration or option that cannot be used; the message says where and why.
class ESimError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct TRelayConfig
{
    std::array<std::string, ItemCount> Values; // by line: Values[Line - 1]

    const std::string& Value(int Line) const { return Values.at(static_cast<size_t>(Line - 1)); }
    std::string& Value(int Line) { return Values.at(static_cast<size_t>(Line - 1)); }
    bool operator==(const TRelayConfig&) const = default;
};

// The device's configuration at delivery: the item table's defaults in the device's form.
TRelayConfig DefaultRelayConfig();

// The device's form of a telephone number given as the user writes it: the first "0" becomes
// "+98"; a number without "0" stays as it is.
std::string TelephoneWireForm(std::string_view Number);

// Checks that Value is something the device can hold on Line: a mask "0" to "255", a flag "0"
// or "1", a text without a carriage return (it would end the line early on a read).
void CheckItemValue(int Line, std::string_view Value);

// Printable ASCII stays as it is; a backslash is "\\", and every other byte, as well as a space
// at either end of the value, is \xHH, so the file survives editors and shows control bytes.
std::string EscapeValue(std::string_view Bytes);
// The reverse; also accepts \r, \n, \t and \0. Throws ESimError on a malformed escape.
std::string UnescapeValue(std::string_view Text);

// The state file is morvel-smsctl's configuration file, so a file read from a box seeds the
// simulator; items it leaves out keep their defaults. Throws ESimError naming the file, the
// line and the column.
TRelayConfig ParseRelayState(std::string_view Text, const std::string& FileName = "state");
std::string FormatRelayState(const TRelayConfig& Config);

// Loads Path; a file that does not exist yet gives the defaults. Only a regular file is
// taken, and only of a configuration file's size.
TRelayConfig LoadRelayState(const std::string& Path);
// Saves through the programs' one writer: whole or not at all, never through another user's
// link.
void SaveRelayState(const std::string& Path, const TRelayConfig& Config);
