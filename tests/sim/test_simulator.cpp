// The device's side of the exchange, driven byte by byte with a synthetic clock.
#include "sim/relay_simulator.h"

#include <gtest/gtest.h>

namespace {
using namespace std::string_literals;

constexpr std::int64_t Ms = 1000;

std::string Joined(const std::vector<TSimWrite>& Writes)
{
    std::string All;
    for (const TSimWrite& W : Writes)
        All += W.Bytes;
    return All;
}

std::vector<TSimEvent> OfKind(const std::vector<TSimEvent>& Events, TSimEventKind Kind)
{
    std::vector<TSimEvent> Found;
    for (const TSimEvent& E : Events)
        if (E.Kind == Kind)
            Found.push_back(E);
    return Found;
}

// The 59 export records of the configuration at delivery, written out as the wire carries them.
std::vector<std::string> DefaultRecords()
{
    std::vector<std::string> R;
    for (int Relay = 1; Relay <= 12; ++Relay) {
        R.push_back("rel" + std::to_string(Relay) + "=on\r");
        R.push_back("rel" + std::to_string(Relay) + "=off\r");
    }
    R.push_back("+989xxxxxxxxx\r");
    for (int I = 0; I < 7; ++I)
        R.push_back("\r");
    R.push_back("\x00\r"s);
    R.push_back("\x00\r"s);
    for (int Input = 1; Input <= 10; ++Input)
        R.push_back("OPEN PORT " + std::to_string(Input) + "\r");
    for (int Input = 1; Input <= 10; ++Input)
        R.push_back("CLOSE PORT " + std::to_string(Input) + "\r");
    R.push_back("get\r");
    R.push_back("\x01\r");
    R.push_back("\x01\r");
    R.push_back("\x00\r"s);
    R.push_back("\x00\r"s);
    return R;
}

// Sends an export with each record 450 ms after the last; returns the time after the last byte.
std::int64_t Export(TRelaySimulator& Sim, const std::vector<std::string>& Records, std::int64_t T = 0,
                    bool Final = true)
{
    Sim.Receive("\x19\x1b", T);
    for (const std::string& Record : Records)
        Sim.Receive(Record, T += 450 * Ms);
    if (Final)
        Sim.Receive("\r", T += 450 * Ms);
    return T;
}

// The lines a read request produces, without their CR LF.
std::vector<std::string> ReadLines(TRelaySimulator& Sim, std::int64_t T)
{
    Sim.TakeWrites();
    Sim.Receive("\x19\x1a", T);
    std::vector<std::string> Lines;
    for (const TSimWrite& W : Sim.TakeWrites()) {
        EXPECT_EQ(W.Bytes.substr(W.Bytes.size() - 2), "\r\n");
        Lines.push_back(W.Bytes.substr(0, W.Bytes.size() - 2));
    }
    return Lines;
}
} // namespace

TEST(SimConnect, AnswersWithExactlyTheByteOne)
{
    TRelaySimulator Sim;
    Sim.Receive("\x19\x18", 5 * Ms);
    const auto Writes = Sim.TakeWrites();
    ASSERT_EQ(Writes.size(), 1u);
    EXPECT_EQ(Writes[0].Bytes, "1");
    EXPECT_TRUE(Writes[0].Whole);
    const auto Events = Sim.TakeEvents();
    ASSERT_EQ(Events.size(), 2u);
    EXPECT_EQ(FormatSimEvent(Events[0]), "5.000 request connect 19 18");
    EXPECT_EQ(FormatSimEvent(Events[1]), "5.000 answer 31");
}

TEST(SimConnect, RequestSplitOverTwoReadsIsStillOne)
{
    TRelaySimulator Sim;
    Sim.Receive("\x19", 0);
    EXPECT_TRUE(Sim.TakeWrites().empty());
    Sim.Receive("\x18", 1);
    EXPECT_EQ(Joined(Sim.TakeWrites()), "1");
}

