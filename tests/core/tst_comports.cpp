// The COM numbering of serial devices that projects store.
#include "dialogs/ComPorts.h"
#include "link/QtSerialPort.h"

#include <QtTest>

class TestComPorts : public QObject {
    Q_OBJECT
private slots:
    void devicesOfNumbers_data();
    void devicesOfNumbers();
    void everyNumberMapsBack();
    void unknownDevices();
    void presentPortsAreNumbered();
};

void TestComPorts::devicesOfNumbers_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("device");
#ifdef Q_OS_WIN
    QTest::newRow("COM3") << 3 << QStringLiteral("\\\\.\\COM3");
#else
    QTest::newRow("COM1") << 1 << QStringLiteral("/dev/ttyS0");
    QTest::newRow("COM99") << 99 << QStringLiteral("/dev/ttyS98");
    QTest::newRow("COM100") << 100 << QStringLiteral("/dev/ttyUSB0");
    QTest::newRow("COM101") << 101 << QStringLiteral("/dev/ttyUSB1");
    QTest::newRow("COM199") << 199 << QStringLiteral("/dev/ttyUSB99");
    QTest::newRow("COM200") << 200 << QStringLiteral("/dev/ttyACM0");
    QTest::newRow("COM255") << 255 << QStringLiteral("/dev/ttyACM55");
#endif
}

void TestComPorts::devicesOfNumbers()
{
    QFETCH(int, number);
    QFETCH(QString, device);
    QCOMPARE(SerialDevicePath(number), device);
    QCOMPARE(ComPortOfDevice(device), number);
}

void TestComPorts::everyNumberMapsBack()
{
    QSet<QString> devices;
    for (int n = 1; n <= 255; ++n) {
        QCOMPARE(ComPortOfDevice(SerialDevicePath(n)), n);
        devices.insert(SerialDevicePath(n));
    }
    QCOMPARE(devices.size(), 255);
}

void TestComPorts::unknownDevices()
{
    QCOMPARE(ComPortOfDevice(QString()), 0);
    QCOMPARE(SerialDevicePath(0), QString());   // COM0 is the simulated display; COM256 does not exist
#ifndef Q_OS_WIN
    QCOMPARE(ComPortOfDevice(QStringLiteral("/dev/ttyS99")), 0);   // would be COM100
    QCOMPARE(ComPortOfDevice(QStringLiteral("/dev/ttyACM56")), 0);  // beyond one byte
    QCOMPARE(ComPortOfDevice(QStringLiteral("/dev/ttyAMA0")), 0);
    QCOMPARE(ComPortOfDevice(QStringLiteral("/dev/ttyUSB01")), 0);
    QCOMPARE(ComPortOfDevice(QStringLiteral("ttyS0")), 0);
#endif
}

void TestComPorts::presentPortsAreNumbered()
{
    const QList<ComPortEntry> ports = AvailableComPorts();
    for (int i = 0; i < ports.size(); ++i) {
        QCOMPARE(SerialDevicePath(ports[i].number), ports[i].device);
        if (i > 0)
            QVERIFY(ports[i - 1].number < ports[i].number);
    }
}

QTEST_MAIN(TestComPorts)
#include "tst_comports.moc"
