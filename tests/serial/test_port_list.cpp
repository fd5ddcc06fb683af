// The list of serial devices, read from a sysfs, /dev and per-user tree built by each test.
#include "core/exceptions.h"
#include "tests/support/qt_print.h"
#include "serial/port_list.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
class PortList : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Tree.isValid());
        Roots.SysClassTty = Tree.filePath(QStringLiteral("sys/class/tty"));
        Roots.Dev = Tree.filePath(QStringLiteral("dev"));
        Roots.UserPorts = Tree.filePath(QStringLiteral("run/serial"));
        Roots.SysDevices = Tree.filePath(QStringLiteral("sys/devices"));
        for (const QString& Dir : {Roots.SysClassTty, Roots.Dev + "/pts", Roots.UserPorts,
                                   Tree.filePath("sys/drivers")})
            ASSERT_TRUE(QDir().mkpath(Dir));
    }

    void Touch(const QString& Path)
    {
        QFile File(Path);
        ASSERT_TRUE(File.open(QIODevice::WriteOnly)) << Path.toStdString();
    }
    void Link(const QString& Target, const QString& Path)
    {
        ASSERT_EQ(
            ::symlink(QFile::encodeName(Target).constData(), QFile::encodeName(Path).constData()),
            0)
            << Path.toStdString();
    }
    // A tty entry as the kernel shows it; Driver empty = no driver-bound device (a virtual
    // terminal), Type empty = no type attribute. Its /dev node is made too.
    void Tty(const QString& Name, const QString& Driver, const QString& Type = {})
    {
        const QString Entry = Roots.SysClassTty + '/' + Name;
        ASSERT_TRUE(QDir().mkpath(Entry + "/device"));
        if (!Driver.isEmpty()) {
            const QString DriverDir = Tree.filePath("sys/drivers/" + Driver);
            QDir().mkpath(DriverDir);
            Link(DriverDir, Entry + "/device/driver");
        }
        if (!Type.isEmpty()) {
            QFile File(Entry + "/type");
            ASSERT_TRUE(File.open(QIODevice::WriteOnly));
            File.write(Type.toLatin1() + "\n");
        }
        Touch(Roots.Dev + '/' + Name);
    }
    QStringList Ports()
    {
        QStringList Result;
        EnumSerialPorts([&](const QString& Port) { Result << Port; }, Roots);
        return Result;
    }
    QString Dev(const QString& Name) const { return Roots.Dev + '/' + Name; }
    QString User(const QString& Name) const { return Roots.UserPorts + '/' + Name; }

    QTemporaryDir Tree;
    TSerialDeviceRoots Roots;
};
} // namespace

TEST(NaturalOrder, DigitRunsCompareByValue)
{
    const std::pair<const char*, const char*> Before[] = {
        {"ttyS2", "ttyS10"}, {"ttyS9", "ttyS10"}, {"ttyACM0", "ttyS0"}, {"ttyS", "ttyS0"},
        {"ttyUSB1", "ttyUSB1a"}, {"a2b9x", "a2b10"} /* the second run decides */, {"a01", "a1"},
        {"relay-sim", "relay-sim2"}, {"x007", "x8"},
    };
    for (auto [A, B] : Before) {
        EXPECT_TRUE(NaturalLess(A, B)) << A << " < " << B;
        EXPECT_FALSE(NaturalLess(B, A)) << B << " !< " << A;
    }
    EXPECT_FALSE(NaturalLess("ttyS3", "ttyS3"));
    EXPECT_FALSE(NaturalLess("a2b10", "a2b9"));
}

TEST_F(PortList, HardwarePortsWithADriverInNaturalOrder)
{
    Tty("ttyS10", "serial8250", "4");
    Tty("ttyUSB0", "ftdi_sio");
    Tty("ttyS2", "serial8250", "4");
    Tty("ttyACM0", "cdc_acm");
    Tty("tty0", "");    // a virtual terminal
    Tty("console", ""); // no device driver either
    EXPECT_EQ(Ports(), QStringList({Dev("ttyACM0"), Dev("ttyS2"), Dev("ttyS10"), Dev("ttyUSB0")}));
}

