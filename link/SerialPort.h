// The serial line as the send worker sees it: a transmit-only port whose
// parity bit is switched between Mark and Space while it is open, plus the
// clock the worker paces the line with.
#pragma once

#include "app/Errors.h"
#include "link/LinkClock.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// Told of what an open port does, on the worker's thread (the LED monitor's
// tap). The bytes are reported once the driver has taken them.
class SerialPortObserver {
public:
    virtual ~SerialPortObserver() = default;
    virtual void opened() = 0;
    virtual void written(const QByteArray &bytes, bool mark) = 0;
    virtual void closed() = 0;
};

class SerialPort {
public:
    enum Parity { Mark, Space };

    explicit SerialPort(const QString &name);
    virtual ~SerialPort() = default;
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    QString name() const { return m_name; }
    int baudRate() const { return m_baudRate; }
    Parity parity() const { return m_parity; }
    bool isOpen() const { return m_open; }

    // Before open only; the worker never changes the rate of an open port.
    void setBaudRate(int baud);
    // On an open port a change waits until every byte written has left the
    // line, so no byte already written is sent with the new setting; setting
    // the value already in force does nothing.
    void setParity(Parity parity);
    void setDataBits(int bits);
    void setStopBits(int bits);

    // Opens for exclusive use with the settings above. Throws VelmoraError.
    void open();
    // Blocks until the driver has taken every byte. Throws LinkError when the
    // port refuses the write, when the line takes no byte for the stall
    // limit, or when a stop was requested.
    void write(const QByteArray &bytes);
    // Blocks until every byte written has left the line and returns when
    // that was, on the link clock; fails as write does.
    int64_t drain();
    // Releases the device; bytes already handed to the driver still go out.
    // Harmless when the port is not open.
    void close() noexcept;
    // After a failure: drops what the driver still holds, so nothing written
    // under this transmission's settings goes out later, then releases.
    void abandon() noexcept;

    // Not owned; null for none. Set before open.
    void setObserver(SerialPortObserver *observer) { m_observer = observer; }
    // Asked while a write or drain waits; true ends the wait with Stopped.
    void setStopRequest(std::function<bool()> stopRequested) { m_stopRequested = std::move(stopRequested); }
    // How long the line may take no byte before a write or drain fails.
    void setStallLimitMs(int ms) { m_stallLimitNs = int64_t(ms) * 1000000; }

    static constexpr int DefaultStallLimitMs = 5000;

    // Watches a wait for the line on clock: throws Stalled when the count of
    // bytes still to go has not fallen for the stall limit, Stopped when a
    // stop was requested.
    class LineWatch {
    public:
        LineWatch(const SerialPort &port, const LinkClock &clock);
        void check(int64_t bytesLeft);
        // The moment to look again: no later than the next check is due.
        int64_t nextLookNs(int64_t wantedNs) const;
        // How long a blocking call may wait before the next check, in ms.
        int waitMs() const;

    private:
        const SerialPort &m_port;
        const LinkClock &m_clock;
        int64_t m_left = -1;
        int64_t m_sinceNs = 0;
    };

protected:
    int dataBits() const { return m_dataBits; }
    int stallLimitMs() const { return int(m_stallLimitNs / 1000000); }
    int stopBits() const { return m_stopBits; }

    virtual void openDevice() = 0;
    // Blocks until the driver has taken every byte (see write).
    virtual void writeDevice(const QByteArray &bytes) = 0;
    // Returns when the last byte written has left the line (see drain),
    // with the moment it left.
    virtual int64_t drainDevice() = 0;
    // Drops the bytes the driver still holds; the port is closed next.
    virtual void discardDevice() noexcept = 0;
    // Reconfigure the open line for the current parity, data and stop bits.
    virtual void applyLineSettings() = 0;
    virtual void closeDevice() noexcept = 0;

private:
    template <typename T> void changeSetting(T &field, T value);

    QString m_name;
    int m_baudRate = 57600;
    Parity m_parity = Mark;
    int m_dataBits = 8;
    int m_stopBits = 1;
    bool m_open = false;
    SerialPortObserver *m_observer = nullptr;
    std::function<bool()> m_stopRequested;
    int64_t m_stallLimitNs = int64_t(DefaultStallLimitMs) * 1000000;
};

// A failure of the line, of a kind the window and the tools can name.
class LinkError : public VelmoraError {
public:
    enum Kind { OpenFailed, Stalled, WriteFailed, Stopped };
    LinkError(Kind kind, const QString &detail) : VelmoraError(detail), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// Makes the port object for a port name; called on the worker's thread.
using SerialPortFactory = std::function<std::unique_ptr<SerialPort>(const QString &name)>;

// "\\.\Com" followed by the decimal port number: the name every command uses.
QString ComPortName(int comPort);
