// The port selection dialog: its list, auto-completion, OK and Cancel, and how it is shown.
#include "tests/support/box_watcher.h"
#include "core/exceptions.h"
#include "device/link_state.h"
#include "serial/cport.h"
#include "serial/port_list.h"
#include "serial/port_watcher.h"
#include "ui/last_port.h"
#include "ui/settings.h"
#include "tests/support/qt_print.h"
#include "three_windows.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {
// The port that OK's Connect tried: the ports here do not exist, so the error box's reason line
// names it (and the port is forgotten again).
QString TriedPort(const TBoxWatcher& Boxes)
{
    if (Boxes.Seen().size() != 1 || !SelectedPort.isEmpty())
        return QStringLiteral("(no single failed Connect)");
    return Boxes.Seen()[0].Text.section(u'\n', 1).section(QStringLiteral(": "), 0, 0);
}
// Paths that name no device, so a Connect run by OK cannot reach anything real.
const QStringList SomePorts = {"/nonexistent/ttyS0", "/nonexistent/ttyUSB0",
                               "/nonexistent/relay-sim"};

class PortDialog : public testing::Test
{
protected:
    void SetUp() override
    {
        CreateThreeWindows();
        Combo = Form1->findChild<QComboBox*>("ComboBox1");
        Ok = Form1->findChild<QPushButton*>("sButton1");
        Cancel = Form1->findChild<QPushButton*>("sButton2");
        ASSERT_TRUE(Combo && Ok && Cancel);
        SelectedPort.clear();
    }
    void TearDown() override
    {
        Form1->hide();
        SelectedPort.clear();
    }
    void Fill(const QStringList& Ports)
    {
        Form1->ClearPorts();
        for (const QString& Port : Ports)
            Form1->AddPort(Port);
        Form1->SelectFirst();
    }
    void Type(const QString& Text)
    {
        Combo->lineEdit()->clear();
        QTest::keyClicks(Combo->lineEdit(), Text);
    }
    QStringList Entries() const
    {
        QStringList Result;
        for (int I = 0; I < Combo->count(); ++I)
            Result << Combo->itemText(I);
        return Result;
    }

    QComboBox* Combo = nullptr;
    QPushButton* Ok = nullptr;
    QPushButton* Cancel = nullptr;
};

// A per-user port folder of the test's own, found through XDG_RUNTIME_DIR as the program finds it.
class UserPortsHere
{
public:
    UserPortsHere() : FSaved(qgetenv("XDG_RUNTIME_DIR"))
    {
        QDir().mkpath(FDir.filePath("serial"));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(FDir.path()));
    }
    ~UserPortsHere()
    {
        if (FSaved.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", FSaved);
    }
    QString Link(const QString& Name, const QString& Target)
    {
        const QString Path = FDir.filePath("serial/" + Name);
        EXPECT_EQ(
            ::symlink(QFile::encodeName(Target).constData(), QFile::encodeName(Path).constData()),
            0);
        return Path;
    }

private:
    QTemporaryDir FDir;
    QByteArray FSaved;
};
} // namespace

