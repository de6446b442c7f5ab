#include "link/RecordingPort.h"

#include "app/Errors.h"
#include "link/QtSerialPort.h"

#include <algorithm>

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

void RecordingPort::openDevice()
{
    if (m_options.refuseOpen)
        throw LinkError(LinkError::OpenFailed, QStringLiteral("串口无法打开"));
    m_openedNs = m_clock->nowNs();
    if (m_options.driverQueue >= 0 || m_options.stallAfterBytes >= 0)
        m_line.emplace(baudRate(), std::max(m_options.driverQueue, 0), m_clock,
                       m_options.stallAfterBytes);
    m_lineParity = parity();
    // The port as the operator knows it, with the device it stands for here.
    m_log->append(QStringLiteral("open %1 %2").arg(PortLabel(name())).arg(baudRate()));
}

void RecordingPort::writeDevice(const QByteArray &bytes)
{
    ++m_writes;
    if (m_options.failAtWrite > 0 && m_writes >= m_options.failAtWrite)
        throw LinkError(LinkError::WriteFailed, QStringLiteral("设备已移除"));
    m_log->append(stamp() + QStringLiteral(" write ") + parityName(parity()) + QLatin1Char(' ')
                  + QString::fromLatin1(bytes.toHex()));
    if (m_line) {
        LineWatch watch(*this, *m_clock);
        m_line->write(bytes.size(), watch);
    }
}

int64_t RecordingPort::drainDevice()
{
    if (!m_line)
        return m_clock->nowNs();
    LineWatch watch(*this, *m_clock);
    return m_line->drain(watch);
}

void RecordingPort::discardDevice() noexcept
{
    if (m_line)
        m_line->discard();
}

void RecordingPort::applyLineSettings()
{
    if (parity() == m_lineParity)
        return;
    m_lineParity = parity();
    // A real driver applies the new parity to every byte it still holds.
    if (m_line)
        m_log->addBytesOnWrongParity(int(m_line->bytesOnLine()));
    m_log->append(stamp() + QStringLiteral(" parity ") + parityName(parity()));
}

void RecordingPort::closeDevice() noexcept
{
    // As a real port: the last bytes leave before the device is let go; what
    // a stalled line still holds would go out on whatever settings follow.
    try {
        drainDevice();
    } catch (const LinkError &) {
        m_log->addBytesOnWrongParity(int(m_line->bytesOnLine()));
    }
    m_log->append(stamp() + QStringLiteral(" close"));
    m_line.reset();
}

SerialPortFactory RecordingPorts(std::shared_ptr<WireLog> log, std::shared_ptr<LinkClock> clock,
                                 RecordingOptions options)
{
    return [log, clock, options](const QString &name) {
        return std::make_unique<RecordingPort>(name, log, clock, options);
    };
}
