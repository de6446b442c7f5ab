// The QSerialPort backend on a pseudo-terminal pair, and the port names.
// A pseudo-terminal ignores parity: the bytes are read back and the parity
// flags checked on the line settings, nothing more.
#include "Pty.h"

#include "link/QtSerialPort.h"
#include "link/uSendThread.h"

#include <QtTest>


class TestSerialPort : public QObject {
    Q_OBJECT
private slots:
    void portNames_data();
    void portNames();
    void parityOnAnOpenPseudoTerminal();
    void workerOverAPseudoTerminal();
    void missingDevice();
    void stalledLineFails();
};

void TestSerialPort::portNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("device");
    QTest::newRow("Com1") << ComPortName(1) << "/dev/ttyS0";
    QTest::newRow("Com99") << ComPortName(99) << "/dev/ttyS98";
    QTest::newRow("Com100") << ComPortName(100) << "/dev/ttyUSB0";
    QTest::newRow("Com199") << ComPortName(199) << "/dev/ttyUSB99";
    QTest::newRow("Com200") << ComPortName(200) << "/dev/ttyACM0";
    QTest::newRow("Com255") << ComPortName(255) << "/dev/ttyACM55";
    QTest::newRow("Com0 names no device") << ComPortName(0) << "";
    QTest::newRow("other case") << "\\\\.\\COM3" << "/dev/ttyS2";
    QTest::newRow("a device path") << "/dev/pts/7" << "/dev/pts/7";
}

void TestSerialPort::portNames()
{
    QFETCH(QString, name);
    QTEST(DeviceForPortName(name), "device");
}

void TestSerialPort::parityOnAnOpenPseudoTerminal()
{
    Pty pty;
    QVERIFY(pty.ok());
    QtSerialPort port(pty.slavePath());
    port.setBaudRate(57600);
    port.setParity(SerialPort::Mark);
    port.open();
    QCOMPARE(pty.speed(), speed_t(B57600));
    QCOMPARE(pty.cflag() & (CMSPAR | PARODD | CSIZE | CSTOPB | CRTSCTS),
             tcflag_t(CMSPAR | PARODD | CS8));
    port.write(QByteArray::fromHex("0202"));
    port.setParity(SerialPort::Space);
    QCOMPARE(pty.cflag() & (CMSPAR | PARODD), tcflag_t(CMSPAR));
    port.write(QByteArray::fromHex("f1aa"));
    port.setParity(SerialPort::Mark);
    QCOMPARE(pty.cflag() & (CMSPAR | PARODD), tcflag_t(CMSPAR | PARODD));
    port.write(QByteArray::fromHex("0101"));
    port.close();
    QCOMPARE(pty.read(6).toHex(), QByteArray("0202f1aa0101"));
}

void TestSerialPort::workerOverAPseudoTerminal()
{
    Pty pty;
    QVERIFY(pty.ok());
    const QByteArray big = QByteArray::fromHex("02f3") + QByteArray(5000, '\x5a') + '\xaa';
    const QString failure = RunTransmission(pty.slavePath(), 57600, big,
                                            QByteArray::fromHex("01f1aa"), QStringLiteral("X"));
    QCOMPARE(failure, QString());
    const QByteArray expected = QByteArray::fromHex("0202") + big.mid(1) + QByteArray::fromHex("0101f1aa");
    QCOMPARE(pty.read(int(expected.size())), expected);
}

void TestSerialPort::missingDevice()
{
    const QString failure = RunTransmission(QStringLiteral("/dev/velmora-no-such-port"), 57600,
                                            QByteArray::fromHex("02f1aa"), QByteArray(),
                                            QStringLiteral("X"));
    QVERIFY(failure.contains(QLatin1String("velmora-no-such-port")));
    QVERIFY(!CurrentSendThread.load());
    QVERIFY(!PortBusy.load());
}

// Nobody reads the far end and the line is full: the write fails as a stall
// instead of blocking, and the port lets go of the rest.
void TestSerialPort::stalledLineFails()
{
    Pty pty;
    QVERIFY(pty.ok());
    const int filled = pty.fill();
    QVERIFY(filled > 0);
    QtSerialPort port(pty.slavePath());
    port.setStallLimitMs(300);
    port.open();
    const QByteArray page(8192, '\x22');
    try {
        port.write(page);
        QFAIL("the write into a full line returned");
    } catch (const LinkError &e) {
        QCOMPARE(int(e.kind()), int(LinkError::Stalled));
    }
    port.abandon();
    QVERIFY(!port.isOpen());
    const QByteArray out = pty.read(filled + int(page.size()));
    QVERIFY(out.count('\x22') < page.size());
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
