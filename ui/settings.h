// The program's one settings file: the port that last reached the box, the folder Open and
// Save used last.
#pragma once

#include <QSettings>

// $XDG_CONFIG_HOME/morvel-sms-controller/morvel-sms-controller.conf, looked up at each use so it
// follows XDG_CONFIG_HOME as it is now (QSettings' own user scope takes the folder once per
// process, which the tests' private folders would not survive).
QSettings ProgramSettings();
