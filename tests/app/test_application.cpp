// The application frame: forms, the main loop, exception reporting and the boxes.
#include "app/application.h"
#include "app/boxes.h"
#include "core/exceptions.h"
#include "app/form.h"
#include "app/guard.h"
#include "tests/support/box_watcher.h"

#include <QClipboard>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
// Ctrl+C on the box that is up, as a technician copying it into a support chat.
QString CopiedFromBox()
{
    QGuiApplication::clipboard()->clear();
    QWidget* Box = QApplication::activeModalWidget();
    if (!Box || !QTest::qWaitForWindowActive(Box))
        return QStringLiteral("(no active box)");
    QTest::keyClick(Box, Qt::Key_C, Qt::ControlModifier);
    return QGuiApplication::clipboard()->text();
}
} // namespace

TEST(ErrorBox, FullStopRule)
{
    EXPECT_EQ(ErrorBoxText("Cannot set property while connected"),
              "Cannot set property while connected.");
    EXPECT_EQ(ErrorBoxText("Unable to open com port (Error: 2)"), "Unable to open com port (Error: 2)");
    EXPECT_EQ(ErrorBoxText("Device gone!"), "Device gone!");
    EXPECT_EQ(ErrorBoxText("Done."), "Done.");
    EXPECT_EQ(ErrorBoxText(""), "");
    EXPECT_EQ(ErrorBoxText("Line 34: \"abc\" is not a valid number"),
              "Line 34: \"abc\" is not a valid number.");
    // "/" (0x2F) is above "." and so gets one; "-" (0x2D) is below.
    EXPECT_EQ(ErrorBoxText("a/"), "a/.");
    EXPECT_EQ(ErrorBoxText("a-"), "a-");
}

TEST(ErrorBox, HandlerExceptionIsShownAndTheApplicationGoesOn)
{
    QPushButton Button;
    int Clicks = 0;
    QObject::connect(&Button, &QPushButton::clicked, &Button, Guarded(&Button, [&] {
                         ++Clicks;
                         if (Clicks == 1) {
                             Exception Error(QStringLiteral("Unable to open com port (Error: 2)"));
                             Error.SetReason(QStringLiteral("/dev/ttyUSB0: gone"));
                             throw Error;
                         }
                     }));
    Button.show();
    QString Copied;
    TBoxWatcher Boxes([&](const TSeenBox&) { Copied = CopiedFromBox(); });
    QTest::mouseClick(&Button, Qt::LeftButton);
    ASSERT_EQ(Boxes.Seen().size(), 1u);
    const TSeenBox& Box = Boxes.Seen()[0];
    EXPECT_EQ(Box.Title, QStringLiteral("Morvel SMS Controller"));
    // The message keeps its own full-stop rule; the reason is a line of its own.
    EXPECT_EQ(Box.Text, QStringLiteral("Unable to open com port (Error: 2)\n/dev/ttyUSB0: gone"));
    EXPECT_EQ(Copied, Box.Text);
    EXPECT_EQ(Box.Icon, QMessageBox::Critical);
    EXPECT_EQ(Box.Buttons, QStringList{"OK"});
    // The next click runs the handler again and shows nothing.
    QTest::mouseClick(&Button, Qt::LeftButton);
    EXPECT_EQ(Clicks, 2);
    EXPECT_EQ(Boxes.Seen().size(), 1u);
}

TEST(ErrorBox, AbortIsSilentAndUnknownExceptionsAreStillShown)
{
    TBoxWatcher Boxes;
    RunGuarded(nullptr, [] { throw EAbort(QStringLiteral("quiet")); });
    EXPECT_TRUE(Boxes.Seen().empty());
    RunGuarded(nullptr, [] { throw std::runtime_error("plain"); });
    RunGuarded(nullptr, [] { throw 42; });
    ASSERT_EQ(Boxes.Seen().size(), 2u);
    EXPECT_EQ(Boxes.Seen()[0].Text, "plain.");
    EXPECT_EQ(Boxes.Seen()[1].Text, "Unknown exception.");
}

TEST(ErrorBox, OtherWindowsTakeNoInputWhileShown)
{
    TForm Other;
    Other.show();
    bool Modal = false;
    TBoxWatcher Boxes([&](const TSeenBox&) {
        Modal = QApplication::activeModalWidget() &&
                QApplication::activeModalWidget()->windowModality() == Qt::ApplicationModal;
    });
    RunGuarded(nullptr, [] { throw Exception(QStringLiteral("x")); });
    EXPECT_TRUE(Modal);
}

