#include "edit.h"

#include "skin.h"

#include <QContextMenuEvent>
#include <limits>

QString LimitInsertion(const QString& Before, const QString& After, int Max)
{
    if (Max <= 0 || After.size() <= Max || After.size() <= Before.size())
        return After;
    qsizetype Head = 0;
    while (Head < Before.size() && Head < After.size() && Before[Head] == After[Head])
        ++Head;
    qsizetype Tail = 0;
    while (Tail < Before.size() - Head && Tail < After.size() - Head &&
           Before[Before.size() - 1 - Tail] == After[After.size() - 1 - Tail])
        ++Tail;
    const qsizetype Kept = Before.size() - (Before.size() - Head - Tail);
    const qsizetype Room = std::max<qsizetype>(0, Max - Kept);
    return Before.left(Head) + After.mid(Head, After.size() - Head - Tail).left(Room) +
           Before.right(Tail);
}

TEdit::TEdit(QWidget* Parent) : QLineEdit(Parent)
{
    SetSkinSection(this, "EDIT");
    setFrame(false);
    // Qt's own limit (32767 by default) would cut what the program stores.
    QLineEdit::setMaxLength(std::numeric_limits<int>::max());
}

template <class F> void TEdit::Limited(F&& Edit)
{
    const QString Before = text();
    Edit();
    const QString After = text();
    const QString Result = LimitInsertion(Before, After, FMaxLength);
    if (Result != After) {
        const int Cursor = cursorPosition() - static_cast<int>(After.size() - Result.size());
        setText(Result);
        setCursorPosition(std::max(0, Cursor));
    }
}

void TEdit::keyPressEvent(QKeyEvent* Event)
{
    Limited([&] { QLineEdit::keyPressEvent(Event); });
}

void TEdit::inputMethodEvent(QInputMethodEvent* Event)
{
    Limited([&] { QLineEdit::inputMethodEvent(Event); });
}

void TEdit::dropEvent(QDropEvent* Event)
{
    Limited([&] { QLineEdit::dropEvent(Event); });
}

void TEdit::contextMenuEvent(QContextMenuEvent* Event)
{
    Limited([&] { QLineEdit::contextMenuEvent(Event); });
}
