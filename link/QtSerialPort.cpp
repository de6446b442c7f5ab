#include "link/QtSerialPort.h"

#include "app/Errors.h"
#include "link/NetworkPorts.h"
#include "link/Rfc2217Port.h"
#include "sim/SimulatedPort.h"

#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

QString SerialDevicePath(int comPort)
{
    if (comPort < 1)
        return QString();
#ifdef Q_OS_WIN
    return QStringLiteral("\\\\.\\COM") + QString::number(comPort);
#else
    if (comPort < 100)
        return QStringLiteral("/dev/ttyS") + QString::number(comPort - 1);
    if (comPort < 200)
        return QStringLiteral("/dev/ttyUSB") + QString::number(comPort - 100);
    return QStringLiteral("/dev/ttyACM") + QString::number(comPort - 200);
#endif
}

namespace {
// The number of a "\\.\ComN" name; -1 for any other name.
int ComNumber(const QString &name)
{
    static const QRegularExpression com(QStringLiteral("^\\\\\\\\\\.\\\\Com(\\d+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(name);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}
} // namespace

QString DeviceForPortName(const QString &name)
{
    const int number = ComNumber(name);
    return number >= 0 ? SerialDevicePath(number) : name;
}

bool NetworkAddressOfPort(const QString &name, NetworkAddress &address)
{
    if (IsNetworkPortName(name)) {
        address = NetworkAddress();
        ParseNetworkAddress(name, address);
        return true;
    }
    const int number = ComNumber(name);
    if (number < 1)
        return false;
    const QMap<int, NetworkAddress> mapped = ReadNetworkPorts();
    const auto found = mapped.find(number);
    if (found == mapped.end())
        return false;
    address = found.value();
    return true;
}

QString PortDevice(int comPort)
{
    if (comPort == 0)
        return QStringLiteral("模拟显示屏");
    NetworkAddress address;
    if (NetworkAddressOfPort(ComPortName(comPort), address))
        return NetworkDeviceText(address);
    return SerialDevicePath(comPort);
}

QString PortLabel(const QString &name)
{
    const int number = ComNumber(name);
    if (number < 0)
        return name;
    return QStringLiteral("COM%1 (%2)").arg(number).arg(PortDevice(number));
}

QtSerialPort::QtSerialPort(const QString &name) : SerialPort(name) {}

QtSerialPort::~QtSerialPort()
{
    close();
}

void QtSerialPort::fail(LinkError::Kind kind)
{
    const QString why = m_port.errorString();
    m_port.clearError();
    throw LinkError(kind, ChineseSystemError(why));
}

void QtSerialPort::openDevice()
{
    const QString device = DeviceForPortName(name());
    if (device.isEmpty())
        throw LinkError(LinkError::OpenFailed, QStringLiteral("没有这个串口"));
    m_port.setPortName(device);
    m_port.setBaudRate(baudRate());
    m_port.setDataBits(QSerialPort::DataBits(dataBits()));
    m_port.setStopBits(stopBits() == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    m_port.setParity(parity() == Mark ? QSerialPort::MarkParity : QSerialPort::SpaceParity);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::WriteOnly))
        fail(LinkError::OpenFailed);
    // Adapters without modem lines refuse these; the controller ignores them.
    m_port.setDataTerminalReady(false);
    m_port.setRequestToSend(false);
    m_port.clearError();
}

void QtSerialPort::flushToDriver()
{
    LineWatch watch(*this, *SystemClock());
    for (qint64 left = m_port.bytesToWrite(); left > 0; left = m_port.bytesToWrite()) {
        watch.check(left);
        if (!m_port.waitForBytesWritten(watch.waitMs())) {
            if (m_port.error() != QSerialPort::TimeoutError)
                fail(LinkError::WriteFailed);
            m_port.clearError();
        }
    }
}

void QtSerialPort::writeDevice(const QByteArray &bytes)
{
    if (m_port.write(bytes) < 0)
        fail(LinkError::WriteFailed);
    flushToDriver();
}

int64_t QtSerialPort::drainDevice()
{
    flushToDriver();
    emptyDriverQueue();
#ifdef Q_OS_WIN
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(m_port.handle())))
        throw LinkError(LinkError::WriteFailed, ChineseSystemError(qt_error_string()));
#else
    // Only the UART's few bytes are left: tcdrain returns within a character time or two.
    while (tcdrain(m_port.handle()) != 0) {
        if (errno != EINTR)
            throw LinkError(LinkError::WriteFailed, ChineseSystemError(qt_error_string(errno)));
    }
#endif
    return SystemClock()->nowNs();
}

void QtSerialPort::emptyDriverQueue()
{
#ifndef Q_OS_WIN
    // tcdrain cannot be given up on, so the queue is watched until it is
    // empty: a line that takes nothing fails instead of blocking forever.
    const int64_t byteNs = 11'000'000'000LL / std::max(1, baudRate());
    LineWatch watch(*this, *SystemClock());
    for (;;) {
        int queued = 0;
        if (ioctl(m_port.handle(), TIOCOUTQ, &queued) != 0)
            throw LinkError(LinkError::WriteFailed, ChineseSystemError(qt_error_string(errno)));
        if (queued <= 0)
            return;
        watch.check(queued);
        SystemClock()->sleepUntilNs(watch.nextLookNs(SystemClock()->nowNs() + queued * byteNs));
    }
#endif
}

void QtSerialPort::discardDevice() noexcept
{
    m_port.clear(QSerialPort::Output);
}

void QtSerialPort::applyLineSettings()
{
#ifdef Q_OS_WIN
    // Called after FlushFileBuffers: nothing of the previous setting is left.
    if (!m_port.setParity(parity() == Mark ? QSerialPort::MarkParity : QSerialPort::SpaceParity)
        || !m_port.setDataBits(QSerialPort::DataBits(dataBits()))
        || !m_port.setStopBits(stopBits() == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop))
        fail(LinkError::WriteFailed);
#else
    // QSerialPort::setParity would apply at once (TCSANOW); TCSADRAIN keeps
    // bytes still in the driver on the setting they were written with.
    const int fd = int(m_port.handle());
    termios tio;
    auto check = [](int rc) {
        if (rc != 0)
            throw LinkError(LinkError::WriteFailed, ChineseSystemError(qt_error_string(errno)));
    };
    check(tcgetattr(fd, &tio));
    tio.c_cflag &= ~tcflag_t(PARENB | PARODD | CMSPAR | CSIZE | CSTOPB);
    tio.c_cflag |= PARENB | CMSPAR | (parity() == Mark ? PARODD : 0);
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= sizes[qBound(5, dataBits(), 8) - 5];
    if (stopBits() == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~tcflag_t(INPCK | IXON | IXOFF);
    check(tcsetattr(fd, TCSADRAIN, &tio));
#endif
}

void QtSerialPort::closeDevice() noexcept
{
    // Closing may restore the settings the device had before: let the last
    // bytes leave on the parity they were written with first.
    try {
        drainDevice();
    } catch (const LinkError &) {
        // A device that is gone or stalled: what it holds is dropped.
        discardDevice();
    }
    m_port.close();
}

SerialPortFactory SystemPorts(std::shared_ptr<LinkClock> clock)
{
    return [clock](const QString &name) -> std::unique_ptr<SerialPort> {
        if (IsSimulatedPortName(name))
            return std::make_unique<SimulatedPort>(name, clock);
        NetworkAddress address;
        if (NetworkAddressOfPort(name, address))
            return std::make_unique<Rfc2217Port>(name, address, clock);
        return std::make_unique<QtSerialPort>(name);
    };
}
