// The four configuration pages: fields in place, their look, defaults, tab order, and what a
// field takes through every way of entering text.
#include "device/items.h"
#include "ui/edit.h"
#include "ui/main_form.h"
#include "ui/page_control.h"

#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QMenu>
#include <QMimeData>
#include <QSet>
#include <QTest>
#include <QToolTip>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {
class Pages : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Form.show();
        Form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
        Form.findChild<QWidget*>("sPanel1")->setEnabled(true);
        Control = Form.findChild<TPageControl*>("sPageControl1");
    }
    QWidget* Field(const QString& Name) { return Form.findChild<QWidget*>(Name); }
    // The names visited by Tab, starting at First, until the focus leaves the page's fields.
    QStringList TabWalk(const QString& First, int Steps)
    {
        Field(First)->setFocus(Qt::TabFocusReason);
        QStringList Visited{First};
        for (int I = 0; I < Steps; ++I) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            Visited << QApplication::focusWidget()->objectName();
        }
        return Visited;
    }
    // A field holding ten of its fifteen characters, the cursor at the end, ready to take
    // Entered: of it only what the line can carry fits, up to the limit, and the field says why.
    TEdit* FieldToEnter()
    {
        auto* Edit = static_cast<TEdit*>(Field("rel1_on"));
        Edit->setFocus();
        Edit->setText("0123456789");
        QToolTip::hideText();
        return Edit;
    }
    static QPoint EndOf(QWidget* Edit) { return {Edit->width() - 2, Edit->height() / 2}; }
    static void ExpectEnteredWithinTheLimit(TEdit* Edit,
                                            const QStringList& Explained = {QChar(0x0634), "15"})
    {
        EXPECT_EQ(Edit->text(), QString::fromUtf8("0123456789A\u00e9\u00a0\u00ffB"));
        EXPECT_TRUE(QToolTip::isVisible());
        for (const QString& Word : Explained)
            EXPECT_TRUE(QToolTip::text().contains(Word)) << QToolTip::text().toStdString();
    }
    // A Persian letter, a character outside the 16-bit range and a carriage return (it would
    // end the record) among bytes the line carries, then more than fits.
    const QString Entered = QString::fromUtf8("A\u0634\u00e9\u00a0\U0001F600\u00ff\rBCDEFGH");
    TForm4 Form;
    TPageControl* Control = nullptr;
};

QStringList Names(const char* Format, std::initializer_list<int> Numbers)
{
    QStringList L;
    for (int N : Numbers)
        L << QString::asprintf(Format, N);
    return L;
}
} // namespace

TEST_F(Pages, EveryItemHasItsControlsWithTheirDefaults)
{
    QSet<QString> Spoken; // what a screen reader says for each control, through Qt's accessibility
    for (const TItemDef& Item : ItemTable()) {
        for (const QString& Name : ItemControls(Item)) {
            QWidget* W = Field(Name);
            ASSERT_NE(W, nullptr) << Name.toStdString();
            QAccessibleInterface* Said = QAccessible::queryAccessibleInterface(W);
            ASSERT_NE(Said, nullptr);
            EXPECT_FALSE(Said->text(QAccessible::Description).isEmpty()) << Name.toStdString();
            Spoken << Said->text(QAccessible::Name);
            if (IsTextKind(Item.Kind)) {
                EXPECT_EQ(Form.ItemText(Name), QLatin1String(Item.Default)) << Name.toStdString();
            } else {
                EXPECT_EQ(Form.ItemChecked(Name), QLatin1String(Item.Default) == "1")
                    << Name.toStdString();
                EXPECT_EQ(W->width(), 21) << Name.toStdString();
                EXPECT_TRUE(static_cast<QCheckBox*>(W)->text().isEmpty());
            }
        }
    }
    EXPECT_EQ(Spoken.size(), 24 + 20 + 8 + 16 + 1 + 2 + 12); // one distinct name each
    auto Says = [&](const char* Name, QAccessible::Text What) {
        return QAccessible::queryAccessibleInterface(Field(Name))->text(What);
    };
    EXPECT_EQ(Says("rel3_on", QAccessible::Name), "Relay 3 on command");
    EXPECT_EQ(Says("TEL5", QAccessible::Name), "Telephone 5");
    EXPECT_EQ(Says("CK_TEL_5", QAccessible::Name), "Telephone 5 may call in");
    EXPECT_EQ(Says("CK_TEL_in_5", QAccessible::Name), "Telephone 5 may be called");
    EXPECT_EQ(Says("sCheckBox10", QAccessible::Name), "Relay 10 on");
    EXPECT_EQ(Says("input4_2", QAccessible::Description),
              "The SMS text sent when input 4 changes from 1 to 0, at most 15 characters");
}

