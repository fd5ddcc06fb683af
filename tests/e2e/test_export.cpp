// Export through the real window into the simulator: every byte and every pause on the wire.
#include "device/codecs.h"
#include "device/config_file.h"
#include "device/import_copies.h"
#include "device/item_store.h"
#include "device/items.h"
#include "tests/support/e2e_support.h"

#include "core/stop_signals.h"

#include <QDate>
#include <QFile>
#include <QProgressBar>
#include <QScopeGuard>
#include <algorithm>
#include <clocale>
#include <csignal>
#include <langinfo.h>
#include <map>

namespace {
class TExport : public TE2E
{
protected:
    // The bytes the device received for the export: the request, the records, the end.
    static QByteArray Wire(const TSimProcess& Sim)
    {
        QByteArray Bytes;
        for (const auto& E : Sim.Events())
            if ((E.Kind == "request" && E.Word == "set") || E.Kind == "record" || E.Kind == "end")
                Bytes += E.Bytes;
        return Bytes;
    }
    static std::vector<TSimProcess::TEvent> Records(const TSimProcess& Sim)
    {
        std::vector<TSimProcess::TEvent> Result;
        for (const auto& E : Sim.Events())
            if (E.Kind == "record")
                Result.push_back(E);
        return Result;
    }
    static double RequestTime(const TSimProcess& Sim)
    {
        for (const auto& E : Sim.Events())
            if (E.Kind == "request" && E.Word == "set")
                return E.Ms;
        return 0;
    }
    // The records of every item at its default, between the request and the final 0x0D.
    static QByteArray DefaultRecords(int Line)
    {
        if (Line <= 24)
            return QStringLiteral("rel%1=%2\r").arg((Line + 1) / 2).arg(Line % 2 ? "on" : "off").toLatin1();
        if (Line == 25)
            return "+989xxxxxxxxx\r";
        if (Line <= 32)
            return "\r";
        if (Line <= 34 || Line >= 58)
            return QByteArray("\x00\r", 2);
        if (Line <= 44)
            return QStringLiteral("OPEN PORT %1\r").arg(Line - 34).toLatin1();
        if (Line <= 54)
            return QStringLiteral("CLOSE PORT %1\r").arg(Line - 44).toLatin1();
        if (Line == 55)
            return "get\r";
        return "\x01\r";
    }
    void Connect(TSimProcess& Sim)
    {
        ASSERT_TRUE(Sim.Started());
        ConnectThroughDialog(Sim.LinkPath());
        ASSERT_EQ(ConnectCaption(), "DisConnect");
    }
    QProgressBar* Bar() { return Find<QProgressBar>(Form4, "sProgressBar1"); }
};
} // namespace

TEST_F(TExport, TheDefaultsGoOutAsTheKnown502BytesWithTheirPauses)
{
    TSimProcess Sim(Runtime());
    Connect(Sim);
    TBoxWatcher Boxes;
    bool BarShown = false;
    QTimer Watch;
    QObject::connect(&Watch, &QTimer::timeout, [&] { BarShown |= Bar()->isVisible(); });
    Watch.start(100);
    Click(Form4, "sSpeedButton6"); // returns when the export is done
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("stored") == 1; }, 2000)) << Sim.LogText().toStdString();
    EXPECT_TRUE(Boxes.Seen().empty());
    EXPECT_TRUE(BarShown);
    EXPECT_FALSE(Bar()->isVisible());
    EXPECT_EQ(Bar()->value(), 0);

    QByteArray Expected("\x19\x1b");
    for (int Line = 1; Line <= 59; ++Line)
        Expected += DefaultRecords(Line);
    Expected += "\r";
    EXPECT_EQ(Expected.size(), 502);
    EXPECT_EQ(Wire(Sim).toHex(' ').toStdString(), Expected.toHex(' ').toStdString());

    // The simulator stamps a record when it wakes to read it, so a late wake-up on a busy
    // machine shortens the gap before the next one: each gap may fall short of its span by that
    // much (a missing or shortened pause falls far more), and the typical gap is above it.
    const auto R = Records(Sim);
    ASSERT_EQ(R.size(), 59u);
    std::vector<double> Over; // each gap less its span
    Over.push_back(R[0].Ms - RequestTime(Sim) - 400.0);
    for (size_t I = 1; I < R.size(); ++I)
        Over.push_back(R[I].Ms - R[I - 1].Ms - (R[I - 1].Line == 36 ? 1000.0 : 400.0));
    for (size_t I = 0; I < Over.size(); ++I)
        EXPECT_GT(Over[I], -25.0) << "before line " << R[I].Line;
    std::sort(Over.begin(), Over.end());
    EXPECT_GT(Over[Over.size() / 2], 0.0);
}

