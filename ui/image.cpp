#include "image.h"

#include "assets/pixels.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QResource>

QPixmap PictureFromResource(const QString& Path, qreal Scale)
{
    if (Scale <= 0)
        Scale = qApp ? qApp->devicePixelRatio() : 1;
    if (Scale > 1 && Path.endsWith(QLatin1String(".pixels"))) {
        QString Double = Path;
        Double.insert(Path.size() - int(sizeof(".pixels") - 1), QLatin1String("@2x"));
        const QImage Pixels = DecodePixels(QResource(Double).uncompressedData());
        if (!Pixels.isNull()) {
            QPixmap Picture = QPixmap::fromImage(Pixels);
            Picture.setDevicePixelRatio(2);
            return Picture;
        }
    }
    return QPixmap::fromImage(DecodePixels(QResource(Path).uncompressedData()));
}

TImage::TImage(QWidget* Parent) : QWidget(Parent) {}

void TImage::LoadPicture(const QString& Path)
{
    FPath = Path;
    FPicture = QPixmap();
    update();
}

const QPixmap& TImage::Picture() const
{
    if (FPicture.isNull() && !FPath.isEmpty())
        FPicture = PictureFromResource(FPath);
    return FPicture;
}

void TImage::paintEvent(QPaintEvent*)
{
    QPainter Painter(this);
    Painter.setClipRect(rect());
    Painter.drawPixmap(0, 0, Picture());
}

void TImage::mouseReleaseEvent(QMouseEvent* Event)
{
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()))
        emit Clicked();
    QWidget::mouseReleaseEvent(Event);
}