TEST_F(PortList, Empty8250SlotsAreLeftOut)
{
    Tty("ttyS0", "serial8250", "0");  // reserved slot, no UART behind it
    Tty("ttyS1", "serial8250", "4");  // a 16550A
    Tty("ttyS2", "port", "0");        // newer kernels bind ttyS to the serial-base "port" driver
    Tty("ttyS3", "port", "4");
    Tty("ttyXR0", "serial8250_exar", "0");
    Tty("ttyAMA0", "uart-pl011", "0"); // not of the 8250 family: its type means nothing here
    EXPECT_EQ(Ports(), QStringList({Dev("ttyAMA0"), Dev("ttyS1"), Dev("ttyS3")}));
}

TEST_F(PortList, HardwarePortWithoutDeviceNodeIsLeftOut)
{
    Tty("ttyUSB0", "ftdi_sio");
    Tty("ttyUSB1", "ftdi_sio");
    ASSERT_TRUE(QFile::remove(Dev("ttyUSB1")));
    EXPECT_EQ(Ports(), QStringList({Dev("ttyUSB0")}));
}

TEST_F(PortList, SocatLinksToPseudoTerminalsByLinkPath)
{
    Touch(Roots.Dev + "/pts/3");
    Touch(Roots.Dev + "/pts/12");
    Touch(Roots.Dev + "/pts/ptmx");
    Touch(Roots.Dev + "/other");
    Link(Roots.Dev + "/pts/3", Dev("ttyV10"));
    Link("pts/12", Dev("ttyV2"));          // relative, as ln -s makes it
    Link(Roots.Dev + "/pts/ptmx", Dev("ttyV3")); // the multiplexer is no terminal
    Link(Roots.Dev + "/other", Dev("ttyV4"));    // not a pseudo-terminal
    Link(Roots.Dev + "/pts/3", Dev("serialV5")); // not named tty*
    Link(Roots.Dev + "/pts/99", Dev("ttyV6"));   // dangling: socat has ended
    Touch(Dev("ttyPlain"));                      // a plain node without sysfs entry
    EXPECT_EQ(Ports(), QStringList({Dev("ttyV2"), Dev("ttyV10")}));
}

TEST_F(PortList, PerUserLinksInNameOrderDanglingLeftOut)
{
    const int Master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(Master, 0);
    ASSERT_EQ(::grantpt(Master), 0);
    ASSERT_EQ(::unlockpt(Master), 0);
    const QString Pty = QString::fromLatin1(::ptsname(Master));
    Link(Pty, User("relay-sim"));
    Link(Pty, User("bench10"));
    Link(Pty, User("bench9"));
    Link(Tree.filePath("gone"), User("stale")); // its simulator has ended
    Touch(User("notes.txt"));                   // no link: no port
    EXPECT_EQ(Ports(), QStringList({User("bench9"), User("bench10"), User("relay-sim")}));
    ::close(Master);
}

