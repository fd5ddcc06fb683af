// The state file and the command line of the simulator.
#include "sim/sim_options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include <unistd.h>

namespace {
using namespace std::string_literals;

std::string TempPath(const char* Name)
{
    return ::testing::TempDir() + "/" + Name + "-" + std::to_string(::getpid());
}
} // namespace

TEST(SimState, EscapesRoundTripEveryByte)
{
    std::string All;
    for (int B = 0; B < 256; ++B)
        All += static_cast<char>(B);
    const std::string Text = EscapeValue(All);
    for (const char C : Text)
        EXPECT_TRUE(C >= 0x20 && C <= 0x7E) << int(C);
    EXPECT_EQ(UnescapeValue(Text), All);
    EXPECT_EQ(EscapeValue(" a b "), "\\x20a b\\x20"); // edge blanks survive editors
    EXPECT_EQ(EscapeValue("a\\b"), "a\\\\b");
    EXPECT_EQ(UnescapeValue("\\r\\n\\t\\0\\x41"), "\r\n\t\0A"s);
    for (const char* Bad : {"\\", "\\x4", "\\xg0", "\\q"})
        EXPECT_THROW(UnescapeValue(Bad), ESimError) << Bad;
}

TEST(SimState, TheStateIsTheConfigurationFileAndKeepsEveryByte)
{
    TRelayConfig Config = DefaultRelayConfig();
    Config.Value(1) = "\x00\x01\t\xff\\ end "s;
    Config.Value(55) = "status"; // longer than its field: the box holds it whole all the same
    Config.Value(26) = "+98912";
    Config.Value(33) = "13";
    Config.Value(56) = "0";
    const std::string Path = TempPath("state");
    SaveRelayState(Path, Config);
    EXPECT_EQ(LoadRelayState(Path), Config);
    std::ifstream File(Path);
    std::stringstream Text;
    Text << File.rdbuf();
    // As a read of the box gives it: the user's telephone number, masks as their boxes.
    for (const char* Line : {"\nrelay.1.on = \"\\u0000\\u0001\\t\\u00FF\\\\ end \"\n",
                             "\ntelephone.2.number = \"0912\"\n", "\ntelephone.1.incoming = true\n",
                             "\ntelephone.2.incoming = false\n", "\nfeedback = false\n"})
        EXPECT_NE(Text.str().find(Line), std::string::npos) << Line << Text.str();
    std::remove(Path.c_str());
    EXPECT_EQ(LoadRelayState(Path), DefaultRelayConfig()); // a first run has no file yet
    // What is there but no state file is refused, not read for ever nor taken as empty.
    for (const std::string& Odd : {::testing::TempDir(), std::string("/dev/zero")})
        EXPECT_THROW(LoadRelayState(Odd), ESimError) << Odd;
}

