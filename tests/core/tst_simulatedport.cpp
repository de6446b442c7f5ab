// Port number 0, the simulated display: chosen for COM0, paced at the line
// rate, and, through the real worker, every transmission the program builds
// arrives at the monitor's simulator as it was drawn.
#include "LinkSupport.h"
#include "SimFrames.h"

#include "link/Frames.h"
#include "link/QtSerialPort.h"
#include "sim/SimulatedPort.h"
#include "link/SpecialFrames.h"
#include "sim/WireTap.h"
#include "render/uRender.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
struct Write {
    int64_t atNs;
    QByteArray bytes;
    bool mark;
};

// Notes when the observer is told of each write, on the port's clock.
class WriteTimes : public SerialPortObserver {
public:
    explicit WriteTimes(std::shared_ptr<LinkClock> clock) : m_clock(std::move(clock)) {}
    QVector<Write> writes;
    int opens = 0, closes = 0;

    void opened() override { ++opens; }
    void written(const QByteArray &bytes, bool mark) override
    {
        writes.append({m_clock->nowNs(), bytes, mark});
    }
    void closed() override { ++closes; }

private:
    std::shared_ptr<LinkClock> m_clock;
};

int64_t LineNs(int64_t bytes, int baud)
{
    return bytes * 11'000'000'000LL / baud;
}

bool AllDark(const QImage &picture)
{
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != qRgb(0, 0, 0))
                return false;
    return true;
}

QImage Filled(int width, int height, QRgb colour)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}
} // namespace

class TestSimulatedPort : public QObject {
    Q_OBJECT
private slots:
    void com0IsTheSimulatedDisplay();
    void pacedAtElevenBitsAByte_data();
    void pacedAtElevenBitsAByte();
    void bytesReachTheObserverWhenTheyHaveLeft();
    void neverFasterThanTheLineOnTheMachineClock();
    void everyTransmissionReachesTheMonitor();
};

void TestSimulatedPort::com0IsTheSimulatedDisplay()
{
    const SerialPortFactory ports = SystemPorts();
    for (const QString &name : {ComPortName(0), QStringLiteral("\\\\.\\COM0")}) {
        std::unique_ptr<SerialPort> port = ports(name);
        QVERIFY2(dynamic_cast<SimulatedPort *>(port.get()), qPrintable(name));
        port->open();   // no serial hardware needed
        QVERIFY(port->isOpen());
    }
    for (const QString &name : {ComPortName(1), ComPortName(10), QStringLiteral("/dev/null0")})
        QVERIFY2(dynamic_cast<QtSerialPort *>(ports(name).get()), qPrintable(name));
}

void TestSimulatedPort::pacedAtElevenBitsAByte_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("piece");
    QTest::newRow("57600, whole") << 57600 << 2000;
    QTest::newRow("57600, worker's chunks") << 57600 << 4096;
    QTest::newRow("57600, small writes") << 57600 << 7;
    QTest::newRow("9600") << 9600 << 100;
    QTest::newRow("115200") << 115200 << 333;
}

// On a virtual clock the pace is exact: the figure on the machine's clock is
// in the link benchmark.
void TestSimulatedPort::pacedAtElevenBitsAByte()
{
    QFETCH(int, baud);
    QFETCH(int, piece);
    auto clock = std::make_shared<VirtualClock>();
    SimulatedPort port(ComPortName(0), clock);
    port.setBaudRate(baud);
    port.open();
    const int64_t start = clock->nowNs();
    constexpr int Bytes = 2000;
    for (int left = Bytes; left > 0; left -= piece)
        port.write(QByteArray(std::min(left, piece), '\x55'));
    port.drain();
    const int64_t took = clock->nowNs() - start;
    const int64_t ideal = LineNs(Bytes, baud);
    QVERIFY2(took >= ideal, qPrintable(QString::number(took)));
    QVERIFY2(double(took - ideal) / double(ideal) < 0.02, qPrintable(QString::number(took)));

    // An idle line does not bank time: bytes written after a pause start then.
    clock->sleepUntilNs(clock->nowNs() + 1'000'000'000);
    const int64_t later = clock->nowNs();
    port.write(QByteArray(100, '\x55'));
    QCOMPARE(clock->nowNs(), later);   // the driver queue takes them at once
    port.drain();
    QVERIFY(clock->nowNs() - later >= LineNs(100, baud));
    port.close();
}

// The observer (the LED monitor's tap) is told of a write once the driver
// queue has taken it, with the parity it was written on; a parity change
// first lets every byte before it cross the line, as on a real port.
void TestSimulatedPort::bytesReachTheObserverWhenTheyHaveLeft()
{
    auto clock = std::make_shared<VirtualClock>();
    WriteTimes seen(clock);
    std::unique_ptr<SerialPort> port = SystemPorts(clock)(ComPortName(0));
    port->setObserver(&seen);
    port->setBaudRate(57600);
    port->open();
    const int64_t start = clock->nowNs();
    port->write(Bytes({1, 1}));
    port->setParity(SerialPort::Space);
    port->write(QByteArray(1000, '\x0f'));
    port->setParity(SerialPort::Mark);
    port->write(Bytes({2, 2}));
    port->close();

    QCOMPARE(seen.opens, 1);
    QCOMPARE(seen.closes, 1);
    QCOMPARE(seen.writes.size(), 3);
    const bool marks[] = {true, false, true};
    int64_t before = 0;
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(seen.writes[i].mark, marks[i]);
        QVERIFY(seen.writes[i].atNs - start >= LineNs(before, 57600));
        before += seen.writes[i].bytes.size();
    }
    // 1000 bytes fit the queue: the write did not wait for the line.
    QVERIFY(seen.writes[1].atNs - start < LineNs(1002, 57600));
}

