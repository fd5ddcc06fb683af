#include "form.h"

#include "application.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

TForm::TForm(QWidget* Owner, Qt::WindowFlags Flags) : QWidget(Owner, Flags | Qt::Window)
{
    setProperty("skinSection", QStringLiteral("FORM"));
}

void TForm::PlaceFirstTime()
{
    FPlaced = true;
    QRect Desktop;
    for (QScreen* Screen : QGuiApplication::screens())
        Desktop = Desktop.united(Screen->geometry());
    QWidget* Owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect Area = (FPosition == TPosition::poOwnerFormCenter && Owner && Owner->isVisible())
                           ? Owner->frameGeometry()
                           : Desktop;
    const QSize Outer = frameGeometry().size().expandedTo(size());
    QPoint TopLeft(Area.left() + (Area.width() - Outer.width()) / 2,
                   Area.top() + (Area.height() - Outer.height()) / 2);
    TopLeft.setX(std::max(TopLeft.x(), Desktop.left()));
    TopLeft.setY(std::max(TopLeft.y(), Desktop.top()));
    move(TopLeft);
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
