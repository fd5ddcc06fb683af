// The simulator's end of the line: a pseudo-terminal of its own, or an existing tty (the far
// end of a real serial wiring), and the link in the folder where the tool looks for virtual
// ports.
#pragma once

#include <string>

class TSimPort
{
public:
    // Opens a pty, puts its line in raw mode and links Folder/Name to the slave.
    TSimPort(const std::string& Folder, const std::string& Name);
    // Serves the tty Device: raw, 9600 baud 8N1, no flow control, CLOCAL. Folder/Name is linked
    // to Register, the port the tool should open; nothing is linked when Register is empty.
    TSimPort(const std::string& Folder, const std::string& Name, const std::string& Device,
             const std::string& Register);
    // Both create the folder (0700) when missing and throw ESimError.
    ~TSimPort();
    TSimPort(const TSimPort&) = delete;
    TSimPort& operator=(const TSimPort&) = delete;

    // The descriptor to serve; -1 while a device is gone.
    int Fd() const { return FFd; }
    const std::string& LinkPath() const { return FLink; }
    // The simulator's own side: the pts, or the device.
    const std::string& LinePath() const { return FLinePath; }
    bool IsDevice() const { return FDevice; }

    // A device that hung up (unplugged) is closed; Reopen then tries to open it again and
    // tells whether it is back.
    void CloseDevice();
    bool Reopen();

    // Closes the line and removes the link: the tool's next write fails (on a pty).
    void Hangup();

private:
    void Register(const std::string& Folder, const std::string& Name, const std::string& Target);
    void Unregister();
    void OpenDevice();

    int FFd = -1;
    // Held open so that the pty master never sees a hang-up between the tool's open/close cycles.
    int FSlave = -1;
    bool FDevice = false;
    std::string FLinePath;
    std::string FLink;
    std::string FLinkTarget;
};
