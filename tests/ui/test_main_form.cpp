// The main window as built: geometry, creation order and initial states, by component name.
#include "tests/support/box_watcher.h"
#include "app/application.h"
#include "device/config_file.h"
#include "device/item_store.h"
#include "ui/forms.h"
#include "ui/image_list.h"
#include "ui/main_form.h"
#include "ui/page_control.h"
#include "ui/speed_button.h"

#include <QAccessible>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QApplication>
#include <QToolButton>
#include <QFrame>
#include <QMimeData>
#include <QProgressBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

namespace {
template <class T = QWidget> T* Find(QWidget& Root, const char* Name)
{
    T* Child = Root.findChild<T*>(QString::fromLatin1(Name));
    EXPECT_NE(Child, nullptr) << Name;
    return Child;
}
} // namespace

TEST(MainForm, FrameAndCaption)
{
    TForm4 Form;
    EXPECT_EQ(Form.size(), QSize(720, 602));
    EXPECT_EQ(Form.minimumSize(), Form.maximumSize()); // fixed size
    EXPECT_EQ(Form.windowTitle(), "Morvel SMS Controller         " + QString(MakerWebAddress));
    const Qt::WindowFlags Flags = Form.windowFlags();
    EXPECT_FALSE(Flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(Flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(Flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(Flags & Qt::WindowSystemMenuHint);
}

TEST(MainForm, ComponentsAtTheirPlaces)
{
    TForm4 Form;
    struct
    {
        const char* Name;
        QRect Geometry;
        const char* Parent;
    } Expected[] = {
        {"sPanel1", {0, 0, 720, 602}, "Form4"},
        {"sPageControl1", {6, 64, 710, 560}, "sPanel1"},
        {"sPanel2", {3, 122, 696, 244}, "sTabSheet1"},
        {"Image5", {3, 0, 694, 244}, "sPanel2"},
        {"sCoolBar1", {0, 0, 720, 64}, "Form4"},
        {"sSpeedButton3", {6, 6, 93, 52}, "sCoolBar1"},
        {"sSpeedButton6", {99, 6, 93, 52}, "sCoolBar1"},
        {"sSpeedButton2", {192, 6, 93, 52}, "sCoolBar1"},
        {"sSpeedButton4", {285, 6, 93, 52}, "sCoolBar1"},
        {"sSpeedButton5", {378, 6, 93, 52}, "sCoolBar1"},
        {"sSpeedButton7", {471, 6, 75, 52}, "sCoolBar1"},
        {"sSpeedButton8", {546, 6, 75, 52}, "sCoolBar1"},
        {"sBitBtn1", {621, 6, 93, 52}, "sCoolBar1"},
        {"sProgressBar1", {23, 44, 150, 17}, "Form4"},
    };
    for (const auto& E : Expected) {
        QWidget* W = Find(Form, E.Name);
        ASSERT_NE(W, nullptr);
        EXPECT_EQ(W->geometry(), E.Geometry) << E.Name;
        EXPECT_EQ(W->parentWidget()->objectName(), E.Parent) << E.Name;
    }
    // The toolbar lies above the panel; the bar above the toolbar; the overlay last on its page.
    const QObjectList& Top = Form.children();
    EXPECT_LT(Top.indexOf(Find(Form, "sPanel1")), Top.indexOf(Find(Form, "sCoolBar1")));
    EXPECT_LT(Top.indexOf(Find(Form, "sCoolBar1")), Top.indexOf(Find(Form, "sProgressBar1")));
    QWidget* Output = Find(Form, "sTabSheet1");
    EXPECT_EQ(Output->children().last(), Find(Form, "sPanel2"));
}

TEST(MainForm, FourPagesWithPaddedCaptions)
{
    TForm4 Form;
    auto* Pages = Find<TPageControl>(Form, "sPageControl1");
    ASSERT_EQ(Pages->PageCount(), 4);
    const char* Names[] = {"sTabSheet1", "sPageControl2", "sTabSheet2", "sTabSheet3"};
    const QString Captions[] = {QString(10, ' ') + "Output" + QString(10, ' '),
                                QString(10, ' ') + "Input" + QString(10, ' '),
                                QString(6, ' ') + "Tell Number" + QString(6, ' '),
                                QString(7, ' ') + "Config" + QString(7, ' ')};
    for (int I = 0; I < 4; ++I) {
        EXPECT_EQ(Pages->Page(I)->objectName(), Names[I]);
        EXPECT_EQ(Pages->Page(I)->size(), QSize(702, 532)) << Names[I];
        EXPECT_EQ(Pages->Tabs()->tabText(I), Captions[I]);
    }
    EXPECT_EQ(Pages->ActivePageIndex(), 0);
}

TEST(MainForm, InitialStates)
{
    TForm4 Form;
    Form.show();
    EXPECT_FALSE(Find(Form, "sPanel1")->isEnabled());
    EXPECT_TRUE(Find(Form, "sPanel2")->isVisible());
    EXPECT_FALSE(Find(Form, "sProgressBar1")->isVisible());
    auto* Bar = Find<QProgressBar>(Form, "sProgressBar1");
    EXPECT_EQ(Bar->minimum(), 0);
    EXPECT_EQ(Bar->maximum(), 530);
    EXPECT_EQ(Bar->value(), 0);
    struct
    {
        const char* Name;
        const char* Caption;
        int Image;
        int Spacing;
        bool Enabled;
    } Buttons[] = {{"sSpeedButton3", "Import", 8, 2, false}, {"sSpeedButton6", "Export", 9, 2, false},
                   {"sSpeedButton2", "Connect", 2, 2, true}, {"sSpeedButton4", "About", 6, 2, true},
                   {"sSpeedButton5", "Help", 7, 2, true},    {"sBitBtn1", "Exit", 4, 8, true},
                   {"sSpeedButton7", "Open", 12, 2, true},   {"sSpeedButton8", "Save", 13, 2, true}};
    for (const auto& B : Buttons) {
        auto* Button = Find<TSpeedButton>(Form, B.Name);
        ASSERT_NE(Button, nullptr);
        EXPECT_EQ(Button->Caption(), B.Caption);
        EXPECT_EQ(Button->ImageIndex(), B.Image) << B.Name;
        EXPECT_EQ(Button->Spacing(), B.Spacing) << B.Name;
        EXPECT_EQ(Button->isEnabled(), B.Enabled) << B.Name;
        EXPECT_EQ(Button->focusPolicy(), Qt::NoFocus) << B.Name;
        // A screen reader says the caption and what the button does.
        QAccessibleInterface* Said = QAccessible::queryAccessibleInterface(Button);
        EXPECT_EQ(Said->text(QAccessible::Name), B.Caption);
        EXPECT_FALSE(Said->text(QAccessible::Description).isEmpty()) << B.Name;
    }
    // The pages ignore the mouse: a click on the Input tab changes nothing.
    auto* Pages = Find<TPageControl>(Form, "sPageControl1");
    QTabBar* Tabs = Pages->Tabs();
    QTest::mouseClick(Tabs, Qt::LeftButton, {}, Tabs->tabRect(1).center());
    EXPECT_EQ(Pages->ActivePageIndex(), 0);
}

// Every action from the keyboard: a key for each button, named in its tooltip, the caption as
// it was; the key presses only an enabled button, as the mouse does. The pages are reached by
// Tab and turned by Ctrl+Page Down / Ctrl+Shift+Tab.
TEST(MainForm, EveryActionFromTheKeyboard)
{
    TForm4 Form;
    Form.show();
    Form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
    QList<QKeySequence> Keys;
    for (const char* Name :
         {"sSpeedButton3", "sSpeedButton6", "sSpeedButton2", "sSpeedButton4", "sSpeedButton5", "sBitBtn1"}) {
        auto* Button = Find<TSpeedButton>(Form, Name);
        ASSERT_NE(Button, nullptr);
        const QKeySequence Key = Button->shortcut();
        EXPECT_FALSE(Key.isEmpty()) << Name;
        EXPECT_FALSE(Keys.contains(Key)) << Name;
        Keys << Key;
        EXPECT_EQ(Button->toolTip(),
                  Button->Caption() + " (" + Key.toString(QKeySequence::NativeText) + ")");
        EXPECT_FALSE(Button->Caption().contains('&')) << Name;
        // The keys a text field takes for itself on X11 would never reach the window.
        for (const auto Taken : {QKeySequence::Delete, QKeySequence::DeleteEndOfLine,
                                 QKeySequence::MoveToEndOfLine, QKeySequence::MoveToStartOfLine,
                                 QKeySequence::Open, QKeySequence::Save})
            EXPECT_FALSE(QKeySequence::keyBindings(Taken).contains(Key)) << Name;
    }
    // The key stays when the caption changes (DisConnect), and the tooltip follows the caption.
    auto* Connect = Find<TSpeedButton>(Form, "sSpeedButton2");
    Form.SetConnectButton("DisConnect", 3);
    EXPECT_EQ(Connect->shortcut(), Keys[2]);
    EXPECT_EQ(Connect->toolTip(), "DisConnect (" + Keys[2].toString(QKeySequence::NativeText) + ")");
    Form.SetConnectButton("Connect", 2);
    int Imports = 0;
    QObject::connect(Find<TSpeedButton>(Form, "sSpeedButton3"), &QToolButton::clicked,
                     [&] { ++Imports; });
    QTest::keySequence(&Form, Keys[0]); // Import, disabled before a connection
    QTest::qWait(200);                  // a key's click comes after its press is shown
    EXPECT_EQ(Imports, 0);
    Form.SetExchangeEnabled(true);
    TBoxWatcher Boxes; // the port is closed: Import reports it
    QTest::keySequence(&Form, Keys[0]);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Imports == 1; }, 1000));
    Form.SetExchangeEnabled(false);

    Form.EnablePages();
    Form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
    auto* Pages = Find<TPageControl>(Form, "sPageControl1");
    QTest::keyClick(&Form, Qt::Key_Tab);
    ASSERT_NE(Form.focusWidget(), nullptr);
    EXPECT_TRUE(Pages->isAncestorOf(Form.focusWidget()));
    QTest::keyClick(Form.focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(Pages->ActivePageIndex(), 1);
    QTest::keyClick(Form.focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(Pages->ActivePageIndex(), 2);
    QTest::keyClick(Form.focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Pages->ActivePageIndex(), 1);
    ASSERT_NE(Form.focusWidget(), nullptr);
    EXPECT_TRUE(Form.focusWidget()->isVisible()); // not left on the hidden page
}

// A desktop font (qt6ct sets its own on the application once the loop runs) does not replace
// the window's: the captions, the longest among them included, fit their buttons.
TEST(MainForm, DesignedFontHoldsAgainstTheDesktops)
{
    const QFont Designed = QApplication::font();
    QFont Desktop(QStringLiteral("DejaVu Serif"));
    Desktop.setPointSize(14);
    QApplication::setFont(Desktop);
    TForm4 Form;
    Form.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::font() == Designed; }, 1000));
    QApplication::setFont(Desktop); // and again while the window is up
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::font() == Designed; }, 1000));
    for (auto* Button : Form.findChildren<TSpeedButton*>()) {
        EXPECT_EQ(Button->font(), Designed) << qPrintable(Button->objectName());
        QStringList Captions{Button->Caption()};
        if (Button->objectName() == "sSpeedButton2")
            Captions << QStringLiteral("DisConnect");
        for (const QString& Caption : Captions) // icon, gap and caption, centred in the button
            EXPECT_LE(32 + Button->Spacing() + Button->fontMetrics().horizontalAdvance(Caption),
                      Button->width())
                << qPrintable(Caption);
    }
}