TEST_F(PortDialog, LayoutAndFirstShowing)
{
    EXPECT_EQ(Form1->windowTitle(), "Setting");
    EXPECT_EQ(Form1->size(), QSize(221, 220));
    EXPECT_EQ(Form1->parentWidget(), Form4);
    EXPECT_TRUE(Form1->windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(Form1->windowModality(), Qt::NonModal);
    auto* Label = Form1->findChild<QLabel*>("Label1");
    ASSERT_TRUE(Label);
    EXPECT_EQ(Label->text(), "Port Name:");
    EXPECT_EQ(Label->pos(), QPoint(39, 23));
    EXPECT_TRUE(Label->font().bold());
    EXPECT_EQ(Label->font().pixelSize(), 13);
    // Bold as drawn, not only as asked: the strokes cover clearly more than the regular's.
    auto Ink = [&](bool Bold) {
        QFont Font = Label->font();
        Font.setBold(Bold);
        QImage Text(120, 24, QImage::Format_Grayscale8);
        Text.fill(Qt::white);
        QPainter Painter(&Text);
        Painter.setFont(Font);
        Painter.setPen(Qt::black);
        Painter.drawText(Text.rect(), Qt::AlignCenter, Label->text());
        Painter.end();
        int Sum = 0;
        for (int Y = 0; Y < Text.height(); ++Y)
            for (int X = 0; X < Text.width(); ++X)
                Sum += 255 - qGray(Text.pixel(X, Y));
        return Sum;
    };
    EXPECT_GT(Ink(true), Ink(false) * 5 / 4) << QFontInfo(Label->font()).family().toStdString();
    EXPECT_EQ(Combo->geometry(), QRect(39, 53, 145, 21));
    EXPECT_TRUE(Combo->isEditable());
    EXPECT_EQ(Combo->maxVisibleItems(), 8);
    // A screen reader names the list and tells what each button does.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(Combo)->text(QAccessible::Name), "Port name");
    for (QPushButton* Button : {Ok, Cancel})
        EXPECT_FALSE(
            QAccessible::queryAccessibleInterface(Button)->text(QAccessible::Description).isEmpty());
    EXPECT_EQ(Combo->count(), 0);
    for (auto [Button, Geometry, Caption] :
         {std::tuple{Ok, QRect(39, 160, 66, 33), "OK"},
          std::tuple{Cancel, QRect(118, 160, 66, 33), "Cancel"}}) {
        EXPECT_EQ(Button->geometry(), Geometry);
        EXPECT_EQ(Button->text(), Caption);
        EXPECT_EQ(Button->property("skinSection").toString(), "BUTTON");
    }

    // First showing: centred over the main window, the list holding the focus.
    Form1->ShowDialog();
    ASSERT_TRUE(WaitActive(Form1));
    EXPECT_LE((Form1->frameGeometry().center() - Form4->frameGeometry().center()).manhattanLength(),
              2)
        << Form1->frameGeometry().center().x() << "," << Form1->frameGeometry().center().y()
        << " vs " << Form4->frameGeometry().center().x() << ","
        << Form4->frameGeometry().center().y();
    ASSERT_TRUE(Form1->focusWidget());
    EXPECT_TRUE(Form1->focusWidget() == Combo || Form1->focusWidget() == Combo->lineEdit());
    // Tab order: the list, OK, Cancel.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Ok);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Cancel);
}

TEST_F(PortDialog, EmptyListOkShowsNoticeAndStaysOpen)
{
    Fill({});
    Form1->ShowDialog();
    TBoxWatcher Boxes;
    QTest::mouseClick(Ok, Qt::LeftButton);
    ASSERT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_EQ(Boxes.Seen()[0].Text, "Port name Not selected!");
    EXPECT_EQ(Boxes.Seen()[0].Title, "Morvel SMS Controller");
    EXPECT_EQ(Boxes.Seen()[0].Icon, QMessageBox::NoIcon);
    EXPECT_TRUE(Form1->isVisible());
    EXPECT_TRUE(SelectedPort.isEmpty());

    QTest::mouseClick(Cancel, Qt::LeftButton);
    EXPECT_FALSE(Form1->isVisible());
    EXPECT_TRUE(SelectedPort.isEmpty());
    EXPECT_EQ(Boxes.Seen().size(), 1u);
}

TEST_F(PortDialog, EnterAndEscapePressNothing)
{
    Fill({});
    Form1->ShowDialog();
    TBoxWatcher Boxes;
    QTest::keyClick(Combo->lineEdit(), Qt::Key_Return);
    QTest::keyClick(Combo->lineEdit(), Qt::Key_Escape);
    QTest::keyClick(Form1, Qt::Key_Escape);
    QTest::qWait(20);
    EXPECT_TRUE(Boxes.Seen().empty()); // OK was not pressed
    EXPECT_TRUE(Form1->isVisible());   // nor Cancel
    EXPECT_EQ(Combo->count(), 0);      // and Enter made no entry of the typed text
}

TEST_F(PortDialog, FilledListPreselectsTheFirstAndOkUsesIt)
{
    Fill(SomePorts);
    Form1->ShowDialog();
    EXPECT_EQ(Entries(), SomePorts);
    EXPECT_EQ(Combo->currentIndex(), 0);
    EXPECT_EQ(Combo->currentText(), SomePorts[0]);
    TBoxWatcher Boxes; // a Connect that cannot open the port reports it
    QTest::mouseClick(Ok, Qt::LeftButton);
    EXPECT_EQ(TriedPort(Boxes), SomePorts[0]);
    EXPECT_FALSE(Form1->isVisible());
    EXPECT_EQ(Entries(), SomePorts); // hiding keeps the list
}

TEST_F(PortDialog, DropDownShowsLongPathsWhole)
{
    const QString Long = "/run/user/1000/serial/relay-sim-with-a-long-name";
    Fill({"/dev/ttyS0", Long});
    QAbstractItemView* View = Combo->view();
    EXPECT_GT(View->minimumWidth(), View->fontMetrics().horizontalAdvance(Long));
    Combo->setCurrentIndex(1);
    EXPECT_EQ(Combo->toolTip(), Long); // the field, 145 pixels wide, shows it whole there
    Fill({"/dev/ttyS0"});
    EXPECT_LT(View->minimumWidth(), Combo->width()); // a refill forgets the old entries' widths
}

TEST_F(PortDialog, TypingTheStartOfAnEntrySelectsItAndOkUsesIt)
{
    Fill(SomePorts);
    Form1->ShowDialog();
    Type("/nonexistent/ttyu"); // the case does not matter
    EXPECT_EQ(Combo->currentIndex(), 1);
    EXPECT_EQ(Combo->lineEdit()->text(), "/nonexistent/ttyUSB0");
    EXPECT_EQ(Combo->lineEdit()->selectedText(), "SB0"); // typing on replaces the completion
    EXPECT_EQ(Combo->lineEdit()->cursorPosition(), 17);

    QTest::keyClicks(Combo->lineEdit(), "S");
    EXPECT_EQ(Combo->currentIndex(), 1);
    EXPECT_EQ(Combo->lineEdit()->selectedText(), "B0");

    TBoxWatcher Boxes;
    QTest::mouseClick(Ok, Qt::LeftButton);
    EXPECT_EQ(TriedPort(Boxes), "/nonexistent/ttyUSB0");
}

TEST_F(PortDialog, TypingOverThePreselectedEntryReplacesIt)
{
    // As a user does: the dialog comes up with the first entry shown, the list takes the
    // focus, and the name is typed straight away.
    if (QWidget* Focused = Form1->focusWidget())
        Focused->clearFocus(); // as on the first showing
    Fill(SomePorts);
    Form1->ShowDialog();
    ASSERT_TRUE(WaitActive(Form1));
    EXPECT_EQ(Combo->lineEdit()->selectedText(), SomePorts[0]);
    QTest::keyClicks(QApplication::focusWidget(), "/nonexistent/relay-sim");
    EXPECT_EQ(Combo->lineEdit()->text(), "/nonexistent/relay-sim");
    EXPECT_EQ(Combo->currentIndex(), 2);

    // Refilled while it is up and in use: the new first entry is selected as well.
    Fill(SomePorts.mid(1));
    Form1->ShowDialog();
    EXPECT_EQ(Combo->lineEdit()->selectedText(), SomePorts[1]);
    TBoxWatcher Boxes;
    QTest::mouseClick(Ok, Qt::LeftButton);
    EXPECT_EQ(TriedPort(Boxes), SomePorts[1]);
}

TEST_F(PortDialog, DeletingTheCompletionDoesNotBringItBack)
{
    Fill(SomePorts);
    Form1->ShowDialog();
    Type("/nonexistent/r");
    EXPECT_EQ(Combo->currentIndex(), 2);
    QTest::keyClick(Combo->lineEdit(), Qt::Key_Backspace); // removes the selected tail
    EXPECT_EQ(Combo->lineEdit()->text(), "/nonexistent/r");
    EXPECT_EQ(Combo->currentIndex(), -1);
    QTest::keyClick(Combo->lineEdit(), Qt::Key_Backspace);
    EXPECT_EQ(Combo->lineEdit()->text(), "/nonexistent/");
    QTest::keyClicks(Combo->lineEdit(), "tty");
    EXPECT_EQ(Combo->currentIndex(), 0); // typing forward completes again
    EXPECT_EQ(Combo->lineEdit()->text(), SomePorts[0]);
}

// A typed device that the list does not show is taken; text that names no device is told so
// and stays in the field for mending.
TEST_F(PortDialog, TypedPathIsTakenWhenADeviceAndToldWhenNot)
{
    Fill(SomePorts);
    Form1->ShowDialog();
    Type("/nonexistent/ttyUSB0x");
    EXPECT_EQ(Combo->currentIndex(), -1);
    TBoxWatcher Boxes;
    QTest::mouseClick(Ok, Qt::LeftButton);
    ASSERT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_TRUE(Boxes.Seen()[0].Text.startsWith(
        "\"/nonexistent/ttyUSB0x\" is not a serial port: no device has that name."));
    EXPECT_TRUE(Form1->isVisible());
    EXPECT_TRUE(SelectedPort.isEmpty());
    EXPECT_EQ(Combo->lineEdit()->text(), "/nonexistent/ttyUSB0x");
    EXPECT_EQ(Entries(), SomePorts); // the typed text never became an entry

    // A character device given by its bare name: looked for in /dev and opened (no serial
    // port, so the open fails and is reported; the port tried is what counts here).
    Type("null");
    QTest::mouseClick(Ok, Qt::LeftButton);
    EXPECT_FALSE(Form1->isVisible());
    auto* Port = Form4->findChild<TComPort*>("ComPort1");
    ASSERT_TRUE(Port);
    EXPECT_EQ(Port->Port(), "/dev/null");
    EXPECT_EQ(Boxes.Seen().size(), 2u);
}

// Each showing gives the port field the focus, also after OK took it by a click, and the field
// shows the end of a long path, where names differ.
TEST_F(PortDialog, EveryShowingFocusesTheFieldAtTheEndOfThePath)
{
    const QString Long = "/nonexistent/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    for (int Showing = 0; Showing < 2; ++Showing) {
        Fill({Long});
        Form1->ShowDialog();
        ASSERT_TRUE(WaitActive(Form1));
        EXPECT_TRUE(Form1->focusWidget() == Combo || Form1->focusWidget() == Combo->lineEdit());
        QLineEdit* Edit = Combo->lineEdit();
        EXPECT_EQ(Edit->cursorPosition(), Long.size()) << Showing;
        EXPECT_TRUE(QTest::qWaitFor([Edit] { // scrolled as it is drawn
            return Edit->rect().contains(
                Edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center());
        }, 500)) << Showing;
        TBoxWatcher Boxes;
        QTest::mouseClick(Ok, Qt::LeftButton); // the port does not exist: reported, not shown
        EXPECT_FALSE(Form1->isVisible());
    }
}

