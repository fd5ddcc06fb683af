// An image list of 32 x 32 icons with alpha, indexed from 0 (non-visual).
#pragma once

#include <QObject>
#include <QPixmap>
#include <vector>

class TImageList : public QObject
{
    Q_OBJECT

public:
    TImageList(QObject* Owner, int Width, int Height);
    void Add(const QPixmap& Picture); // scaled to the list's size when it differs
    int Count() const { return static_cast<int>(FImages.size()); }
    // An empty pixmap for an index outside the list.
    QPixmap Image(int Index) const;
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

private:
    int FWidth, FHeight;
    std::vector<QPixmap> FImages;
};
