// What the system can tell about a port and the user's access to it, read without opening the
// port: its lock file, the processes that have it open, its node's group. Private to the serial
// layer.
#pragma once

#include "serial/port_holders.h"

#include <QString>
#include <string>

class QByteArray;

#include <sys/types.h>

namespace ComPlatform {

// Where the field's lock files live.
inline constexpr char LockFolder[] = "/run/lock";

// The field's lock file for the device Path names: /run/lock/LCK.. and the device's name under
// /dev, slashes as underscores ("ttyUSB0", "pts_3"). Empty when Path names nothing.
std::string LockPath(const QByteArray& Path);

// The pid a lock file open as Fd names; 0 when it names none.
pid_t LockOwner(int Fd);
// Whether a process Pid exists (of any user).
bool Alive(pid_t Pid);
// A process's name from /proc ("ModemManager"); empty when it is gone.
QString ProgramName(qint64 Pid);

QList<TPortHolder> PortHolders(const QString& Port);

} // namespace ComPlatform