TEST_F(PortDialog, ConnectWhileOpenRefillsAndRaises)
{
    UserPortsHere Here;
    const int Master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(Master, 0);
    ASSERT_EQ(::grantpt(Master), 0);
    ASSERT_EQ(::unlockpt(Master), 0);
    const QString RelaySim = Here.Link("relay-sim", QString::fromLatin1(::ptsname(Master)));

    Form4->FillPortList();
    Form1->ShowDialog();
    QStringList Expected;
    EnumSerialPorts([&](const QString& Port) { Expected << Port; });
    ASSERT_FALSE(Expected.isEmpty());
    EXPECT_EQ(Expected.back(), RelaySim); // the simulator is offered without hardware
    EXPECT_EQ(Entries(), Expected);
    // Its entry's tooltip names the pseudo-terminal behind the link.
    EXPECT_EQ(Combo->itemData(Combo->count() - 1, Qt::ToolTipRole).toString(),
              RelaySim + "\nVirtual port: " + QString::fromLatin1(::ptsname(Master)));

    Type("zzz");
    Form4->activateWindow();
    ASSERT_TRUE(WaitActive(Form4));
    Form4->FillPortList(); // as Connect does while the dialog is open
    Form1->ShowDialog();
    ASSERT_TRUE(WaitActive(Form1));
    EXPECT_EQ(Entries(), Expected); // refilled, not appended to
    EXPECT_EQ(Combo->currentIndex(), 0);
    EXPECT_EQ(Combo->lineEdit()->text(), Expected[0]);
    ::close(Master);
}

