// An edit field of the exchange. Its maximum length limits only what the user enters: a text
// that the program stores (an imported line, setText) is kept whole, however long. It takes
// only characters the serial line can carry; what it refuses is explained at the field.
#pragma once

#include <QLineEdit>

class TEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit TEdit(QWidget* Parent = nullptr);

    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int Value) { FMaxLength = Value; }

private:
    // Sees every change of the text, whichever way it came (keys, input methods, pastes,
    // drops, undo), before the change is shown.
    class TEntryCheck;

    void Explain(const QString& Why);

    QString FText;      // the text before the change under way
    int FMaxLength = 0; // 0: no limit
};

// What an edit that turned Before into After may leave: of the run it inserted, only the
// characters the line can carry, and only as many as keep the text within the larger of Max
// (0: no limit) and Before's length. Cursor is where the edit left the cursor in After.
struct TEntry
{
    QString Text;
    int Cursor = 0;   // after the kept insertion
    QString Refused;  // why something was left out; empty when the edit stands whole
};
TEntry LimitEntry(const QString& Before, const QString& After, int Cursor, int Max);
