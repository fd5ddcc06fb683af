// The port's errors, settings, opening and closing and the blocking transfers, on real ptys.
#include "tests/support/pty_pair.h"
#include "serial/cport.h"
#include "serial/platform/serial_device.h"
#include "serial/port_holders.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <cerrno>
#include <clocale>
#include <memory>
#include <string>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>

namespace {

struct PortTest : testing::Test
{
    TPtyPair Pty;
    QStringList Log; // before Port: destroying an open port still fires its close events
    TComPort Port;
    PortTest()
    {
        Port.SetPort(Pty.Path());
        Port.SetEvents(TComEvents()); // no thread: these tests look at the transfers
        Port.SetOnBeforeOpen([this](QObject*) { Log << "BeforeOpen"; });
        Port.SetOnAfterOpen([this](QObject*) { Log << "AfterOpen"; });
        Port.SetOnBeforeClose([this](QObject*) { Log << "BeforeClose"; });
        Port.SetOnAfterClose([this](QObject*) { Log << "AfterClose"; });
        Port.SetOnCTSChange([this](QObject*, bool On) { Log << QString("CTS%1").arg(On); });
    }
};

template <class F> EComPort Raised(F&& Action)
{
    try {
        Action();
    } catch (const EComPort& E) {
        return E;
    }
    ADD_FAILURE() << "no EComPort raised";
    return EComPort::CreateNoWinCode(0);
}

} // namespace

TEST(ComErrors, MessagesAsFormatted)
{
    EComPort Open(1, 2);
    EXPECT_EQ(Open.Message(), "Unable to open com port (Error: 2)");
    EXPECT_EQ(Open.Code(), 1);
    EXPECT_EQ(Open.WinCode(), 2);
    EComPort NotOpen = EComPort::CreateNoWinCode(24);
    EXPECT_EQ(NotOpen.Message(), "Port Not Open");
    EXPECT_EQ(NotOpen.WinCode(), -1);
    EXPECT_EQ(ComErrorText(18), "Link (un)registration failed");
    EXPECT_EQ(ComErrorText(14), "Cannot set property while connected");
    EXPECT_EQ(ComErrorText(25), "");
}

TEST(ComErrors, LinkRegisteredTwiceAndOnExceptionHandler)
{
    TComPort Port;
    TComLink Link;
    Port.RegisterLink(&Link);
    EComPort E = Raised([&] { Port.RegisterLink(&Link); });
    EXPECT_EQ(E.Message(), "Link (un)registration failed");
    EXPECT_EQ(E.WinCode(), -1);

    Port.SetPort("/dev/no-such-serial-device");
    TComExceptions Kind{};
    QString Message, WinMessage;
    int64_t WinError = 0;
    Port.SetOnException([&](QObject*, TComExceptions K, const QString& M, int64_t W,
                            const QString& WM) {
        Kind = K;
        Message = M;
        WinError = W;
        WinMessage = WM;
    });
    EXPECT_NO_THROW(Port.Open());
    EXPECT_EQ(Kind, CE_OpenFailed);
    EXPECT_EQ(Message, "Unable to open com port");
    EXPECT_EQ(WinError, ENOENT);
    EXPECT_TRUE(WinMessage.startsWith("System Error.  Code: 2.\r\n"));
    EXPECT_FALSE(Port.Connected());
    EXPECT_EQ(Port.Handle(), -1);
}

TEST(ComSettings, ObjectsAndMasks)
{
    TComPort Port;
    Port.Buffer()->SetInputSize(1025);
    EXPECT_EQ(Port.Buffer()->InputSize(), 1024);
    Port.Buffer()->SetInputSize(-3);
    EXPECT_EQ(Port.Buffer()->InputSize(), -3);
    EXPECT_EQ(Port.FlowControl()->FlowControl(), fcNone);
    Port.FlowControl()->SetFlowControl(fcHardware);
    EXPECT_EQ(Port.FlowControl()->FlowControl(), fcHardware);
    EXPECT_EQ(Port.FlowControl()->ControlRTS(), rtsHandshake);
    Port.FlowControl()->SetXonXoffIn(true);
    EXPECT_EQ(Port.FlowControl()->FlowControl(), fcCustom);
    Port.FlowControl()->SetFlowControl(fcSoftware);
    EXPECT_EQ(Port.FlowControl()->FlowControl(), fcSoftware);
    EXPECT_EQ(EventsToMask(AllComEvents), 0x5FFu);
    EXPECT_TRUE(MaskToEvents(0x200).Empty());
    EXPECT_EQ(MaskToEvents(0x81), (TComEvents{evRxChar, evError}));
    EXPECT_EQ(Port.Port(), "COM1");
    EXPECT_EQ(Port.DeviceName(), "/dev/COM1");
    Port.SetPort("/run/user/1000/serial/relay-sim");
    EXPECT_EQ(Port.DeviceName(), "/run/user/1000/serial/relay-sim");
}