// Plugged in or pulled out while the dialog is open: the list follows within a second, the
// user's choice stays; the per-user folder may even appear only after the dialog did.
TEST_F(PortDialog, ListFollowsPortsComingAndGoingKeepingTheChoice)
{
    UserPortsHere Here;
    const QString Folder = UserPortFolder();
    ASSERT_TRUE(QDir(Folder).removeRecursively());
    Form4->FillPortList();
    Form1->ShowDialog();
    const QStringList Before = Entries();

    ASSERT_TRUE(QDir().mkpath(Folder));
    const QString Plugged = Here.Link("b-plugged", "/dev/null");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Entries().contains(Plugged); }, 1000));
    Combo->setCurrentIndex(Combo->findText(Plugged)); // chosen, then one sorting before it comes
    const QString Earlier = Here.Link("a-earlier", "/dev/zero");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Entries().contains(Earlier); }, 1000));
    EXPECT_EQ(Combo->currentText(), Plugged);
    EXPECT_EQ(Combo->itemText(Combo->currentIndex()), Plugged);

    Type("/dev/ttyq"); // typed, selecting nothing: kept as typed through a change
    ASSERT_EQ(Combo->currentIndex(), -1);
    ASSERT_TRUE(QFile::remove(Earlier));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Entries().contains(Earlier); }, 1000));
    EXPECT_EQ(Combo->lineEdit()->text(), "/dev/ttyq");
    EXPECT_EQ(Combo->currentIndex(), -1);

    Form1->hide(); // a hidden dialog follows nothing
    Here.Link("c-later", "/dev/null");
    QTest::qWait(TPortWatcher::SettleMs * 3);
    EXPECT_EQ(Entries(), Before + QStringList{Plugged});
}

