// Connect and disconnect, through the real dialog, against the simulator.
#include "device/link_state.h"
#include "e2e_support.h"
#include "ui/speed_button.h"

#include <QFrame>

namespace {
const QString NotDetected = QString::fromUtf8(
    "Device Not Detected! Please change com Port!\n(عدم شناسایی دستگاه لطفا پورت دیگری انتخاب کنید)");
}

TEST_F(TE2E, ConnectSucceedsAndSwitchesTheWindow)
{
    TSimProcess Sim(Runtime());
    ASSERT_TRUE(Sim.Started()) << Sim.Printed().toStdString();
    TBoxWatcher Boxes;
    ConnectThroughDialog(Sim.LinkPath());
    EXPECT_TRUE(Boxes.Seen().empty());
    EXPECT_FALSE(Form1->isVisible());
    EXPECT_EQ(ConnectCaption(), "DisConnect");
    EXPECT_EQ(Find<TSpeedButton>(Form4, "sSpeedButton2")->ImageIndex(), 3);
    EXPECT_FALSE(Find(Form4, "sPanel2")->isVisible());
    EXPECT_TRUE(Find(Form4, "sPanel1")->isEnabled());
    EXPECT_TRUE(Find(Form4, "sSpeedButton3")->isEnabled());
    EXPECT_TRUE(Find(Form4, "sSpeedButton6")->isEnabled());
    EXPECT_EQ(SelectedPort, Sim.LinkPath());

    // DisConnect keeps the pages and the chosen port; Import and Export go.
    Click(Form4, "sSpeedButton2");
    EXPECT_EQ(ConnectCaption(), "Connect");
    EXPECT_EQ(Find<TSpeedButton>(Form4, "sSpeedButton2")->ImageIndex(), 2);
    EXPECT_FALSE(Find(Form4, "sSpeedButton3")->isEnabled());
    EXPECT_FALSE(Find(Form4, "sSpeedButton6")->isEnabled());
    EXPECT_TRUE(Find(Form4, "sPanel1")->isEnabled());
    EXPECT_FALSE(Find(Form4, "sPanel2")->isVisible());

    // Connect again: no dialog, same port.
    Click(Form4, "sSpeedButton2");
    EXPECT_FALSE(Form1->isVisible());
    EXPECT_EQ(ConnectCaption(), "DisConnect");
    EXPECT_TRUE(Boxes.Seen().empty());
}

TEST_F(TE2E, NoAnswerLateAnswerAndAnswerAfterACarriageReturnAreNotDetected)
{
    for (const QStringList& Fault : {QStringList{"--no-answer"}, QStringList{"--late-answer", "1500"},
                                     QStringList{"--cr-before-answer"}}) {
        SCOPED_TRACE(Fault.join(' ').toStdString());
        TSimProcess Sim(Runtime(), Fault);
        ASSERT_TRUE(Sim.Started());
        TBoxWatcher Boxes;
        ConnectThroughDialog(Sim.LinkPath());
        ASSERT_EQ(Boxes.Seen().size(), 1u);
        EXPECT_EQ(Boxes.Seen()[0].Text, NotDetected);
        EXPECT_EQ(Boxes.Seen()[0].ObjectName, "NoticeBox");
        EXPECT_EQ(ConnectCaption(), "Connect");
        EXPECT_TRUE(SelectedPort.isEmpty());
        EXPECT_FALSE(Find(Form4, "sPanel1")->isEnabled());
        // The next Connect shows the dialog again.
        Click(Form4, "sSpeedButton2");
        EXPECT_TRUE(Form1->isVisible());
        Form1->hide();
        Sim.Stop();
    }
}

TEST_F(TE2E, APortThatCannotBeOpenedShowsTheErrorAndIsTriedAgain)
{
    // A dangling registration is left out of the list, so name the port directly.
    SelectedPort = Runtime() + "/no-such-port";
    TBoxWatcher Boxes;
    Click(Form4, "sSpeedButton2");
    ASSERT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_EQ(Boxes.Seen()[0].ObjectName, "ErrorBox");
    EXPECT_EQ(Boxes.Seen()[0].Text, "Unable to open com port (Error: 2)");
    EXPECT_EQ(SelectedPort, Runtime() + "/no-such-port");
    EXPECT_FALSE(Form1->isVisible());
    // The next press tries the same port again without the dialog.
    Click(Form4, "sSpeedButton2");
    EXPECT_EQ(Boxes.Seen().size(), 2u);
    EXPECT_FALSE(Form1->isVisible());
}

TEST_F(TE2E, ConnectIsIgnoredDuringTheHandshake)
{
    TSimProcess Sim(Runtime(), {"--late-answer", "300"});
    ASSERT_TRUE(Sim.Started());
    int Reentered = 0;
    // A second press inside the handshake's pause must not start a second handshake.
    QTimer::singleShot(100, [&] {
        Click(Form4, "sSpeedButton2");
        ++Reentered;
    });
    ConnectThroughDialog(Sim.LinkPath());
    EXPECT_EQ(Reentered, 1);
    EXPECT_EQ(ConnectCaption(), "DisConnect");
    // The device saw one connect request only.
    EXPECT_EQ(Sim.Count("request", "connect"), 1) << Sim.LogText().toStdString();
}