TEST(SimState, ItemsLeftOutKeepDefaultsAndBadValuesNameTheirPlace)
{
    const TRelayConfig Config = ParseRelayState("# comment\r\nrelay.1.off = \"two\"\r\n[relay.5]\nstate = true\n");
    EXPECT_EQ(Config.Value(2), "two");
    EXPECT_EQ(Config.Value(58), "16");
    EXPECT_EQ(Config.Value(1), "rel1=on");
    EXPECT_EQ(Config.Value(25), "+989xxxxxxxxx");

    for (const char* Bad : {"relay.1.on = 5", "relay.1.on = \"a\\rb\"", "relay.13.on = \"x\"", "x = 1",
                            "relay.1.on = \"a\"\nrelay.1.on = \"b\"", "feedback = 1", "feedback = \"1\"",
                            "relay.1.on = \"\\u0100\"", "relay.1.on ="})
        EXPECT_THROW(ParseRelayState(Bad), ESimError) << Bad;
    try {
        ParseRelayState("# ok\nrelay.1.on = \"fine\"\nfeedback = \"yes\"\n", "box.toml");
        FAIL();
    } catch (const ESimError& Error) {
        EXPECT_EQ(std::string(Error.what()), "box.toml:3:12: feedback is a text; expected true or false");
    }

    // What would make the TOML parser recurse out of its stack is refused at its place first;
    // brackets and dots inside texts and comments are characters, not nesting.
    std::string Dotted = "# [[[[ a.b.c\n";
    for (int I = 0; I < 35000; ++I)
        Dotted += "a.";
    const std::vector<std::pair<std::string, std::string>> Deep = {
        {Dotted + "a = 1\n", "box.toml:2:128: a key of more than 64 dotted parts"},
        {"relay.1.on = " + std::string(70000, '[') + "\n", "box.toml:1:78: arrays or tables nested more than 64 deep"},
        {"relay.1.on = {a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a="
         "{a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a={a=",
         "box.toml:1:206: arrays or tables nested more than 64 deep"}};
    for (const auto& [Text, Expected] : Deep) {
        try {
            ParseRelayState(Text, "box.toml");
            ADD_FAILURE() << Expected;
        } catch (const ESimError& Error) {
            EXPECT_EQ(std::string(Error.what()).substr(0, Expected.size()), Expected);
        }
    }
    const std::string Brackets(200, '[');
    const std::string Dots(200, '.');
    const TRelayConfig Texts = ParseRelayState("relay.1.on = \"" + Brackets + Dots + "\\\"" + Brackets +
                                               "\" # " + Brackets + "\nrelay.1.off = '" + Dots + "'\n"
                                               "relay.2.on = \"\"\"" + Brackets + "\"\"\"\"\n");
    EXPECT_EQ(Texts.Value(1), Brackets + Dots + "\"" + Brackets);
    EXPECT_EQ(Texts.Value(2), Dots);
    EXPECT_EQ(Texts.Value(3), Brackets + "\"");
}

TEST(SimOptions, ParsesEveryOption)
{
    const auto Line = ParseSimCommandLine({"--dir", "/d", "--name=port7", "--state", "s", "--log", "l",
                                           "--quiet", "--paced", "--print-port", "--no-answer",
                                           "--late-answer", "1500", "--cr-before-answer", "--bad-line",
                                           "34=abc", "--bad-line=1=\\x0d", "--hangup-after", "100",
                                           "--export-timeout", "0"});
    EXPECT_EQ(Line.Dir, "/d");
    EXPECT_EQ(Line.Name, "port7");
    EXPECT_EQ(Line.StateFile, "s");
    EXPECT_EQ(Line.LogFile, "l");
    EXPECT_TRUE(Line.Quiet && Line.Paced && Line.PrintPort && Line.Sim.NoAnswer && Line.Sim.CrBeforeAnswer);
    EXPECT_EQ(Line.Sim.LateAnswerUs, 1'500'000);
    EXPECT_EQ(Line.Sim.BadLines.at(34), "abc");
    EXPECT_EQ(Line.Sim.BadLines.at(1), "\r");
    EXPECT_EQ(Line.Sim.HangupAfter, 100);
    EXPECT_EQ(Line.Sim.ExportTimeoutUs, 0);

    const auto Plain = ParseSimCommandLine({});
    EXPECT_EQ(Plain.Name, "relay-sim");
    EXPECT_EQ(Plain.Dir, DefaultPortFolder());
    EXPECT_FALSE(Plain.Sim.HangupAfter);
}

TEST(SimOptions, RejectsWhatItCannotUse)
{
    for (const std::vector<std::string>& Bad :
         std::vector<std::vector<std::string>>{{"--bogus"}, {"--late-answer"}, {"--late-answer", "-5"},
                                               {"--late-answer", "1s"}, {"--bad-line", "60=x"},
                                               {"--bad-line", "0=x"}, {"--bad-line", "abc"},
                                               {"--name", "a/b"}, {"--name", ".."}, {"--quiet=1"},
                                               {"--hangup-after", ""}})
        EXPECT_THROW(ParseSimCommandLine(Bad), ESimError) << Bad[0];
}

TEST(SimOptions, DefaultFolderFollowsTheRuntimeDirectory)
{
    const char* Saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string Keep = Saved ? Saved : "";
    ::setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(DefaultPortFolder(), "/run/user/4242/serial");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(DefaultPortFolder(), "/tmp/serial-" + std::to_string(::getuid()));
    if (Saved)
        ::setenv("XDG_RUNTIME_DIR", Keep.c_str(), 1);
}
