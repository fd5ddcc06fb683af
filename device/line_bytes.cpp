#include "line_bytes.h"

#include "core/exceptions.h"
#include "protocol.h"

bool IsTextChar(QChar Char)
{
    return IsLineChar(Char) && Char != CharOfLineByte(RecordEnd) &&
           Char != CharOfLineByte(LineFeed);
}

qsizetype FirstUnsendable(const QString& Text)
{
    for (qsizetype I = 0; I < Text.size(); ++I)
        if (!IsTextChar(Text[I]))
            return I;
    return -1;
}

QString UnsendableText(const QString& Text, qsizetype Index)
{
    if (IsLineChar(Text[Index]))
        return QStringLiteral("The controller takes no line break inside a text");
    // Isolated, so a right-to-left letter does not turn the English sentence around it.
    const bool Pair = Text[Index].isHighSurrogate() && Index + 1 < Text.size();
    return QStringLiteral("The controller takes only Western (Latin-1) characters, not "
                          "\"\u2068%1\u2069\"")
        .arg(Text.mid(Index, Pair ? 2 : 1));
}

QByteArray TextBytes(const QString& Text)
{
    if (const qsizetype Bad = FirstUnsendable(Text); Bad >= 0)
        throw EConvertError(UnsendableText(Text, Bad));
    QByteArray Bytes;
    Bytes.reserve(Text.size());
    for (const QChar Char : Text)
        Bytes.append(static_cast<char>(Char.unicode()));
    return Bytes;
}
