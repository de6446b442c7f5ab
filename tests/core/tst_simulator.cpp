// The controller simulator against frames built here from the wire layouts,
// sent as the worker sends them: address twice on Mark, the rest on Space.
#include "app/ProjectFile.h"
#include "sim/ControllerSimulator.h"
#include "render/uRender.h"
#include "SimFrames.h"

#include <QtTest>

namespace {
void Send(ControllerSimulator &sim, const QByteArray &frame, double time = 0)
{
    sim.feed(frame.left(1) + frame.left(1), true, time);
    sim.feed(frame.mid(1), false, time);
}

struct Recorder {
    QVector<SimFrame> frames;
    explicit Recorder(ControllerSimulator &sim)
    {
        sim.onFrame = [this](const SimFrame &f) { frames.append(f); };
    }
    int malformed() const
    {
        return int(std::count_if(frames.begin(), frames.end(), [](const SimFrame &f) { return !f.ok; }));
    }
};
} // namespace

class TestSimulator : public QObject {
    Q_OBJECT
private slots:
    void renderedPagesRoundTrip_data();
    void renderedPagesRoundTrip();
    void pagesRoundTrip_data();
    void pagesRoundTrip();
    void pictureFramesRoundTrip();
    void temporaryMessageSegments();
    void temporaryMessageSegmentsHandedOver();
    void controlFrames();
    void geometryFromParamsAndProject();
    void malformedStreamsResynchronise_data();
    void malformedStreamsResynchronise();
    void unknownSizeAndBadParams();
};

void TestSimulator::renderedPagesRoundTrip_data()
{
    QTest::addColumn<int>("colorMode");
    QTest::addColumn<bool>("portrait");
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<bool>("doubleSided");
    QTest::addColumn<QString>("text");
    QTest::newRow("both displays, single colour") << 1 << true << true << false << QStringLiteral("第一幕 开场");
    QTest::newRow("double-sided, dual colour") << 2 << false << false << true << QStringLiteral("Act 1 风雨");
    QTest::newRow("blank page") << 2 << true << true << false << QString();
}

// The program's own page frames: the simulator shows what the renderer drew.
void TestSimulator::renderedPagesRoundTrip()
{
    QFETCH(int, colorMode);
    QFETCH(bool, portrait);
    QFETCH(bool, landscape);
    QFETCH(bool, doubleSided);
    QFETCH(QString, text);
    TProjectRecord record = DisplayProject(128, 16, colorMode, portrait, landscape, doubleSided);
    record.FontColor = colorMode == 2 ? 0xFFFF : 255;
    record.Stunt = 4;
    QByteArray portraitFrame, landscapeFrame;
    QCOMPARE(RenderPageFrames(PageFontOf(record), PageRequestOf(record, text, 4, 6, 8), portraitFrame,
                              landscapeFrame),
             QString());
    ControllerSimulator sim;
    Recorder rec(sim);
    sim.configureFrom(record);
    for (const QByteArray &frame : {portraitFrame, landscapeFrame})
        if (!frame.isEmpty())
            Send(sim, frame);
    QCOMPARE(rec.malformed(), 0);
    const TPageFont font = PageFontOf(record);
    if (portrait) {
        const QImage drawn = DrawPage(font, 128, 16, TDisplayKind::Portrait, text);
        QCOMPARE(sim.display(2)->picture, Thresholded(drawn, colorMode));
        QCOMPARE(sim.display(2)->effect, int(PortraitEffect(4)));
    }
    if (landscape || doubleSided) {
        const TDisplayKind kind = landscape ? TDisplayKind::Landscape : TDisplayKind::LandscapeDouble;
        const QImage drawn = DrawPage(font, 128, 16, kind, text);
        QCOMPARE(sim.display(1)->picture, Thresholded(drawn, colorMode));
        QCOMPARE(sim.display(1)->effect, 4);
        QCOMPARE(sim.display(1)->speed, 6);
        QCOMPARE(sim.display(1)->dwell, 8);
        QCOMPARE(rec.frames.last().text.endsWith(QStringLiteral(" blank")), text.isEmpty());
    }
}

void TestSimulator::pagesRoundTrip_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("colorMode");
    QTest::newRow("256x32 single") << 256 << 32 << 1;
    QTest::newRow("512x80 dual") << 512 << 80 << 2;
    QTest::newRow("double-sided 2x128x16 dual") << 256 << 16 << 2;
    QTest::newRow("64x16 single") << 64 << 16 << 1;
}