TEST_F(Pages, FieldsSitAtTheirPlaces)
{
    const struct
    {
        const char* Name;
        const char* Page;
        QRect Geometry;
    } Expected[] = {
        {"rel1_on", "sTabSheet1", {339, 63, 153, 17}},   {"rel12_off", "sTabSheet1", {100, 470, 153, 17}},
        {"input4_2", "sPageControl2", {107, 200, 153, 17}}, {"input10_1", "sPageControl2", {347, 450, 153, 17}},
        {"TEL5", "sTabSheet2", {336, 249, 153, 25}},     {"CK_TEL_in_8", "sTabSheet2", {76, 377, 21, 26}},
        {"txt_status", "sTabSheet3", {272, 337, 56, 23}}, {"sCheckBox6", "sTabSheet3", {425, 272, 21, 20}},
        {"Image1", "sTabSheet1", {3, 0, 691, 519}},      {"Image2", "sTabSheet2", {0, 0, 702, 532}},
        {"Image3", "sPageControl2", {8, 0, 691, 519}},   {"Image4", "sTabSheet3", {0, 0, 702, 521}},
    };
    for (const auto& E : Expected) {
        QWidget* W = Field(E.Name);
        ASSERT_NE(W, nullptr) << E.Name;
        EXPECT_EQ(W->parentWidget()->objectName(), E.Page) << E.Name;
        EXPECT_EQ(W->geometry(), E.Geometry) << E.Name;
    }
    // The picture lies under every field: it is the page's first child.
    EXPECT_EQ(Field("sTabSheet1")->children().first(), Field("Image1"));
}

// Pixels of the box's area that differ visibly between two grabs of the window.
QRegion Differing(const QImage& A, const QImage& B, const QRect& Area)
{
    QRegion Changed;
    for (int Y = Area.top(); Y <= Area.bottom(); ++Y)
        for (int X = Area.left(); X <= Area.right(); ++X) {
            const QRgb P = A.pixel(X, Y), Q = B.pixel(X, Y);
            if (std::max({std::abs(qRed(P) - qRed(Q)), std::abs(qGreen(P) - qGreen(Q)),
                          std::abs(qBlue(P) - qBlue(Q))}) >= 60)
                Changed += QRect(X, Y, 1, 1);
        }
    return Changed;
}

TEST_F(Pages, EveryCheckBoxIsSeenClearAndTicked)
{
    int Boxes = 0;
    for (int I = 0; I < Control->PageCount(); ++I) {
        Control->SetActivePageIndex(I);
        const QList<QCheckBox*> Page = Control->Page(I)->findChildren<QCheckBox*>();
        auto Grab = [&](bool Shown, bool Ticked) {
            for (QCheckBox* Box : Page) {
                Box->setVisible(Shown);
                Box->setChecked(Ticked);
            }
            return Form.grab().toImage();
        };
        const QImage Ground = Grab(false, false), Clear = Grab(true, false), Ticked = Grab(true, true);
        for (QCheckBox* Box : Page) {
            ++Boxes;
            const QRect Area(Box->mapTo(&Form, QPoint(0, 0)), Box->size());
            const std::string Name = Box->objectName().toStdString();
            // Clear: a frame of visible contrast on all four sides of a square of some size.
            const QRect Frame = Differing(Ground, Clear, Area).boundingRect();
            EXPECT_GE(Frame.width(), 11) << Name;
            EXPECT_GE(Frame.height(), 11) << Name;
            EXPECT_LE(Frame.width(), 21) << Name;
            // Ticked: a mark inside that frame.
            const QRegion Mark = Differing(Clear, Ticked, Frame.adjusted(1, 1, -1, -1));
            int MarkPixels = 0;
            for (const QRect& R : Mark)
                MarkPixels += R.width() * R.height();
            EXPECT_GE(MarkPixels, 12) << Name;
        }
    }
    EXPECT_EQ(Boxes, 30);
}

