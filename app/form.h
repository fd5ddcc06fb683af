// The toolkit's form: a top-level window. Closing the main window ends the application (once
// the running handler returns); closing any other form only hides it.
#pragma once

#include <QWidget>

enum class TPosition { poDesigned, poDesktopCenter, poOwnerFormCenter };

class TForm : public QWidget
{
    Q_OBJECT

public:
    explicit TForm(QWidget* Owner = nullptr, Qt::WindowFlags Flags = {});

    // Where the first showing puts the window: centred on the desktop (the rectangle holding
    // every screen) or over its owner, never left of or above the desktop's top-left corner.
    // Later showings keep the position it had when hidden.
    void SetPosition(TPosition Position) { FPosition = Position; }

protected:
    void closeEvent(QCloseEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    void PlaceFirstTime();
    TPosition FPosition = TPosition::poDesigned;
    bool FPlaced = false;
};
