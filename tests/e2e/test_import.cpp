// Import through the real window from the simulator.
#include "device/codecs.h"
#include "device/config_file.h"
#include "device/import_copies.h"
#include "device/items.h"
#include "tests/support/e2e_support.h"

#include <QMessageBox>
#include <QRegularExpression>
#include <QScopeGuard>

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

TEST_F(TImport, EachImportLeavesACopyTheNewest100StayAndACopyThatCannotBeKeptSpoilsNothing)
{
    QTemporaryDir Data;
    const QByteArray Saved = qgetenv("XDG_DATA_HOME");
    const auto Restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", Saved); });
    qputenv("XDG_DATA_HOME", QFile::encodeName(Data.path()));
    const QString Folder = ImportCopyFolder();
    ASSERT_EQ(Folder, Data.path() + "/morvel-sms-controller");
    // A hundred copies of earlier imports, and a file of the user's own.
    ASSERT_TRUE(QDir().mkpath(Folder));
    for (int I = 0; I < ImportCopiesKept; ++I) {
        QFile Old(Folder + QStringLiteral("/2025-01-01-%1-ttyUSB0.toml").arg(I, 6, 10, QLatin1Char('0')));
        ASSERT_TRUE(Old.open(QIODevice::WriteOnly));
    }
    QFile Own(Folder + "/notes.toml");
    ASSERT_TRUE(Own.open(QIODevice::WriteOnly));

    TSimProcess Sim(Runtime(), {"--bad-line", "1=kept"});
    ConnectAndImport(Sim);
    const QRegularExpression Named(R"(^\d{4}-\d\d-\d\d-\d{6}-relay-sim\.toml$)");
    QStringList Copies;
    ASSERT_TRUE(PumpUntil([&] {
        Copies = QDir(Folder).entryList(QDir::Files, QDir::Name).filter(Named);
        return !Copies.isEmpty();
    }));
    QFile Copy(Folder + "/" + Copies.first());
    ASSERT_TRUE(Copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(Copy.readAll(), FormatConfigFile(*Form4, false));
    const QStringList Left = QDir(Folder).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(Left.size(), ImportCopiesKept + 1);
    EXPECT_FALSE(Left.contains("2025-01-01-000000-ttyUSB0.toml")); // the oldest went
    EXPECT_TRUE(Left.contains("2025-01-01-000001-ttyUSB0.toml"));
    EXPECT_TRUE(Left.contains("notes.toml"));

    // Where the folder cannot be: the import lands all the same, and a box that does not hold
    // the user says why there is no copy.
    ASSERT_TRUE(QDir(Folder).removeRecursively());
    QFile Blocking(Folder);
    ASSERT_TRUE(Blocking.open(QIODevice::WriteOnly));
    Form4->SetItemText("rel1_on", "x");
    TBoxWatcher Boxes;
    Click(Form4, "sSpeedButton3");
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("line") >= 2 * ItemCount; }, 10000));
    QMessageBox* Notice = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (Notice = Form4->findChild<QMessageBox*>("CopyNotice")); }));
    EXPECT_TRUE(Notice->isVisible());
    EXPECT_FALSE(Notice->isModal());
    EXPECT_TRUE(Notice->text().contains(Folder)) << Notice->text().toStdString();
    EXPECT_EQ(Form4->ItemText("rel1_on"), "kept");
    EXPECT_EQ(Form4->ItemText("input10_2"), "CLOSE PORT 10");
    EXPECT_TRUE(Boxes.Seen().empty());
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
