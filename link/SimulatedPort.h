// Port number 0: the simulated display. No device is behind it; the line is
// paced at 11 bits a byte, and the controller that receives the bytes is the
// one its observer feeds (the LED monitor's simulator), so a rehearsal with
// no serial hardware takes as long as the show and shows what it sends.
#pragma once

#include "link/LinePacer.h"
#include "link/SerialPort.h"

#include <optional>

class SimulatedPort : public SerialPort {
public:
    explicit SimulatedPort(const QString &name, std::shared_ptr<LinkClock> clock = SystemClock());
    ~SimulatedPort() override;

protected:
    void openDevice() override;
    // Returns when the last byte has crossed the line, so the observer sees
    // the bytes when the display would have them.
    void writeDevice(const QByteArray &bytes, int timeoutMs) override;
    void drainDevice() override;
    void applyLineSettings() override;
    void closeDevice() noexcept override;

private:
    std::shared_ptr<LinkClock> m_clock;
    std::optional<LinePacer> m_line;   // while open
};

// True for the name of port number 0, the simulated display.
bool IsSimulatedPortName(const QString &name);
