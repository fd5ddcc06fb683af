// A flat tool button: a 32 x 32 icon from an image list with its mirrored reflection under it,
// the caption beside it, the pair centred. It never takes the keyboard focus.
#pragma once

#include <QToolButton>

class TImageList;

class TSpeedButton : public QToolButton
{
    Q_OBJECT

public:
    TSpeedButton(QWidget* Parent, TImageList* Images, int ImageIndex, const QString& Caption,
                 int Spacing);

    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Index);
    QString Caption() const { return text(); }
    void SetCaption(const QString& Caption);
    // A key that presses the button as a click does; the caption stays as it is and the
    // tooltip names the key.
    void SetShortcutKey(const QKeySequence& Key);
    int Spacing() const { return FSpacing; }

    QSize sizeHint() const override { return {93, 52}; }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    void UpdateToolTip();

    TImageList* FImages;
    int FImageIndex;
    int FSpacing;
};
