// An edit field of the exchange. Its maximum length limits only what the user enters: a text
// that the program stores (an imported line, setText) is kept whole, however long. It takes
// only characters a record on the serial line can carry; what it refuses is explained at the
// field.
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