TEST_F(TExport, AnImportedConfigurationGoesBackByteForByteInAnyLocaleWithEditsDuringTheExport)
{
    // The device holds every byte 0x20 to 0xFF in its texts: fifteen to a relay command from
    // line 2 on, and a telephone number with bytes above 0x7F.
    QByteArray Bytes;
    for (int B = 0x20; B <= 0xFF; ++B)
        Bytes.append(static_cast<char>(B));
    QByteArray State;
    std::map<int, QByteArray> Held;
    for (int Line = 2; !Bytes.isEmpty(); ++Line) {
        Held[Line] = Bytes.left(15);
        Bytes.remove(0, 15);
    }
    Held[26] = "+98\xA0\xE9\xFF";
    // The simulator's state is the configuration file: the user's form of the number, each
    // byte escaped.
    for (const auto& [Line, Text] : Held) {
        const TItemDef& Item = *FindItem(Line);
        const QByteArray Value = Item.Kind == TItemKind::Telephone
                                     ? TelephoneFromDevice(QString::fromLatin1(Text)).toLatin1()
                                     : Text;
        State += ItemKeys(Item).first().toLatin1() + " = \"";
        for (const char B : Value)
            State += "\\u00" + QByteArray(1, B).toHex().toUpper();
        State += "\"\n";
    }
    const QString StateFile = Runtime() + "/state";
    QFile File(StateFile);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly) && File.write(State) == State.size());
    File.close();

    // The export must not depend on the locale's character set: UTF-8 first, then ASCII.
    const QByteArray Saved = ::setlocale(LC_ALL, nullptr);
    const auto RestoreLocale = qScopeGuard([&] { ::setlocale(LC_ALL, Saved.constData()); });
    ASSERT_NE(::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    ASSERT_STREQ(::nl_langinfo(CODESET), "UTF-8");

    TSimProcess Sim(Runtime(), {"--state", StateFile});
    Connect(Sim);
    Click(Form4, "sSpeedButton3");
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("line") >= ItemCount; }, 10000));
    PumpFor(100);
    EXPECT_EQ(Form4->ItemText("rel1_off"), QString::fromLatin1(Held[2]));
    EXPECT_EQ(Form4->ItemText("TEL2"), QString::fromLatin1("0\xA0\xE9\xFF"));

    Form4->SetItemText("rel1_on", "A");
    Form4->SetItemText("TEL1", "9xx0xx");
    Form4->SetItemText("TEL3", "02188776655");
    Form4->SetItemText("txt_status", "");
    for (const char* Box : {"CK_TEL_1", "CK_TEL_3", "CK_TEL_4", "sCheckBox9", "sCheckBox10",
                            "sCheckBox11", "sCheckBox12", "sCheckBox2", "sCheckBox4"})
        Form4->SetItemChecked(Box, true);
    Form4->SetItemChecked("ch_feadback", false);
    const QString Long(40, u'W');
    Form4->SetItemText("input3_1", Long); // longer than the field allows typing: sent whole

    int Ignored = 0;
    // Two seconds in: a sent item and an item still to come are edited; Connect and Import
    // are pressed and must do nothing while the export runs.
    QTimer::singleShot(2000, [&] {
        Form4->SetItemText("rel1_on", "LATE");
        Form4->SetItemText("input10_2", "EDITED");
        Click(Form4, "sSpeedButton2");
        Click(Form4, "sSpeedButton3");
        ++Ignored;
    });
    TBoxWatcher Boxes;
    Click(Form4, "sSpeedButton6");
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("stored") == 1; }, 2000));
    EXPECT_EQ(Ignored, 1);
    EXPECT_TRUE(Boxes.Seen().empty());
    EXPECT_EQ(ConnectCaption(), "DisConnect");
    EXPECT_EQ(Sim.Count("request", "get"), 1);

    QByteArray Expected("\x19\x1b");
    for (int Line = 1; Line <= 59; ++Line) {
        switch (Line) {
        case 1: Expected += "A\r"; break;
        case 25: Expected += "9xx+98xx\r"; break;
        case 27: Expected += "+982188776655\r"; break;
        case 33: Expected += "\r\r"; break;      // 1 + 4 + 8 = 13
        case 37: Expected += Long.toLatin1() + "\r"; break;
        case 54: Expected += "EDITED\r"; break;
        case 55: Expected += "\r"; break;
        case 56: Expected += QByteArray("\x00\r", 2); break;
        case 58: Expected += "\n\r"; break;      // 2 + 8 = 10, a raw line feed byte
        case 59: Expected += "\x0f\r"; break;
        default: Expected += Held.count(Line) ? Held[Line] + "\r" : DefaultRecords(Line);
        }
    }
    Expected += "\r";
    EXPECT_EQ(Wire(Sim).toHex(' ').toStdString(), Expected.toHex(' ').toStdString());

    // What the device stored comes back and goes out again unchanged.
    ASSERT_NE(::setlocale(LC_ALL, "C"), nullptr);
    ASSERT_STRNE(::nl_langinfo(CODESET), "UTF-8");
    Click(Form4, "sSpeedButton3");
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("line") >= 2 * ItemCount; }, 10000));
    PumpFor(100);
    Click(Form4, "sSpeedButton6");
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("stored") == 2; }, 2000));
    EXPECT_TRUE(Boxes.Seen().empty());
    EXPECT_EQ(Wire(Sim).toHex(' ').toStdString(), (Expected + Expected).toHex(' ').toStdString());
}