TEST(SimConnect, FaultOptions)
{
    TSimOptions Silent;
    Silent.NoAnswer = true;
    TRelaySimulator Mute(Silent);
    Mute.Receive("\x19\x18", 0);
    EXPECT_TRUE(Mute.TakeWrites().empty());
    EXPECT_FALSE(Mute.NextDeadline());

    TSimOptions Late;
    Late.LateAnswerUs = 1500 * Ms;
    TRelaySimulator Slow(Late);
    Slow.Receive("\x19\x18", 100 * Ms);
    EXPECT_TRUE(Slow.TakeWrites().empty());
    EXPECT_EQ(Slow.NextDeadline(), 1600 * Ms);
    Slow.Advance(1599 * Ms);
    EXPECT_TRUE(Slow.TakeWrites().empty());
    Slow.Advance(1600 * Ms);
    EXPECT_EQ(Joined(Slow.TakeWrites()), "1");
    EXPECT_FALSE(Slow.NextDeadline());

    TSimOptions Cr;
    Cr.CrBeforeAnswer = true;
    TRelaySimulator Early(Cr);
    Early.Receive("\x19\x18", 0);
    const auto Writes = Early.TakeWrites();
    ASSERT_EQ(Writes.size(), 1u); // one write, so the tool sees the 0x0D first in one event
    EXPECT_EQ(Writes[0].Bytes, "\r1");
}

TEST(SimRead, SendsTheDefaultLinesInOrder)
{
    TRelaySimulator Sim;
    const auto Lines = ReadLines(Sim, 0);
    ASSERT_EQ(Lines.size(), 59u);
    EXPECT_EQ(Lines[0], "rel1=on");
    EXPECT_EQ(Lines[23], "rel12=off");
    EXPECT_EQ(Lines[24], "+989xxxxxxxxx"); // the tool turns the first "+98" back into "0"
    for (int Line = 26; Line <= 32; ++Line)
        EXPECT_EQ(Lines[Line - 1], "") << Line;
    for (int Line : {33, 34, 58, 59})
        EXPECT_EQ(Lines[Line - 1], "0") << Line;
    EXPECT_EQ(Lines[34], "OPEN PORT 1");
    EXPECT_EQ(Lines[53], "CLOSE PORT 10");
    EXPECT_EQ(Lines[54], "get");
    EXPECT_EQ(Lines[55], "1");
    EXPECT_EQ(Lines[56], "1");
    const auto Logged = OfKind(Sim.TakeEvents(), TSimEventKind::Line);
    ASSERT_EQ(Logged.size(), 59u);
    EXPECT_EQ(FormatSimEvent(Logged[54]), "0.000 line 55 67 65 74 0d 0a");
}

TEST(SimRead, BadLineReplacesOnlyItsLine)
{
    TSimOptions Options;
    Options.BadLines[34] = "abc";
    TRelaySimulator Sim(Options);
    const auto Lines = ReadLines(Sim, 0);
    ASSERT_EQ(Lines.size(), 59u);
    EXPECT_EQ(Lines[33], "abc");
    EXPECT_EQ(Lines[32], "0");
    EXPECT_EQ(Sim.Config().Value(34), "0"); // what it holds is unchanged
}

TEST(SimExport, DefaultExportIsTheKnown502BytesAndStoresTheDefaults)
{
    const auto Records = DefaultRecords();
    size_t Bytes = 2 + 1;
    for (const auto& R : Records)
        Bytes += R.size();
    ASSERT_EQ(Bytes, 502u);

    TSimOptions Options;
    TRelayConfig Changed = DefaultRelayConfig();
    Changed.Value(1) = "x";
    TRelaySimulator Sim(Options, Changed);
    Export(Sim, Records);
    EXPECT_TRUE(Sim.TakeStored());
    EXPECT_EQ(Sim.Config(), DefaultRelayConfig());
    const auto Events = Sim.TakeEvents();
    const auto Logged = OfKind(Events, TSimEventKind::Record);
    ASSERT_EQ(Logged.size(), 59u);
    for (size_t I = 1; I < Logged.size(); ++I)
        EXPECT_EQ(Logged[I].TimeUs - Logged[I - 1].TimeUs, 450 * Ms);
    EXPECT_EQ(FormatSimEvent(Logged[32]), "14850.000 record 33 00 0d");
    EXPECT_EQ(OfKind(Events, TSimEventKind::End).size(), 1u);
    EXPECT_TRUE(OfKind(Events, TSimEventKind::Ignored).empty());
}

