#include "codecs.h"

#include "core/exceptions.h"
#include "item_view.h"
#include "line_bytes.h"
#include "protocol.h"

#include <limits>

namespace {
const QString DevicePrefix = QStringLiteral("+98");
const QString LocalPrefix = QStringLiteral("0");

QString ReplaceFirst(const QString& Text, const QString& From, const QString& To)
{
    const qsizetype At = Text.indexOf(From);
    if (At < 0)
        return Text;
    QString Result = Text;
    return Result.replace(At, From.size(), To);
}

[[noreturn]] void NotANumber(const QString& Text)
{
    throw EConvertError(QStringLiteral("\"%1\" is not a valid number").arg(Text));
}

void SetMask(TItemView& View, const TItemDef& Item, std::uint8_t Value)
{
    const QStringList Boxes = ItemControls(Item);
    for (int Bit = 0; Bit < Boxes.size(); ++Bit)
        View.SetItemChecked(Boxes[Bit], (Value >> Bit) & 1);
}
} // namespace

QString TelephoneToDevice(const QString& Text) { return ReplaceFirst(Text, LocalPrefix, DevicePrefix); }

QString TelephoneFromDevice(const QString& Line) { return ReplaceFirst(Line, DevicePrefix, LocalPrefix); }

std::int32_t StrToInt(const QString& Text)
{
    qsizetype I = 0;
    while (I < Text.size() && Text[I] == u' ')
        ++I;
    bool Negative = false;
    if (I < Text.size() && (Text[I] == u'+' || Text[I] == u'-'))
        Negative = Text[I++] == u'-';
    if (I == Text.size())
        NotANumber(Text);
    std::int64_t Value = 0;
    for (; I < Text.size(); ++I) {
        const char16_t C = Text[I].unicode();
        if (C < u'0' || C > u'9')
            NotANumber(Text);
        Value = Value * 10 + (C - u'0');
        if (Value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            NotANumber(Text);
    }
    if (Negative)
        Value = -Value;
    if (Value > std::numeric_limits<std::int32_t>::max())
        NotANumber(Text);
    return static_cast<std::int32_t>(Value);
}

std::uint8_t MaskFromLine(const QString& Line)
{
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(StrToInt(Line)) & 0xFF);
}

bool FlagFromLine(const QString& Line) { return Line == QLatin1String("1"); }

std::uint8_t MaskByte(const TItemDef& Item, const TItemView& View)
{
    std::uint8_t Value = 0;
    const QStringList Boxes = ItemControls(Item);
    for (int Bit = 0; Bit < Boxes.size(); ++Bit)
        if (View.ItemChecked(Boxes[Bit]))
            Value |= static_cast<std::uint8_t>(1u << Bit);
    return Value;
}

QByteArray RecordBytes(const TItemDef& Item, const TItemView& View)
{
    const QString Control = QString::fromLatin1(Item.Control);
    const auto Record = [](QByteArray Bytes) { return Bytes.append(static_cast<char>(RecordEnd)); };
    const auto TextRecord = [&](const QString& Text) {
        try {
            return Record(TextBytes(Text));
        } catch (EConvertError& Error) {
            Error.SetMessage(QStringLiteral("%1 (line %2)").arg(Error.Message()).arg(Item.Line));
            throw;
        }
    };
    switch (Item.Kind) {
    case TItemKind::CommandText:
        return TextRecord(View.ItemText(Control));
    case TItemKind::Telephone:
        return TextRecord(TelephoneToDevice(View.ItemText(Control)));
    case TItemKind::Flag:
        return Record(QByteArray(
            1, static_cast<char>(View.ItemChecked(Control) ? FlagSetByte : FlagClearByte)));
    case TItemKind::Mask8:
    case TItemKind::Mask4:
        return Record(QByteArray(1, static_cast<char>(MaskByte(Item, View))));
    }
    return {};
}

QString StoredLine(const TItemDef& Item, const TItemView& View)
{
    const QString Control = QString::fromLatin1(Item.Control);
    switch (Item.Kind) {
    case TItemKind::CommandText:
        return View.ItemText(Control);
    case TItemKind::Telephone:
        return TelephoneToDevice(View.ItemText(Control));
    case TItemKind::Mask8:
    case TItemKind::Mask4:
        return QString::number(MaskByte(Item, View));
    case TItemKind::Flag:
        return View.ItemChecked(Control) ? QStringLiteral("1") : QStringLiteral("0");
    }
    return {};
}

void ApplyLine(TItemView& View, int Line, const QString& Text)
{
    const TItemDef* Item = FindItem(Line);
    if (!Item)
        return;
    const QString Control = QString::fromLatin1(Item->Control);
    switch (Item->Kind) {
    case TItemKind::CommandText:
        View.SetItemText(Control, Text);
        break;
    case TItemKind::Telephone: {
        View.SetItemText(Control, TelephoneFromDevice(Text));
        // The number's line also clears its incoming-calls box; line 33 sets it again.
        const TItemDef* Incoming = FindItem(33);
        View.SetItemChecked(ItemControls(*Incoming)[Line - 25], false);
        break;
    }
    case TItemKind::Mask8:
    case TItemKind::Mask4:
        SetMask(View, *Item, MaskFromLine(Text));
        break;
    case TItemKind::Flag:
        View.SetItemChecked(Control, FlagFromLine(Text));
        break;
    }
}

void ApplyDefaults(TItemView& View)
{
    for (const TItemDef& Item : ItemTable()) {
        const QString Default = QString::fromLatin1(Item.Default);
        if (IsTextKind(Item.Kind))
            View.SetItemText(QString::fromLatin1(Item.Control), Default);
        else if (IsMaskKind(Item.Kind))
            SetMask(View, Item, 0);
        else
            View.SetItemChecked(QString::fromLatin1(Item.Control), FlagFromLine(Default));
    }
}