// Only the lower bound: a loaded machine makes the line slower, never faster.
void TestSimulatedPort::neverFasterThanTheLineOnTheMachineClock()
{
    SimulatedPort port(ComPortName(0));
    port.setBaudRate(57600);
    port.open();
    QElapsedTimer timer;
    timer.start();
    port.write(QByteArray(2000, '\x55'));
    port.drain();
    QVERIFY(timer.nsecsElapsed() >= LineNs(2000, 57600));   // about 382 ms
}

// Set to COM0, the program's own transmissions through the real worker: the
// monitor's simulator ends up showing what each of them said.
void TestSimulatedPort::everyTransmissionReachesTheMonitor()
{
    TProjectRecord record = DisplayProject(64, 16, 2, true, true, false);
    record.ComPort = 0;
    record.FontColor = 0xFFFF;
    WireTap tap(&record);
    auto clock = std::make_shared<VirtualClock>();
    const TLinkEnvironment environment{SystemPorts(clock), clock, &tap};
    int64_t lineNs = 0;
    const auto send = [&](const TTransmission &t) {
        const QString failure = RunTransmission(ComPortName(record.ComPort), record.BaudRate, t.frame1,
                                                t.frame2, t.caption, environment);
        QCoreApplication::processEvents();
        lineNs += LineNs(t.frame1.size() + t.frame2.size(), record.BaudRate);
        return failure;
    };
    const ControllerSimulator &sim = tap.simulator();
    const auto both = [&](auto check) {
        for (int address : {1, 2}) {
            QVERIFY(sim.display(address));
            check(*sim.display(address), address);
        }
    };

    const int64_t start = clock->nowNs();
    QCOMPARE(send(ResetTransmission(record)), QString());
    both([](const SimDisplayState &s, int) { QCOMPARE(s.resets, 1); });

    QCOMPARE(send(ScreenParamsTransmission(record)), QString());
    both([](const SimDisplayState &s, int) {
        QVERIFY(s.params.received);
        QCOMPARE(QSize(s.params.width, s.params.height), QSize(64, 16));
        QCOMPARE(s.params.colorMode, 2);
    });

    QCOMPARE(send(BrightnessStepTransmission(record)), QString());
    both([&](const SimDisplayState &s, int) { QCOMPARE(s.brightness, int(record.BrightnessLevel)); });

    const QString text = QStringLiteral("第一幕 风雨");
    TTransmission page;
    QCOMPARE(RenderPageFrames(PageFontOf(record), PageRequestOf(record, text, 4, 6, 8), page.frame1,
                              page.frame2),
             QString());
    QCOMPARE(send(page), QString());
    const TPageFont font = PageFontOf(record);
    QCOMPARE(sim.display(2)->picture, Thresholded(DrawPage(font, 64, 16, TDisplayKind::Portrait, text), 2));
    QCOMPARE(sim.display(1)->picture, Thresholded(DrawPage(font, 64, 16, TDisplayKind::Landscape, text), 2));
    QVERIFY(!AllDark(sim.display(1)->picture));

    TTransmission blank;
    QCOMPARE(RenderPageFrames(font, PageRequestOf(record, QString(), 0, 0, 0), blank.frame1, blank.frame2),
             QString());
    QCOMPARE(send(blank), QString());
    both([](const SimDisplayState &s, int) { QVERIFY(AllDark(s.picture)); });

    TTempMessage message = StoredTempMessage(record, QStringLiteral("演出即将开始，请关闭手机"));
    message.FontHeight = 16;
    TTransmission temp{{}, {}, TempMessageCaption()};
    BuildTempMessageFrames(record, message, temp.frame1, temp.frame2);
    QCOMPARE(send(temp), QString());
    both([&](const SimDisplayState &s, int address) {
        QVERIFY(s.tempPending);
        const QImage drawn = DrawTempText(message, 64, 16, address == 2);
        QCOMPARE(s.tempMessage.size(), TempSegmentCount(drawn.width(), 64));
        QVERIFY(s.tempMessage.size() > 1);
    });
    QCOMPARE(send(ClearTempTransmission(record)), QString());
    both([](const SimDisplayState &s, int) { QVERIFY(!s.tempPending); });

    QTemporaryDir dir;
    const QString red = dir.filePath(QStringLiteral("red.bmp"));
    const QString yellow = dir.filePath(QStringLiteral("yellow.bmp"));
    QVERIFY(Filled(64, 16, qRgb(255, 0, 0)).save(red, "BMP"));
    QVERIFY(Filled(16, 64, qRgb(255, 255, 0)).save(yellow, "BMP"));
    TTransmission logo{{}, {}, LogoCaption()};
    BuildLogoFrames(record, red, yellow, logo.frame1, logo.frame2);
    QCOMPARE(send(logo), QString());
    QCOMPARE(sim.display(1)->logo, Thresholded(Filled(64, 16, qRgb(255, 0, 0)), 2));
    QCOMPARE(sim.display(2)->logo.size(), QSize(64, 16));
    TTransmission welcome{{}, {}, WelcomeCaption()};
    BuildWelcomeFrames(record, red, welcome.frame1, welcome.frame2);
    QCOMPARE(send(welcome), QString());
    both([](const SimDisplayState &s, int) { QVERIFY(!s.welcome.isNull()); });

    both([](const SimDisplayState &s, int) {
        QCOMPARE(s.malformed, 0);
        QCOMPARE(s.frames, 9);
    });
    QCOMPARE(sim.unaddressedErrors(), 0);
    // The rehearsal took at least as long as the line needs for every byte.
    QVERIFY(clock->nowNs() - start >= lineNs);
}

QTEST_MAIN(TestSimulatedPort)
#include "tst_simulatedport.moc"
