// The serial port of the machine, through QSerialPort.
#pragma once

#include "app/Errors.h"
#include "link/NetworkPorts.h"
#include "link/SerialPort.h"

#include <QSerialPort>

// The device of port number n: Windows "\\.\COMn"; elsewhere /dev/ttyS<n-1>
// for 1..99, /dev/ttyUSB<n-100> for 100..199, /dev/ttyACM<n-200> from 200.
// Empty for port 0, the simulated display, which has no device.
QString SerialDevicePath(int comPort);
// The device for a port name: "\\.\ComN" as above, anything else is taken as
// the device path itself.
QString DeviceForPortName(const QString &name);
// The network serial server of a port name: an "rfc2217://HOST:PORT" name
// (with an empty host when the rest is malformed), or a "\\.\ComN" name that
// Velmora.ini maps to one. False for a serial device.
bool NetworkAddressOfPort(const QString &name, NetworkAddress &address);
// What port number n stands for: "模拟显示屏" for 0, "网络 host:port" for a
// mapped number, else its device path.
QString PortDevice(int comPort);
// How the operator knows a port: "COM3 (/dev/ttyS2)", "COM0 (模拟显示屏)",
// "COM4 (网络 host:port)", or the name itself for any other name.
QString PortLabel(const QString &name);

class QtSerialPort : public SerialPort {
public:
    explicit QtSerialPort(const QString &name);
    ~QtSerialPort() override;

protected:
    void openDevice() override;
    void writeDevice(const QByteArray &bytes) override;
    int64_t drainDevice() override;
    void discardDevice() noexcept override;
    void applyLineSettings() override;
    void closeDevice() noexcept override;

private:
    // Waits until QSerialPort has handed every byte to the driver.
    void flushToDriver();
    // Waits until the driver's queue is empty; its last bytes are still in
    // the UART then.
    void emptyDriverQueue();
    [[noreturn]] void fail(LinkError::Kind kind);

    QSerialPort m_port;
};

// The factory the program uses: the simulated display (paced on clock) for
// port number 0, an Rfc2217Port for a network name or a mapped COM number,
// a QtSerialPort for every other name.
SerialPortFactory SystemPorts(std::shared_ptr<LinkClock> clock = SystemClock());
