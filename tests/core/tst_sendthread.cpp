// The send worker: bytes, parities and pauses on the line, its messages, its
// failures. Pauses run on a virtual clock, so the stamps are exact; one case
// runs on the machine's clock and checks the pauses as lower bounds.
#include "LinkSupport.h"

#include "link/Frames.h"

#include <QtTest>

namespace {
// Expected wire-log lines.
struct Wire {
    QStringList lines{QStringLiteral("open COM1 (/dev/ttyS0) 57600")};
    Wire &at(double ms, const QString &what)
    {
        lines << QString::number(ms, 'f', 3) + QLatin1Char(' ') + what;
        return *this;
    }
    Wire &write(double ms, const char *parity, const QByteArray &bytes)
    {
        return at(ms, QStringLiteral("write %1 %2").arg(QLatin1String(parity),
                                                         QString::fromLatin1(bytes.toHex())));
    }
};

QByteArray Hex(const char *hex) { return QByteArray::fromHex(hex); }

// A page-like frame whose payload (the bytes after the command) is n bytes.
QByteArray PayloadFrame(int n)
{
    return Hex("02f3") + QByteArray(n - 1, '\x11') + char(FrameEnd);
}

QString Progress(const QList<LinkMessage> &messages)
{
    QStringList out;
    for (const LinkMessage &m : messages)
        if (m.type == WM_SENDPROGRESS)
            out << QStringLiteral("%1,%2").arg(m.wParam).arg(m.lParam);
    return out.join(QLatin1Char(' '));
}
} // namespace

class TestSendThread : public QObject {
    Q_OBJECT
private slots:
    void wireLog_data();
    void wireLog();
    void messagesOfAReset();
    void baudRate_data();
    void baudRate();
    void portRefused();
    void writeFailsHalfWay();
    void parityWaitsForTheDriverQueue();
    void pausesOnTheMachineClock();
    void gapsOnTheModelledWire();
    void stalledLineFails();
};

void TestSendThread::wireLog_data()
{
    QTest::addColumn<QByteArray>("frame1");
    QTest::addColumn<QByteArray>("frame2");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<QString>("progress");

    QTest::newRow("reset on the portrait display")
        << Hex("02f1aa") << QByteArray()
        << Wire()
               .write(0, "mark", Hex("0202"))
               .at(5, "parity space")
               .write(55, "space", Hex("f1"))
               .write(55, "space", Hex("aa"))
               .at(115, "close")
               .lines
        << "0,0 1,0 0,4 -1,0";
    QTest::newRow("both slots empty: open and close only")
        << QByteArray() << QByteArray() << Wire().at(10, "close").lines << "0,0 -1,0";
    QTest::newRow("slot 2 alone: no parity settle")
        << QByteArray() << Hex("01f1aa")
        << Wire()
               .write(10, "mark", Hex("0101"))
               .at(15, "parity space")
               .write(15, "space", Hex("f1"))
               .write(15, "space", Hex("aa"))
               .at(65, "close")
               .lines
        << "0,0 1,0 0,4 -1,0";
    QTest::newRow("both slots: Mark again for the second address")
        << Hex("02f1aa") << Hex("01f1aa")
        << Wire()
               .write(0, "mark", Hex("0202"))
               .at(5, "parity space")
               .write(55, "space", Hex("f1"))
               .write(55, "space", Hex("aa"))
               .at(115, "parity mark")
               .write(115, "mark", Hex("0101"))
               .at(120, "parity space")
               .write(120, "space", Hex("f1"))
               .write(120, "space", Hex("aa"))
               .at(170, "close")
               .lines
        << "0,0 1,0 0,4 1,0 0,4 -1,0";
    QTest::newRow("screen parameters settle 200 ms")
        << Hex("02f2010000200100" "0000aa") << QByteArray()
        << Wire()
               .write(0, "mark", Hex("0202"))
               .at(5, "parity space")
               .write(55, "space", Hex("f2"))
               .write(255, "space", Hex("010000200100" "0000aa"))
               .at(315, "close")
               .lines
        << "0,0 9,0 0,12 -1,0";
    QTest::newRow("0xF7: the count byte alone after the settle")
        << Hex("02f703414243aa") << QByteArray()
        << Wire()
               .write(0, "mark", Hex("0202"))
               .at(5, "parity space")
               .write(55, "space", Hex("f7"))
               .write(455, "space", Hex("03"))
               .write(455, "space", Hex("414243aa"))
               .at(515, "close")
               .lines
        << "0,0 4,0 0,8 -1,0";
    const QByteArray p4096 = PayloadFrame(4096);
    QTest::newRow("payload of 4096 bytes: one write")
        << p4096 << QByteArray()
        << Wire()
               .write(0, "mark", Hex("0202"))
               .at(5, "parity space")
               .write(55, "space", Hex("f3"))
               .write(55, "space", p4096.mid(2))
               .at(115, "close")
               .lines
        << "0,0 4096,0 0,4099 -1,0";
    const QByteArray p4097 = PayloadFrame(4097);
    QTest::newRow("payload of 4097 bytes: 4096 and 1")
        << p4097 << QByteArray()
        << Wire()
               .write(0, "mark", Hex("0202"))
               .at(5, "parity space")
               .write(55, "space", Hex("f3"))
               .write(55, "space", p4097.mid(2, 4096))
               .write(105, "space", Hex("aa"))
               .at(165, "close")
               .lines
        << "0,0 4097,0 0,4099 0,4100 -1,0";
}

