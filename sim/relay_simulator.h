// The relay controller's side of the serial exchange, free of any I/O: fed with the bytes the
// tool sent and the time they arrived, it produces the bytes to send back and a log of events.
//
// Requests are 0x19 followed by a code: 0x18 connect (answered with "1"), 0x1A read (the 59
// lines, each ended by CR LF), 0x1B write (the export, parsed by position). An export is 59
// records and a lone 0x0D; text records end at 0x0D, mask and flag records are one raw byte and
// 0x0D. The new configuration is stored only once the final 0x0D has arrived, so an export cut
// short leaves the old one whole. An export that stalls for longer than the export timeout, or
// whose mask or flag record is not ended by 0x0D, is abandoned and its bytes are not stored.
// A received flag byte 0x00 clears the flag; any other byte sets it.
#pragma once

#include "relay_config.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TSimOptions
{
    bool NoAnswer = false;                  // ignore the connect request
    std::int64_t LateAnswerUs = 0;          // answer this long after the request
    bool CrBeforeAnswer = false;            // answer 0x0D "1" in one write
    std::map<int, std::string> BadLines;    // line -> bytes sent instead on a read
    std::optional<std::int64_t> HangupAfter; // hang up after this many bytes of export data
    std::int64_t ExportTimeoutUs = 10'000'000; // 0: an export never times out
};

// One write to the tool. A Whole write goes out in one piece even when the output is paced,
// so the tool sees all of it in one receive event.
struct TSimWrite
{
    std::string Bytes;
    bool Whole = false;
};

enum class TSimEventKind {
    Request,   // Word: "connect", "get", "set"; Bytes: the two request bytes
    Answer,    // the connect answer sent
    Line,      // Line: a configuration line sent on a read
    Record,    // Line: an export record received (time of its first byte)
    End,       // the export's final 0x0D
    Stored,    // the export's configuration stored
    Abandoned, // Word: why; the export's bytes are dropped
    Ignored,   // bytes outside any request
    Hangup,    // the hang-up point of the export was reached
};

struct TSimEvent
{
    std::int64_t TimeUs = 0;
    TSimEventKind Kind = TSimEventKind::Ignored;
    int Line = 0;
    std::string Word;
    std::string Bytes;
};

// "12345.678 record 25 2b 39 38 0d": the time in ms, the event, its line, its bytes in hex.
std::string FormatSimEvent(const TSimEvent& Event);
std::string HexBytes(std::string_view Bytes);

class TRelaySimulator
{
public:
    explicit TRelaySimulator(TSimOptions Options = {}, TRelayConfig Config = DefaultRelayConfig());

    // Bytes received at NowUs (a monotonic clock in microseconds).
    void Receive(std::string_view Bytes, std::int64_t NowUs);
    // Time has passed: runs what is due (a late answer, an export timeout).
    void Advance(std::int64_t NowUs);
    // When Advance next has something to do.
    std::optional<std::int64_t> NextDeadline() const;

    std::vector<TSimWrite> TakeWrites();
    std::vector<TSimEvent> TakeEvents();
    // True once after each export whose configuration was stored.
    bool TakeStored();
    // The hang-up point was reached: the port is to be closed; nothing more is processed.
    bool HangupRequested() const { return FHangup; }

    const TRelayConfig& Config() const { return FConfig; }
    bool Exporting() const { return FExport.has_value(); }

private:
    struct TExport
    {
        int Index = 0;               // record being received, 0 based; 59 = the final 0x0D
        std::string Record;          // bytes of that record so far
        std::int64_t RecordStartUs = 0;
        std::int64_t LastByteUs = 0;
        std::int64_t DataBytes = 0;  // export bytes so far, the request not counted
        TRelayConfig Incoming;
    };

    void IdleByte(char Byte, std::int64_t NowUs);
    void Request(char Code, std::int64_t NowUs);
    void ExportByte(char Byte, std::int64_t NowUs);
    void Abandon(const std::string& Why, std::int64_t NowUs);
    void SendAnswer(std::int64_t NowUs);
    void SendConfiguration(std::int64_t NowUs);
    void FlushIgnored(std::int64_t NowUs);
    void Log(std::int64_t NowUs, TSimEventKind Kind, int Line, std::string Word, std::string Bytes);

    TSimOptions FOptions;
    TRelayConfig FConfig;
    bool FPrefix = false;          // 0x19 seen, code awaited
    std::string FIgnored;          // bytes outside requests, logged together
    std::vector<std::int64_t> FAnswersDue;
    std::optional<TExport> FExport;
    bool FStored = false;
    bool FHangup = false;
    std::vector<TSimWrite> FWrites;
    std::vector<TSimEvent> FEvents;
};
