// Many boxes at once. The exchange keeps its state in process-wide globals and paces itself
// with message-pumping pauses on the main thread, so one process runs one exchange: a fleet
// runs one child morvel-smsctl per port (--json --child, its JSON lines on a pipe) and this
// process only starts them, shows their progress and sums them up.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <vector>

struct TFleetJob
{
    QString Port;      // the port as the summary names it
    QStringList Args;  // the child's command after "--json --child"
    QByteArray Input;  // its standard input
    QString Detail;    // said of it when done: "into FOLDER/ttyUSB0.toml"
};

struct TFleetOptions
{
    bool Json = false; // forward the children's events to Output, then one result line
    // The ports came from 'auto': a port whose box does not answer (or cannot be opened, or
    // is held) is left out rather than reported as failed.
    bool Auto = false;
    QString Done;      // what a port that succeeded got: "written", "verified", "read"
};

// Runs the jobs side by side and returns the worst exit status (128 + the signal when
// SIGINT or SIGTERM stopped the run: each child gets the signal, stops between records and
// releases its port). Progress goes to Errors: one line per port updated in place on a terminal, plain
// lines otherwise; then a summary naming the records each box got.
int RunFleet(const std::vector<TFleetJob>& Jobs, const TFleetOptions& Options, FILE* Output,
             FILE* Errors);

// The child's JSON lines: one object a line, each with "event" and "port".
QByteArray FleetEvent(const QString& Event, const QString& Port, const QByteArray& Fields = {});