void TestSimulator::pagesRoundTrip()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, colorMode);
    ControllerSimulator sim;
    Recorder rec(sim);
    sim.setDefaults(1, {width, height, colorMode});
    const QImage drawn = RandomPicture(width, height, quint32(width * height + colorMode));
    Send(sim, PageFrame(1, drawn, colorMode, 4), 12.5);

    QCOMPARE(rec.frames.size(), 1);
    QVERIFY2(rec.frames[0].ok, qPrintable(rec.frames[0].text));
    QCOMPARE(rec.frames[0].time, 12.5);
    const SimDisplayState *s = sim.display(1);
    QCOMPARE(s->picture, Thresholded(drawn, colorMode));
    QCOMPARE(rec.frames[0].pictures.first(), s->picture);
    QCOMPARE(s->effect, 4);
    QCOMPARE(s->speed, 5);
    QCOMPARE(s->dwell, 10);
    QCOMPARE(s->lastCommand, 0xF3);
    QCOMPARE(s->pictureKind, 0xF3);
    QCOMPARE(s->malformed, 0);
    // The unpacked picture packs back to the very bytes that were sent.
    QCOMPARE(Planes(s->picture, colorMode), Planes(drawn, colorMode));
}

void TestSimulator::pictureFramesRoundTrip()
{
    ControllerSimulator sim;
    Recorder rec(sim);
    sim.setDefaults(2, {64, 16, 2});
    const QImage logo = RandomPicture(64, 16, 1);
    const QImage welcome = RandomPicture(64, 16, 2);
    Send(sim, Bytes({2, 0xF4}) + Planes(logo, 2) + Bytes({0xAA}));
    Send(sim, Bytes({2, 0xF5, 0x01}) + Planes(welcome, 2) + Bytes({0xAA}));
    QImage dark(64, 16, QImage::Format_RGB32);
    dark.fill(Qt::black);
    Send(sim, PageFrame(2, dark, 2, 0));

    QCOMPARE(rec.malformed(), 0);
    const SimDisplayState *s = sim.display(2);
    QCOMPARE(s->logo, Thresholded(logo, 2));
    QCOMPARE(s->welcome, Thresholded(welcome, 2));
    QCOMPARE(s->frames, 3);
    QVERIFY(rec.frames[1].text.startsWith(QStringLiteral("welcome flag=0x01")));
    QVERIFY(!rec.frames[1].text.endsWith(QStringLiteral("blank")));
    QVERIFY(rec.frames[2].text.endsWith(QStringLiteral(" blank")));

    // Decoding a log: the reports carry the pictures, the displays keep none,
    // so a log of many addresses holds no picture per address.
    ControllerSimulator decoder;
    decoder.keepPictures = false;
    Recorder decoded(decoder);
    decoder.setDefaults(2, {64, 16, 2});
    Send(decoder, Bytes({2, 0xF4}) + Planes(logo, 2) + Bytes({0xAA}));
    Send(decoder, Bytes({2, 0xF5, 0x01}) + Planes(welcome, 2) + Bytes({0xAA}));
    Send(decoder, PageFrame(2, dark, 2, 0));
    QCOMPARE(decoded.frames.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(decoded.frames[i].text, rec.frames[i].text);
        QCOMPARE(decoded.frames[i].pictures, rec.frames[i].pictures);
    }
    const SimDisplayState *kept = decoder.display(2);
    QVERIFY(kept->logo.isNull() && kept->welcome.isNull() && kept->picture.isNull());
    QCOMPARE(kept->frames, 3);
}

void TestSimulator::temporaryMessageSegments()
{
    ControllerSimulator sim;
    Recorder rec(sim);
    sim.setDefaults(1, {256, 32, 1});
    QByteArray frame = Bytes({1, 0xF7, 3});
    QVector<QImage> drawn;
    for (int k = 0; k < 3; ++k) {
        drawn << RandomPicture(256, 32, quint32(10 + k));
        frame += Bytes({2, 0, 7, 9}) + Planes(drawn.last(), 1);
    }
    frame += Bytes({0xAA});
    QCOMPARE(frame.size(), 3088);
    // The worker writes the segment count on its own, then the segments in chunks.
    sim.feed(Bytes({1, 1}), true, 0);
    sim.feed(frame.mid(1, 1), false, 1);
    sim.feed(frame.mid(2, 1), false, 2);
    sim.feed(frame.mid(3, 2000), false, 3);
    sim.feed(frame.mid(2003), false, 4);

    QCOMPARE(rec.frames.size(), 1);
    QVERIFY2(rec.frames[0].ok, qPrintable(rec.frames[0].text));
    QCOMPARE(rec.frames[0].time, 4.0);
    QCOMPARE(rec.frames[0].pictures.size(), 3);
    const SimDisplayState *s = sim.display(1);
    QVERIFY(s->tempPending);
    QCOMPARE(s->tempMessage.size(), 3);
    for (int k = 0; k < 3; ++k)
        QCOMPARE(s->tempMessage[k].picture, Thresholded(drawn[k], 1));
    QCOMPARE(s->effect, 2);
    QCOMPARE(s->speed, 7);
    QCOMPARE(s->dwell, 9);

    Send(sim, Bytes({1, 0xF8, 0, 0xAA}));
    QVERIFY(!s->tempPending);
    QVERIFY(s->tempMessage.isEmpty());
    // An empty text: no segments at all.
    Send(sim, Bytes({1, 0xF7, 0, 0xAA}));
    QCOMPARE(rec.frames.last().text, QStringLiteral("temp segments=0 256x32 colours=1"));
    QVERIFY(!s->tempPending);
    QCOMPARE(rec.malformed(), 0);
}

