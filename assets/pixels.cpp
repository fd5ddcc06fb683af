#include "pixels.h"

#include <cstdint>
#include <cstring>

namespace {
constexpr char Magic[4] = {'M', 'P', 'I', 'X'};
constexpr qsizetype HeaderSize = 16;
constexpr std::uint32_t MaxSide = 16384;

void PutWord(char* At, std::uint32_t Value) { std::memcpy(At, &Value, sizeof Value); }
std::uint32_t Word(const char* At)
{
    std::uint32_t Value = 0;
    std::memcpy(&Value, At, sizeof Value);
    return Value;
}
} // namespace

QByteArray EncodePixels(const QImage& Picture)
{
    const QImage Pixels = Picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const qsizetype Row = qsizetype(Pixels.width()) * 4;
    QByteArray Data(HeaderSize + Row * Pixels.height(), '\0');
    std::memcpy(Data.data(), Magic, sizeof Magic);
    PutWord(Data.data() + 4, std::uint32_t(Pixels.width()));
    PutWord(Data.data() + 8, std::uint32_t(Pixels.height()));
    for (int Y = 0; Y < Pixels.height(); ++Y)
        std::memcpy(Data.data() + HeaderSize + Row * Y, Pixels.constScanLine(Y), size_t(Row));
    return Data;
}

QImage DecodePixels(const QByteArray& Data)
{
    if (Data.size() < HeaderSize || std::memcmp(Data.constData(), Magic, sizeof Magic) != 0)
        return {};
    const std::uint32_t Width = Word(Data.constData() + 4), Height = Word(Data.constData() + 8);
    if (Width == 0 || Height == 0 || Width > MaxSide || Height > MaxSide ||
        Data.size() != HeaderSize + qsizetype(Width) * Height * 4)
        return {};
    QImage Picture(int(Width), int(Height), QImage::Format_ARGB32_Premultiplied);
    if (Picture.isNull())
        return {};
    const qsizetype Row = qsizetype(Width) * 4;
    for (int Y = 0; Y < int(Height); ++Y)
        std::memcpy(Picture.scanLine(Y), Data.constData() + HeaderSize + Row * Y, size_t(Row));
    return Picture;
}
