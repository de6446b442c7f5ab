// The QSerialPort backend on a pseudo-terminal pair, and the port names.
// A pseudo-terminal ignores parity: the bytes are read back and the parity
// flags checked on the line settings, nothing more.
#include "link/QtSerialPort.h"
#include "link/uSendThread.h"

#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {
// A pseudo-terminal pair: the test reads the master; the port under test
// opens the slave.
class Pty {
public:
    Pty()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
            m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
        // Held open to read the slave's line settings while the port has it.
        if (!m_slavePath.isEmpty())
            m_slave = ::open(ptsname(m_master), O_RDWR | O_NOCTTY);
    }
    ~Pty()
    {
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    bool ok() const { return m_slave >= 0; }
    QString slavePath() const { return m_slavePath; }
    tcflag_t cflag() const
    {
        termios tio{};
        tcgetattr(m_slave, &tio);
        return tio.c_cflag;
    }
    speed_t speed() const
    {
        termios tio{};
        tcgetattr(m_slave, &tio);
        return cfgetospeed(&tio);
    }
    // Reads until n bytes came or two seconds passed.
    QByteArray read(int n) const
    {
        QByteArray out;
        QDeadlineTimer deadline(2000);
        while (out.size() < n && !deadline.hasExpired()) {
            pollfd p{m_master, POLLIN, 0};
            if (poll(&p, 1, int(deadline.remainingTime())) <= 0)
                continue;
            char buffer[256];
            const ssize_t got = ::read(m_master, buffer, sizeof buffer);
            if (got > 0)
                out.append(buffer, int(got));
        }
        return out;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
} // namespace

class TestSerialPort : public QObject {
    Q_OBJECT
private slots:
    void portNames_data();
    void portNames();
    void parityOnAnOpenPseudoTerminal();
    void workerOverAPseudoTerminal();
    void missingDevice();
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

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
