// The platform's walks behind the port list (serial/port_list.h says what each finds and in
// which order). Private to the serial layer.
#pragma once

#include "serial/port_list.h"

#include <QString>
#include <functional>

namespace ComPlatform {

using TAddPort = std::function<void(const QString& Port)>;

// Hardware ports with a driver and a device node, in natural order.
void AddHardwarePorts(const TAddPort& Add, const TSerialDeviceRoots& Roots);
// Links in Roots.Dev that lead to a pseudo-terminal, in natural order.
void AddPseudoTerminalLinks(const TAddPort& Add, const TSerialDeviceRoots& Roots);
// The links in the per-user folder that lead somewhere, in natural order.
void AddUserPortLinks(const TAddPort& Add, const TSerialDeviceRoots& Roots);
// Why Folder cannot be trusted with port links; empty when it can.
QString UntrustedFolder(const QString& Folder);
// The links in Roots.Dev/serial/by-id that lead to the device behind Port.
QStringList StableNames(const QString& Port, const TSerialDeviceRoots& Roots);
bool IsCharacterDevice(const QString& Path);
// What sysfs and /dev tell of the device behind Port.
QString DescribePort(const QString& Port, const TSerialDeviceRoots& Roots);

} // namespace ComPlatform