void TestSendThread::wireLog()
{
    QFETCH(QByteArray, frame1);
    QFETCH(QByteArray, frame2);
    QFETCH(QStringList, wire);
    QFETCH(QString, progress);
    const LinkRun run = Transmit(frame1, frame2);
    QCOMPARE(run.wire, wire);
    QCOMPARE(Progress(run.messages), progress);
    QVERIFY(run.idleAtDone);
}

void TestSendThread::messagesOfAReset()
{
    const LinkRun run = Transmit(Hex("02f1aa"), QByteArray(), QStringLiteral("发送复位命令"));
    const QList<LinkMessage> expected = {
        {WM_SENDCURSOR, 1, 0, {}},
        {WM_SENDLOCK, 0, 0, {}},
        {WM_SENDPROGRESS, 0, 0, {}},
        {WM_SENDSTATUS, 0, 0, QStringLiteral("正在连接显示屏...")},
        {WM_SENDSTATUS, 0, 0, QStringLiteral("正在向显示屏发送复位命令...")},
        {WM_SENDPROGRESS, 1, 0, {}},
        {WM_SENDPROGRESS, 0, 4, {}},
        {WM_SENDSTATUS, 0, 0, QStringLiteral("向显示屏发送复位命令完毕！")},
        {WM_SENDCURSOR, 0, 0, {}},
        {WM_SENDPROGRESS, -1, 0, {}},
        {WM_SENDDONE, 1, 1, {}},
    };
    QStringList got, want;
    for (const LinkMessage &m : run.messages)
        got << ToString(m);
    for (const LinkMessage &m : expected)
        want << ToString(m);
    QCOMPARE(got, want);
}

void TestSendThread::baudRate_data()
{
    QTest::addColumn<int>("recordBaud");
    QTest::addColumn<int>("lineBaud");
    QTest::newRow("9600") << 9600 << 9600;
    QTest::newRow("28800") << 28800 << 57600;
    QTest::newRow("57600") << 57600 << 57600;
    QTest::newRow("115200") << 115200 << 57600;
}

void TestSendThread::baudRate()
{
    QFETCH(int, recordBaud);
    QFETCH(int, lineBaud);
    const LinkRun run = Transmit(QByteArray(), QByteArray(), QStringLiteral("X"), recordBaud);
    QCOMPARE(run.wire.value(0), QStringLiteral("open COM1 (/dev/ttyS0) %1").arg(lineBaud));
}