TEST(SimExport, CustomConfigurationComesBackOnRead)
{
    auto Records = DefaultRecords();
    Records[0] = "\x01\x7f\xa0\xe9 odd\r";
    Records[24] = "9xx+98xx\r";  // the wire form of 9xx0xx
    Records[25] = "+98+98\r";
    Records[32] = "\x0d\r";      // mask 13: the raw byte is itself a carriage return
    Records[33] = "\x0a\r";      // mask 10: a line feed
    Records[54] = "\r";          // an empty text
    Records[55] = "\x00\r"s;
    Records[57] = "\xff\r";
    Records[58] = "\x0f\r";
    TRelaySimulator Sim;
    const std::int64_t T = Export(Sim, Records);
    ASSERT_TRUE(Sim.TakeStored());
    const auto Lines = ReadLines(Sim, T + Ms);
    ASSERT_EQ(Lines.size(), 59u);
    EXPECT_EQ(Lines[0], "\x01\x7f\xa0\xe9 odd");
    EXPECT_EQ(Lines[24], "9xx+98xx");
    EXPECT_EQ(Lines[25], "+98+98");
    EXPECT_EQ(Lines[32], "13");
    EXPECT_EQ(Lines[33], "10");
    EXPECT_EQ(Lines[54], "");
    EXPECT_EQ(Lines[55], "0");
    EXPECT_EQ(Lines[56], "1");
    EXPECT_EQ(Lines[57], "255");
    EXPECT_EQ(Lines[58], "15");
}

TEST(SimExport, WholeExportInOneReadParsesTheSame)
{
    auto Records = DefaultRecords();
    Records[32] = "\x0d\r";
    Records[58] = "\x0a\r";
    std::string All = "\x19\x1b";
    for (const auto& R : Records)
        All += R;
    All += "\r\x19\x18"; // a connect right behind the final 0x0D is a request again
    TRelaySimulator Sim;
    Sim.Receive(All, 0);
    ASSERT_TRUE(Sim.TakeStored());
    EXPECT_EQ(Sim.Config().Value(33), "13");
    EXPECT_EQ(Sim.Config().Value(59), "10");
    EXPECT_EQ(Sim.Config().Value(35), "OPEN PORT 1");
    EXPECT_EQ(Joined(Sim.TakeWrites()), "1");
}

