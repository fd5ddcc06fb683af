// The pictures as the program holds them: pixels made at build time from the SVG art.
#include "assets/pixels.h"
#include "ui/image.h"

#include <QPainter>
#include <cstdlib>
#include <gtest/gtest.h>

TEST(Pictures, PixelsSurviveEncodingAndBadDataGivesNoPicture)
{
    QImage Picture(3, 2, QImage::Format_ARGB32_Premultiplied);
    Picture.fill(Qt::transparent);
    Picture.setPixel(0, 0, qRgba(10, 20, 30, 40)); // premultiplied, kept as it is
    Picture.setPixel(2, 1, qRgba(255, 0, 0, 255));
    const QByteArray Data = EncodePixels(Picture);
    EXPECT_EQ(Data.size(), 16 + 3 * 2 * 4);
    const QImage Back = DecodePixels(Data);
    ASSERT_EQ(Back.size(), QSize(3, 2));
    EXPECT_EQ(Back.pixel(0, 0), Picture.pixel(0, 0));
    EXPECT_EQ(Back.pixel(2, 1), Picture.pixel(2, 1));
    EXPECT_EQ(Back.pixel(1, 1), Picture.pixel(1, 1));

    EXPECT_TRUE(DecodePixels({}).isNull());
    EXPECT_TRUE(DecodePixels(Data.left(Data.size() - 1)).isNull()); // cut short
    QByteArray Wrong = Data;
    Wrong[0] = 'X';
    EXPECT_TRUE(DecodePixels(Wrong).isNull());
    QByteArray Huge = Data;
    Huge[7] = '\x7f'; // a width far beyond the data
    EXPECT_TRUE(DecodePixels(Huge).isNull());
}

TEST(Pictures, EveryResourcePictureIsThereAtItsSize)
{
    const std::pair<const char*, QSize> Expected[] = {
        {":/pictures/page-output.pixels", {686, 510}}, {":/pictures/page-input.pixels", {686, 510}},
        {":/pictures/page-tell-number.pixels", {686, 510}}, {":/pictures/page-config.pixels", {686, 510}},
        {":/pictures/about.pixels", {300, 200}}, {":/icons/00-gears-pause.pixels", {32, 32}},
        {":/icons/11-cross.pixels", {16, 16}}};
    for (const auto& [Path, Size] : Expected) {
        const QSize Got = PictureFromResource(QString::fromLatin1(Path)).size();
        EXPECT_TRUE(Got == Size) << Path << " is " << Got.width() << " x " << Got.height();
        // For a screen scaled by 2: the same logical size from pixels drawn at 2x, not the 1x
        // pixels enlarged (their edges would be blocks of four).
        const QPixmap Double = PictureFromResource(QString::fromLatin1(Path), 2);
        EXPECT_EQ(Double.devicePixelRatio(), 2) << Path;
        EXPECT_TRUE(Double.deviceIndependentSize().toSize() == Size) << Path;
        const QImage Fine = Double.toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage Blown = PictureFromResource(QString::fromLatin1(Path), 1)
                                 .toImage()
                                 .scaled(Fine.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation)
                                 .convertToFormat(QImage::Format_ARGB32);
        int Sharper = 0;
        for (int Y = 0; Y < Fine.height(); ++Y)
            for (int X = 0; X < Fine.width(); ++X) {
                const QRgb A = Fine.pixel(X, Y), B = Blown.pixel(X, Y);
                Sharper += std::abs(qAlpha(A) - qAlpha(B)) + std::abs(qGray(A) - qGray(B)) > 48;
            }
        EXPECT_GT(Sharper, Size.width()) << Path;
    }
    EXPECT_TRUE(PictureFromResource(QStringLiteral(":/pictures/none.pixels")).isNull());
}
