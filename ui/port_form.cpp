#include "port_form.h"

#include "app/application.h"
#include "app/boxes.h"
#include "app/fonts.h"
#include "core/exceptions.h"
#include "app/guard.h"
#include "device/link_state.h"
#include "forms.h"
#include "main_form.h"
#include "last_port.h"
#include "serial/port_holders.h"
#include "serial/port_list.h"
#include "serial/port_watcher.h"
#include "skin.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QColor>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <utility>

TForm1::TForm1() : TForm(Application ? Application->MainForm() : nullptr, Qt::Tool)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Setting"));
    resize(221, 220);
    SetPosition(TPosition::poOwnerFormCenter);
    CreateComponents();
}

void TForm1::CreateComponents()
{
    Label1 = new QLabel(QStringLiteral("Port Name:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(BoldFont(QStringLiteral("Tahoma"), 13));
    Label1->move(39, 23);
    Label1->adjustSize();

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(39, 53, 145, 21);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert); // typed text never becomes an entry
    ComboBox1->setCompleter(nullptr);                // completion is AutoComplete's alone
    ComboBox1->setMaxVisibleItems(8);
    Label1->setBuddy(ComboBox1);
    ComboBox1->setAccessibleName(QStringLiteral("Port name"));
    ComboBox1->setAccessibleDescription(
        QStringLiteral("The serial port the device is attached to; each entry's tooltip tells its device"));
    ComboBox1->lineEdit()->installEventFilter(this);
    // A Linux path rarely fits 145 pixels: the field's tooltip shows it whole, with what is
    // known of the selected entry's device.
    connect(ComboBox1, &QComboBox::currentTextChanged, this,
            Guarded(ComboBox1, [this] { ShowSelectedInToolTip(); }));
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this,
            Guarded(ComboBox1, [this] { AutoComplete(ComboBox1->lineEdit()->text()); }));

    struct TButtonDef
    {
        QPushButton* TForm1::*Member;
        const char* Name;
        const char* Caption;
        int Left;
        void (TForm1::*Click)(QObject*);
        const char* Description;
    };
    const TButtonDef Buttons[] = {
        {&TForm1::sButton1, "sButton1", "OK", 39, &TForm1::sButton1Click,
         "Connects to the chosen port"},
        {&TForm1::sButton2, "sButton2", "Cancel", 118, &TForm1::sButton2Click,
         "Closes the dialog without connecting"},
    };
    for (const TButtonDef& Def : Buttons) {
        auto* Button = new QPushButton(QString::fromLatin1(Def.Caption), this);
        Button->setObjectName(QString::fromLatin1(Def.Name));
        SetSkinSection(Button, "BUTTON");
        Button->setGeometry(Def.Left, 160, 66, 33);
        Button->setAccessibleDescription(QString::fromLatin1(Def.Description));
        // Neither is the default or cancel button: Enter and Escape press nothing.
        Button->setAutoDefault(false);
        Button->setDefault(false);
        // Reached by Tab, but a click leaves the focus in the port field, where the next
        // showing of the dialog wants it.
        Button->setFocusPolicy(Qt::TabFocus);
        connect(Button, &QPushButton::clicked, this,
                Guarded(Button, [this, Button, Click = Def.Click] { (this->*Click)(Button); }));
        this->*Def.Member = Button;
    }

    setTabOrder(ComboBox1, sButton1);
    setTabOrder(sButton1, sButton2);
}

bool TForm1::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == ComboBox1->lineEdit() && Event->type() == QEvent::KeyPress) {
        auto* Key = static_cast<QKeyEvent*>(Event);
        FDeleting = Key->key() == Qt::Key_Backspace || Key->key() == Qt::Key_Delete ||
                    Key->matches(QKeySequence::Cut);
    }
    return TForm::eventFilter(Watched, Event);
}

// Becoming the active window with no control focused gives the focus to the first in tab order.
void TForm1::changeEvent(QEvent* Event)
{
    if (Event->type() == QEvent::ActivationChange && isActiveWindow() &&
        (!focusWidget() || ListHasFocus()))
        FocusList();
    TForm::changeEvent(Event);
}

