#include "dialogs/ComPorts.h"

#include "link/NetworkPorts.h"
#include "link/QtSerialPort.h"

#include <QSerialPortInfo>
#include <algorithm>

namespace {
// The controller's port number is one byte.
constexpr int HighestComPort = 255;
} // namespace

int ComPortOfDevice(const QString &path)
{
    // Searching the forward mapping keeps one table of the numbering.
    for (int n = 1; n <= HighestComPort; ++n)
        if (SerialDevicePath(n) == path)
            return n;
    return 0;
}

QList<ComPortEntry> AvailableComPorts()
{
    // A mapped number goes to its server, whatever device it also names.
    const QMap<int, NetworkAddress> network = ReadNetworkPorts();
    QList<ComPortEntry> ports;
    for (auto it = network.cbegin(); it != network.cend(); ++it)
        ports.append({it.key(), NetworkDeviceText(it.value())});
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
        const QString device = SerialDevicePath(info.portName().mid(3).toInt());
#else
        const QString device = info.systemLocation();
#endif
        const int n = ComPortOfDevice(device);
        if (n && !network.contains(n))
            ports.append({n, device});
    }
    std::sort(ports.begin(), ports.end(),
              [](const ComPortEntry &a, const ComPortEntry &b) { return a.number < b.number; });
    return ports;
}

QString ComPortCaption(int n)
{
    const QString caption = QStringLiteral("COM") + QString::number(n);
    return n == 0 ? caption + QStringLiteral(" (模拟显示屏)") : caption;
}
