// Import through the real window from the simulator.
#include "device/codecs.h"
#include "device/items.h"
#include "e2e_support.h"

namespace {
class TImport : public TE2E
{
protected:
    // Connects, presses Import and waits until the simulator has sent its last line and the
    // window has handled it.
    // Paced output is logged when queued: SettleMs covers its 9600-baud byte time.
    void ConnectAndImport(TSimProcess& Sim, int SettleMs = 100)
    {
        ASSERT_TRUE(Sim.Started());
        ConnectThroughDialog(Sim.LinkPath());
        ASSERT_EQ(ConnectCaption(), "DisConnect");
        Click(Form4, "sSpeedButton3");
        ASSERT_TRUE(PumpUntil([&] { return Sim.Count("line") >= ItemCount; }, 10000));
        PumpFor(SettleMs);
    }
    void ScrambleEverything()
    {
        for (const TItemDef& Item : ItemTable())
            for (const QString& Control : ItemControls(Item)) {
                if (IsTextKind(Item.Kind))
                    Form4->SetItemText(Control, "scrambled");
                else
                    Form4->SetItemChecked(Control, !Form4->ItemChecked(Control));
            }
    }
};
} // namespace

TEST_F(TImport, TheDefaultConfigurationRestoresEveryDefault)
{
    TSimProcess Sim(Runtime());
    ScrambleEverything();
    TBoxWatcher Boxes;
    ConnectAndImport(Sim);
    EXPECT_TRUE(Boxes.Seen().empty());
    for (const TItemDef& Item : ItemTable()) {
        for (const QString& Control : ItemControls(Item)) {
            if (IsTextKind(Item.Kind))
                EXPECT_EQ(Form4->ItemText(Control), QLatin1String(Item.Default)) << Item.Line;
            else
                EXPECT_EQ(Form4->ItemChecked(Control), QLatin1String(Item.Default) == "1")
                    << Control.toStdString();
        }
    }
}

TEST_F(TImport, CustomLinesPacedOverManyReceiveEvents)
{
    const QString Long(40, u'Q');
    TSimProcess Sim(Runtime(), {"--paced", "--bad-line", "1=hello world", "--bad-line",
                                "25=+989121234567", "--bad-line", "26=0098+98", "--bad-line",
                                "33=13", "--bad-line", "34=-1", "--bad-line", "56=01",
                                "--bad-line", "57=1", "--bad-line", "58= +261", "--bad-line",
                                "24=" + Long, "--bad-line", "59=255"});
    TBoxWatcher Boxes;
    ConnectAndImport(Sim, 1500);
    EXPECT_TRUE(Boxes.Seen().empty());
    EXPECT_EQ(Form4->ItemText("rel1_on"), "hello world");
    EXPECT_EQ(Form4->ItemText("rel12_off"), Long); // longer than the field: stored whole
    EXPECT_EQ(Form4->ItemText("TEL1"), "09121234567");
    EXPECT_EQ(Form4->ItemText("TEL2"), "00980"); // the first +98 goes back to 0
    // 13 = boxes 1, 3 and 4, set again after the numbers' lines cleared them.
    for (int I = 1; I <= 8; ++I)
        EXPECT_EQ(Form4->ItemChecked(QStringLiteral("CK_TEL_%1").arg(I)), I == 1 || I == 3 || I == 4) << I;
    for (int I = 1; I <= 8; ++I)
        EXPECT_TRUE(Form4->ItemChecked(QStringLiteral("CK_TEL_in_%1").arg(I))) << I;
    EXPECT_FALSE(Form4->ItemChecked("ch_feadback")); // "01" is not "1"
    EXPECT_TRUE(Form4->ItemChecked("ch_state"));
    for (int I = 1; I <= 8; ++I)
        EXPECT_EQ(Form4->ItemChecked(QStringLiteral("sCheckBox%1").arg(I)), I == 1 || I == 3) << I;
    for (int I = 9; I <= 12; ++I)
        EXPECT_TRUE(Form4->ItemChecked(QStringLiteral("sCheckBox%1").arg(I))) << I;
}

TEST_F(TImport, ABadMaskLineIsReportedOnceAndTheRestStillArrives)
{
    TSimProcess Sim(Runtime(), {"--bad-line", "34=abc", "--bad-line", "55=after"});
    Form4->SetItemChecked("CK_TEL_in_3", true);
    TBoxWatcher Boxes;
    ConnectAndImport(Sim);
    ASSERT_TRUE(PumpUntil([&] { return !Boxes.Seen().empty(); }, 2000));
    ASSERT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_EQ(Boxes.Seen()[0].ObjectName, "ErrorBox");
    EXPECT_EQ(Boxes.Seen()[0].Text, "Line 34: \"abc\" is not a valid number.");
    EXPECT_TRUE(Form4->ItemChecked("CK_TEL_in_3")); // kept its state
    EXPECT_EQ(Form4->ItemText("txt_status"), "after"); // a later line was still stored
    // Receiving still works: a second import arrives whole.
    Form4->SetItemText("input1_1", "x");
    Click(Form4, "sSpeedButton3");
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("line") >= 2 * ItemCount; }, 10000));
    PumpFor(100);
    EXPECT_EQ(Form4->ItemText("input1_1"), "OPEN PORT 1");
}

TEST_F(TImport, ALineWithoutEndStopsGrowingAndTheNextLinesStillLand)
{
    // 70000 characters before its carriage return.
    TSimProcess Sim(Runtime(), {"--bad-line", "1=" + QString(70000, u'z')});
    ConnectAndImport(Sim);
    EXPECT_EQ(Form4->ItemText("rel1_on").size(), 64 * 1024);
    EXPECT_EQ(Form4->ItemText("rel1_off"), "rel1=off");
    EXPECT_EQ(Form4->ItemText("input10_2"), "CLOSE PORT 10");
}

TEST_F(TImport, ClosingTheWindowWhileLinesArriveIsSafe)
{
    TSimProcess Sim(Runtime(), {"--paced"});
    ConnectThroughDialog(Sim.LinkPath());
    Click(Form4, "sSpeedButton3");
    PumpUntil([&] { return Sim.Count("line") >= 10; }, 5000);
    // The window goes while the event thread is handing bytes over: nothing may reach it.
    delete Form4;
    Form4 = nullptr;
    PumpFor(200);
    SUCCEED();
}
