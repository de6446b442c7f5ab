#include "dialogs/ComPorts.h"

#include <QSerialPortInfo>
#include <algorithm>

namespace {
// The controller's port number is one byte.
constexpr int HighestComPort = 255;
} // namespace

QString ComPortDevice(int n)
{
    if (n < 1)
        return QString();
#ifdef Q_OS_WIN
    return QStringLiteral("\\\\.\\COM") + QString::number(n);
#else
    if (n < 100)
        return QStringLiteral("/dev/ttyS") + QString::number(n - 1);
    if (n < 200)
        return QStringLiteral("/dev/ttyUSB") + QString::number(n - 100);
    return QStringLiteral("/dev/ttyACM") + QString::number(n - 200);
#endif
}

int ComPortOfDevice(const QString &path)
{
    // Searching the forward mapping keeps one table of the numbering.
    for (int n = 1; n <= HighestComPort; ++n)
        if (ComPortDevice(n) == path)
            return n;
    return 0;
}

QList<ComPortEntry> AvailableComPorts()
{
    QList<ComPortEntry> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
        const QString device = ComPortDevice(info.portName().mid(3).toInt());
#else
        const QString device = info.systemLocation();
#endif
        if (const int n = ComPortOfDevice(device))
            ports.append({n, device});
    }
    std::sort(ports.begin(), ports.end(),
              [](const ComPortEntry &a, const ComPortEntry &b) { return a.number < b.number; });
    return ports;
}
