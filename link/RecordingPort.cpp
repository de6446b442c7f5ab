#include "link/RecordingPort.h"

#include "app/Errors.h"


RecordingPort::RecordingPort(const QString &name, std::shared_ptr<WireLog> log,
                             std::shared_ptr<LinkClock> clock, RecordingOptions options)
    : SerialPort(name), m_log(std::move(log)), m_clock(std::move(clock)), m_options(options)
{
}

RecordingPort::~RecordingPort()
{
    close();
}

QString RecordingPort::stamp() const
{
    return QString::number(double(m_clock->nowNs() - m_openedNs) / 1e6, 'f', 3);
}

QString RecordingPort::parityName(Parity parity)
{
    return parity == Mark ? QStringLiteral("mark") : QStringLiteral("space");
}

int64_t RecordingPort::byteNs() const
{
    return int64_t(11) * 1000000000 / baudRate();
}

void RecordingPort::openDevice()
{
    if (m_options.refuseOpen)
        throw VelmoraError(name() + QStringLiteral(": the port cannot be opened"));
    m_openedNs = m_clock->nowNs();
    m_lineFreeNs = m_openedNs;
    m_lineParity = parity();
    m_log->append(QStringLiteral("open %1 %2").arg(name()).arg(baudRate()));
}

void RecordingPort::writeDevice(const QByteArray &bytes, int)
{
    ++m_writes;
    if (m_options.failAtWrite > 0 && m_writes >= m_options.failAtWrite)
        throw VelmoraError(name() + QStringLiteral(": the device is gone"));
    m_log->append(stamp() + QStringLiteral(" write ") + parityName(parity()) + QLatin1Char(' ')
                  + QString::fromLatin1(bytes.toHex()));
    if (m_options.driverQueue < 0)
        return;
    const int64_t now = m_clock->nowNs();
    m_lineFreeNs = std::max(now, m_lineFreeNs) + int64_t(bytes.size()) * byteNs();
    const int64_t taken = m_lineFreeNs - int64_t(m_options.driverQueue) * byteNs();
    if (taken > now)
        m_clock->sleepUntilNs(taken);
}

void RecordingPort::drainDevice()
{
    if (m_options.driverQueue >= 0)
        m_clock->sleepUntilNs(m_lineFreeNs);
}

void RecordingPort::applyLineSettings()
{
    if (parity() == m_lineParity)
        return;
    m_lineParity = parity();
    if (m_options.driverQueue >= 0) {
        // A real driver applies the new parity to every byte it still holds.
        const int64_t left = m_lineFreeNs - m_clock->nowNs();
        if (left > 0)
            m_log->addBytesOnWrongParity(int((left + byteNs() - 1) / byteNs()));
    }
    m_log->append(stamp() + QStringLiteral(" parity ") + parityName(parity()));
}

void RecordingPort::closeDevice() noexcept
{
    m_log->append(stamp() + QStringLiteral(" close"));
}

SerialPortFactory RecordingPorts(std::shared_ptr<WireLog> log, std::shared_ptr<LinkClock> clock,
                                 RecordingOptions options)
{
    return [log, clock, options](const QString &name) {
        return std::make_unique<RecordingPort>(name, log, clock, options);
    };
}
