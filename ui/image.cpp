#include "image.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>

QPixmap RenderSvg(const QString& Path, QSize Size)
{
    QSvgRenderer Renderer(Path);
    if (!Renderer.isValid())
        return QPixmap(Path); // a raster picture
    if (!Size.isValid())
        Size = Renderer.defaultSize();
    QPixmap Result(Size);
    Result.fill(Qt::transparent);
    QPainter Painter(&Result);
    Painter.setRenderHint(QPainter::Antialiasing);
    Renderer.render(&Painter, QRectF(QPointF(0, 0), QSizeF(Size)));
    return Result;
}

TImage::TImage(QWidget* Parent) : QWidget(Parent) {}

void TImage::LoadPicture(const QString& Path)
{
    FPicture = Path.endsWith(QLatin1String(".svg")) ? RenderSvg(Path) : QPixmap(Path);
    update();
}

void TImage::paintEvent(QPaintEvent*)
{
    QPainter Painter(this);
    Painter.setClipRect(rect());
    Painter.drawPixmap(0, 0, FPicture);
}

void TImage::mouseReleaseEvent(QMouseEvent* Event)
{
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()))
        emit Clicked();
    QWidget::mouseReleaseEvent(Event);
}
