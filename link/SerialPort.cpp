#include "link/SerialPort.h"

#include "app/Errors.h"

#include <chrono>
#include <thread>

namespace {
class SteadyClock : public LinkClock {
public:
    int64_t nowNs() const override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void sleepUntilNs(int64_t deadline) override
    {
        // The thread sleeps to within a millisecond of the deadline, then
        // stays runnable until the clock says the time has passed: a pause is
        // never shorter than asked, and a woken sleeper's scheduling delay
        // does not lengthen it much.
        constexpr int64_t Spin = 1000000;
        for (int64_t now = nowNs(); now < deadline - Spin; now = nowNs())
            std::this_thread::sleep_for(std::chrono::nanoseconds(deadline - Spin - now));
        while (nowNs() < deadline)
            std::this_thread::yield();
    }
};
} // namespace

void LinkClock::pause(int ms)
{
    sleepUntilNs(nowNs() + int64_t(ms) * 1000000);
}

std::shared_ptr<LinkClock> SystemClock()
{
    static const std::shared_ptr<LinkClock> clock = std::make_shared<SteadyClock>();
    return clock;
}

void PauseAtLeast(int ms)
{
    SystemClock()->pause(ms);
}

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
        throw VelmoraError(QStringLiteral("串口%1没有打开").arg(m_name));
    writeDevice(bytes, WriteTimeoutMs(int(bytes.size())));
    if (m_observer)
        m_observer->written(bytes, m_parity == Mark);
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
