#include "image_list.h"

TImageList::TImageList(QObject* Owner, int Width, int Height)
    : QObject(Owner), FWidth(Width), FHeight(Height)
{
}

void TImageList::Add(const QPixmap& Picture)
{
    // Kept at the list's size in logical pixels, with as many device pixels as the picture has.
    const qreal Ratio = Picture.devicePixelRatio();
    const QSize Device = (QSizeF(FWidth, FHeight) * Ratio).toSize();
    if (Picture.size() == Device) {
        FImages.push_back(Picture);
        return;
    }
    QPixmap Scaled = Picture.scaled(Device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    Scaled.setDevicePixelRatio(Ratio);
    FImages.push_back(Scaled);
}

QPixmap TImageList::Image(int Index) const
{
    if (Index < 0 || Index >= Count())
        return QPixmap();
    return FImages[static_cast<size_t>(Index)];
}