TEST_F(TExport, ALogoutsSigtermStopsTheExportBeforeItsNextRecordWithoutABox)
{
    TSimProcess Sim(Runtime());
    Connect(Sim);
    TBoxWatcher Boxes;
    int Stopped = 0;
    TStopSignals Stops([&](int Signal) { Stopped = Signal; });
    int AtSignal = -1;
    QTimer Watch;
    QObject::connect(&Watch, &QTimer::timeout, [&] {
        if (AtSignal < 0 && Sim.Count("record") >= 3) {
            AtSignal = Sim.Count("record");
            ::kill(::getpid(), SIGTERM);
        }
    });
    Watch.start(20);
    Click(Form4, "sSpeedButton6"); // returns at the stop
    Watch.stop();
    EXPECT_EQ(Stopped, SIGTERM);
    EXPECT_TRUE(Boxes.Seen().empty());
    // At most the record already on its way when the signal came; the box stores nothing.
    PumpUntil([&] { return Sim.Count("record") > AtSignal + 1; }, 1000);
    EXPECT_LE(Sim.Count("record"), AtSignal + 1);
    EXPECT_EQ(Sim.Count("stored"), 0);
}

TEST_F(TExport, AHangUpDuringTheExportShowsTheWriteErrorAndTheWindowGoesOn)
{
    TSimProcess Sim(Runtime(), {"--hangup-after", "100"});
    Connect(Sim);
    TBoxWatcher Boxes;
    Click(Form4, "sSpeedButton6");
    ASSERT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_EQ(Boxes.Seen()[0].ObjectName, "ErrorBox");
    EXPECT_TRUE(Boxes.Seen()[0].Text.startsWith("WriteFile function failed (Error: "))
        << Boxes.Seen()[0].Text.toStdString();
    // The device is gone: the link is closed and the bar of an export that no longer runs goes;
    // the window stays usable.
    EXPECT_EQ(ConnectCaption(), "Connect");
    EXPECT_FALSE(Bar()->isVisible());
    EXPECT_FALSE(Find(Form4, "sSpeedButton6")->isEnabled());
    Click(Form4, "sSpeedButton4");
    EXPECT_TRUE(Form2->isVisible());
}

