// The serial port of the machine, through QSerialPort.
#pragma once

#include "app/Errors.h"
#include "link/SerialPort.h"

#include <QSerialPort>

// The device of port number n: Windows "\\.\COMn"; elsewhere /dev/ttyS<n-1>
// for 1..99, /dev/ttyUSB<n-100> for 100..199, /dev/ttyACM<n-200> from 200.
// Empty for port 0, the simulated display, which has no device.
QString SerialDevicePath(int comPort);
// The device for a port name: "\\.\ComN" as above, anything else is taken as
// the device path itself.
QString DeviceForPortName(const QString &name);
// What the operator is told when a port fails: the port as the project names
// it (with its device) and the reason, in Chinese where it is a known one.
VelmoraError PortFailure(const QString &name, const QString &systemText);

class QtSerialPort : public SerialPort {
public:
    explicit QtSerialPort(const QString &name);
    ~QtSerialPort() override;

protected:
    void openDevice() override;
    void writeDevice(const QByteArray &bytes, int timeoutMs) override;
    void drainDevice() override;
    void applyLineSettings() override;
    void closeDevice() noexcept override;

private:
    // Waits until QSerialPort has handed every byte to the driver; false when
    // the time ran out first.
    bool flushToDriver(int timeoutMs);
    [[noreturn]] void fail();

    QSerialPort m_port;
};

// The factory the program uses: the simulated display (paced on clock) for
// port number 0, a QtSerialPort for every other name.
SerialPortFactory SystemPorts(std::shared_ptr<LinkClock> clock = SystemClock());
