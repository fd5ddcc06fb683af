// Renders an SVG picture, with alpha, at its natural size times SCALE (1 by default), or into a
// SIZE x SIZE square (the desktop's icons, one per size of the icon theme). OUT ending in ".png"
// gets a PNG (the skin's style sheet and the icon theme read those), any other name pixels ready
// to draw (see assets/pixels.h):
//   render-picture IN.svg OUT [SCALE]        render-picture IN.svg OUT --size SIZE
// Run at build time, so the program never parses SVG or shapes the text drawn in it. The fonts
// are those the program itself draws with.
#include "app/fonts.h"
#include "assets/pixels.h"

#include <QApplication>
#include <QImage>
#include <QSaveFile>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const auto Usage = [] {
        std::fprintf(stderr, "usage: render-picture IN.svg OUT [SCALE 1-4] | render-picture IN.svg OUT --size N\n");
        return 2;
    };
    const bool Sized = argc == 5 && std::strcmp(argv[3], "--size") == 0;
    if (argc != 3 && argc != 4 && !Sized)
        return Usage();
    bool Number = true;
    const int Value = argc >= 4 ? QByteArray(argv[argc - 1]).toInt(&Number) : 1;
    if (!Number || (Sized ? Value < 1 || Value > 1024 : Value < 1 || Value > 4))
        return Usage();
    QApplication App(argc, argv);
    RegisterFallbackFonts();
    QSvgRenderer Renderer(QString::fromLocal8Bit(argv[1]));
    if (!Renderer.isValid()) {
        std::fprintf(stderr, "render-picture: %s is no SVG picture\n", argv[1]);
        return 1;
    }
    QImage Picture(Sized ? QSize(Value, Value) : Renderer.defaultSize() * Value,
                   QImage::Format_ARGB32_Premultiplied);
    Picture.fill(Qt::transparent);
    {
        QPainter Painter(&Picture);
        Painter.setRenderHint(QPainter::Antialiasing);
        Renderer.render(&Painter, QRectF(QPointF(0, 0), QSizeF(Picture.size())));
    }
    const QString OutName = QString::fromLocal8Bit(argv[2]);
    QSaveFile Out(OutName);
    const bool Written = Out.open(QIODevice::WriteOnly) &&
                         (OutName.endsWith(QLatin1String(".png")) ? Picture.save(&Out, "PNG")
                                                                 : Out.write(EncodePixels(Picture)) >= 0);
    if (!Written || !Out.commit()) {
        std::fprintf(stderr, "render-picture: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