TEST_F(TExport, AnOpenedFileGoesOutAndWhatTheBoxThenHoldsIsSavedAsMorvelSmsctlReadsIt)
{
    auto WriteFile = [](const QString& Path, const QByteArray& Text) {
        QFile File(Path);
        return File.open(QIODevice::WriteOnly) && File.write(Text) == Text.size();
    };
    auto ReadFile = [](const QString& Path) {
        QFile File(Path);
        return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("(unreadable)");
    };
    // Prepared at the desk: a text longer than its field, as a box may hold one, a byte above
    // 0x7F, boxes of every kind changed; written with its explanations.
    TItemStore Prepared;
    Prepared.SetItemText("rel2_on", QString(22, u'L'));
    Prepared.SetItemText("TEL3", QString::fromLatin1("0912\xE9" "55"));
    Prepared.SetItemText("txt_status", "state?");
    for (const char* Box : {"CK_TEL_in_2", "CK_TEL_5", "sCheckBox11", "sCheckBox3"})
        Prepared.SetItemChecked(Box, true);
    Prepared.SetItemChecked("ch_state", false);
    const QString Good = Runtime() + "/prepared.toml", Bad = Runtime() + "/bad.toml";
    ASSERT_TRUE(WriteFile(Good, FormatConfigFile(Prepared, true)));
    ASSERT_TRUE(WriteFile(Bad, "relay.1.on = \"x\"\nrelay.1.off = \"y\"\nrelay.2.on = oops\n"));

    QString Asked, Answer;
    auto Ask = [&](const QString& Suggested) {
        Asked = Suggested;
        return Answer;
    };
    Form4->SetFileDialogs(Ask, Ask);

    // A bad file says where it is wrong and changes nothing, the pages' state included.
    const QByteArray Before = FormatConfigFile(*Form4, false);
    TBoxWatcher Boxes;
    Answer = Bad;
    Click(Form4, "sSpeedButton7");
    ASSERT_EQ(Boxes.Seen().size(), 1u);
    EXPECT_EQ(Boxes.Seen()[0].ObjectName, "ErrorBox");
    EXPECT_TRUE(Boxes.Seen()[0].Text.startsWith(Bad + ":3:")) << Boxes.Seen()[0].Text.toStdString();
    EXPECT_EQ(FormatConfigFile(*Form4, false), Before);
    EXPECT_FALSE(Find(Form4, "sPanel1")->isEnabled());

    // Opened before connecting, then sent.
    Answer = Good;
    Click(Form4, "sSpeedButton7");
    EXPECT_TRUE(Find(Form4, "sPanel1")->isEnabled());
    EXPECT_FALSE(Find(Form4, "sPanel2")->isVisible());
    TSimProcess Sim(Runtime());
    Connect(Sim);
    Click(Form4, "sSpeedButton6");
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("stored") == 1; }, 2000));
    QByteArray Expected("\x19\x1b");
    for (const TItemDef& Item : ItemTable())
        Expected += RecordBytes(Item, Prepared);
    Expected += "\r";
    EXPECT_EQ(Wire(Sim).toHex(' ').toStdString(), Expected.toHex(' ').toStdString());

    // Read back and saved under the name offered, in the folder used last.
    Form4->SetItemText("rel1_on", "scrambled");
    Click(Form4, "sSpeedButton3");
    ASSERT_TRUE(PumpUntil([&] { return Sim.Count("line") >= ItemCount; }, 10000));
    PumpFor(100);
    Answer = Runtime() + "/saved.toml";
    Click(Form4, "sSpeedButton8");
    EXPECT_EQ(Asked, Runtime() + "/box-" + QDate::currentDate().toString("yyyy-MM-dd") + "-relay-sim.toml");
    EXPECT_EQ(Boxes.Seen().size(), 1u); // the bad file's only

    // The same box as morvel-smsctl reads it, once the window has let go of the port.
    Click(Form4, "sSpeedButton2");
    QProcess Smsctl;
    Smsctl.start(BuildDir() + "/morvel-smsctl", {"read", Sim.LinkPath(), "-o", Runtime() + "/read.toml"});
    ASSERT_TRUE(Smsctl.waitForFinished(30000));
    ASSERT_EQ(Smsctl.exitCode(), 0) << Smsctl.readAllStandardError().toStdString();
    const QByteArray Read = ReadFile(Runtime() + "/read.toml");
    EXPECT_EQ(ReadFile(Answer), Read);
    // The import's own copy holds the same.
    const QStringList Copies = QDir(ImportCopyFolder()).entryList({"*-relay-sim.toml"}, QDir::Files, QDir::Name);
    ASSERT_FALSE(Copies.isEmpty());
    EXPECT_EQ(ReadFile(ImportCopyFolder() + "/" + Copies.last()), Read);
}
