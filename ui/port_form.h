// The port selection dialog "Setting": a small tool window owned by the main window, not modal.
#pragma once

#include "app/form.h"

class QComboBox;
class TPortWatcher;
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
    // HeldBy: the programs that hold the port ("ModemManager (pid 812)"); such an entry is
    // marked and its tooltip says by whom.
    void AddPort(const QString& Port, const QString& Facts = {}, const QString& HeldBy = {});
    // AddPort with what the system tells of Port and who holds it.
    void AddSystemPort(const QString& Port);
    void SelectFirst();
    // Selects the entry of the port that last reached the device; a remembered device that the
    // list does not show but that exists is put into the field. The first entry otherwise.
    void SelectLastPort();

    // Reads the system's ports again into the list, keeping what the user chose: the selected
    // entry stays selected while it is offered, typed text stays as typed. The dialog does this
    // by itself while it is shown, whenever a port comes or goes.
    void RefreshPorts();

    // Marks an entry whose port another program holds.
    static constexpr int HeldRole = Qt::UserRole + 1;

    // Makes the dialog visible and brings it to the front (only the latter when already shown).
    void ShowDialog();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;

private:
    void CreateComponents();
    // Typing the start of an entry selects it and fills in the rest of its text, selected, so
    // typing on replaces it; text that starts no entry leaves none selected.
    void AutoComplete(const QString& Typed);
    bool ListHasFocus() const;
    // The field's tooltip: the selected entry's whole path and facts, or the typed text.
    void ShowSelectedInToolTip();
    void FocusList();
    // The port OK stands for: the selected entry, or a typed path of a device; empty after a
    // notice that says why the text is no port.
    QString ChosenPort();

    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* sButton1 = nullptr;
    QPushButton* sButton2 = nullptr;
    bool FDeleting = false; // the edit in progress came from a deleting key
    TPortWatcher* FWatcher = nullptr; // while shown
};
