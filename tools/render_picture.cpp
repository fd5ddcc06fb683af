// Renders an SVG picture at its natural size times SCALE (1 by default), with alpha, to pixels
// ready to draw (see assets/pixels.h), or to a PNG when OUT ends in ".png" (the skin's style
// sheet reads those): render-picture IN.svg OUT [SCALE]. Run at build time, so the program never
// parses SVG or shapes the text drawn in it. The fonts are those the program itself draws with.
#include "app/fonts.h"
#include "assets/pixels.h"

#include <QApplication>
#include <QImage>
#include <QSaveFile>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const int Scale = argc == 4 ? std::atoi(argv[3]) : 1;
    if ((argc != 3 && argc != 4) || Scale < 1 || Scale > 4) {
        std::fprintf(stderr, "usage: render-picture IN.svg OUT.pixels|OUT.png [SCALE 1-4]\n");
        return 2;
    }
    QApplication App(argc, argv);
    RegisterFallbackFonts();
    QSvgRenderer Renderer(QString::fromLocal8Bit(argv[1]));
    if (!Renderer.isValid()) {
        std::fprintf(stderr, "render-picture: %s is no SVG picture\n", argv[1]);
        return 1;
    }
    QImage Picture(Renderer.defaultSize() * Scale, QImage::Format_ARGB32_Premultiplied);
    Picture.fill(Qt::transparent);
    {
        QPainter Painter(&Picture);
        Painter.setRenderHint(QPainter::Antialiasing);
        Renderer.render(&Painter, QRectF(QPointF(0, 0), QSizeF(Picture.size())));
    }
    const QString OutName = QString::fromLocal8Bit(argv[2]);
    QSaveFile Out(OutName);
    const bool Written = OutName.endsWith(QLatin1String(".png"))
                             ? Out.open(QIODevice::WriteOnly) && Picture.save(&Out, "PNG")
                             : Out.open(QIODevice::WriteOnly) && Out.write(EncodePixels(Picture)) >= 0;
    if (!Written || !Out.commit()) {
        std::fprintf(stderr, "render-picture: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