void TestSendThread::portRefused()
{
    RecordingOptions refused;
    refused.refuseOpen = true;
    const LinkRun run = Transmit(Hex("02f1aa"), Hex("01f1aa"), QStringLiteral("X"), 57600, refused);
    QVERIFY(run.wire.isEmpty());
    // The window was never locked and gets no status text; the cursor comes
    // back, the bar hides, and the end is reported with the reason.
    QCOMPARE(run.messages.size(), 4);
    QCOMPARE(ToString(run.messages.at(0)), ToString({WM_SENDCURSOR, 1, 0, {}}));
    QCOMPARE(ToString(run.messages.at(1)), ToString({WM_SENDCURSOR, 0, 0, {}}));
    QCOMPARE(ToString(run.messages.at(2)), ToString({WM_SENDPROGRESS, -1, 0, {}}));
    QCOMPARE(run.messages.at(3).type, int(WM_SENDDONE));
    QCOMPARE(run.messages.at(3).text,
             QStringLiteral("无法打开串口 COM1 (/dev/ttyS0)：串口无法打开"));
    QVERIFY(run.idleAtDone);
}

void TestSendThread::writeFailsHalfWay()
{
    // The adapter goes at the third write: the payload of slot 1.
    RecordingOptions pulled;
    pulled.failAtWrite = 3;
    const LinkRun run = Transmit(PayloadFrame(5000), Hex("01f1aa"), QStringLiteral("X"), 57600, pulled);
    QCOMPARE(run.wire, Wire()
                           .write(0, "mark", Hex("0202"))
                           .at(5, "parity space")
                           .write(55, "space", Hex("f3"))
                           .at(55, "close")
                           .lines);
    const LinkMessage last = run.messages.constLast();
    QCOMPARE(last.type, int(WM_SENDDONE));
    QVERIFY(!last.text.isEmpty());
    QVERIFY(run.idleAtDone);
    QStringList statuses;
    for (const LinkMessage &m : run.messages)
        if (m.type == WM_SENDSTATUS)
            statuses << m.text;
    QCOMPARE(statuses.constLast(), QStringLiteral("正在向显示屏X..."));
    QCOMPARE(Progress(run.messages), QStringLiteral("0,0 5000,0 -1,0"));
}

void TestSendThread::parityWaitsForTheDriverQueue()
{
    // 1000 payload bytes fit the driver's queue, so the write returns at
    // once; at 57600 baud they need about 190 ms on the line, far more than
    // the 60 ms of pauses before the second address goes out on Mark.
    RecordingOptions queue;
    queue.driverQueue = 1024;
    const LinkRun run = Transmit(PayloadFrame(1000), Hex("01f1aa"), QStringLiteral("X"), 57600, queue);
    QCOMPARE(run.bytesOnWrongParity, 0);

    const double byteMs = 11.0 * 1000 / 57600;
    double lineFree = 0;
    int parityLines = 0;
    QVector<WireEvent> writes = Writes(run.wire);
    for (const QString &line : run.wire.mid(1)) {
        const double at = StampOf(line);
        if (line.contains(QLatin1String(" parity "))) {
            ++parityLines;
            QVERIFY2(at >= lineFree - 0.001, qPrintable(line));
        } else if (line.contains(QLatin1String(" write "))) {
            lineFree = std::max(at, lineFree) + writes.takeFirst().bytes.size() * byteMs;
        }
    }
    QCOMPARE(parityLines, 3);
    // The specified pauses come on top of the wait: the second address
    // waits for the line, not merely for the 60 ms.
    QVERIFY(StampOf(run.wire.filter(QStringLiteral(" parity mark")).value(0)) >= 55 + 1001 * byteMs - 0.01);
}

void TestSendThread::pausesOnTheMachineClock()
{
    const LinkRun run = Transmit(Hex("02f1aa"), Hex("01f1aa"), QStringLiteral("X"), 57600, {},
                                 SystemClock());
    QCOMPARE(run.wire.size(), 11);
    const auto t = [&](int i) { return StampOf(run.wire.at(i)); };
    QVERIFY(t(2) - t(1) >= 5);     // address, then Space
    QVERIFY(t(3) - t(2) >= 50);    // slot 1 parity settle
    QVERIFY(t(5) - t(4) >= 60);    // chunk pause and the gap between slots
    QVERIFY(t(7) - t(6) >= 5);
    QVERIFY(t(10) - t(9) >= 50);   // chunk pause of slot 2
}

