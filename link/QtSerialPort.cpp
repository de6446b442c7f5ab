#include "link/QtSerialPort.h"

#include "link/SimulatedPort.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#else
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
// The number N of a port name "\\.\ComN", -1 for any other name.
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

VelmoraError PortFailure(const QString &name, const QString &systemText)
{
    const int number = ComNumber(name);
    const QString device = DeviceForPortName(name);
    const QString port = number < 0 ? name
                         : device.isEmpty() ? QStringLiteral("COM%1").arg(number)
                                            : QStringLiteral("COM%1（%2）").arg(number).arg(device);
    return VelmoraError(QStringLiteral("串口%1：%2").arg(port, ChineseSystemError(systemText)));
}

QtSerialPort::QtSerialPort(const QString &name) : SerialPort(name) {}

QtSerialPort::~QtSerialPort()
{
    close();
}

void QtSerialPort::fail()
{
    const QString why = m_port.errorString();
    m_port.clearError();
    throw PortFailure(name(), why);
}

void QtSerialPort::openDevice()
{
    const QString device = DeviceForPortName(name());
    if (device.isEmpty())
        throw PortFailure(name(), QStringLiteral("没有这个串口"));
    m_port.setPortName(device);
    m_port.setBaudRate(baudRate());
    m_port.setDataBits(QSerialPort::DataBits(dataBits()));
    m_port.setStopBits(stopBits() == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    m_port.setParity(parity() == Mark ? QSerialPort::MarkParity : QSerialPort::SpaceParity);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::WriteOnly))
        fail();
    // Adapters without modem lines refuse these; the controller ignores them.
    m_port.setDataTerminalReady(false);
    m_port.setRequestToSend(false);
    m_port.clearError();
}

bool QtSerialPort::flushToDriver(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_port.bytesToWrite() > 0) {
        if (!m_port.waitForBytesWritten(int(deadline.remainingTime()))) {
            if (m_port.error() != QSerialPort::TimeoutError)
                fail();
            m_port.clearError();
            return false;
        }
    }
    return true;
}

void QtSerialPort::writeDevice(const QByteArray &bytes, int timeoutMs)
{
    if (m_port.write(bytes) < 0)
        fail();
    // A write cut short by the time-out is not an error; the rest goes out
    // before the next change of the line settings.
    flushToDriver(timeoutMs);
}

void QtSerialPort::drainDevice()
{
    flushToDriver(WriteTimeoutMs(int(m_port.bytesToWrite())));
#ifdef Q_OS_WIN
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(m_port.handle())))
        throw PortFailure(name(), qt_error_string());
#else
    while (tcdrain(m_port.handle()) != 0) {
        if (errno != EINTR)
            throw PortFailure(name(), qt_error_string(errno));
    }
#endif
}

void QtSerialPort::applyLineSettings()
{
#ifdef Q_OS_WIN
    // Called after FlushFileBuffers: nothing of the previous setting is left.
    if (!m_port.setParity(parity() == Mark ? QSerialPort::MarkParity : QSerialPort::SpaceParity)
        || !m_port.setDataBits(QSerialPort::DataBits(dataBits()))
        || !m_port.setStopBits(stopBits() == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop))
        fail();
#else
    // QSerialPort::setParity would apply at once (TCSANOW); TCSADRAIN keeps
    // bytes still in the driver on the setting they were written with.
    const int fd = int(m_port.handle());
    termios tio;
    auto check = [this](int rc) {
        if (rc != 0)
            throw PortFailure(name(), qt_error_string(errno));
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
    } catch (const VelmoraError &) {
        // A device that is gone has nothing left to send.
    }
    m_port.close();
}

SerialPortFactory SystemPorts(std::shared_ptr<LinkClock> clock)
{
    return [clock](const QString &name) -> std::unique_ptr<SerialPort> {
        if (IsSimulatedPortName(name))
            return std::make_unique<SimulatedPort>(name, clock);
        return std::make_unique<QtSerialPort>(name);
    };
}