TEST_F(PortList, PerUserFolderInASharedPlaceCountsOnlyWhenPrivate)
{
    // /tmp as the fallback folder's place: anyone may create there, no one may rename others'.
    const QString Shared = Tree.filePath("tmp");
    ASSERT_TRUE(QDir().mkpath(Shared));
    ASSERT_EQ(::chmod(QFile::encodeName(Shared).constData(), 01777), 0);
    Roots.UserPorts = Shared + "/serial-1";
    ASSERT_TRUE(QDir().mkpath(Roots.UserPorts));
    const auto Mode = [&](mode_t M) { return ::chmod(QFile::encodeName(Roots.UserPorts).constData(), M); };
    ASSERT_EQ(Mode(0700), 0);
    Touch(Dev("pts/7"));
    Link(Dev("pts/7"), User("relay-sim"));
    EXPECT_EQ(Ports(), QStringList({User("relay-sim")}));
    EXPECT_EQ(UntrustedPortFolder(Roots.UserPorts), "");

    ASSERT_EQ(Mode(0777), 0); // another user could plant a port
    EXPECT_TRUE(Ports().isEmpty());
    EXPECT_EQ(UntrustedPortFolder(Roots.UserPorts), Roots.UserPorts + " is writable by other users");
    ASSERT_EQ(Mode(0700), 0);

    // A link in place of the folder, even to a private one of the user's own.
    const QString Real = Shared + "/real";
    ASSERT_TRUE(QDir().rename(Roots.UserPorts, Real));
    Link(Real, Roots.UserPorts);
    EXPECT_TRUE(Ports().isEmpty());
    EXPECT_EQ(UntrustedPortFolder(Roots.UserPorts), Roots.UserPorts + " is a link");

    // Outside a shared place the same folder counts as it is.
    Roots.UserPorts = Real;
    EXPECT_EQ(Ports(), QStringList({Real + "/relay-sim"}));
}

TEST_F(PortList, GroupsComeHardwareThenSocatThenPerUser)
{
    Touch(Roots.Dev + "/pts/4");
    Link(Roots.Dev + "/pts/4", User("a-first-by-name"));
    Link(Roots.Dev + "/pts/4", Dev("ttyV0"));
    Tty("ttyUSB0", "ftdi_sio");
    EXPECT_EQ(Ports(), QStringList({Dev("ttyUSB0"), Dev("ttyV0"), User("a-first-by-name")}));
}

TEST_F(PortList, MissingFoldersGiveNoPorts)
{
    Roots.SysClassTty = Tree.filePath("none1");
    Roots.Dev = Tree.filePath("none2");
    Roots.UserPorts = Tree.filePath("none3");
    EXPECT_TRUE(Ports().isEmpty());
}

TEST_F(PortList, LinkThatLeadsNowhereIsLeftOutAndTheWalkGoesOn)
{
    Touch(Roots.Dev + "/pts/1");
    Tty("ttyUSB0", "ftdi_sio");
    Link(Roots.Dev + "/pts/1", User("a-ok"));
    Link(User("b-loop"), User("b-loop")); // exists, but resolving it never ends
    Link(Roots.Dev + "/pts/1", User("c-after"));
    EXPECT_EQ(Ports(), QStringList({Dev("ttyUSB0"), User("a-ok"), User("c-after")}));
}

