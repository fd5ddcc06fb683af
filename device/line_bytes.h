// The exchange's texts go one byte per character, the same way in both directions: byte b is
// the character of code b (ISO 8859-1). So every byte a box sends comes back as the same byte,
// whatever the locale; a character above code 255 has no byte and cannot be sent.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <cstdint>

inline constexpr char16_t LastLineChar = 0xFF;

inline QChar CharOfLineByte(std::uint8_t Byte)
{
    return QChar(char16_t{Byte});
}
inline bool IsLineChar(QChar Char)
{
    return Char.unicode() <= LastLineChar;
}

// What a text record can hold: a character with a byte, other than the record's end (0x0D),
// which would end the record early and shift every later one, and the line feed, which the
// import drops. An imported text never holds either.
bool IsTextChar(QChar Char);
// The first character of Text that a text record cannot hold, or -1.
qsizetype FirstUnsendable(const QString& Text);
// Why the character at Index of Text cannot be sent, naming it (a surrogate pair whole).
QString UnsendableText(const QString& Text, qsizetype Index);

// Text as the bytes of a text record; raises EConvertError for a character it cannot hold,
// rather than sending something else in its place.
QByteArray TextBytes(const QString& Text);
