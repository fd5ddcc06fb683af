// The simulator's command line.
#pragma once

#include "relay_simulator.h"

#include <string>
#include <vector>

struct TSimCommandLine
{
    TSimOptions Sim;
    std::string Dir;              // empty: the per-user virtual port folder
    std::string Name = "relay-sim";
    std::string StateFile;        // empty: the configuration lives in memory only
    std::string LogFile;          // empty: the log goes to stderr (unless Quiet)
    std::string Device;           // empty: a pseudo-terminal of its own
    std::string Register;         // with Device: the port the registered link points to
    std::string OnHangup;         // a shell command run at the hang-up point
    bool Quiet = false;
    bool Paced = false;
    bool PrintPort = false;
    bool Help = false;
    bool Version = false;
};

// Arguments without the program name. Throws ESimError on an unknown option or a bad value.
TSimCommandLine ParseSimCommandLine(const std::vector<std::string>& Args);

// The option list printed by --help, after a first line naming the program as it was started.
extern const char* const SimUsage;

// $XDG_RUNTIME_DIR/serial, or /tmp/serial-<uid> when it is unset: where the tool's port dialog
// looks for virtual ports.
std::string DefaultPortFolder();
