#include "image_list.h"

TImageList::TImageList(QObject* Owner, int Width, int Height)
    : QObject(Owner), FWidth(Width), FHeight(Height)
{
}

void TImageList::Add(const QPixmap& Picture)
{
    if (Picture.size() == QSize(FWidth, FHeight))
        FImages.push_back(Picture);
    else
        FImages.push_back(
            Picture.scaled(FWidth, FHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

QPixmap TImageList::Image(int Index) const
{
    if (Index < 0 || Index >= Count())
        return QPixmap();
    return FImages[static_cast<size_t>(Index)];
}
