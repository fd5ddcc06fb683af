#include "relay_simulator.h"

#include <algorithm>
#include <cstdio>

namespace {
constexpr char CommandPrefix = 0x19;
constexpr char CommandConnect = 0x18;
constexpr char CommandGet = 0x1A;
constexpr char CommandSet = 0x1B;
constexpr char CarriageReturn = 0x0D;
constexpr int FinalRecord = ItemCount; // index of the lone 0x0D after the 59 records
// A text record longer than any field the tool can hold is no export.
constexpr size_t MaxRecordBytes = 64 * 1024 + 1;

const char* KindWord(TSimEventKind Kind)
{
    switch (Kind) {
    case TSimEventKind::Request: return "request";
    case TSimEventKind::Answer: return "answer";
    case TSimEventKind::Line: return "line";
    case TSimEventKind::Record: return "record";
    case TSimEventKind::End: return "end";
    case TSimEventKind::Stored: return "stored";
    case TSimEventKind::Abandoned: return "abandoned";
    case TSimEventKind::Ignored: return "ignored";
    case TSimEventKind::Hangup: return "hangup";
    }
    return "?";
}
} // namespace

std::string HexBytes(std::string_view Bytes)
{
    std::string Text;
    char Hex[4];
    for (const char B : Bytes) {
        std::snprintf(Hex, sizeof Hex, "%02x", static_cast<unsigned char>(B));
        if (!Text.empty())
            Text += ' ';
        Text += Hex;
    }
    return Text;
}

std::string FormatSimEvent(const TSimEvent& Event)
{
    char Time[32];
    std::snprintf(Time, sizeof Time, "%lld.%03lld", static_cast<long long>(Event.TimeUs / 1000),
                  static_cast<long long>(Event.TimeUs % 1000));
    std::string Text = std::string(Time) + ' ' + KindWord(Event.Kind);
    if (Event.Line > 0)
        Text += ' ' + std::to_string(Event.Line);
    if (!Event.Word.empty())
        Text += ' ' + Event.Word;
    if (!Event.Bytes.empty())
        Text += ' ' + HexBytes(Event.Bytes);
    return Text;
}

TRelaySimulator::TRelaySimulator(TSimOptions Options, TRelayConfig Config)
    : FOptions(std::move(Options)), FConfig(std::move(Config))
{
}

void TRelaySimulator::Receive(std::string_view Bytes, std::int64_t NowUs)
{
    Advance(NowUs);
    for (const char Byte : Bytes) {
        if (FHangup)
            break; // the line is gone: what follows never reached the device
        if (FExport)
            ExportByte(Byte, NowUs);
        else
            IdleByte(Byte, NowUs);
    }
    FlushIgnored(NowUs);
}

void TRelaySimulator::Advance(std::int64_t NowUs)
{
    if (FHangup)
        return;
    const auto Due = std::partition(FAnswersDue.begin(), FAnswersDue.end(),
                                    [NowUs](std::int64_t At) { return At > NowUs; });
    const auto Count = FAnswersDue.end() - Due;
    FAnswersDue.erase(Due, FAnswersDue.end());
    for (auto I = Count; I > 0; --I)
        SendAnswer(NowUs);
    if (FExport && FOptions.ExportTimeoutUs > 0 && NowUs - FExport->LastByteUs > FOptions.ExportTimeoutUs)
        Abandon("stalled", NowUs);
}

std::optional<std::int64_t> TRelaySimulator::NextDeadline() const
{
    if (FHangup)
        return std::nullopt;
    std::optional<std::int64_t> Next;
    const auto Consider = [&Next](std::int64_t At) { Next = Next ? std::min(*Next, At) : At; };
    for (const std::int64_t At : FAnswersDue)
        Consider(At);
    if (FExport && FOptions.ExportTimeoutUs > 0)
        Consider(FExport->LastByteUs + FOptions.ExportTimeoutUs + 1);
    return Next;
}

std::vector<TSimWrite> TRelaySimulator::TakeWrites() { return std::exchange(FWrites, {}); }

std::vector<TSimEvent> TRelaySimulator::TakeEvents() { return std::exchange(FEvents, {}); }

bool TRelaySimulator::TakeStored() { return std::exchange(FStored, false); }

void TRelaySimulator::IdleByte(char Byte, std::int64_t NowUs)
{
    if (FPrefix) {
        FPrefix = false;
        if (Byte == CommandConnect || Byte == CommandGet || Byte == CommandSet) {
            FlushIgnored(NowUs);
            Request(Byte, NowUs);
            return;
        }
        FIgnored += CommandPrefix; // a prefix without a known code is noise
    }
    if (Byte == CommandPrefix)
        FPrefix = true;
    else
        FIgnored += Byte;
}