bool TForm1::ListHasFocus() const
{
    return focusWidget() == ComboBox1 || focusWidget() == ComboBox1->lineEdit();
}

// As a combo box takes the focus on the desktop it was made for: its whole text selected, so
// what the user types replaces the preselected entry instead of running on after it.
void TForm1::FocusList()
{
    ComboBox1->setFocus(Qt::ActiveWindowFocusReason);
    ComboBox1->lineEdit()->selectAll();
}

void TForm1::AutoComplete(const QString& Typed)
{
    // After a deleting key nothing is filled in, or the deleted tail would come straight back;
    // only an entry matched in full stays selected then.
    const bool Deleting = std::exchange(FDeleting, false);
    int Match = -1;
    if (!Typed.isEmpty()) {
        for (int I = 0; I < ComboBox1->count() && Match < 0; ++I) {
            const QString Entry = ComboBox1->itemText(I);
            if (Deleting ? Entry.compare(Typed, Qt::CaseInsensitive) == 0
                         : Entry.startsWith(Typed, Qt::CaseInsensitive))
                Match = I;
        }
    }
    QLineEdit* Edit = ComboBox1->lineEdit();
    ComboBox1->setCurrentIndex(Match);
    if (Match < 0 || Deleting) {
        Edit->setText(Typed); // choosing no entry would otherwise clear what the user typed
        Edit->setCursorPosition(Typed.size());
        return;
    }
    const QString Entry = ComboBox1->itemText(Match);
    Edit->setText(Entry);
    // The completed tail is selected, backwards, so the cursor stays after the typed part.
    Edit->setSelection(Entry.size(), Typed.size() - Entry.size());
}

void TForm1::ShowSelectedInToolTip()
{
    const int Index = ComboBox1->currentIndex();
    const QString Text = ComboBox1->currentText();
    const QString Facts = Index >= 0 && Text == ComboBox1->itemText(Index)
                              ? ComboBox1->itemData(Index, Qt::ToolTipRole).toString()
                              : QString();
    ComboBox1->setToolTip(Facts.isEmpty() ? Text : Facts);
}

void TForm1::ClearPorts()
{
    ComboBox1->clear();
    ComboBox1->view()->setMinimumWidth(0);
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->clearEditText();
}

void TForm1::AddPort(const QString& Port, const QString& Facts, const QString& HeldBy)
{
    ComboBox1->addItem(Port);
    const int Index = ComboBox1->count() - 1;
    QStringList Tip{Port};
    if (!HeldBy.isEmpty()) {
        // Still offered (the holder may let go), but marked: greyed, slanted and told why.
        Tip << QStringLiteral("In use by %1").arg(HeldBy);
        QFont Slanted = ComboBox1->view()->font();
        Slanted.setItalic(true);
        ComboBox1->setItemData(Index, Slanted, Qt::FontRole);
        ComboBox1->setItemData(Index, QColor(0x80, 0x80, 0x80), Qt::ForegroundRole);
        ComboBox1->setItemData(Index, true, HeldRole);
    }
    if (!Facts.isEmpty())
        Tip << Facts;
    ComboBox1->setItemData(Index, Tip.join(u'\n'), Qt::ToolTipRole);
    ShowSelectedInToolTip(); // the first entry becomes current as it is added
    // Paths are often longer than the field: the drop-down widens to show each one whole.
    QAbstractItemView* View = ComboBox1->view();
    const int Needed = View->fontMetrics().horizontalAdvance(Port) +
                       2 * View->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 16;
    View->setMinimumWidth(std::max(View->minimumWidth(), Needed));
}

void TForm1::AddSystemPort(const QString& Port)
{
    // The simulator or socat serving a virtual port is no holder of it (PortHolders leaves it out).
    AddPort(Port, DescribeSerialPort(Port), DescribePortHolders(PortHolders(Port)));
}