// For decoding long logs: each segment goes out as soon as its bytes are in,
// and neither the frame report nor the display keeps a picture.
void TestSimulator::temporaryMessageSegmentsHandedOver()
{
    ControllerSimulator sim;
    Recorder rec(sim);
    sim.setDefaults(1, {256, 32, 1});
    QVector<QImage> drawn, handed;
    QByteArray frame = Bytes({1, 0xF7, 3});
    for (int k = 0; k < 3; ++k) {
        drawn << RandomPicture(256, 32, quint32(40 + k));
        frame += Bytes({1, 0, 4, 6}) + Planes(drawn.last(), 1);
    }
    sim.onTempSegment = [&](int address, int index, const SimSegment &segment) {
        QCOMPARE(address, 1);
        QCOMPARE(index, int(handed.size()));
        QCOMPARE(segment.dwell, 6);
        handed << segment.picture;
    };
    sim.feed(Bytes({1, 1}), true, 0);
    sim.feed(frame.mid(1, 2 + 4 + 1024 + 10), false, 1);
    QCOMPARE(handed.size(), 1);   // the first segment, before the rest arrived
    sim.feed(frame.mid(1 + 2 + 4 + 1024 + 10), false, 2);
    QCOMPARE(handed.size(), 3);
    QVERIFY(rec.frames.isEmpty());   // the end byte is still to come
    sim.feed(Bytes({0xAA}), false, 3);
    for (int k = 0; k < 3; ++k)
        QCOMPARE(handed[k], Thresholded(drawn[k], 1));
    QCOMPARE(rec.frames.size(), 1);
    QVERIFY2(rec.frames[0].ok, qPrintable(rec.frames[0].text));
    QVERIFY(rec.frames[0].pictures.isEmpty());
    QVERIFY(sim.display(1)->tempMessage.isEmpty() && sim.display(1)->tempPending);
    QCOMPARE(sim.display(1)->dwell, 6);
}

void TestSimulator::controlFrames()
{
    ControllerSimulator sim;
    Recorder rec(sim);
    Send(sim, Bytes({2, 0xF1, 0xAA}), 1);
    Send(sim, Bytes({2, 0xF6, 3, 0xAA}), 2);
    Send(sim, Bytes({2, 0xF2, 0x02, 0x00, 0x00, 0x50, 0x02, 0x10, 0x01, 0x00, 0xAA}), 3);

    QCOMPARE(rec.malformed(), 0);
    const SimDisplayState *s = sim.display(2);
    QCOMPARE(s->resets, 1);
    QCOMPARE(s->brightness, 3);
    QVERIFY(s->params.received);
    QCOMPARE(s->params.width, 512);
    QCOMPARE(s->params.height, 80);
    QCOMPARE(s->params.colorMode, 2);
    QCOMPARE(s->params.scanMode, 16);
    QCOMPARE(s->params.oePolarity, 1);
    QCOMPARE(s->params.dataPolarity, 0);
    QCOMPARE(s->lastCommand, 0xF2);
    QCOMPARE(s->lastTime, 3.0);
    QCOMPARE(rec.frames[1].text, QStringLiteral("brightness level=3"));
    QCOMPARE(rec.frames[2].text, QStringLiteral("params width=512 height=80 colours=2 scan=16 oe=1 data=0"));
    QVERIFY(s->picture.isNull());
}

