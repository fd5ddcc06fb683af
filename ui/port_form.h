// The port selection dialog "Setting": a small tool window owned by the main window, not modal.
#pragma once

#include "app/form.h"

class QComboBox;
class QLabel;
class QPushButton;

class TForm1 : public TForm
{
    Q_OBJECT

public:
    TForm1();

    void sButton1Click(QObject* Sender); // OK
    void sButton2Click(QObject* Sender); // Cancel

    // The list as the main window fills it: emptied (no entry, empty field, none selected),
    // entries appended in the given order, then the first one selected when there is one.
    void ClearPorts();
    // Facts: what the system knows of the device, one per line; the entry's tooltip shows them.
    void AddPort(const QString& Port, const QString& Facts = {});
    void SelectFirst();

    // Makes the dialog visible and brings it to the front (only the latter when already shown).
    void ShowDialog();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    void CreateComponents();
    // Typing the start of an entry selects it and fills in the rest of its text, selected, so
    // typing on replaces it; text that starts no entry leaves none selected.
    void AutoComplete(const QString& Typed);
    bool ListHasFocus() const;
    // The field's tooltip: the selected entry's whole path and facts, or the typed text.
    void ShowSelectedInToolTip();
    void FocusList();

    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* sButton1 = nullptr;
    QPushButton* sButton2 = nullptr;
    bool FDeleting = false; // the edit in progress came from a deleting key
};