// The port that last reached the device is offered first on the next run; one the system does
// not show any more leaves the first entry preselected.
TEST_F(PortDialog, LastConnectedPortIsPreselected)
{
    UserPortsHere Here;
    const QString First = Here.Link("a-first", "/dev/null");
    const QString Second = Here.Link("b-second", "/dev/zero");
    Form4->PortConnected(Second); // as the handshake's answer tells the window
    EXPECT_EQ(LastPort(), Second);
    Form4->FillPortList();
    EXPECT_EQ(Combo->currentText(), Second);
    EXPECT_EQ(Combo->itemText(Combo->currentIndex()), Second);

    // Remembered by a stable link (as /dev/serial/by-id names an adapter), offered under
    // whatever node name the device has now.
    Fill({"/dev/null", "/dev/zero"});
    Form1->SelectLastPort();
    EXPECT_EQ(Combo->currentText(), "/dev/zero");

    ASSERT_TRUE(QFile::remove(Second));
    Form4->FillPortList();
    EXPECT_EQ(Combo->currentIndex(), 0);
    Form4->PortConnected(First);
    EXPECT_EQ(LastPort(), First);
    ProgramSettings().clear(); // the other tests expect the first entry
}

// A port another program has open stays offered, marked, with the holder in its tooltip; the
// simulator serving a virtual port keeps it open as well, but is no holder.
TEST_F(PortDialog, PortHeldByAnotherProgramIsMarkedAndSaysByWhom)
{
    UserPortsHere Here;
    int Masters[2];
    for (int& Master : Masters) {
        Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC); // not the holder's to keep
        ASSERT_GE(Master, 0);
        ASSERT_EQ(::grantpt(Master), 0);
        ASSERT_EQ(::unlockpt(Master), 0);
    }
    const QString Held = Here.Link("held", QString::fromLatin1(::ptsname(Masters[0])));
    const QString Free = Here.Link("free", QString::fromLatin1(::ptsname(Masters[1])));
    QProcess Holder;
    Holder.setStandardInputFile(Held);
    Holder.start("sleep", {"30"});
    ASSERT_TRUE(Holder.waitForStarted());
    QProcess Sim;
    Sim.start(MORVEL_BUILD_DIR "/relay-sim", {"--quiet"});
    ASSERT_TRUE(Sim.waitForStarted());
    const QString Served = UserPortFolder() + "/relay-sim";
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(Served).isSymLink(); }, 5000));

    Form4->FillPortList();
    const int HeldEntry = Combo->findText(Held), FreeEntry = Combo->findText(Free);
    ASSERT_GE(HeldEntry, 0);
    ASSERT_GE(FreeEntry, 0);
    EXPECT_TRUE(Combo->itemData(HeldEntry, TForm1::HeldRole).toBool());
    EXPECT_TRUE(Combo->itemData(HeldEntry, Qt::FontRole).value<QFont>().italic());
    EXPECT_TRUE(Combo->itemData(HeldEntry, Qt::ToolTipRole)
                    .toString()
                    .startsWith(Held + QString("\nIn use by sleep (pid %1)\n").arg(Holder.processId())));
    EXPECT_FALSE(Combo->itemData(FreeEntry, TForm1::HeldRole).toBool());
    EXPECT_FALSE(Combo->itemData(FreeEntry, Qt::ToolTipRole).toString().contains("In use"));
    ASSERT_GE(Combo->findText(Served), 0);
    EXPECT_FALSE(Combo->itemData(Combo->findText(Served), TForm1::HeldRole).toBool());
    Sim.terminate();
    Sim.waitForFinished();
    Holder.kill();
    Holder.waitForFinished();
    for (int Master : Masters)
        ::close(Master);
}

