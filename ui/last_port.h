// The port that last reached the device, kept across runs so the port dialog offers it first.
#pragma once

#include <QString>

// Stores Port under the user's configuration folder ($XDG_CONFIG_HOME), by its
// /dev/serial/by-id name where it has one, so the same adapter is found again when the system
// numbers it differently. A failure to store is not the connection's business and is ignored.
void RememberLastPort(const QString& Port);

// What was stored: a by-id name, or the port's own path; empty when nothing was.
QString LastPort();

// True when Entry names the same port as Remembered: the same path, or the same device.
bool SamePort(const QString& Entry, const QString& Remembered);
