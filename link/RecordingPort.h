// A port that records the line instead of driving it: the wire log.
//
//     open <port name> <baud>
//     <ms> parity mark|space
//     <ms> write mark|space <hex bytes>
//     <ms> close
//
// Times are milliseconds since the port was opened, three decimals. A parity
// line appears only when an open port changes its parity.
#pragma once

#include "link/SerialPort.h"

#include <QMutex>
#include <QStringList>

// The lines of one or more transmissions; shared between the worker thread
// that writes them and whoever reads them afterwards.
class WireLog {
public:
    void append(const QString &line);
    QStringList lines() const;
    QByteArray text() const;   // UTF-8, one line each, each ended by '\n'
    void clear();

    // With a modelled driver queue: bytes that were still queued when the
    // parity changed, and so went out with a parity they were not written with.
    void addBytesOnWrongParity(int count);
    int bytesOnWrongParity() const;

private:
    mutable QMutex m_mutex;
    QStringList m_lines;
    int m_wrongParity = 0;
};

struct RecordingOptions {
    bool refuseOpen = false;   // the device is missing or busy
    int failAtWrite = 0;       // this write (1-based) and every later one fail; 0: never
    // Bytes the modelled driver holds while the line shifts them out at
    // baud / 11 bytes per second; a write blocks until the rest fits.
    // Negative: no model, a write is taken and gone at once.
    int driverQueue = -1;
};

class RecordingPort : public SerialPort {
public:
    RecordingPort(const QString &name, std::shared_ptr<WireLog> log,
                  std::shared_ptr<LinkClock> clock = SystemClock(), RecordingOptions options = {});
    ~RecordingPort() override;

protected:
    void openDevice() override;
    void writeDevice(const QByteArray &bytes, int timeoutMs) override;
    void drainDevice() override;
    void applyLineSettings() override;
    void closeDevice() noexcept override;

private:
    QString stamp() const;
    static QString parityName(Parity parity);
    int64_t byteNs() const;

    std::shared_ptr<WireLog> m_log;
    std::shared_ptr<LinkClock> m_clock;
    RecordingOptions m_options;
    int64_t m_openedNs = 0;
    int64_t m_lineFreeNs = 0;   // when the modelled queue runs empty
    Parity m_lineParity = Mark;
    int m_writes = 0;
};

// Every port the factory makes records into the same log.
SerialPortFactory RecordingPorts(std::shared_ptr<WireLog> log,
                                 std::shared_ptr<LinkClock> clock = SystemClock(),
                                 RecordingOptions options = {});
