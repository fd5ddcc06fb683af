// morvel-smsctl's commands: back up, restore, compare and provision relay controllers.
#pragma once

#include <QStringList>
#include <cstdio>

extern const char* const SmsctlUsage;

// Runs one command line (without the program's name) and returns the exit status. Messages
// go to Errors; files written to standard output go to Output. Needs the message pump.
int RunSmsctl(const QStringList& Args, FILE* Output = stdout, FILE* Errors = stderr);
