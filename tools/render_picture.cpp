// Renders an SVG picture at its natural size, with alpha, to pixels ready to draw (see
// assets/pixels.h): render-picture IN.svg OUT.pixels. Run at build time, so the program never
// parses SVG or shapes the text drawn in it. The fonts are those the program itself draws with.
// render-picture IN.svg OUT.png Nx renders it at N times its natural size into a PNG (the skin's
// marks, which the style sheet loads by file name); render-picture IN.svg OUT.png SIZE into a
// SIZE x SIZE PNG (the desktop's icons, one per size of the icon theme).
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
    const auto Usage = [] {
        std::fprintf(stderr, "usage: render-picture IN.svg OUT.pixels | render-picture IN.svg OUT.png Nx|SIZE\n");
        return 2;
    };
    if (argc != 3 && argc != 4)
        return Usage();
    const bool Png = argc == 4;
    int Size = 0, Scale = 1;
    if (Png) {
        const QByteArray Arg(argv[3]);
        bool Number = false;
        if (Arg.endsWith('x')) {
            Scale = Arg.chopped(1).toInt(&Number);
            if (!Number || Scale < 1 || Scale > 4)
                return Usage();
        } else {
            Size = Arg.toInt(&Number);
            if (!Number || Size < 1 || Size > 1024)
                return Usage();
        }
    }
    QApplication App(argc, argv);
    RegisterFallbackFonts();
    QSvgRenderer Renderer(QString::fromLocal8Bit(argv[1]));
    if (!Renderer.isValid()) {
        std::fprintf(stderr, "render-picture: %s is no SVG picture\n", argv[1]);
        return 1;
    }
    QImage Picture(Size > 0 ? QSize(Size, Size) : Renderer.defaultSize() * Scale,
                   QImage::Format_ARGB32_Premultiplied);
    Picture.fill(Qt::transparent);
    {
        QPainter Painter(&Picture);
        Painter.setRenderHint(QPainter::Antialiasing);
        Renderer.render(&Painter, QRectF(QPointF(0, 0), QSizeF(Picture.size())));
    }
    QSaveFile Out(QString::fromLocal8Bit(argv[2]));
    const bool Written = Out.open(QIODevice::WriteOnly) &&
                         (Png ? Picture.save(&Out, "PNG") : Out.write(EncodePixels(Picture)) >= 0);
    if (!Written || !Out.commit()) {
        std::fprintf(stderr, "render-picture: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
