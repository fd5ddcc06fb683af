// The simulator's end of the line: a pseudo-terminal whose slave side is registered as a link
// in the folder where the tool looks for virtual ports.
#pragma once

#include <string>

class TPtyPort
{
public:
    // Opens the pty, puts its line in raw mode and links Folder/Name to the slave. Creates the
    // folder (0700) when missing. Throws ESimError.
    TPtyPort(const std::string& Folder, const std::string& Name);
    ~TPtyPort();
    TPtyPort(const TPtyPort&) = delete;
    TPtyPort& operator=(const TPtyPort&) = delete;

    int Master() const { return FMaster; }
    const std::string& LinkPath() const { return FLink; }
    const std::string& SlavePath() const { return FSlavePath; }

    // Closes both sides and removes the link: the tool's next write fails.
    void Hangup();

private:
    void Unregister();

    int FMaster = -1;
    // Held open so that the master never sees a hang-up between the tool's open/close cycles.
    int FSlave = -1;
    std::string FSlavePath;
    std::string FLink;
};
