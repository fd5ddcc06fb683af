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
    QSize PictureSize() const { return Picture().size(); }
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

// A picture of the resources (see assets/pixels.h); a null pixmap when there is none.
QPixmap PictureFromResource(const QString& Path);