void TestSimulator::geometryFromParamsAndProject()
{
    TProjectRecord record = DisplayProject(128, 16, 1, true, false, true);
    ControllerSimulator sim;
    Recorder rec(sim);
    sim.configureFrom(record);
    QCOMPARE(sim.display(1)->geometry().width, 256);   // both faces in one picture
    QCOMPARE(sim.display(2)->geometry().width, 128);

    const QImage both = RandomPicture(256, 16, 5);
    Send(sim, PageFrame(1, both, 1));
    QCOMPARE(sim.display(1)->picture, Thresholded(both, 1));

    // Screen parameters received win over the project's size from then on.
    Send(sim, ParamsFrame(2, 64, 32, 2));
    const QImage small = RandomPicture(64, 32, 6);
    Send(sim, PageFrame(2, small, 2));
    QCOMPARE(sim.display(2)->picture, Thresholded(small, 2));
    sim.configureFrom(record);
    QCOMPARE(sim.display(2)->geometry().width, 64);
    QCOMPARE(rec.malformed(), 0);

    // A damaged width is not doubled past the int range: no size.
    TProjectRecord damaged = DisplayProject(128, 16, 1, false, false, true);
    for (const int width : {INT_MAX, INT_MIN, -8}) {
        damaged.ScreenWidth = width;
        QVERIFY(!ProjectGeometry(damaged, 1).valid());
    }

    // A display the project does not configure has no size.
    record.PortraitOn = 0;
    QVERIFY(!ProjectGeometry(record, 2).valid());
    QVERIFY(!ProjectGeometry(record, 3).valid());
}

void TestSimulator::malformedStreamsResynchronise_data()
{
    QTest::addColumn<QByteArray>("bad");      // sent on Space after one address byte
    QTest::addColumn<QString>("reason");
    const QByteArray page = PageFrame(1, RandomPicture(64, 16, 7), 1);
    QTest::newRow("cut by a new address byte") << page.mid(1, 60) << "frame cut by an address byte after 61 bytes";
    QTest::newRow("missing 0xAA") << (page.mid(1, page.size() - 2) + Bytes({0x00, 0xAA}))
                                  << "page frame of 135 bytes does not end in 0xAA (0x00)";
    QTest::newRow("unknown command") << Bytes({0xE0, 1, 2, 0xAA}) << "unknown command byte 0xe0";
    QTest::newRow("garbage after a frame") << Bytes({0xF1, 0xAA, 0x55, 0x66}) << "stray byte 0x55 after a frame";
}

void TestSimulator::malformedStreamsResynchronise()
{
    QFETCH(QByteArray, bad);
    QFETCH(QString, reason);
    ControllerSimulator sim;
    Recorder rec(sim);
    sim.setDefaults(1, {64, 16, 1});
    sim.feed(Bytes({1, 1}), true, 0);
    sim.feed(bad, false, 1);
    const QImage next = RandomPicture(64, 16, 8);
    Send(sim, PageFrame(1, next, 1), 2);

    QCOMPARE(rec.malformed(), 1);
    const SimFrame &fault = *std::find_if(rec.frames.begin(), rec.frames.end(), [](auto &f) { return !f.ok; });
    QVERIFY2(fault.text.contains(reason), qPrintable(fault.text));
    QCOMPARE(fault.address, 1);
    QVERIFY(rec.frames.last().ok);
    QCOMPARE(sim.display(1)->picture, Thresholded(next, 1));
    QCOMPARE(sim.display(1)->malformed, 1);
    QVERIFY(sim.display(1)->lastError.contains(reason));
}

void TestSimulator::unknownSizeAndBadParams()
{
    ControllerSimulator sim;
    Recorder rec(sim);
    // Bytes before any address byte: counted once per run, not per byte.
    sim.feed(Bytes({0xF3, 0, 0, 0}), false, 0);
    QCOMPARE(sim.unaddressedErrors(), 1);
    QCOMPARE(rec.frames.last().address, -1);

    // A picture for an address with no size known cannot be measured.
    Send(sim, PageFrame(2, RandomPicture(64, 16, 9), 1));
    QVERIFY(rec.frames.last().text.contains(QStringLiteral("no screen size known for address 2")));
    // Screen parameters that describe no usable picture are refused and the
    // size in force stays.
    Send(sim, ParamsFrame(2, 64, 16, 1));
    Send(sim, ParamsFrame(2, 64, 16, 3));
    QVERIFY(rec.frames.last().text.contains(QStringLiteral("unusable")));
    QCOMPARE(sim.display(2)->params.colorMode, 1);
    Send(sim, ParamsFrame(2, 0, 16, 1));
    QCOMPARE(sim.display(2)->params.width, 64);

    // A frame still open when the line goes quiet is truncated.
    sim.feed(Bytes({2, 2}), true, 5);
    sim.feed(PageFrame(2, RandomPicture(64, 16, 10), 1).mid(1, 50), false, 5);
    sim.endOfStream(6);
    QVERIFY(rec.frames.last().text.contains(QStringLiteral("page frame truncated after 51 bytes")));
    QCOMPARE(rec.frames.last().time, 6.0);
    QCOMPARE(sim.display(2)->malformed, 4);
    QCOMPARE(sim.display(2)->frames, 1);
}

QTEST_MAIN(TestSimulator)
#include "tst_simulator.moc"