void TForm1::SelectFirst()
{
    if (ComboBox1->count() > 0)
        ComboBox1->setCurrentIndex(0);
}

void TForm1::SelectLastPort()
{
    const QString Last = LastPort();
    for (int I = 0; I < ComboBox1->count(); ++I)
        if (SamePort(ComboBox1->itemText(I), Last)) {
            ComboBox1->setCurrentIndex(I);
            return;
        }
    if (IsCharacterDevice(Last)) { // once typed, or a device the walks do not find
        ComboBox1->setCurrentIndex(-1);
        ComboBox1->setEditText(Last);
        return;
    }
    SelectFirst();
}

void TForm1::RefreshPorts()
{
    QStringList Ports;
    try {
        EnumSerialPorts([&Ports](const QString& Port) { Ports << Port; });
    } catch (const Exception&) {
        // Offered without the unreadable one; Connect's own filling of the list tells of it.
    }
    QLineEdit* Edit = ComboBox1->lineEdit();
    const QString Text = Edit->text();
    const int Index = ComboBox1->currentIndex();
    const bool Chosen = Index >= 0 && ComboBox1->itemText(Index) == Text;
    const int Cursor = Edit->cursorPosition();
    const int Start = Edit->selectionStart();
    const int Length = static_cast<int>(Edit->selectedText().size());

    ClearPorts();
    for (const QString& Port : Ports)
        AddSystemPort(Port);
    const int Again = Chosen ? ComboBox1->findText(Text, Qt::MatchExactly) : -1;
    ComboBox1->setCurrentIndex(Again);
    if (Again < 0)
        Edit->setText(Text); // typed, or an entry that is gone: the user's text stays
    if (Length > 0 && Start >= 0) // the selection as it was, running the same way
        Cursor == Start ? Edit->setSelection(Start + Length, -Length) : Edit->setSelection(Start, Length);
    else
        Edit->setCursorPosition(Cursor);
    ShowSelectedInToolTip();
}

// Each showing puts the focus in the port field, so typing goes there at once.
void TForm1::ShowDialog()
{
    show();
    raise();
    activateWindow();
    FocusList();
}

void TForm1::showEvent(QShowEvent* Event)
{
    TForm::showEvent(Event);
    if (FWatcher)
        return;
    FWatcher = new TPortWatcher({}, this);
    connect(FWatcher, &TPortWatcher::PortsChanged, this, Guarded(this, [this] { RefreshPorts(); }));
}

void TForm1::hideEvent(QHideEvent* Event)
{
    delete FWatcher; // nothing to follow while hidden: Connect refills the list anyway
    FWatcher = nullptr;
    TForm::hideEvent(Event);
}

QString TForm1::ChosenPort()
{
    const QString Text = ComboBox1->currentText().trimmed();
    const int Index = ComboBox1->currentIndex();
    if (Index >= 0 && ComboBox1->itemText(Index) == Text)
        return Text;
    if (Text.isEmpty()) {
        ShowNotice(QStringLiteral("Port name Not selected!"));
        return {};
    }
    if (const int Entry = ComboBox1->findText(Text, Qt::MatchExactly); Entry >= 0)
        return Text;
    // A device the list does not show (a name the walks do not know) is taken as typed; a bare
    // name is looked for in /dev, as users say "ttyUSB0".
    const QString Path = Text.contains(u'/') ? Text : QStringLiteral("/dev/") + Text;
    if (IsCharacterDevice(Path))
        return Path;
    ShowNotice(QStringLiteral("\"%1\" is not a serial port: no device has that name.\n"
                              "Choose a port from the list, or type the whole path of its "
                              "device (such as /dev/ttyUSB0).")
                   .arg(Text));
    return {};
}

void TForm1::sButton1Click(QObject* Sender)
{
    const QString Port = ChosenPort();
    if (Port.isEmpty())
        return; // told why; the dialog stays open with the text as it was
    hide();
    SelectedPort = Port;
    Form4->sSpeedButton2Click(Sender);
}

void TForm1::sButton2Click(QObject*) { hide(); }