TEST(NoticeBox, CaptionTextAndOneDefaultOkCentredOnTheScreen)
{
    // The active window sits in a corner: the box is centred on the screen, not over it.
    QWidget Corner;
    Corner.setGeometry(0, 0, 200, 100);
    Corner.show();
    Corner.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Corner));
    QString Copied;
    TBoxWatcher Boxes([&](const TSeenBox&) { Copied = CopiedFromBox(); });
    ShowNotice(QStringLiteral("Device Not Detected! Please change com Port!\n\r(second line)"));
    ASSERT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_EQ(Copied, Boxes.Seen()[0].Text);
    EXPECT_EQ(Boxes.Seen()[0].Title, QStringLiteral("Morvel SMS Controller"));
    EXPECT_EQ(Boxes.Seen()[0].Text,
              QStringLiteral("Device Not Detected! Please change com Port!\n(second line)"));
    EXPECT_EQ(Boxes.Seen()[0].Icon, QMessageBox::NoIcon);
    EXPECT_EQ(Boxes.Seen()[0].Buttons, QStringList{"OK"});
    const QPoint Off = Boxes.Seen()[0].Frame.center() - Corner.screen()->availableGeometry().center();
    EXPECT_LE(Off.manhattanLength(), 2) << Off.x() << "," << Off.y();
}

namespace {
std::vector<QString> Journal;

struct TFirstForm : TForm
{
    static TFirstForm** Ref;
    bool SawOwnReference = false;
    TFirstForm()
    {
        SawOwnReference = *Ref == this;
        Journal.push_back("create first");
    }
    ~TFirstForm() override { Journal.push_back("destroy first"); }
};
TFirstForm** TFirstForm::Ref = nullptr;

struct TSecondForm : TForm
{
    TSecondForm() { Journal.push_back("create second"); }
    ~TSecondForm() override { Journal.push_back("destroy second"); }
};

struct TFailingForm : TForm
{
    TFailingForm() { throw Exception(QStringLiteral("no window")); }
};
} // namespace

TEST(Forms, StartUpAndShutdownOrder)
{
    Journal.clear();
    TFirstForm* First = nullptr;
    TSecondForm* Second = nullptr;
    TFirstForm::Ref = &First;
    Application->CreateForm(First);
    Application->CreateForm(Second);
    EXPECT_TRUE(First->SawOwnReference);
    EXPECT_EQ(Application->MainForm(), First);

    // The second form closes by hiding; the main form's close ends the run.
    QTimer::singleShot(0, [&] {
        Second->show();
        Second->close();
        Journal.push_back(Second->isVisible() ? "second visible" : "second hidden");
        EXPECT_FALSE(Application->Terminated());
        First->close();
        // Closing is only requested: the window stays until the handler returns.
        Journal.push_back(First->isVisible() ? "first still shown" : "first gone");
    });
    Application->Run();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(Journal, (std::vector<QString>{"create first", "create second", "second hidden",
                                             "first still shown", "destroy second",
                                             "destroy first"}));
    EXPECT_EQ(First, nullptr);
    EXPECT_EQ(Second, nullptr);
}

TEST(Forms, FailingConstructionClearsTheReferenceAndPassesOn)
{
    TFailingForm* Failing = reinterpret_cast<TFailingForm*>(0x1);
    EXPECT_THROW(Application->CreateForm(Failing), Exception);
    EXPECT_EQ(Failing, nullptr);
}

TEST(Forms, QuitTakenInsideANestedPauseEndsTheRunOnlyAfterTheHandler)
{
    Journal.clear();
    TSecondForm* Main = nullptr;
    Application->CreateForm(Main);
    QTimer::singleShot(0, [&] {
        // A handler that pauses: Exit arrives inside it and the handler still runs to its end.
        Main->close();
        for (int I = 0; I < 5; ++I)
            Application->ProcessMessages();
        EXPECT_TRUE(Application->Terminated());
        Journal.push_back("handler finished");
    });
    Application->Run();
    EXPECT_EQ(Journal, (std::vector<QString>{"create second", "handler finished",
                                             "destroy second"}));
}
