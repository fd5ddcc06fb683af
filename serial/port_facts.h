// What the system knows of a serial port beyond its path: for a USB adapter its maker, product,
// serial number and IDs from sysfs, and the stable names udev gives it in /dev/serial/by-id.
// Read without opening the port.
#pragma once

#include "port_list.h"

#include <QString>
#include <QStringList>

struct TPortFacts
{
    QString Manufacturer;
    QString Product;
    QString SerialNumber;
    QString VendorId;  // four hex digits; empty for a port that is no USB adapter
    QString ProductId;
    QStringList ById;  // /dev/serial/by-id links to the port, full paths
};

TPortFacts PortFacts(const QString& Port, const TSerialDeviceRoots& Roots = {});

// "FTDI FT232R USB UART, serial A50285BI, 0403:6001": the facts there are, in one line.
QString PortFactsText(const TPortFacts& Facts);
