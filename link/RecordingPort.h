// A port that records the line instead of driving it: the wire log (link/
// WireLog.h), times with three decimals. A parity line appears only when an
// open port changes its parity.
#pragma once

#include "link/LinePacer.h"
#include "link/SerialPort.h"
#include "sim/WireLog.h"

#include <optional>

struct RecordingOptions {
    bool refuseOpen = false;   // the device is missing or busy
    int failAtWrite = 0;       // this write (1-based) and every later one fail; 0: never
    // Bytes the modelled driver holds while the line shifts them out at
    // baud / 11 bytes per second; a write blocks until the rest fits.
    // Negative: no model, a write is taken and gone at once.
    int driverQueue = -1;
    // The line carries this many bytes in all, then takes no more (a hung
    // adapter, a pseudo-terminal nobody reads); negative: never. Models the
    // driver with driverQueue, or with no queue when that is negative.
    int stallAfterBytes = -1;
};

class RecordingPort : public SerialPort {
public:
    RecordingPort(const QString &name, std::shared_ptr<WireLog> log,
                  std::shared_ptr<LinkClock> clock = SystemClock(), RecordingOptions options = {});
    ~RecordingPort() override;

protected:
    void openDevice() override;
    void writeDevice(const QByteArray &bytes) override;
    int64_t drainDevice() override;
    void discardDevice() noexcept override;
    void applyLineSettings() override;
    void closeDevice() noexcept override;

private:
    QString stamp() const;
    static QString parityName(Parity parity);

    std::shared_ptr<WireLog> m_log;
    std::shared_ptr<LinkClock> m_clock;
    RecordingOptions m_options;
    int64_t m_openedNs = 0;
    std::optional<LinePacer> m_line;   // the modelled driver, while open
    Parity m_lineParity = Mark;
    int m_writes = 0;
};

// Every port the factory makes records into the same log.
SerialPortFactory RecordingPorts(std::shared_ptr<WireLog> log,
                                 std::shared_ptr<LinkClock> clock = SystemClock(),
                                 RecordingOptions options = {});
