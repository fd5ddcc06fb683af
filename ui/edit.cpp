#include "edit.h"

#include "device/line_bytes.h"
#include "skin.h"

#include <QToolTip>
#include <QValidator>
#include <algorithm>
#include <limits>

namespace {
// What an edit that turned Before into After may leave: of the run it inserted, only the
// characters a text record can carry, and only as many as keep the text within the larger of Max
// (0: no limit) and Before's length. Cursor is where the edit left the cursor in After.
struct TEntry
{
    QString Text;
    int Cursor = 0;  // after the kept insertion
    QString Refused; // why something was left out; empty when the edit stands whole
};

TEntry LimitEntry(const QString& Before, const QString& After, int Cursor, int Max)
{
    // The edit replaced the middle of Before: the unchanged tail lies after the cursor.
    const qsizetype Common = std::min(Before.size(), After.size());
    const qsizetype TailLimit = std::clamp<qsizetype>(After.size() - Cursor, 0, Common);
    qsizetype Tail = 0;
    while (Tail < TailLimit && Before[Before.size() - 1 - Tail] == After[After.size() - 1 - Tail])
        ++Tail;
    qsizetype Head = 0;
    while (Head < Common - Tail && Before[Head] == After[Head])
        ++Head;
    const QString Inserted = After.mid(Head, After.size() - Head - Tail);

    QString Refused;
    QString Kept;
    Kept.reserve(Inserted.size());
    for (qsizetype I = 0; I < Inserted.size(); ++I) {
        if (IsTextChar(Inserted[I]))
            Kept += Inserted[I];
        else if (Refused.isEmpty())
            Refused = UnsendableText(Inserted, I) + QLatin1Char('.');
    }
    const qsizetype Room = std::max<qsizetype>(Max, Before.size()) - Head - Tail;
    if (Max > 0 && Kept.size() > Room) {
        Kept.truncate(std::max<qsizetype>(Room, 0));
        if (!Refused.isEmpty())
            Refused += QLatin1Char('\n');
        Refused += QStringLiteral("At most %1 characters fit here.").arg(Max);
    }
    if (Refused.isEmpty())
        return {After, Cursor, {}};
    return {Before.left(Head) + Kept + Before.right(Tail), static_cast<int>(Head + Kept.size()),
            Refused};
}
} // namespace

class TEdit::TEntryCheck : public QValidator
{
public:
    explicit TEntryCheck(TEdit& Edit) : QValidator(&Edit), FEdit(Edit) {}

    State validate(QString& Input, int& Cursor) const override
    {
        // No undo step yet: the text was set in code. A redo step waiting: an undo went back to
        // a text the field held. Either stands whole.
        if (Input == FEdit.FText || !FEdit.isUndoAvailable() || FEdit.isRedoAvailable())
            return Acceptable;
        const TEntry Entry = LimitEntry(FEdit.FText, Input, Cursor, FEdit.FMaxLength);
        if (Entry.Refused.isEmpty())
            return Acceptable;
        FEdit.Explain(Entry.Refused);
        // Nothing of the edit stays: the field undoes it, keeping its undo history.
        if (Entry.Text == FEdit.FText)
            return Invalid;
        Input = Entry.Text;
        Cursor = Entry.Cursor;
        return Acceptable;
    }

private:
    TEdit& FEdit;
};

TEdit::TEdit(QWidget* Parent) : QLineEdit(Parent)
{
    SetSkinSection(this, "EDIT");
    setFrame(false);
    // Qt's own limit (32767 by default) would cut what the program stores.
    QLineEdit::setMaxLength(std::numeric_limits<int>::max());
    setValidator(new TEntryCheck(*this));
    connect(this, &QLineEdit::textChanged, this, [this](const QString& Text) { FText = Text; });
}

void TEdit::Explain(const QString& Why)
{
    QToolTip::showText(mapToGlobal(QPoint(0, height())), Why, this);
}
