#include "fonts.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <optional>

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

// The font the windows are laid out for, once set.
std::optional<QFont> DesignedFont;
bool RestorePending = false;
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
    DesignedFont = Font;
}

// The windows are laid out in pixels for the designed font, so it holds whatever the desktop
// says: a platform theme (qt6ct, a desktop's own) sets its font on the application once the
// loop runs and again whenever its settings change. Put back from the loop, not from inside the
// theme's call; controls drawn by the style sheet keep the font they were polished with (Qt
// does not hand them an application font change), so they are polished again.
void HoldDesignedFont()
{
    if (!DesignedFont || RestorePending || QApplication::font() == *DesignedFont)
        return;
    RestorePending = true;
    QTimer::singleShot(0, qApp, [] {
        RestorePending = false;
        if (QApplication::font() == *DesignedFont)
            return;
        QApplication::setFont(*DesignedFont);
        if (!qApp->styleSheet().isEmpty())
            qApp->setStyleSheet(qApp->styleSheet());
    });
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
