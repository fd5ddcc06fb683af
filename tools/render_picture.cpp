// Renders an SVG picture at its natural size, with alpha, to pixels ready to draw (see
// assets/pixels.h): render-picture IN.svg OUT.pixels. Run at build time, so the program never
// parses SVG or shapes the text drawn in it. The fonts are those the program itself draws with.
#include "app/fonts.h"
#include "assets/pixels.h"

#include <QApplication>
#include <QImage>
#include <QSaveFile>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: render-picture IN.svg OUT.pixels\n");
        return 2;
    }
    QApplication App(argc, argv);
    RegisterFallbackFonts();
    QSvgRenderer Renderer(QString::fromLocal8Bit(argv[1]));
    if (!Renderer.isValid()) {
        std::fprintf(stderr, "render-picture: %s is no SVG picture\n", argv[1]);
        return 1;
    }
    QImage Picture(Renderer.defaultSize(), QImage::Format_ARGB32_Premultiplied);
    Picture.fill(Qt::transparent);
    {
        QPainter Painter(&Picture);
        Painter.setRenderHint(QPainter::Antialiasing);
        Renderer.render(&Painter, QRectF(QPointF(0, 0), QSizeF(Picture.size())));
    }
    QSaveFile Out(QString::fromLocal8Bit(argv[2]));
    if (!Out.open(QIODevice::WriteOnly) || Out.write(EncodePixels(Picture)) < 0 || !Out.commit()) {
        std::fprintf(stderr, "render-picture: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
