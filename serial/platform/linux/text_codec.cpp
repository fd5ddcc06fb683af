// Text conversion through iconv. The system's default code page is the locale's character set.
#include "serial/platform/serial_device.h"

#include <QtEndian>
#include <cerrno>
#include <iconv.h>
#include <langinfo.h>

namespace ComPlatform {

namespace {

const char* const Utf16 = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";

QByteArray DefaultCharset()
{
    const char* Name = nl_langinfo(CODESET);
    return Name && *Name ? QByteArray(Name) : QByteArray("ASCII");
}

struct TCodePageName
{
    unsigned CodePage;
    const char* Name;
};
const TCodePageName CodePageNames[] = {
    {65001, "UTF-8"},      {1200, "UTF-16LE"},    {1201, "UTF-16BE"},   {20127, "ASCII"},
    {20866, "KOI8-R"},     {21866, "KOI8-U"},     {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"}, {28594, "ISO-8859-4"}, {28595, "ISO-8859-5"}, {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"}, {28598, "ISO-8859-8"}, {28599, "ISO-8859-9"}, {28605, "ISO-8859-15"},
    {932, "CP932"},        {936, "GBK"},          {949, "CP949"},        {950, "BIG5"},
    {54936, "GB18030"},
};

// Windows code page number to iconv name; the rest (437, 850, 866, 874, 1250 to 1258 ...) are
// named CP<number> in iconv.
QByteArray CharsetOf(unsigned CodePage)
{
    if (CodePage == 0)
        return DefaultCharset();
    for (const auto& C : CodePageNames)
        if (C.CodePage == CodePage)
            return C.Name;
    return "CP" + QByteArray::number(CodePage);
}

// Converts In; an input unit that the target cannot take becomes Replacement. UnitSize is the
// size of one input unit to skip then (2 for UTF-16; a surrogate pair is skipped whole).
bool Convert(const QByteArray& To, const QByteArray& From, const QByteArray& In,
             const QByteArray& Replacement, int UnitSize, QByteArray& Out)
{
    iconv_t Cd = iconv_open(To.constData(), From.constData());
    if (Cd == iconv_t(-1))
        return false;
    Out.clear();
    char* Src = const_cast<char*>(In.constData());
    size_t SrcLeft = size_t(In.size());
    char Chunk[1024];
    while (SrcLeft > 0) {
        char* Dst = Chunk;
        size_t DstLeft = sizeof Chunk;
        size_t R = iconv(Cd, &Src, &SrcLeft, &Dst, &DstLeft);
        Out.append(Chunk, qsizetype(Dst - Chunk));
        if (R != size_t(-1))
            break;
        if (errno == E2BIG)
            continue;
        // An unrepresentable or broken unit: replace it and go on after it.
        size_t Skip = size_t(UnitSize);
        if (UnitSize == 2 && SrcLeft >= 4) {
            char16_t U = *reinterpret_cast<const char16_t*>(Src);
            if (QChar::isHighSurrogate(U))
                Skip = 4;
        }
        Skip = std::min(Skip, SrcLeft);
        Src += Skip;
        SrcLeft -= Skip;
        Out.append(Replacement);
    }
    char* Dst = Chunk;
    size_t DstLeft = sizeof Chunk;
    iconv(Cd, nullptr, nullptr, &Dst, &DstLeft);
    Out.append(Chunk, qsizetype(Dst - Chunk));
    iconv_close(Cd);
    return true;
}

QByteArray Utf16Bytes(const QString& Text)
{
    return QByteArray(reinterpret_cast<const char*>(Text.utf16()), Text.size() * 2);
}

QString FromUtf16Bytes(const QByteArray& Bytes)
{
    return QString(reinterpret_cast<const QChar*>(Bytes.constData()), Bytes.size() / 2);
}

const QByteArray ReplacementChar = QByteArray(
    QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "\xFD\xFF" : "\xFF\xFD", 2);

} // namespace

bool EncodeCodePage(unsigned CodePage, const QString& Text, QByteArray& Bytes)
{
    return Convert(CharsetOf(CodePage), Utf16, Utf16Bytes(Text), "?", 2, Bytes);
}

bool DecodeCodePage(unsigned CodePage, const QByteArray& Bytes, QString& Text)
{
    QByteArray Units;
    if (!Convert(Utf16, CharsetOf(CodePage), Bytes, ReplacementChar, 1, Units))
        return false;
    Text = FromUtf16Bytes(Units);
    return true;
}

QByteArray ToDefaultCodePage(const QString& Text)
{
    QByteArray Bytes;
    if (!EncodeCodePage(0, Text, Bytes))
        Bytes = Text.toLatin1();
    return Bytes;
}

QString FromDefaultCodePage(const QByteArray& Bytes)
{
    QString Text;
    if (!DecodeCodePage(0, Bytes, Text))
        Text = QString::fromLatin1(Bytes);
    return Text;
}

} // namespace ComPlatform
