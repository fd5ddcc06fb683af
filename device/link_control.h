// Link control: the connect handshake, the receive dispatcher, import and export, on the main
// thread, over the window's serial port and the window as a TLinkView.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>

class EComPort;
class TCustomComPort;
class TLinkView;

// Import lines that could not be stored, kept for one box: the first few in full (their text
// shortened), the rest counted, so a device sending garbage cannot grow the box or memory.
class TBadLines
{
public:
    static constexpr int ListedLines = 10;
    static constexpr int ShownCharacters = 40;

    void Add(std::uint8_t Line, const QString& Text);
    bool IsEmpty() const { return FListed.isEmpty(); }
    // The box's text, one line each, then how many more; empties the list.
    QString Take();

private:
    QStringList FListed;
    int FMore = 0;
};

// Puts Port on the relay controller's line: 9600 baud, 8 data bits, no parity, one stop bit,
// no flow control, DTR and RTS held inactive, a receive event for every arrival.
void SetUpLinkPort(TCustomComPort& Port);

class TLinkControl
{
public:
    TLinkControl(TLinkView& View, TCustomComPort& Port);

    // Connect / DisConnect.
    void ConnectClick();
    // Import: the read request; the lines arrive through Receive.
    void ImportClick();
    // Export: the write request, then every record, paced.
    void ExportClick();
    // The port's receive event: Count bytes are waiting.
    void Receive(int Count);
    // Stores one received line into the item with that number.
    void ApplyImportedLine(std::uint8_t Line, const QString& Text);
    // Sends the records of every item, paced, with the progress bar.
    void ExportConfiguration();

    // A handshake or an export is pausing: a second exchange started now would interleave
    // two byte streams to the device, so the buttons that start one are ignored meanwhile.
    bool Busy() const { return FBusy; }
    // Records of the last export written whole: after a failed write, those the box has.
    int RecordsSent() const { return FRecordsSent; }

private:
    // A write of an exchange failed: an export's failure says which records went out; a device
    // that is gone leaves the link closed, disconnected, its port still chosen.
    void BrokeOff(EComPort& Error, bool Exporting);
    void SendRecords();
    void WriteByte(std::uint8_t Byte);
    void SendRequest(std::uint8_t Code);
    void EnterConnectedState();
    void ReportBadLines();

    TLinkView& FView;
    TCustomComPort& FPort;
    bool FBusy = false;
    int FRecordsSent = 0;
    bool FReporting = false;    // a box about bad lines is up; later ones wait for it to close
    bool FReportQueued = false; // a report is already on its way
    TBadLines FBadLines;        // import lines that could not be stored, reported after the event
    QObject FReportContext;     // cancels a pending report when the link control goes
};
