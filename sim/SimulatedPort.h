// Port number 0: the simulated display. No device is behind it; the line is
// paced at 11 bits a byte behind a driver queue of a Linux serial port's size,
// and the controller that receives the bytes is the one its observer feeds
// (the LED monitor's simulator), so a rehearsal with no serial hardware takes
// as long as the show, pauses on the line included, and shows what it sends.
#pragma once

#include "link/LinePacer.h"
#include "link/SerialPort.h"

#include <optional>

class SimulatedPort : public SerialPort {
public:
    explicit SimulatedPort(const QString &name, std::shared_ptr<LinkClock> clock = SystemClock());
    ~SimulatedPort() override;

    // What the kernel of a Linux machine holds for a serial port.
    static constexpr int DriverQueueBytes = 4096;

protected:
    void openDevice() override;
    // Returns when the driver queue has taken the bytes, as a real port does.
    void writeDevice(const QByteArray &bytes) override;
    int64_t drainDevice() override;
    void discardDevice() noexcept override;
    void applyLineSettings() override;
    void closeDevice() noexcept override;

private:
    std::shared_ptr<LinkClock> m_clock;
    std::optional<LinePacer> m_line;   // while open
};

// True for the name of port number 0, the simulated display.
bool IsSimulatedPortName(const QString &name);
