#include "fonts.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>

namespace {
// How much ink a sample drawn in Font leaves: the measure of how heavy the face really draws.
int Ink(const QFont& Font)
{
    QImage Sample(160, 32, QImage::Format_Grayscale8);
    Sample.fill(Qt::white);
    QPainter Painter(&Sample);
    Painter.setFont(Font);
    Painter.setPen(Qt::black);
    Painter.drawText(Sample.rect(), Qt::AlignCenter, QStringLiteral("Port Name: 0Oa"));
    Painter.end();
    int Sum = 0;
    for (int Y = 0; Y < Sample.height(); ++Y) {
        const uchar* Line = Sample.constScanLine(Y);
        for (int X = 0; X < Sample.width(); ++X)
            Sum += 255 - Line[X];
    }
    return Sum;
}
} // namespace

void RegisterFallbackFonts()
{
    if (!QFontDatabase::families().contains(QStringLiteral("Tahoma"))) {
        for (const char* Path : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
            if (QFile::exists(QString::fromLatin1(Path)))
                QFontDatabase::addApplicationFont(QString::fromLatin1(Path));
    }
    QFont Font(QStringLiteral("Tahoma"));
    Font.setPixelSize(11);
    QApplication::setFont(Font);
}

QFont BoldFont(const QString& Family, int PixelSize)
{
    auto Make = [PixelSize](const QString& Name, bool Bold) {
        QFont Font(Name);
        Font.setPixelSize(PixelSize);
        Font.setBold(Bold);
        return Font;
    };
    for (const QString& Candidate :
         {Family, QStringLiteral("DejaVu Sans"),
          QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()}) {
        // A real bold covers clearly more than the regular does.
        if (Ink(Make(Candidate, true)) * 4 > Ink(Make(Candidate, false)) * 5)
            return Make(Candidate, true);
    }
    return Make(Family, true);
}
