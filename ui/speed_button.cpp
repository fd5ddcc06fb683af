#include "speed_button.h"

#include "image_list.h"
#include "skin.h"

#include <QLinearGradient>
#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStylePainter>

TSpeedButton::TSpeedButton(QWidget* Parent, TImageList* Images, int ImageIndex,
                           const QString& Caption, int Spacing)
    : QToolButton(Parent), FImages(Images), FImageIndex(ImageIndex), FSpacing(Spacing)
{
    setText(Caption);
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    SetSkinSection(this, "TOOLBUTTON");
}

void TSpeedButton::SetCaption(const QString& Caption)
{
    const QKeySequence Key = shortcut();
    setText(Caption); // which puts the caption's mnemonic (none) in place of the key
    setShortcut(Key);
    UpdateToolTip();
}

void TSpeedButton::SetShortcutKey(const QKeySequence& Key)
{
    setShortcut(Key); // pressed through animateClick, so the click handler runs as for the mouse
    UpdateToolTip();
}

void TSpeedButton::UpdateToolTip()
{
    setToolTip(shortcut().isEmpty()
                   ? QString()
                   : QStringLiteral("%1 (%2)").arg(text(), shortcut().toString(QKeySequence::NativeText)));
}

void TSpeedButton::SetImageIndex(int Index)
{
    if (Index == FImageIndex)
        return;
    FImageIndex = Index;
    update();
}

namespace {
// The icon flipped upside down, fading from a third of its opacity to nothing.
QPixmap Reflection(const QPixmap& Icon, int Height)
{
    const qreal Ratio = Icon.devicePixelRatio();
    QImage Flipped = Icon.toImage().mirrored(false, true).convertToFormat(
        QImage::Format_ARGB32_Premultiplied);
    QImage Strip = Flipped.copy(0, 0, Flipped.width(), qRound(Height * Ratio));
    Strip.setDevicePixelRatio(Ratio);
    QPainter Painter(&Strip);
    Painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    QLinearGradient Fade(0, 0, 0, Height); // logical pixels: the painter knows the ratio
    Fade.setColorAt(0, QColor(0, 0, 0, 90));
    Fade.setColorAt(1, QColor(0, 0, 0, 0));
    Painter.fillRect(Strip.rect(), Fade);
    return QPixmap::fromImage(Strip);
}
} // namespace

void TSpeedButton::paintEvent(QPaintEvent*)
{
    QStylePainter Painter(this);
    QStyleOptionToolButton Option;
    initStyleOption(&Option);
    Option.text.clear();
    Option.icon = QIcon();
    Painter.drawComplexControl(QStyle::CC_ToolButton, Option);

    QPixmap Icon = FImages ? FImages->Image(FImageIndex) : QPixmap();
    if (!isEnabled() && !Icon.isNull()) {
        QStyleOption Plain;
        Plain.initFrom(this);
        Icon = style()->generatedIconPixmap(QIcon::Disabled, Icon, &Plain);
    }
    const int IconSize = 32;
    const int TextWidth = fontMetrics().horizontalAdvance(text());
    const int PairWidth = IconSize + FSpacing + TextWidth;
    const int Left = (width() - PairWidth) / 2;
    const int IconTop = 4;
    const QRect IconRect(Left, IconTop, IconSize, IconSize);
    if (!Icon.isNull()) {
        Painter.drawPixmap(IconRect, Icon);
        Painter.drawPixmap(Left, IconTop + IconSize, Reflection(Icon, 12));
    }
    const QRect TextRect(Left + IconSize + FSpacing, IconTop, TextWidth + 1, IconSize);
    Painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                   QPalette::ButtonText));
    Painter.drawText(TextRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, text());
}
