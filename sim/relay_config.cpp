#include "relay_config.h"

#include "device/codecs.h"
#include "device/config_file.h"
#include "device/item_store.h"

#include "core/file_io.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace {
const TItemDef& Item(int Line)
{
    const TItemDef* Def = FindItem(Line);
    if (!Def)
        throw ESimError("there is no line " + std::to_string(Line) + " (lines are 1 to 59)");
    return *Def;
}

bool ParseInt(std::string_view Text, int& Value)
{
    if (Text.empty())
        return false;
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    return Error == std::errc() && End == Text.data() + Text.size();
}

int HexDigit(char C)
{
    if (C >= '0' && C <= '9')
        return C - '0';
    if (C >= 'a' && C <= 'f')
        return C - 'a' + 10;
    if (C >= 'A' && C <= 'F')
        return C - 'A' + 10;
    return -1;
}
} // namespace

std::string TelephoneWireForm(std::string_view Number)
{
    std::string Wire(Number);
    if (const size_t Zero = Wire.find('0'); Zero != std::string::npos)
        Wire.replace(Zero, 1, "+98");
    return Wire;
}

TRelayConfig DefaultRelayConfig()
{
    TRelayConfig Config;
    for (const TItemDef& Def : ItemTable())
        Config.Value(Def.Line) =
            Def.Kind == TItemKind::Telephone ? TelephoneWireForm(Def.Default) : std::string(Def.Default);
    return Config;
}

void CheckItemValue(int Line, std::string_view Value)
{
    const TItemDef& Def = Item(Line);
    const std::string Where = "line " + std::to_string(Line);
    if (IsMaskKind(Def.Kind)) {
        // Canonical decimal only: what the device itself would send back.
        int Mask = -1;
        const bool Digits = Value.find_first_not_of("0123456789") == std::string_view::npos;
        if (!Digits || !ParseInt(Value, Mask) || Mask > 255 || (Value.size() > 1 && Value[0] == '0'))
            throw ESimError(Where + ": a mask is a number from 0 to 255, not \"" + EscapeValue(Value) + "\"");
    } else if (Def.Kind == TItemKind::Flag) {
        if (Value != "0" && Value != "1")
            throw ESimError(Where + ": a flag is 0 or 1, not \"" + EscapeValue(Value) + "\"");
    } else if (Value.find('\r') != std::string_view::npos) {
        throw ESimError(Where + ": a text cannot hold a carriage return");
    }
}

std::string EscapeValue(std::string_view Bytes)
{
    static const char* const Hex = "0123456789abcdef";
    std::string Text;
    for (size_t I = 0; I < Bytes.size(); ++I) {
        const auto B = static_cast<unsigned char>(Bytes[I]);
        const bool EdgeSpace = B == ' ' && (I == 0 || I + 1 == Bytes.size());
        if (B == '\\')
            Text += "\\\\";
        else if (B >= 0x20 && B <= 0x7E && !EdgeSpace)
            Text += static_cast<char>(B);
        else
            Text += {'\\', 'x', Hex[B >> 4], Hex[B & 0xF]};
    }
    return Text;
}

std::string UnescapeValue(std::string_view Text)
{
    std::string Bytes;
    for (size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] != '\\') {
            Bytes += Text[I];
            continue;
        }
        if (++I == Text.size())
            throw ESimError("a lone backslash ends the value");
        switch (Text[I]) {
        case '\\': Bytes += '\\'; break;
        case 'r': Bytes += '\r'; break;
        case 'n': Bytes += '\n'; break;
        case 't': Bytes += '\t'; break;
        case '0': Bytes += '\0'; break;
        case 'x': {
            const int High = I + 1 < Text.size() ? HexDigit(Text[I + 1]) : -1;
            const int Low = I + 2 < Text.size() ? HexDigit(Text[I + 2]) : -1;
            if (High < 0 || Low < 0)
                throw ESimError("\\x needs two hexadecimal digits");
            Bytes += static_cast<char>(High * 16 + Low);
            I += 2;
            break;
        }
        default:
            throw ESimError(std::string("unknown escape \\") + Text[I]);
        }
    }
    return Bytes;
}

TRelayConfig ParseRelayState(std::string_view Text, const std::string& FileName)
{
    TItemStore Items;
    try {
        ParseConfigFile(QByteArray(Text.data(), static_cast<qsizetype>(Text.size())),
                        QString::fromStdString(FileName), Items, {.Complete = false, .Sendable = true, .Limited = false});
    } catch (const EConfigFile& Error) {
        throw ESimError(Error.what());
    }
    // What the box holds is what it would send back on a read.
    TRelayConfig Config;
    for (const TItemDef& Def : ItemTable())
        Config.Value(Def.Line) = StoredLine(Def, Items).toLatin1().toStdString();
    return Config;
}

std::string FormatRelayState(const TRelayConfig& Config)
{
    // The file holds what a read of the box gives.
    TItemStore Items;
    for (const TItemDef& Def : ItemTable())
        ApplyLine(Items, Def.Line, QString::fromLatin1(Config.Value(Def.Line)));
    return FormatConfigFile(Items, false).toStdString();
}

TRelayConfig LoadRelayState(const std::string& Path)
{
    const QString Name = QString::fromStdString(Path);
    QByteArray Text;
    try {
        Text = ReadFileBounded(Name);
    } catch (const EFileIo& Error) {
        // A first run has no file yet; anything else that is there but unreadable is an error.
        if (struct stat Info{}; ::stat(Path.c_str(), &Info) != 0 && errno == ENOENT)
            return DefaultRelayConfig();
        throw ESimError(Error.what());
    }
    return ParseRelayState(std::string_view(Text.constData(), static_cast<size_t>(Text.size())), Path);
}

void SaveRelayState(const std::string& Path, const TRelayConfig& Config)
{
    const std::string Text = FormatRelayState(Config);
    try {
        WriteFileSafely(QString::fromStdString(Path), QByteArray(Text.data(), static_cast<qsizetype>(Text.size())));
    } catch (const EFileIo& Error) {
        throw ESimError(Error.what());
    }
}
