// morvel-smsctl doctor: what stands between this user and the serial ports, one check a line.
#pragma once

#include <QStringList>
#include <cstdio>

// Checks Args' one port (a path or a name from the port list), or every listed port when Args
// is empty, and the system around them; prints one line per check to Output: "ok", "warning"
// (may get in the way) or "problem" (blocks), then what was found and the fix. Returns 0 when
// nothing blocks, 1 when something does. ESmsctl esUsage for more than one argument.
int RunDoctor(const QStringList& Args, FILE* Output);
