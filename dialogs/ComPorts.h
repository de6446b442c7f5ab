// The serial ports of the machine under the COM numbers that projects store.
#pragma once

#include <QList>
#include <QString>

// The device path of COM number n ("\\.\COMn" on Windows; on Linux
// /dev/ttyS<n-1> below 100, /dev/ttyUSB<n-100> below 200, /dev/ttyACM<n-200>);
// empty for 0, which names no port.
QString ComPortDevice(int n);
// The COM number whose device path is path; 0 when no number maps to it.
int ComPortOfDevice(const QString &path);

struct ComPortEntry {
    int number;       // the COM number
    QString device;   // its device path
};
// The present serial ports that have a COM number, in ascending order.
QList<ComPortEntry> AvailableComPorts();
