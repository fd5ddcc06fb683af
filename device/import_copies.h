// A copy of every completed import: what a box held before it was changed can always be sent
// back to it. The copies are configuration files in the user's data folder, named so that
// they sort by time; only the newest are kept.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

inline constexpr int ImportCopiesKept = 100;

// $XDG_DATA_HOME/morvel-sms-controller (~/.local/share/morvel-sms-controller by default).
QString ImportCopyFolder();

// "<date>-<time>-<port>[-<serial>].toml", e.g. 2026-12-09-221530-ttyUSB0-A10K3ZQ1.toml: the
// port's file name and the adapter's serial number, each with anything that does not belong
// in a file name replaced by "_".
QString ImportCopyName(const QDateTime& When, const QString& Port, const QString& Serial);

// The serial number of the USB adapter behind Port, empty when the system knows none.
QString AdapterSerialNumber(const QString& Port);

// Writes Text as Name into Folder (made, private to the user, when missing), whole or not at
// all, then removes the oldest copies beyond Kept; files not named like a copy are left alone.
// Returns the copy's path. Raises an exception naming the path and the cause.
QString KeepImportCopy(const QString& Folder, const QString& Name, const QByteArray& Text,
                       int Kept = ImportCopiesKept);
