#include "line_bytes.h"

#include "app/exceptions.h"

qsizetype FirstUnsendable(const QString& Text)
{
    for (qsizetype I = 0; I < Text.size(); ++I)
        if (!IsLineChar(Text[I]))
            return I;
    return -1;
}

QString UnsendableText(const QString& Text, qsizetype Index)
{
    const bool Pair = Text[Index].isHighSurrogate() && Index + 1 < Text.size();
    return QStringLiteral("\"%1\" cannot be sent: the controller takes only Western (Latin-1) "
                          "characters")
        .arg(Text.mid(Index, Pair ? 2 : 1));
}

QByteArray LineBytes(const QString& Text)
{
    if (const qsizetype Bad = FirstUnsendable(Text); Bad >= 0)
        throw EConvertError(UnsendableText(Text, Bad));
    QByteArray Bytes;
    Bytes.reserve(Text.size());
    for (const QChar Char : Text)
        Bytes.append(static_cast<char>(Char.unicode()));
    return Bytes;
}