TEST_F(PortDialog, LinkThatLeadsNowhereIsLeftOutOfTheList)
{
    UserPortsHere Here;
    const QString Fine = Here.Link("a-fine", "/dev/null");
    const QString Loop = Here.Link("b-loop", "b-loop"); // resolves to itself, never to a device
    const QString After = Here.Link("c-after", "/dev/null");
    Fill(SomePorts);
    Form4->FillPortList();
    EXPECT_TRUE(Entries().contains(Fine));
    EXPECT_TRUE(Entries().contains(After));
    EXPECT_FALSE(Entries().contains(Loop));
    EXPECT_FALSE(Entries().contains(SomePorts[0])); // the old list was emptied first
}

TEST_F(PortDialog, PositionKeptAfterHideAndClose)
{
    Form1->ShowDialog();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form1));
    Form1->move(40, 50);
    const QPoint Moved = Form1->pos();
    QTest::mouseClick(Cancel, Qt::LeftButton);
    EXPECT_FALSE(Form1->isVisible());
    Form1->ShowDialog();
    EXPECT_EQ(Form1->pos(), Moved);

    Form1->move(60, 70);
    const QPoint MovedAgain = Form1->pos();
    EXPECT_TRUE(Form1->close()); // the title-bar close button: hidden, kept
    EXPECT_FALSE(Form1->isVisible());
    ASSERT_TRUE(Form1);
    Form1->ShowDialog();
    EXPECT_EQ(Form1->pos(), MovedAgain);
}

// A dark desktop palette (as a qt6ct dark theme sets it) over the skin's light grounds.
TEST_F(PortDialog, ReadableUnderADarkDesktopPalette)
{
    const QPalette Saved = QApplication::palette();
    QPalette Dark(QColor(0x35, 0x35, 0x35), QColor(0x2b, 0x2b, 0x2b));
    for (auto Role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                      QPalette::ToolTipText, QPalette::HighlightedText})
        Dark.setColor(Role, QColor(0xdd, 0xdd, 0xdd));
    Dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    QApplication::setPalette(Dark);
    // The theme also gives some classes palettes of their own, which no parent's colour reaches.
    for (const char* Class : {"QLabel", "QComboBox", "QAbstractItemView", "QPushButton"})
        QApplication::setPalette(Dark, Class);
    Fill(SomePorts);
    Form1->ShowDialog();
    ASSERT_TRUE(WaitActive(Form1));
    Combo->lineEdit()->deselect(); // the entry's text as it reads once the user moves on
    const QImage Shot = Form1->grab().toImage();
    // Text is readable where its darkest and lightest pixels lie far apart.
    auto Contrast = [&](const QRect& Area) {
        int Low = 255, High = 0;
        for (int Y = Area.top(); Y <= Area.bottom(); ++Y)
            for (int X = Area.left(); X <= Area.right(); ++X) {
                Low = std::min(Low, qGray(Shot.pixel(X, Y)));
                High = std::max(High, qGray(Shot.pixel(X, Y)));
            }
        return High - Low;
    };
    EXPECT_GE(Contrast(Form1->findChild<QLabel*>("Label1")->geometry()), 150);
    EXPECT_GE(Contrast(Combo->geometry().adjusted(3, 3, -20, -3)), 150);
    EXPECT_GE(Contrast(Ok->geometry().adjusted(3, 3, -3, -3)), 150);
    for (const char* Class : {"QLabel", "QComboBox", "QAbstractItemView", "QPushButton"})
        QApplication::setPalette(Saved, Class);
    QApplication::setPalette(Saved);
}
