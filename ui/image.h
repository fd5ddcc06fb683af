// A picture control: draws its picture at the picture's natural size from the control's
// top-left corner, blended by alpha and clipped to the control (never stretched or centred).
#pragma once

#include <QPixmap>
#include <QWidget>

class TImage : public QWidget
{
    Q_OBJECT

public:
    explicit TImage(QWidget* Parent = nullptr);

    // A picture resource, drawn at its own width and height. It is decoded when it is first
    // needed, so pictures on pages never shown cost nothing.
    void LoadPicture(const QString& Path);
    // In logical pixels, whatever the screen's scale.
    QSize PictureSize() const { return Picture().deviceIndependentSize().toSize(); }
    const QPixmap& Picture() const;

signals:
    void Clicked();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    QString FPath;
    mutable QPixmap FPicture;
};

// A picture of the resources (see assets/pixels.h); a null pixmap when there is none. On a
// screen scaled by more than 1 (or when Scale says so) the pixels made for 2x (NAME@2x.pixels)
// are taken, with a device pixel ratio of 2: same logical size, crisp.
QPixmap PictureFromResource(const QString& Path, qreal Scale = 0);
