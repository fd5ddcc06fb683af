// Why a port failed, in plain words: the port, the cause and what to do. The one source of the
// line that follows a port's failure in the window's boxes and in morvel-smsctl's messages.
#pragma once

#include "port_facts.h"
#include "port_holders.h"

#include <QString>

// The line for a failure on Port with the system error Error: permission (EACCES, EPERM), held
// by another program (EBUSY), gone (ENOENT, ENODEV, ENXIO, EIO; a hang-up counts as EIO), no
// answer to the handshake (ETIMEDOUT), or the system's own words for anything else. Looks at
// the system as it is now: call it right after the failure.
QString PortFailureReason(const QString& Port, int Error);

// Whether Error means the device is not there any more.
bool DeviceGone(int Error);

// The cause and the fix when this user may not open a port (TPortAccess.CanUse false);
// "you may use it" otherwise.
QString AccessAdvice(const TPortAccess& Access);

// Who holds a port and how to free it; Holders empty: what can be said without seeing them.
QString HolderAdvice(const QString& Port, const QList<TPortHolder>& Holders);

// How to stop a program that is known to take serial ports (ModemManager, brltty); empty for
// others.
QString StopAdvice(const QString& Program);

// Points to morvel-smsctl doctor, for a reason line that it helps.
inline constexpr const char* DoctorHint = " (morvel-smsctl doctor checks every port.)";
