#include "form.h"

#include "application.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWindow>
#include <algorithm>

namespace {
QPoint CentredTopLeft(const QSize& Outer, const QRect& Area, const QRect& Work)
{
    QPoint TopLeft(Area.left() + (Area.width() - Outer.width()) / 2,
                   Area.top() + (Area.height() - Outer.height()) / 2);
    // Inside the work area; a window larger than it keeps its top-left corner visible.
    TopLeft.setX(std::max(std::min(TopLeft.x(), Work.right() + 1 - Outer.width()), Work.left()));
    TopLeft.setY(std::max(std::min(TopLeft.y(), Work.bottom() + 1 - Outer.height()), Work.top()));
    return TopLeft;
}

// Centres its window again once, the first time the window's frame is known.
class TFrameWatch : public QObject
{
public:
    TFrameWatch(QWidget* Window, const QRect& Area, QScreen* Screen)
        : QObject(Window), FArea(Area), FScreen(Screen)
    {
        Window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        auto* Window = static_cast<QWidget*>(Watched);
        const auto Type = Event->type();
        // The frame's extents arrive with no event of their own: by the first paint a window
        // manager that draws frames has told them.
        if ((Type == QEvent::Move || Type == QEvent::Resize || Type == QEvent::Paint) &&
            Window->frameGeometry().size() != Window->size()) {
            const QRect Work = FScreen ? FScreen->availableGeometry() : FArea;
            Window->move(CentredTopLeft(Window->frameGeometry().size(), FArea, Work));
            deleteLater();
        } else if (Type == QEvent::Hide) {
            deleteLater(); // hidden before any frame came: nothing left to adjust
        }
        return false;
    }

private:
    QRect FArea;
    QPointer<QScreen> FScreen;
};
} // namespace

QScreen* PlacementScreen(const QWidget* Near)
{
    if (Near && Near->isVisible())
        if (QScreen* Screen = Near->screen())
            return Screen;
    if (QScreen* Screen = QGuiApplication::screenAt(QCursor::pos()))
        return Screen;
    return QGuiApplication::primaryScreen();
}

void CentreWindow(QWidget* Window, const QRect& Area, QScreen* Screen)
{
    const QRect Work = Screen ? Screen->availableGeometry() : Area;
    const bool FrameKnown = Window->frameGeometry().size() != Window->size();
    Window->move(CentredTopLeft(Window->frameGeometry().size().expandedTo(Window->size()), Area, Work));
    if (!FrameKnown)
        new TFrameWatch(Window, Area, Screen);
}

TForm::TForm(QWidget* Owner, Qt::WindowFlags Flags) : QWidget(Owner, Flags | Qt::Window)
{
    setProperty("skinSection", QStringLiteral("FORM"));
}

void TForm::PlaceFirstTime()
{
    FPlaced = true;
    QWidget* Owner = parentWidget() ? parentWidget()->window() : nullptr;
    const bool OverOwner = FPosition == TPosition::poOwnerFormCenter && Owner && Owner->isVisible();
    QScreen* Screen = PlacementScreen(OverOwner ? Owner : nullptr);
    const QRect Area = OverOwner ? Owner->frameGeometry()
                                 : (Screen ? Screen->availableGeometry() : QRect());
    CentreWindow(this, Area, Screen);
}

void TForm::showEvent(QShowEvent* Event)
{
    if (!FPlaced && FPosition != TPosition::poDesigned)
        PlaceFirstTime();
    QWidget::showEvent(Event);
}

void TForm::closeEvent(QCloseEvent* Event)
{
    if (Application && Application->MainForm() == this) {
        // The window stays on screen until the running handler has returned to the main loop.
        Event->ignore();
        Application->Terminate();
        return;
    }
    Event->accept(); // any other form is only hidden
}
