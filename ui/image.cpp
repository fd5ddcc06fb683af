#include "image.h"

#include "assets/pixels.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResource>

QPixmap PictureFromResource(const QString& Path)
{
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