void TRelaySimulator::Request(char Code, std::int64_t NowUs)
{
    const char* Word = Code == CommandConnect ? "connect" : Code == CommandGet ? "get" : "set";
    Log(NowUs, TSimEventKind::Request, 0, Word, {CommandPrefix, Code});
    if (Code == CommandConnect) {
        if (FOptions.NoAnswer)
            return;
        if (FOptions.LateAnswerUs > 0)
            FAnswersDue.push_back(NowUs + FOptions.LateAnswerUs);
        else
            SendAnswer(NowUs);
    } else if (Code == CommandGet) {
        SendConfiguration(NowUs);
    } else {
        FExport = TExport{};
        FExport->LastByteUs = NowUs;
        FExport->Incoming = FConfig;
        if (FOptions.HangupAfter && *FOptions.HangupAfter <= 0) {
            FHangup = true;
            Log(NowUs, TSimEventKind::Hangup, 0, "after 0 bytes", {});
        }
    }
}

void TRelaySimulator::ExportByte(char Byte, std::int64_t NowUs)
{
    TExport& E = *FExport;
    E.LastByteUs = NowUs;
    const std::int64_t DataBytes = ++E.DataBytes;
    if (E.Record.empty())
        E.RecordStartUs = NowUs;

    if (E.Index == FinalRecord) {
        if (Byte == CarriageReturn) {
            Log(NowUs, TSimEventKind::End, 0, {}, {Byte});
            FConfig = E.Incoming;
            FStored = true;
            FExport.reset();
            Log(NowUs, TSimEventKind::Stored, 0, {}, {});
        } else {
            Abandon("no final 0d", NowUs);
        }
    } else {
        const TItemDef& Def = ItemTable()[static_cast<size_t>(E.Index)];
        std::optional<std::string> Value;
        if (IsTextKind(Def.Kind)) {
            if (Byte == CarriageReturn)
                Value = E.Record; // telephone numbers too: kept in their wire form
            else if (E.Record.size() >= MaxRecordBytes)
                Abandon("record too long", NowUs);
            else
                E.Record += Byte;
        } else if (E.Record.empty()) {
            E.Record += Byte; // the raw byte, whatever it is, 0x0D and 0x0A included
        } else if (Byte == CarriageReturn) {
            const auto Raw = static_cast<unsigned char>(E.Record[0]);
            Value = IsMaskKind(Def.Kind) ? std::to_string(Raw) : std::string(Raw != 0 ? "1" : "0");
        } else {
            E.Record += Byte;
            Abandon("raw byte not followed by 0d", NowUs);
        }
        if (Value) {
            Log(E.RecordStartUs, TSimEventKind::Record, Def.Line, {}, E.Record + CarriageReturn);
            E.Incoming.Value(Def.Line) = std::move(*Value);
            E.Record.clear();
            ++E.Index;
        }
    }

    if (FOptions.HangupAfter && DataBytes >= *FOptions.HangupAfter) {
        FHangup = true;
        Log(NowUs, TSimEventKind::Hangup, 0, "after " + std::to_string(DataBytes) + " bytes", {});
    }
}

void TRelaySimulator::Abandon(const std::string& Why, std::int64_t NowUs)
{
    const TExport& E = *FExport;
    const int Line = E.Index < FinalRecord ? E.Index + 1 : 0;
    Log(NowUs, TSimEventKind::Abandoned, Line, Why, E.Record);
    FExport.reset();
}

void TRelaySimulator::SendAnswer(std::int64_t NowUs)
{
    TSimWrite Write{FOptions.CrBeforeAnswer ? std::string("\r1") : std::string("1"), true};
    Log(NowUs, TSimEventKind::Answer, 0, {}, Write.Bytes);
    FWrites.push_back(std::move(Write));
}

void TRelaySimulator::SendConfiguration(std::int64_t NowUs)
{
    for (const TItemDef& Def : ItemTable()) {
        const auto Bad = FOptions.BadLines.find(Def.Line);
        TSimWrite Write{(Bad != FOptions.BadLines.end() ? Bad->second : FConfig.Value(Def.Line)) + "\r\n"};
        Log(NowUs, TSimEventKind::Line, Def.Line, {}, Write.Bytes);
        FWrites.push_back(std::move(Write));
    }
}

void TRelaySimulator::FlushIgnored(std::int64_t NowUs)
{
    if (!FIgnored.empty())
        Log(NowUs, TSimEventKind::Ignored, 0, {}, std::exchange(FIgnored, {}));
}

void TRelaySimulator::Log(std::int64_t NowUs, TSimEventKind Kind, int Line, std::string Word, std::string Bytes)
{
    FEvents.push_back({NowUs, Kind, Line, std::move(Word), std::move(Bytes)});
}
