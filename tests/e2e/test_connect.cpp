// Connect and disconnect, through the real dialog, against the simulator.
#include "device/link_state.h"
#include "tests/support/e2e_support.h"
#include "ui/speed_button.h"

#include "tests/support/pty_pair.h"

#include <QFrame>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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
        EXPECT_EQ(Boxes.Seen()[0].Text,
                  NotDetected + "\n" + Sim.LinkPath() + ": no box answered; check the box's power and cable.");
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

TEST_F(TE2E, APortThatCannotBeOpenedSaysWhyAndTheNextConnectOffersTheDialog)
{
    // A dangling registration is left out of the list, so name the port directly.
    SelectedPort = Runtime() + "/no-such-port";
    TBoxWatcher Boxes;
    Click(Form4, "sSpeedButton2");
    ASSERT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_EQ(Boxes.Seen()[0].ObjectName, "ErrorBox");
    EXPECT_EQ(Boxes.Seen()[0].Text, "Unable to open com port (Error: 2)\n" + Runtime() +
                                        "/no-such-port: the adapter is not there any more (unplugged?); plug it "
                                        "back in and connect again.");
    EXPECT_TRUE(SelectedPort.isEmpty());
    EXPECT_FALSE(Form1->isVisible());
    Click(Form4, "sSpeedButton2");
    EXPECT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_TRUE(Form1->isVisible());
    Form1->hide();
}

namespace {
// This process as another user for a while: effective uid and gid, and supplementary groups.
// Real and saved ids stay root's, so the destructor takes root back.
class TAsUser
{
public:
    TAsUser(uid_t Uid, gid_t Gid, const std::vector<gid_t>& Groups)
    {
        FGroups.resize(size_t(::getgroups(0, nullptr)));
        FGroups.resize(size_t(::getgroups(int(FGroups.size()), FGroups.data())));
        FOk = ::setgroups(Groups.size(), Groups.data()) == 0 && ::setegid(Gid) == 0 && ::seteuid(Uid) == 0;
    }
    ~TAsUser()
    {
        (void)!::seteuid(0);
        (void)!::setegid(0);
        (void)!::setgroups(FGroups.size(), FGroups.data());
    }
    bool Ok() const { return FOk; }

private:
    std::vector<gid_t> FGroups;
    bool FOk = false;
};
} // namespace

TEST_F(TE2E, APortThisUserMayNotOpenNamesTheGroupAndHowToJoinIt)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to give the node a group and to become a user outside it";
    const passwd* Nobody = ::getpwnam("nobody");
    const group* Dialout = ::getgrnam("dialout");
    if (!Nobody || !Dialout || Nobody->pw_gid == Dialout->gr_gid)
        GTEST_SKIP() << "needs the user nobody and the group dialout, nobody outside it";
    const uid_t User = Nobody->pw_uid;
    const gid_t Own = Nobody->pw_gid, Other = Dialout->gr_gid;
    TPtyPair Pty;
    const QByteArray Node = Pty.Path().toLocal8Bit();
    ASSERT_EQ(::chmod(Node.constData(), 0660), 0);
    TBoxWatcher Boxes;
    const QString Box = "Unable to open com port (Error: 13)\n" + Pty.Path() + ": ";
    const QString Doctor = " (morvel-smsctl doctor checks every port.)";

    // Not in the node's group at all.
    ASSERT_EQ(::chown(Node.constData(), 0, Other), 0);
    {
        TAsUser As(User, Own, {Own});
        ASSERT_TRUE(As.Ok());
        SelectedPort = Pty.Path();
        Click(Form4, "sSpeedButton2");
    }
    ASSERT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_EQ(Boxes.Seen()[0].Text.toStdString(),
              (Box + "permission refused: the port belongs to group dialout and you are not in it; join it "
                     "with: sudo usermod -aG dialout $USER, then log out and back in." + Doctor)
                  .toStdString());

    // Listed in the group (nobody's own, in the database), but this session started without it.
    ASSERT_EQ(::chown(Node.constData(), 0, Own), 0);
    {
        TAsUser As(User, Other, {Other});
        ASSERT_TRUE(As.Ok());
        SelectedPort = Pty.Path();
        Click(Form4, "sSpeedButton2");
    }
    ASSERT_EQ(Boxes.Seen().size(), 2u);
    EXPECT_EQ(Boxes.Seen()[1].Text.toStdString(),
              (Box + "you joined its group " + QString::fromLocal8Bit(::getgrgid(Own)->gr_name) +
               " after logging in, and this session does not have it yet: log out and back in." + Doctor)
                  .toStdString());
    EXPECT_EQ(ConnectCaption(), "Connect");
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
