#include "link/SerialPort.h"

#include "app/Errors.h"

#include <algorithm>
#include <limits>

SerialPort::SerialPort(const QString &name) : m_name(name) {}

void SerialPort::setBaudRate(int baud)
{
    if (m_open)
        throw VelmoraError(QStringLiteral("串口已打开，不能再改变波特率"));
    m_baudRate = baud;
}

template <typename T> void SerialPort::changeSetting(T &field, T value)
{
    if (field == value)
        return;
    if (m_open)
        drainDevice();
    field = value;
    if (m_open)
        applyLineSettings();
}

void SerialPort::setParity(Parity parity) { changeSetting(m_parity, parity); }
void SerialPort::setDataBits(int bits) { changeSetting(m_dataBits, bits); }
void SerialPort::setStopBits(int bits) { changeSetting(m_stopBits, bits); }

void SerialPort::open()
{
    if (m_open)
        return;
    openDevice();
    m_open = true;
    if (m_observer)
        m_observer->opened();
}

void SerialPort::write(const QByteArray &bytes)
{
    if (!m_open)
        throw LinkError(LinkError::WriteFailed, QStringLiteral("串口没有打开"));
    writeDevice(bytes);
    if (m_observer)
        m_observer->written(bytes, m_parity == Mark);
}

int64_t SerialPort::drain()
{
    if (!m_open)
        throw LinkError(LinkError::WriteFailed, QStringLiteral("串口没有打开"));
    return drainDevice();
}

void SerialPort::abandon() noexcept
{
    if (m_open)
        discardDevice();
    close();
}

namespace {
// A stalled or stopped wait is looked at this often.
constexpr int64_t LookNs = 50'000'000;
} // namespace

SerialPort::LineWatch::LineWatch(const SerialPort &port, const LinkClock &clock)
    : m_port(port), m_clock(clock), m_sinceNs(clock.nowNs())
{
}

void SerialPort::LineWatch::check(int64_t bytesLeft)
{
    if (m_port.m_stopRequested && m_port.m_stopRequested())
        throw LinkError(LinkError::Stopped, QStringLiteral("发送已中止"));
    const int64_t now = m_clock.nowNs();
    if (m_left < 0 || bytesLeft < m_left) {
        m_left = bytesLeft;
        m_sinceNs = now;
    } else if (now - m_sinceNs >= m_port.m_stallLimitNs) {
        throw LinkError(LinkError::Stalled,
                        QStringLiteral("线路 %1 秒内未送出任何字节").arg(double(m_port.m_stallLimitNs) / 1e9));
    }
}

int64_t SerialPort::LineWatch::nextLookNs(int64_t wantedNs) const
{
    return std::min(wantedNs, std::min(m_clock.nowNs() + LookNs, m_sinceNs + m_port.m_stallLimitNs));
}

int SerialPort::LineWatch::waitMs() const
{
    const int64_t until = nextLookNs(std::numeric_limits<int64_t>::max());
    return int(std::max<int64_t>(1, (until - m_clock.nowNs() + 999999) / 1000000));
}

void SerialPort::close() noexcept
{
    if (!m_open)
        return;
    m_open = false;
    closeDevice();
    if (m_observer)
        m_observer->closed();
}

QString ComPortName(int comPort)
{
    return QStringLiteral("\\\\.\\Com") + QString::number(comPort);
}
