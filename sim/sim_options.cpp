#include "sim_options.h"

#include "serial/port_list.h"

#include <QFile>

#include <charconv>


const char* const SimUsage =
    "A relay controller on a pseudo-terminal, registered as DIR/NAME.\n"
    "  --device TTY         serve the existing TTY instead (raw, 9600 8N1, CLOCAL), e.g. the far\n"
    "                       end of a null-modem cable; when it hangs up (unplugged), wait for it\n"
    "                       to come back\n"
    "  --register PORT      with --device: link DIR/NAME to PORT, the port the tool opens\n"
    "                       (without it nothing is registered)\n"
    "  --dir DIR            folder of the port link (default $XDG_RUNTIME_DIR/serial,\n"
    "                       or /tmp/serial-UID)\n"
    "  --name NAME          name of the port link (default relay-sim)\n"
    "  --state FILE         load the configuration from FILE (as morvel-smsctl writes\n"
    "                       it; items left out keep their defaults), save it after\n"
    "                       each export\n"
    "  --log FILE           log to FILE instead of stderr\n"
    "  --quiet              no log on stderr\n"
    "  --print-port         print the link path (empty when none) and the pts or device path\n"
    "                       on stdout once ready\n"
    "  --paced              send one byte per 9600-baud byte time (1.04 ms)\n"
    "  --no-answer          ignore the connect request\n"
    "  --late-answer MS     answer the connect request after MS ms\n"
    "  --cr-before-answer   answer 0x0D \"1\" in one write\n"
    "  --bad-line N=TEXT    send TEXT as line N on a read (\\\\, \\xHH, \\r, \\n, \\t, \\0)\n"
    "  --hangup-after N     close the port and exit after N bytes of an export\n"
    "  --on-hangup CMD      run CMD with /bin/sh at that point first (on a device, the wiring's\n"
    "                       own way to pull the plug)\n"
    "  --export-timeout MS  abandon an export silent for MS ms (default 10000; 0 never)\n"
    "  --help               this text\n"
    "  --version            the version\n";

namespace {
std::int64_t Number(const std::string& Option, const std::string& Text, std::int64_t Max)
{
    std::int64_t Value = -1;
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if (Text.empty() || Error != std::errc() || End != Text.data() + Text.size() || Value < 0 || Value > Max)
        throw ESimError(Option + ": \"" + Text + "\" is not a number from 0 to " + std::to_string(Max));
    return Value;
}

void BadLine(TSimOptions& Sim, const std::string& Text)
{
    const size_t Equals = Text.find('=');
    if (Equals == std::string::npos)
        throw ESimError("--bad-line: expected N=TEXT, not \"" + Text + "\"");
    const auto Line = static_cast<int>(Number("--bad-line", Text.substr(0, Equals), ItemCount));
    if (Line < 1)
        throw ESimError("--bad-line: lines are 1 to 59");
    try {
        Sim.BadLines[Line] = UnescapeValue(Text.substr(Equals + 1));
    } catch (const ESimError& Error) {
        throw ESimError(std::string("--bad-line: ") + Error.what());
    }
}
} // namespace

TSimCommandLine ParseSimCommandLine(const std::vector<std::string>& Args)
{
    constexpr std::int64_t MaxMs = 24LL * 3600 * 1000;
    TSimCommandLine Line;
    for (size_t I = 0; I < Args.size(); ++I) {
        std::string Option = Args[I];
        std::optional<std::string> Inline;
        if (const size_t Equals = Option.find('='); Option.rfind("--", 0) == 0 && Equals != std::string::npos) {
            Inline = Option.substr(Equals + 1);
            Option.resize(Equals);
        }
        const auto Value = [&]() -> std::string {
            if (Inline)
                return *std::exchange(Inline, std::nullopt);
            if (I + 1 >= Args.size())
                throw ESimError(Option + " needs a value");
            return Args[++I];
        };
        if (Option == "--dir")
            Line.Dir = Value();
        else if (Option == "--name")
            Line.Name = Value();
        else if (Option == "--state")
            Line.StateFile = Value();
        else if (Option == "--log")
            Line.LogFile = Value();
        else if (Option == "--device")
            Line.Device = Value();
        else if (Option == "--register")
            Line.Register = Value();
        else if (Option == "--on-hangup")
            Line.OnHangup = Value();
        else if (Option == "--quiet")
            Line.Quiet = true;
        else if (Option == "--print-port")
            Line.PrintPort = true;
        else if (Option == "--paced")
            Line.Paced = true;
        else if (Option == "--no-answer")
            Line.Sim.NoAnswer = true;
        else if (Option == "--late-answer")
            Line.Sim.LateAnswerUs = Number(Option, Value(), MaxMs) * 1000;
        else if (Option == "--cr-before-answer")
            Line.Sim.CrBeforeAnswer = true;
        else if (Option == "--bad-line")
            BadLine(Line.Sim, Value());
        else if (Option == "--hangup-after")
            Line.Sim.HangupAfter = Number(Option, Value(), 1LL << 40);
        else if (Option == "--export-timeout")
            Line.Sim.ExportTimeoutUs = Number(Option, Value(), MaxMs) * 1000;
        else if (Option == "--help" || Option == "-h")
            Line.Help = true;
        else if (Option == "--version")
            Line.Version = true;
        else
            throw ESimError("unknown option " + Option);
        if (Inline)
            throw ESimError(Option + " takes no value");
    }
    if (Line.Name.empty() || Line.Name == "." || Line.Name == ".." || Line.Name.find('/') != std::string::npos)
        throw ESimError("--name: \"" + Line.Name + "\" is not a file name");
    if (!Line.Register.empty() && Line.Device.empty())
        throw ESimError("--register needs --device: a pseudo-terminal registers itself");
    if (Line.Dir.empty())
        Line.Dir = DefaultPortFolder();
    return Line;
}

std::string DefaultPortFolder() { return QFile::encodeName(UserPortFolder()).toStdString(); }