TEST_F(PortList, LinkInAFolderWithoutSearchPermissionIsLeftOut)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    Touch(Roots.Dev + "/pts/1");
    Link(Roots.Dev + "/pts/1", Dev("ttyV0"));
    ASSERT_TRUE(QFile::setPermissions(Roots.Dev, QFile::ReadOwner)); // names visible, links not
    EXPECT_TRUE(Ports().isEmpty());
    QFile::setPermissions(Roots.Dev, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(UserPortFolder, RuntimeDirOrTmpPerUser)
{
    const QByteArray Saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", "/run/user/1234");
    EXPECT_EQ(UserPortFolder(), "/run/user/1234/serial");
    EXPECT_EQ(TSerialDeviceRoots().UserPorts, "/run/user/1234/serial");
    const QString Fallback = QStringLiteral("/tmp/serial-%1").arg(::getuid());
    qputenv("XDG_RUNTIME_DIR", "");
    EXPECT_EQ(UserPortFolder(), Fallback);
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(UserPortFolder(), Fallback);
    if (!Saved.isNull())
        qputenv("XDG_RUNTIME_DIR", Saved);
}

TEST_F(PortList, FactsTellTwoUsbCablesApart)
{
    // Two FTDI cables alike but for their serial numbers, and one on-board port.
    for (const auto& [Tty, Serial] : {std::pair{"ttyUSB0", "A50285BI"}, std::pair{"ttyUSB1", "B7711QX"}}) {
        const QString Usb = Tree.filePath(QStringLiteral("sys/devices/pci0/usb1/1-%1").arg(Tty[6]));
        const QString Interface = Usb + "/1-x:1.0/" + Tty;
        ASSERT_TRUE(QDir().mkpath(Interface));
        for (const auto& [File, Text] : {std::pair{"idVendor", "0403"}, std::pair{"idProduct", "6001"},
                                         std::pair{"manufacturer", "FTDI"},
                                         std::pair{"product", "FT232R USB UART"},
                                         std::pair{"serial", Serial}}) {
            QFile F(Usb + '/' + File);
            ASSERT_TRUE(F.open(QIODevice::WriteOnly));
            F.write(QByteArray(Text) + "\n");
        }
        const QString Entry = Roots.SysClassTty + '/' + Tty;
        ASSERT_TRUE(QDir().mkpath(Entry));
        Link(Interface, Entry + "/device");
        QDir().mkpath(Tree.filePath("sys/drivers/ftdi_sio"));
        Link(Tree.filePath("sys/drivers/ftdi_sio"), Interface + "/driver");
        Touch(Dev(Tty));
        QDir().mkpath(Roots.Dev + "/serial/by-id");
        Link(QStringLiteral("../../%1").arg(Tty),
             Roots.Dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_" + Serial + "-if00-port0");
    }
    Tty("ttyS0", "serial8250", "4");
    // Newer kernels put the serial core's "port" and "ctrl" devices between a UART's tty and
    // its driver: the UART's driver is named, not theirs.
    const QString Uart = Tree.filePath("sys/devices/platform/serial8250");
    const QString Ctrl = Uart + "/serial8250:0", PortDevice = Ctrl + "/serial8250:0.1";
    ASSERT_TRUE(QDir().mkpath(PortDevice));
    ASSERT_TRUE(QDir().mkpath(Tree.filePath("sys/bus/serial-base")));
    for (const auto& [Device, Driver] : {std::pair{PortDevice, "port"}, std::pair{Ctrl, "ctrl"},
                                         std::pair{Uart, "serial8250"}}) {
        QDir().mkpath(Tree.filePath("sys/drivers/") + Driver);
        Link(Tree.filePath("sys/drivers/") + Driver, Device + "/driver");
        if (Device != Uart)
            Link(Tree.filePath("sys/bus/serial-base"), Device + "/subsystem");
    }
    ASSERT_TRUE(QDir().mkpath(Roots.SysClassTty + "/ttyS1"));
    Link(PortDevice, Roots.SysClassTty + "/ttyS1/device");
    Touch(Dev("ttyS1"));
    ASSERT_EQ(Ports(), QStringList({Dev("ttyS0"), Dev("ttyS1"), Dev("ttyUSB0"), Dev("ttyUSB1")}));

    EXPECT_EQ(DescribeSerialPort(Dev("ttyUSB1"), Roots),
              "Manufacturer: FTDI\nProduct: FT232R USB UART\nSerial number: B7711QX\n"
              "VID:PID: 0403:6001\nStable name: " + Roots.Dev +
                  "/serial/by-id/usb-FTDI_FT232R_USB_UART_B7711QX-if00-port0\nDriver: ftdi_sio");
    EXPECT_EQ(DescribeSerialPort(Dev("ttyS0"), Roots), "Driver: serial8250");
    EXPECT_EQ(DescribeSerialPort(Dev("ttyS1"), Roots), "Driver: serial8250");
    // A virtual port names the pseudo-terminal behind it.
    Touch(Roots.Dev + "/pts/7");
    Link(Roots.Dev + "/pts/7", User("relay-sim"));
    EXPECT_EQ(DescribeSerialPort(User("relay-sim"), Roots), "Virtual port: " + Roots.Dev + "/pts/7");
}
