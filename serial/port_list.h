// The system's record of serial devices: the ports the port dialog offers, as full device paths.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The folder where virtual ports of this user are registered as symlinks (the relay controller
// simulator puts "relay-sim" there): $XDG_RUNTIME_DIR/serial, or /tmp/serial-<uid> when the
// variable is unset or empty.
QString UserPortFolder();

// Why Folder cannot be trusted with this user's port links, or an empty text when it can. In a
// place other users may write to (as /tmp, where the folder lies when XDG_RUNTIME_DIR is unset)
// anyone could plant a port there that receives the configuration, so the folder counts only
// when it is a folder of this user's own, not a link, writable by no one else. A place that
// belongs to another user is never trusted. A folder that does not exist holds nothing.
QString UntrustedPortFolder(const QString& Folder);

// Where the devices are looked for. The defaults are the system's own places; tests point them
// at a tree of their own.
struct TSerialDeviceRoots
{
    QString SysDevices = QStringLiteral("/sys/devices"); // no USB facts are looked for above it
    QString SysClassTty = QStringLiteral("/sys/class/tty");
    QString Dev = QStringLiteral("/dev");
    QString UserPorts = UserPortFolder();
};

// Hands each serial device path to Add, in this order, without opening any port:
//  1. hardware ports: /sys/class/tty entries whose device has a driver and whose node exists in
//     Dev, leaving out 8250-family ports with no UART behind them (type 0); natural name order;
//  2. symlinks Dev/tty* that resolve to a pseudo-terminal (Dev/pts/N), as made by socat's
//     pty,link=; natural name order;
//  3. every symlink in UserPorts, in natural name order, unless the folder is not to be trusted
//     (UntrustedPortFolder).
// Virtual ports are given by the path of their link. Links that lead to nothing (dangling, a
// loop, out of reach) are left out, and the walk goes on.
void EnumSerialPorts(const std::function<void(const QString& Port)>& Add,
                     const TSerialDeviceRoots& Roots = {});

// What the system knows of the device behind Port, one fact a line, for telling two cables
// apart: for a USB adapter its manufacturer, product, serial number, VID:PID and stable
// Dev/serial/by-id name; the driver of other hardware ports; the pseudo-terminal behind a
// virtual port. Empty when nothing is known. Reads sysfs and /dev only, never opens the port.
QString DescribeSerialPort(const QString& Port, const TSerialDeviceRoots& Roots = {});

// The Dev/serial/by-id links that lead to the device behind Port, in natural order: the names
// that stay the same for one USB adapter whichever number the system gives it. Empty for ports
// that have none (built-in and virtual ports).
QStringList StableSerialPortNames(const QString& Port, const TSerialDeviceRoots& Roots = {});

// True when Path (links followed) is a character device: something a port could be opened on.
bool IsCharacterDevice(const QString& Path);

// True when A sorts before B with runs of digits compared by value ("ttyS2" before "ttyS10").
bool NaturalLess(const QString& A, const QString& B);
