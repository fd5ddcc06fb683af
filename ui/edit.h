// An edit field whose maximum length limits only what the user types, pastes or drops: a text
// that the program stores (an imported line) is kept whole, however long.
#pragma once

#include <QLineEdit>

class TEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit TEdit(QWidget* Parent = nullptr);

    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int Value) { FMaxLength = Value; }

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void inputMethodEvent(QInputMethodEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
    void contextMenuEvent(QContextMenuEvent* Event) override; // its Paste

private:
    // Runs one user edit; of what it inserted, only as much as fits is kept.
    template <class F> void Limited(F&& Edit);

    int FMaxLength = 0; // 0: no limit
};

// The text after an edit turned Before into After, keeping of the inserted run only what fits
// within Max characters (a longer Before gets nothing inserted, but may shrink).
QString LimitInsertion(const QString& Before, const QString& After, int Max);
