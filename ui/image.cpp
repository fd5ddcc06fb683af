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
    FPath = Path;
    FPicture = QPixmap();
    update();
}

const QPixmap& TImage::Picture() const
{
    if (FPicture.isNull() && !FPath.isEmpty())
        FPicture = FPath.endsWith(QLatin1String(".svg")) ? RenderSvg(FPath) : QPixmap(FPath);
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