TEST_F(PortTest, OpenAndCloseFireTheirEventsOnce)
{
    Port.Open();
    EXPECT_TRUE(Port.Connected());
    EXPECT_GE(Port.Handle(), 0);
    Port.Open();
    EXPECT_EQ(Log, QStringList({"BeforeOpen", "AfterOpen", "CTS0"}));
    Log.clear();
    Port.Close();
    Port.Close();
    EXPECT_EQ(Log, QStringList({"CTS0", "BeforeClose", "AfterClose"}));
    EXPECT_FALSE(Port.Connected());
    EXPECT_EQ(Port.Handle(), -1);
}

TEST_F(PortTest, MissingDeviceAndHeldPortFailWithCodeOne)
{
    Port.SetPort("no-such-tty-here");
    EComPort Missing = Raised([&] { Port.Open(); });
    EXPECT_EQ(Missing.Code(), 1);
    EXPECT_EQ(Missing.WinCode(), ENOENT);
    EXPECT_EQ(Missing.Message(), QString("Unable to open com port (Error: %1)").arg(ENOENT));
    EXPECT_EQ(Log, QStringList({"BeforeOpen"}));
    EXPECT_FALSE(Port.Connected());

    // Another program holding the device (even as root, through the lock).
    Port.SetPort(Pty.Path());
    int Other = open(Pty.Path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(Other, 0);
    ASSERT_EQ(flock(Other, LOCK_EX | LOCK_NB), 0);
    EComPort Busy = Raised([&] { Port.Open(); });
    EXPECT_EQ(Busy.Code(), 1);
    EXPECT_EQ(Busy.WinCode(), EBUSY);
    close(Other);

    // Who holds it is found without opening it: another process's descriptor, named; this
    // process's own is not another program.
    EXPECT_TRUE(PortHolders(Pty.Path()).isEmpty());
    {
        QProcess Holder;
        Holder.setStandardInputFile(Pty.Path());
        Holder.start("sleep", {"30"});
        ASSERT_TRUE(Holder.waitForStarted());
        const QList<TPortHolder> Holders = PortHolders(Pty.Path());
        ASSERT_EQ(Holders.size(), 1);
        EXPECT_EQ(DescribePortHolders(Holders), QString("sleep (pid %1)").arg(Holder.processId()));
        Holder.kill();
        Holder.waitForFinished();
    }

    // The field's lock file of a live process (pid 1): refused without the node being opened,
    // since opening it would raise DTR and RTS on the holder's line. A stale one (its process
    // gone) is taken over, and removed at close.
    const QByteArray Lock = "/run/lock/LCK..pts_" + Pty.Path().section('/', -1).toLatin1();
    const auto WriteLock = [&](pid_t Owner) {
        const int Fd = open(Lock.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(Fd, 0);
        const QByteArray Text = QByteArray::number(Owner).rightJustified(10, ' ') + '\n';
        ASSERT_EQ(write(Fd, Text.constData(), size_t(Text.size())), Text.size());
        close(Fd);
    };
    if (access("/run/lock", W_OK) == 0) {
        const std::unique_ptr<const char, int (*)(const char*)> Cleanup(Lock.constData(), &unlink);
        WriteLock(1);
        ASSERT_EQ(PortHolders(Pty.Path()).size(), 1);
        EXPECT_EQ(PortHolders(Pty.Path())[0].Pid, 1);
        const int Watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(inotify_add_watch(Watch, Pty.Path().toLocal8Bit().constData(), IN_OPEN), 0);
        EXPECT_EQ(Raised([&] { Port.Open(); }).WinCode(), EBUSY);
        char Event[256];
        EXPECT_EQ(read(Watch, Event, sizeof Event), -1) << "the node was opened";
        close(Watch);
        const pid_t Gone = fork();
        if (Gone == 0)
            _exit(0);
        waitpid(Gone, nullptr, 0);
        WriteLock(Gone);
        Port.Open();
        EXPECT_EQ(QFile(Lock).open(QIODevice::ReadOnly) ? QFile(Lock).size() : -1, 11);
        Port.Close();
        EXPECT_FALSE(QFile::exists(Lock));
    }

    // A second port on a device this one holds.
    Port.Open();
    TComPort Second;
    Second.SetPort(Pty.Path());
    EXPECT_EQ(Raised([&] { Second.Open(); }).WinCode(), EBUSY);
    Port.Close();
    // Once closed, the device is free for others.
    int After = open(Pty.Path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(After, 0);
    EXPECT_EQ(flock(After, LOCK_EX | LOCK_NB), 0);
    close(After);
}

TEST_F(PortTest, TransfersOnAClosedPort)
{
    char Byte = 'x';
    EComPort E = Raised([&] { Port.Write(&Byte, 1); });
    EXPECT_EQ(E.Code(), 24);
    EXPECT_EQ(E.WinCode(), -1);
    EXPECT_EQ(E.Message(), "Port Not Open");
    EXPECT_EQ(Raised([&] { Port.Read(&Byte, 1); }).Code(), 24);
    EXPECT_EQ(Port.WriteStr(QString()), 0);
}

TEST_F(PortTest, SettingsStoredWhileClosedAreAppliedOnOpen)
{
    Port.SetBaudRate(br115200);
    Port.SetDataBits(dbSeven);
    Port.Parity()->SetBits(prEven);
    Port.SetStopBits(sbTwoStopBits);
    Port.Open();
    termios T{};
    ASSERT_EQ(tcgetattr(Port.Handle(), &T), 0);
    EXPECT_EQ(cfgetospeed(&T), speed_t(B115200));
    // A pty forces CS8 and no PARENB on itself; the other bits stay as set.
    EXPECT_FALSE(T.c_cflag & PARODD);
    EXPECT_TRUE(T.c_cflag & CSTOPB);
    EXPECT_TRUE(T.c_cflag & CLOCAL);
    EXPECT_FALSE(T.c_cflag & HUPCL);
    EXPECT_FALSE(T.c_lflag & (ICANON | ECHO));

    // While open a setter applies at once; inside an update only the final EndUpdate does.
    Port.BeginUpdate();
    Port.SetBaudRate(br9600);
    Port.SetDataBits(dbEight);
    Port.Parity()->SetBits(prMark);
    ASSERT_EQ(tcgetattr(Port.Handle(), &T), 0);
    EXPECT_EQ(cfgetospeed(&T), speed_t(B115200));
    Port.EndUpdate();
    ASSERT_EQ(tcgetattr(Port.Handle(), &T), 0);
    EXPECT_EQ(cfgetospeed(&T), speed_t(B9600));
    EXPECT_TRUE(T.c_cflag & CMSPAR);
    EXPECT_TRUE(T.c_cflag & PARODD);
    Port.EndUpdate(); // without BeginUpdate: nothing

    EComPort E = Raised([&] { Port.SetStopBits(sbOne5StopBits); });
    EXPECT_EQ(E.Code(), 7);
    EXPECT_EQ(E.WinCode(), EINVAL);
}

TEST_F(PortTest, FailedApplyStepClosesTheDeviceAgain)
{
    Port.SetStopBits(sbOne5StopBits);
    EComPort E = Raised([&] { Port.Open(); });
    EXPECT_EQ(E.Code(), 7);
    EXPECT_FALSE(Port.Connected());
    EXPECT_EQ(Port.Handle(), -1);
    EXPECT_EQ(Log, QStringList({"BeforeOpen"}));
}

TEST_F(PortTest, ReadsReturnAtOnceWithWhatIsThere)
{
    Port.Open();
    char Buf[8] = {};
    QElapsedTimer T;
    T.start();
    EXPECT_EQ(Port.Read(Buf, 8), 0);
    EXPECT_LT(T.elapsed(), 100);
    Pty.Send("12345");
    ASSERT_TRUE(PumpUntil([&] { return Port.InputCount() == 5; }));
    EXPECT_EQ(Port.Read(Buf, 3), 3);
    EXPECT_EQ(QByteArray(Buf, 3), "123");
    EXPECT_EQ(Port.InputCount(), 2);
    QString Str;
    EXPECT_EQ(Port.ReadStr(Str, 10), 2);
    EXPECT_EQ(Str, "45");
    EXPECT_EQ(Port.ReadStr(Str, 0), 0);
    EXPECT_TRUE(Str.isEmpty());
}

TEST_F(PortTest, ReadTotalTimeoutWaitsAndGivesThePartialCount)
{
    Port.Open();
    Port.Timeouts()->SetReadInterval(0);
    Port.Timeouts()->SetReadTotalConstant(150);
    Pty.Send("ab");
    char Buf[10];
    QElapsedTimer T;
    T.start();
    EXPECT_EQ(Port.Read(Buf, 10), 2);
    EXPECT_GE(T.elapsed(), 140);
}

TEST_F(PortTest, WritesGoOutAndTimeOutWithThePartialCount)
{
    Port.Open();
    EXPECT_EQ(Port.WriteStr("AB\r"), 3);
    EXPECT_EQ(Pty.Receive(3), QByteArray("AB\r"));
    const char Cmd[2] = {0x19, 0x18};
    EXPECT_EQ(Port.Write(Cmd, 2), 2);
    EXPECT_EQ(Pty.Receive(2), QByteArray(Cmd, 2));

    // Nobody reads the device side: the write ends at its limit with what went in.
    Port.Timeouts()->SetWriteTotalMultiplier(0);
    Port.Timeouts()->SetWriteTotalConstant(200);
    QByteArray Big(4 * 1024 * 1024, 'z');
    QElapsedTimer T;
    T.start();
    int Written = Port.Write(Big.constData(), int(Big.size()));
    EXPECT_GT(Written, 0);
    EXPECT_LT(Written, Big.size());
    EXPECT_GE(T.elapsed(), 190);
    EXPECT_LT(T.elapsed(), 1000);
}

TEST_F(PortTest, TextConversionReplacesWhatTheCodePageLacks)
{
    Port.Open();
    // In the C locale the default code page is ASCII.
    std::string Was = setlocale(LC_CTYPE, nullptr);
    setlocale(LC_CTYPE, "C");
    EXPECT_EQ(Port.WriteStr(QString::fromUtf8("A\u263A\u00e9B")), 4);
    setlocale(LC_CTYPE, Was.c_str());
    EXPECT_EQ(Pty.Receive(4), QByteArray("A??B"));
    Port.SetCodePage(1252);
    EXPECT_EQ(Port.WriteUnicodeString(QString::fromUtf8("\u00e9\u20ac")), 2);
    EXPECT_EQ(Pty.Receive(2), QByteArray("\xE9\x80"));
    Pty.Send("\xE9");
    ASSERT_TRUE(PumpUntil([&] { return Port.InputCount() == 1; }));
    QString Str;
    EXPECT_EQ(Port.ReadUnicodeString(Str, 5), 1);
    EXPECT_EQ(Str, QString::fromUtf8("\u00e9"));
}

TEST_F(PortTest, LineStateOnAPtyHasNoLines)
{
    Port.Open();
    EXPECT_TRUE(Port.Signals().Empty());
    EXPECT_NO_THROW(Port.SetDTR(true));
    EXPECT_NO_THROW(Port.SetRTS(false));
    EXPECT_TRUE(Port.LastErrors().Empty());
    EXPECT_EQ(Port.OutputCount(), 0);
    const char Record[] = "OPEN PORT 10\r";
    Port.Write(Record, 13);
    EXPECT_EQ(Port.OutputDrainTime().count(), 0); // a pty has no line
    Pty.Send("xyz");
    ASSERT_TRUE(PumpUntil([&] { return Port.InputCount() == 3; }));
    Port.ClearBuffer(true, false);
    EXPECT_EQ(Port.InputCount(), 0);
}

TEST_F(PortTest, SettingPortReopensAndSyncMethodIsRefusedWhileOpen)
{
    Port.Open();
    Log.clear();
    Port.SetPort(Pty.Path());
    EXPECT_TRUE(Log.isEmpty());
    TPtyPair Other;
    Port.SetPort(Other.Path());
    EXPECT_EQ(Log, QStringList({"CTS0", "BeforeClose", "AfterClose", "BeforeOpen", "AfterOpen",
                                "CTS0"}));
    EXPECT_TRUE(Port.Connected());
    EComPort E = Raised([&] { Port.SetSyncMethod(smNone); });
    EXPECT_EQ(E.Code(), 14);
    EXPECT_EQ(Port.SyncMethod(), smThreadSync);
    Port.SetSyncMethod(smThreadSync); // same value: nothing
}

TEST(ComLineTime, FollowsTheRateAndTheCharacterFrame)
{
    using std::chrono::microseconds;
    EXPECT_EQ(LineTime(1, 9600, dbEight, false, sbOneStopBit), microseconds(1042)); // 10 bits
    EXPECT_EQ(LineTime(14, 9600, dbEight, false, sbOneStopBit), microseconds(14584));
    EXPECT_EQ(LineTime(3, 9600, dbSeven, true, sbTwoStopBits), microseconds(3438)); // 11 bits
    EXPECT_EQ(LineTime(2, 1000, dbFive, false, sbOne5StopBits), microseconds(15000)); // 7.5 bits
    EXPECT_EQ(LineTime(0, 9600, dbEight, false, sbOneStopBit), microseconds(0));
    EXPECT_EQ(LineTime(100, 0, dbEight, false, sbOneStopBit), microseconds(0));
    // A whole 64 KiB queue at 110 baud does not overflow.
    EXPECT_EQ(LineTime(65536, 110, dbEight, true, sbTwoStopBits), microseconds(7149381819));

    // What is still on the line comes from what was written and when, whatever the driver's
    // queue count says: a write's line time less the time since it was handed over; a write
    // made while the line is busy queues behind it; a purge of the output empties it.
    ComPlatform::TLineClock Line;
    const ComPlatform::TLineClock::TTime T0{std::chrono::seconds(100)};
    EXPECT_EQ(Line.Left(T0), microseconds(0));
    Line.Written(microseconds(14584), T0);
    EXPECT_EQ(Line.Left(T0), microseconds(14584));
    EXPECT_EQ(Line.Left(T0 + microseconds(10000)), microseconds(4584));
    EXPECT_EQ(Line.Left(T0 + microseconds(20000)), microseconds(0));
    Line.Written(microseconds(1042), T0 + microseconds(14000)); // mask byte, then its 0x0D
    Line.Written(microseconds(1042), T0 + microseconds(14100));
    EXPECT_EQ(Line.Left(T0 + microseconds(14200)), microseconds(2468));
    Line.Written(microseconds(1042), T0 + microseconds(30000)); // after the line fell idle
    EXPECT_EQ(Line.Left(T0 + microseconds(30000)), microseconds(1042));
    Line.Purged();
    EXPECT_EQ(Line.Left(T0 + microseconds(30000)), microseconds(0));
}

TEST(ComDeadline, RoundsUpNeverEndsAndHoldsAtTheClocksEnd)
{
    using ComPlatform::TDeadline;
    using std::chrono::microseconds;
    const TDeadline::TClock::time_point T0{std::chrono::seconds(100)};
    const TDeadline D = TDeadline::AfterMs(5, T0);
    // A wait of the milliseconds left must reach the deadline, never stop short of it.
    EXPECT_EQ(D.MsLeft(T0 + microseconds(100)), 5);
    EXPECT_EQ(D.MsLeft(T0 + microseconds(4001)), 1);
    EXPECT_FALSE(D.Expired(T0 + microseconds(4999)));
    EXPECT_TRUE(D.Expired(T0 + microseconds(5000)));
    EXPECT_EQ(D.MsLeft(T0 + microseconds(9000)), 0);
    EXPECT_EQ(TDeadline().MsLeft(T0), -1);
    EXPECT_FALSE(TDeadline().Expired(T0));
    EXPECT_EQ(TDeadline().Earlier(D).MsLeft(T0), 5);
    EXPECT_EQ(D.Earlier(TDeadline::AfterMs(2, T0)).MsLeft(T0), 2);
    // The largest timeouts the settings can hold neither wrap around nor overflow a wait.
    const TDeadline Far = TDeadline::AfterMs(UINT64_MAX, T0);
    EXPECT_FALSE(Far.Expired(T0));
    EXPECT_EQ(Far.MsLeft(T0), std::numeric_limits<int>::max());
}
