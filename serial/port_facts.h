// What the system tells about a serial port and this user's access to it, read without opening
// the port: for the reasons given with a failure and for morvel-smsctl doctor.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

struct TPortAccess
{
    QString Node;                // the device node the port resolves to; empty when there is none
    QString Owner, Group;        // the node's owner and group, by name
    unsigned Mode = 0;           // the node's permission bits
    bool CanUse = false;         // this process may open it for reading and writing
    bool InGroup = false;        // this process has the node's group
    bool GroupListsUser = false; // the group database lists this user in it (maybe since logging in)
};
TPortAccess PortAccess(const QString& Port);

// The name this process runs as ("ana"); the uid as text when the database does not know it.
QString UserName();

// The pid of a running process of that name ("ModemManager"), of any user; 0 when none runs.
qint64 RunningProgram(const QString& Name);

// udev's record of the device behind Port (ID_MM_DEVICE_IGNORE, ID_MM_CANDIDATE, ...): the
// properties udev stored for it; empty when udev keeps none.
QMap<QString, QString> UdevProperties(const QString& Port);

// The USB device behind Port: its sysfs folder, its VID:PID ("1a86:7523") and its runtime power
// setting ("auto" lets the kernel suspend it when idle, "on" keeps it awake). Empty for ports
// not on USB.
struct TUsbPower
{
    QString Device;
    QString Id;
    QString Control;
};
TUsbPower UsbPower(const QString& Port);

// brltty, the braille display driver, which on many distributions claims USB-serial adapters:
// its program's path (empty when not installed) and the USB ids ("1a86:7523") its udev rules
// take for braille displays.
struct TBrltty
{
    QString Program;
    QStringList ClaimedIds;
};
TBrltty Brltty();