TEST(MainForm, FourteenIconsOf32WithAlpha)
{
    TForm4 Form;
    auto* List = Form.findChild<TImageList*>("ImageList32");
    ASSERT_NE(List, nullptr);
    ASSERT_EQ(List->Count(), 14);
    for (int I = 0; I < 14; ++I) {
        const QImage Icon = List->Image(I).toImage();
        EXPECT_EQ(Icon.size(), QSize(32, 32)) << I;
        EXPECT_TRUE(Icon.hasAlphaChannel()) << I;
        int Drawn = 0, Clear = 0;
        for (int Y = 0; Y < 32; ++Y)
            for (int X = 0; X < 32; ++X)
                (qAlpha(Icon.pixel(X, Y)) > 0 ? Drawn : Clear)++;
        EXPECT_GT(Drawn, 30) << "icon " << I << " is empty";
        EXPECT_GT(Clear, 0) << "icon " << I << " has no transparent ground";
    }
}

TEST(MainForm, OpenAndSaveAnswerTheirKeysAndADroppedFileOpens)
{
    TForm4 Form;
    QStringList Asked;
    Form.SetFileDialogs([&](const QString&) { return Asked << "open", QString(); },
                        [&](const QString&) { return Asked << "save", QString(); });
    Form.show();
    Form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
    QTest::keyClick(&Form, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(&Form, Qt::Key_S, Qt::ControlModifier);
    // A key's click comes after its press is shown.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Asked.size() == 2; }, 1000));
    EXPECT_EQ(Asked, QStringList({"open", "save"}));
    EXPECT_EQ(Find(Form, "sSpeedButton7")->toolTip(), "Open (Ctrl+O)");
    EXPECT_EQ(Find(Form, "sSpeedButton8")->toolTip(), "Save (Ctrl+S)");

    // A file dropped on the window opens too.
    QTemporaryDir Folder;
    TItemStore Items;
    Items.SetItemText("rel4_off", "DROPPED");
    QFile File(Folder.filePath("dropped.toml"));
    ASSERT_TRUE(File.open(QIODevice::WriteOnly));
    File.write(FormatConfigFile(Items, false));
    File.close();
    QMimeData Data;
    Data.setUrls({QUrl::fromLocalFile(File.fileName())});
    QDragEnterEvent Enter({10, 100}, Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Form, &Enter);
    ASSERT_TRUE(Enter.isAccepted());
    QDropEvent Drop(QPointF(10, 100), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Form, &Drop);
    QTest::qWait(50);
    EXPECT_EQ(Form.ItemText("rel4_off"), "DROPPED");
}

TEST(MainForm, ExitEndsTheRun)
{
    Application->CreateForm(Form4);
    bool WasShown = false;
    QTimer::singleShot(0, [&] {
        WasShown = Form4->isVisible();
        QTest::mouseClick(Form4->findChild<TSpeedButton*>("sBitBtn1"), Qt::LeftButton);
    });
    Application->Run();
    EXPECT_TRUE(WasShown);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(Form4, nullptr); // destroyed at the end of the run
}
