#include "sim/SimulatedPort.h"

SimulatedPort::SimulatedPort(const QString &name, std::shared_ptr<LinkClock> clock)
    : SerialPort(name), m_clock(std::move(clock))
{
}

SimulatedPort::~SimulatedPort()
{
    close();
}

void SimulatedPort::openDevice()
{
    m_line.emplace(baudRate(), DriverQueueBytes, m_clock);
}

void SimulatedPort::writeDevice(const QByteArray &bytes)
{
    LineWatch watch(*this, *m_clock);
    m_line->write(bytes.size(), watch);
}

int64_t SimulatedPort::drainDevice()
{
    LineWatch watch(*this, *m_clock);
    return m_line->drain(watch);
}

void SimulatedPort::discardDevice() noexcept
{
    m_line->discard();
}

// Parity and framing live in what the observer is told with every write.
void SimulatedPort::applyLineSettings() {}

void SimulatedPort::closeDevice() noexcept
{
    m_line.reset();
}

bool IsSimulatedPortName(const QString &name)
{
    return name.compare(ComPortName(0), Qt::CaseInsensitive) == 0;
}