TEST_F(Pages, EditLook)
{
    auto* Status = static_cast<TEdit*>(Field("txt_status"));
    auto* Relay = static_cast<TEdit*>(Field("rel1_on"));
    EXPECT_EQ(Relay->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(Status->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_FALSE(Relay->hasFrame());
    EXPECT_EQ(Relay->font().pixelSize(), 16);
    EXPECT_EQ(Relay->property("skinSection").toString(), "EDIT");
    EXPECT_EQ(Field("CK_TEL_1")->property("skinSection").toString(), "CHECKBOX");
}

TEST_F(Pages, TypingStopsAtTheLimitButStoredTextsStayWhole)
{
    auto* Edit = static_cast<TEdit*>(Field("rel1_on"));
    Edit->setFocus();
    Edit->clear();
    QTest::keyClicks(Edit, QString(20, u'a'));
    EXPECT_EQ(Edit->text(), QString(15, u'a'));
    const QString Long(40, u'L');
    Form.SetItemText("rel1_on", Long);
    EXPECT_EQ(Form.ItemText("rel1_on"), Long);
    Edit->end(false);
    QTest::keyClick(Edit, Qt::Key_X);
    EXPECT_EQ(Edit->text(), Long); // no room to type into
    QTest::keyClick(Edit, Qt::Key_Backspace);
    EXPECT_EQ(Edit->text().size(), 39); // deleting still works
    auto* Phone = static_cast<TEdit*>(Field("TEL2"));
    Phone->setFocus();
    Phone->setText("0912");
    Phone->end(false);
    QTest::keyClicks(Phone, "345678901234");
    EXPECT_EQ(Phone->text(), "09123456789");
}

TEST_F(Pages, EnteringByKeys)
{
    TEdit* Edit = FieldToEnter();
    QString PersianRefused; // each key is its own edit: the tooltip says why for the last one
    for (const char32_t Code : Entered.toUcs4()) {
        const QString Text = QString::fromUcs4(&Code, 1);
        QTest::sendKeyEvent(QTest::Click, Edit, Qt::Key(QChar::toUpper(Code)), Text,
                            Qt::NoModifier);
        if (Code == 0x0634)
            PersianRefused = QToolTip::text();
    }
    EXPECT_TRUE(PersianRefused.contains(QChar(0x0634))) << PersianRefused.toStdString();
    ExpectEnteredWithinTheLimit(Edit, {"15"});
}

TEST_F(Pages, EnteringByInputMethod)
{
    TEdit* Edit = FieldToEnter();
    QInputMethodEvent Commit;
    Commit.setCommitString(Entered);
    QApplication::sendEvent(Edit, &Commit);
    ExpectEnteredWithinTheLimit(Edit);
}

TEST_F(Pages, EnteringByCtrlV)
{
    TEdit* Edit = FieldToEnter();
    QGuiApplication::clipboard()->setText(Entered);
    QTest::keyClick(Edit, Qt::Key_V, Qt::ControlModifier);
    ExpectEnteredWithinTheLimit(Edit);
}

TEST_F(Pages, EnteringByTheContextMenusPaste)
{
    TEdit* Edit = FieldToEnter();
    QGuiApplication::clipboard()->setText(Entered);
    QContextMenuEvent Request(QContextMenuEvent::Mouse, EndOf(Edit),
                              Edit->mapToGlobal(EndOf(Edit)));
    QApplication::sendEvent(Edit, &Request);
    auto* Menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(Menu, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Menu));
    QAction* Paste = nullptr;
    for (QAction* Action : Menu->actions())
        if (Action->text().remove(u'&').startsWith("Paste"))
            Paste = Action;
    ASSERT_NE(Paste, nullptr);
    ASSERT_TRUE(Paste->isEnabled());
    // Chosen from the keyboard: a synthetic click on a menu item closes newer Qt's menus
    // without triggering the item.
    for (int Step = 0; Menu->activeAction() != Paste && Step < Menu->actions().size(); ++Step)
        QTest::keyClick(Menu, Qt::Key_Down);
    ASSERT_EQ(Menu->activeAction(), Paste);
    QTest::keyClick(Menu, Qt::Key_Return);
    ExpectEnteredWithinTheLimit(Edit);
}

TEST_F(Pages, EnteringByMiddleClickPaste)
{
    TEdit* Edit = FieldToEnter();
    ASSERT_TRUE(QGuiApplication::clipboard()->supportsSelection()) << "needs the X11 selection";
    QGuiApplication::clipboard()->setText(Entered, QClipboard::Selection);
    QTest::mouseClick(Edit, Qt::MiddleButton, {}, EndOf(Edit));
    ExpectEnteredWithinTheLimit(Edit);
}

TEST_F(Pages, EnteringByDragAndDrop)
{
    TEdit* Edit = FieldToEnter();
    QMimeData Data;
    Data.setText(Entered);
    QDragEnterEvent Enter(EndOf(Edit), Qt::CopyAction, &Data, Qt::LeftButton, {});
    QApplication::sendEvent(Edit, &Enter);
    ASSERT_TRUE(Enter.isAccepted());
    QDragMoveEvent Move(EndOf(Edit), Qt::CopyAction, &Data, Qt::LeftButton, {});
    QApplication::sendEvent(Edit, &Move);
    QDropEvent Drop(EndOf(Edit), Qt::CopyAction, &Data, Qt::LeftButton, {});
    QApplication::sendEvent(Edit, &Drop);
    ExpectEnteredWithinTheLimit(Edit);
}

TEST_F(Pages, UndoAndRedoKeepTheLimitAndTheStoredTexts)
{
    TEdit* Edit = FieldToEnter();
    QTest::keyClicks(Edit, "ABCDEFG"); // the last two do not fit
    EXPECT_EQ(Edit->text(), "0123456789ABCDE");
    QTest::keySequence(Edit, QKeySequence::Undo); // the typing goes, the refused keys left no step
    EXPECT_EQ(Edit->text(), "0123456789");
    QTest::keySequence(Edit, QKeySequence::Redo);
    EXPECT_EQ(Edit->text(), "0123456789ABCDE");
    // Undo brings a stored text back whole; redo removes it again.
    const QString Long(40, u'L');
    Form.SetItemText("rel1_on", Long);
    Edit->selectAll();
    QTest::keyClick(Edit, Qt::Key_Delete);
    EXPECT_EQ(Edit->text(), "");
    QTest::keySequence(Edit, QKeySequence::Undo);
    EXPECT_EQ(Edit->text(), Long);
    QTest::keySequence(Edit, QKeySequence::Redo);
    EXPECT_EQ(Edit->text(), "");
}

TEST_F(Pages, TabOrderOutput)
{
    const QStringList Expected =
        Names("rel%d_on", {12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}) +
        Names("rel%d_off", {12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}) + QStringList{"Tabs"};
    EXPECT_EQ(TabWalk("rel12_on", 24), Expected);
}

TEST_F(Pages, TabOrderInput)
{
    Control->SetActivePageIndex(1);
    const QStringList Expected = Names("input%d_1", {1, 2, 3, 4, 5, 6, 7, 8}) +
                                 Names("input%d_2", {1, 2, 3, 4, 5, 6, 7, 8}) +
                                 QStringList{"input9_1", "input10_1", "input9_2", "input10_2"};
    EXPECT_EQ(TabWalk("input1_1", 19), Expected);
}

TEST_F(Pages, TabOrderTellNumber)
{
    Control->SetActivePageIndex(2);
    const QStringList Expected = QStringList{"TEL1", "CK_TEL_2", "CK_TEL_1"} +
                                 Names("CK_TEL_%d", {3, 4, 5, 6, 7, 8}) +
                                 Names("TEL%d", {2, 3, 4, 5, 6, 7, 8}) +
                                 Names("CK_TEL_in_%d", {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(TabWalk("TEL1", 23), Expected);
}

TEST_F(Pages, TabOrderConfig)
{
    Control->SetActivePageIndex(3);
    const QStringList Expected = QStringList{"ch_feadback", "txt_status"} +
                                 Names("sCheckBox%d", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}) +
                                 QStringList{"ch_state"};
    EXPECT_EQ(TabWalk("ch_feadback", 14), Expected);
}

TEST_F(Pages, PicturesAreDrawn)
{
    const char* Pictures[] = {"Image1", "Image3", "Image2", "Image4"};
    for (int I = 0; I < 4; ++I) {
        Control->SetActivePageIndex(I);
        const QImage Art = Field(Pictures[I])->grab().toImage();
        int Drawn = 0;
        for (int Y = 0; Y < Art.height(); Y += 3)
            for (int X = 0; X < Art.width(); X += 3)
                Drawn += Art.pixel(X, Y) != Art.pixel(0, 0);
        EXPECT_GT(Drawn, 1000) << Pictures[I];
    }
}
