// The toolkit's form: a top-level window. Closing the main window ends the application (once
// the running handler returns); closing any other form only hides it.
#pragma once

#include <QWidget>

class QScreen;

enum class TPosition { poDesigned, poDesktopCenter, poOwnerFormCenter };

class TForm : public QWidget
{
    Q_OBJECT

public:
    explicit TForm(QWidget* Owner = nullptr, Qt::WindowFlags Flags = {});

    // Where the first showing puts the window: centred on the screen that holds the pointer
    // (or the primary one), or over its owner; always inside one screen's work area, never
    // across two. Later showings keep the position it had when hidden.
    void SetPosition(TPosition Position) { FPosition = Position; }

protected:
    void closeEvent(QCloseEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    void PlaceFirstTime();
    TPosition FPosition = TPosition::poDesigned;
    bool FPlaced = false;
};

// The screen a new window belongs on: the one that shows Near when given and shown, else the
// one that holds the pointer, else the primary one.
QScreen* PlacementScreen(const QWidget* Near = nullptr);

// Centres the top-level Window, frame included, on Area, kept inside the work area of Screen.
// A window manager adds the frame only after the first showing; the window is centred again
// once, as soon as its frame is known.
void CentreWindow(QWidget* Window, const QRect& Area, QScreen* Screen);