TEST(SimExport, ShortExportKeepsTheOldConfigurationAndTimesOut)
{
    auto Records = DefaultRecords();
    Records[0] = "changed\r";
    Records.resize(30);
    TRelaySimulator Sim;
    const std::int64_t T = Export(Sim, Records, 0, false);
    EXPECT_TRUE(Sim.Exporting());
    EXPECT_EQ(Sim.NextDeadline(), T + 10'000 * Ms + 1);
    Sim.Advance(T + 10'000 * Ms);
    EXPECT_TRUE(Sim.Exporting());
    // A connect after the silence is a request again, not the text of record 31.
    Sim.Receive("\x19\x18", T + 10'001 * Ms);
    EXPECT_FALSE(Sim.Exporting());
    EXPECT_EQ(Joined(Sim.TakeWrites()), "1");
    EXPECT_FALSE(Sim.TakeStored());
    EXPECT_EQ(Sim.Config(), DefaultRelayConfig());
    const auto Abandoned = OfKind(Sim.TakeEvents(), TSimEventKind::Abandoned);
    ASSERT_EQ(Abandoned.size(), 1u);
    EXPECT_EQ(Abandoned[0].Line, 31);
    EXPECT_EQ(Abandoned[0].Word, "stalled");
}

TEST(SimExport, RawByteNotEndedByCarriageReturnAbandonsTheExport)
{
    auto Records = DefaultRecords();
    Records[0] = "changed\r";
    Records[32] = "\x05x";
    Records.resize(33);
    TRelaySimulator Sim;
    Export(Sim, Records, 0, false);
    EXPECT_FALSE(Sim.Exporting());
    EXPECT_EQ(Sim.Config(), DefaultRelayConfig());
    const auto Abandoned = OfKind(Sim.TakeEvents(), TSimEventKind::Abandoned);
    ASSERT_EQ(Abandoned.size(), 1u);
    EXPECT_EQ(Abandoned[0].Line, 33);
}

TEST(SimExport, HangupAfterNBytesOfExportData)
{
    TSimOptions Options;
    Options.HangupAfter = 10; // "rel1=on" 0x0D and two bytes of the next record
    TRelaySimulator Sim(Options);
    Sim.Receive("\x19\x1b", 0);
    Sim.Receive("rel1=on\r", 450 * Ms);
    EXPECT_FALSE(Sim.HangupRequested());
    Sim.Receive("rel1=off\r", 900 * Ms);
    EXPECT_TRUE(Sim.HangupRequested());
    const auto Events = Sim.TakeEvents();
    ASSERT_EQ(OfKind(Events, TSimEventKind::Hangup).size(), 1u);
    EXPECT_EQ(OfKind(Events, TSimEventKind::Record).size(), 1u);
    Sim.Receive("\x19\x18", 1000 * Ms);
    EXPECT_TRUE(Sim.TakeWrites().empty());
    EXPECT_FALSE(Sim.TakeStored());
}

TEST(SimIdle, GarbageBetweenRequestsIsIgnoredAndLogged)
{
    TRelaySimulator Sim;
    Sim.Receive("ab\r\n\x19\x19\x18zz\x19\x7f", 2 * Ms);
    EXPECT_EQ(Joined(Sim.TakeWrites()), "1");
    const auto Events = Sim.TakeEvents();
    ASSERT_EQ(Events.size(), 4u);
    EXPECT_EQ(FormatSimEvent(Events[0]), "2.000 ignored 61 62 0d 0a 19");
    EXPECT_EQ(Events[1].Kind, TSimEventKind::Request);
    EXPECT_EQ(Events[2].Kind, TSimEventKind::Answer);
    EXPECT_EQ(FormatSimEvent(Events[3]), "2.000 ignored 7a 7a 19 7f");
    EXPECT_FALSE(Sim.Exporting());
    EXPECT_EQ(Sim.Config(), DefaultRelayConfig());
}

TEST(SimIdle, HowTheBytesAreSplitChangesNothing)
{
    // Random streams rich in the bytes that matter: requests, carriage returns, line feeds.
    std::uint32_t Seed = 12345;
    const auto Next = [&Seed] { return Seed = Seed * 1664525u + 1013904223u; };
    const char Alphabet[] = {'\x19', '\x18', '\x1a', '\x1b', '\r', '\n', '\0', 'a', '+', '\xff'};
    for (int Round = 0; Round < 200; ++Round) {
        std::string Stream;
        const size_t Length = Next() % 3000;
        for (size_t I = 0; I < Length; ++I)
            Stream += Alphabet[(Next() >> 8) % sizeof Alphabet];
        TRelaySimulator Whole, Split;
        Whole.Receive(Stream, 0);
        for (size_t At = 0; At < Stream.size();) {
            const size_t Size = 1 + (Next() >> 8) % 7;
            Split.Receive(std::string_view(Stream).substr(At, Size), 0);
            At += Size;
        }
        ASSERT_EQ(Joined(Whole.TakeWrites()), Joined(Split.TakeWrites())) << Round;
        ASSERT_EQ(Whole.Config(), Split.Config()) << Round;
        ASSERT_EQ(Whole.Exporting(), Split.Exporting()) << Round;
        ASSERT_EQ(OfKind(Whole.TakeEvents(), TSimEventKind::Record).size(),
                  OfKind(Split.TakeEvents(), TSimEventKind::Record).size()) << Round;
    }
}
