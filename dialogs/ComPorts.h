// The serial ports of the machine under the COM numbers that projects store.
#pragma once

#include <QList>
#include <QString>

// The COM number whose device path (SerialDevicePath) is path; 0 when no
// number maps to it.
int ComPortOfDevice(const QString &path);

struct ComPortEntry {
    int number;       // the COM number
    QString device;   // its device path, or "网络 host:port"
};
// The present serial ports that have a COM number and the numbers mapped to
// network serial servers, in ascending order.
QList<ComPortEntry> AvailableComPorts();

// What the port list shows for COM number n: "COM0 (模拟显示屏)" for the
// simulated display, "COMn" for the others.
QString ComPortCaption(int n);
