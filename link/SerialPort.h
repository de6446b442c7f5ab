// The serial line as the send worker sees it: a transmit-only port whose
// parity bit is switched between Mark and Space while it is open, plus the
// clock the worker paces the line with.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// Time for the link: the worker's pauses and the wire log's time stamps.
class LinkClock {
public:
    virtual ~LinkClock() = default;
    virtual int64_t nowNs() const = 0;
    // Returns no earlier than the given time.
    virtual void sleepUntilNs(int64_t deadline) = 0;
    // A pause of at least ms milliseconds, never shorter.
    void pause(int ms);
};

// The steady clock of the machine; shared by every transmission.
std::shared_ptr<LinkClock> SystemClock();

// Blocks the calling thread for at least ms milliseconds.
void PauseAtLeast(int ms);

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
    // Blocks until the driver has taken every byte or the write time-out
    // (WriteTimeoutMs) expires; a short write is not reported. Throws
    // VelmoraError when the port refuses the write.
    void write(const QByteArray &bytes);
    // Releases the device; bytes already handed to the driver still go out.
    // Harmless when the port is not open.
    void close() noexcept;

    // Not owned; null for none. Set before open.
    void setObserver(SerialPortObserver *observer) { m_observer = observer; }

    static int WriteTimeoutMs(int bytes) { return 1000 + 100 * bytes; }

protected:
    int dataBits() const { return m_dataBits; }
    int stopBits() const { return m_stopBits; }

    virtual void openDevice() = 0;
    virtual void writeDevice(const QByteArray &bytes, int timeoutMs) = 0;
    // Returns when the last byte written has left the line.
    virtual void drainDevice() = 0;
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
};

// Makes the port object for a port name; called on the worker's thread.
using SerialPortFactory = std::function<std::unique_ptr<SerialPort>(const QString &name)>;

// "\\.\Com" followed by the decimal port number: the name every command uses.
QString ComPortName(int comPort);
