// Who else has a serial port: the programs that hold it open or locked, found without opening it.
#pragma once

#include <QList>
#include <QString>

struct TPortHolder
{
    qint64 Pid = 0;
    QString Program; // the process's name, as the system lists it ("ModemManager")
};

// Who holds Port open or locked, from the port's lock file and the processes' open descriptors;
// empty when free. This process is never listed. Processes of other users are seen only where
// the system lets this user look (their lock files always, their descriptors as root). Never
// opens the port.
QList<TPortHolder> PortHolders(const QString& Port);

// "ModemManager (pid 812)", several joined by ", ".
QString DescribePortHolders(const QList<TPortHolder>& Holders);