namespace {
// When each write's bytes have left a line of baud behind a driver queue:
// the stamps of the writes, each with the moment its last byte has left.
struct Departure {
    double writtenMs, leftMs;
};
QVector<Departure> Departures(const QStringList &wire, int baud)
{
    const double byteMs = 11.0 * 1000 / baud;
    QVector<Departure> out;
    double lineFree = 0;
    const QVector<WireEvent> writes = Writes(wire);
    for (const WireEvent &w : writes) {
        lineFree = std::max(w.timeMs, lineFree) + w.bytes.size() * byteMs;
        out.append({w.timeMs, lineFree});
    }
    return out;
}
} // namespace

// A driver queue takes a 4096-byte chunk at once while the line needs about
// 780 ms for it: every pause must start when the bytes before it have left,
// or the controller sees no gap at all.
void TestSendThread::gapsOnTheModelledWire()
{
    RecordingOptions queue;
    queue.driverQueue = 4096;
    const LinkRun run = Transmit(PayloadFrame(5000), Hex("01f1aa"), QStringLiteral("X"), 57600, queue);
    const QVector<Departure> d = Departures(run.wire, 57600);
    // 0202, f3, chunk of 4096, chunk of 904, then slot 2: 0101, f1, aa (no
    // pause between a reset's command and payload).
    QCOMPARE(d.size(), 7);
    const auto gap = [&](int i) { return d[i].writtenMs - d[i - 1].leftMs; };
    QVERIFY2(gap(1) >= 55 - 0.01, qPrintable(QString::number(gap(1))));   // 5, Space, 50 settle
    QVERIFY2(gap(3) >= 50 - 0.01, qPrintable(QString::number(gap(3))));   // after the first chunk
    QVERIFY2(gap(4) >= 60 - 0.01, qPrintable(QString::number(gap(4))));   // last chunk, then the slots' 10
    QVERIFY2(gap(5) >= 5 - 0.01, qPrintable(QString::number(gap(5))));
    // And no more than the pauses: the worker waits for the line, not longer.
    QVERIFY2(gap(3) < 50.01 && gap(4) < 60.01, qPrintable(QString::number(gap(4))));
    QCOMPARE(run.bytesOnWrongParity, 0);
}

// The line carries 3000 bytes and then nothing: the worker fails 5 s after
// the last byte left, reports a stall, and drops what is still queued
// instead of sending it later.
void TestSendThread::stalledLineFails()
{
    RecordingOptions stall;
    stall.driverQueue = 4096;
    stall.stallAfterBytes = 3000;
    const LinkRun run = Transmit(PayloadFrame(5000), Hex("01f1aa"), QStringLiteral("X"), 57600, stall);
    const LinkMessage done = run.messages.constLast();
    QCOMPARE(done.type, int(WM_SENDDONE));
    QVERIFY2(done.text.startsWith(QStringLiteral("线路停滞：COM1 (/dev/ttyS0)")), qPrintable(done.text));
    QVERIFY(run.idleAtDone);
    QCOMPARE(Writes(run.wire).size(), 3);   // slot 1 never finished, slot 2 never began
    const double lastByteLeft = 3000 * 11.0 * 1000 / 57600 + 55;
    const double closed = StampOf(run.wire.constLast());
    QVERIFY(run.wire.constLast().endsWith(QLatin1String(" close")));
    QVERIFY2(closed >= lastByteLeft + 5000 - 0.01 && closed < lastByteLeft + 5000 + 60,
             qPrintable(QString::number(closed)));
    QCOMPARE(run.bytesOnWrongParity, 0);
}

QTEST_GUILESS_MAIN(TestSendThread)
#include "tst_sendthread.moc"
