// The tap from the worker's thread to the simulator, and the LED drawing.
#include "app/ProjectFile.h"
#include "sim/LedPicture.h"
#include "sim/WireTap.h"
#include "SimFrames.h"

#include <QSignalSpy>
#include <QtTest>

#include <thread>

class TestWireTap : public QObject {
    Q_OBJECT
private slots:
    void bytesFromAnotherThreadArriveInOrder();
    void audienceFaces();
    void ledsKeepColours();
};

void TestWireTap::bytesFromAnotherThreadArriveInOrder()
{
    const TProjectRecord record = DisplayProject(64, 16, 1, true, false, false);
    WireTap tap(&record);
    QSignalSpy changed(&tap, &WireTap::changed);
    const QImage first = RandomPicture(64, 16, 41), second = RandomPicture(64, 16, 42);
    const QByteArray a = PageFrame(2, first, 1), b = PageFrame(2, second, 1);
    // As the worker writes: many small writes, the payload in pieces.
    std::thread worker([&] {
        tap.opened();
        for (const QByteArray &f : {a, b}) {
            tap.written(f.left(1) + f.left(1), true);
            tap.written(f.mid(1, 1), false);
            for (int at = 2; at < f.size(); at += 7)
                tap.written(f.mid(at, 7), false);
        }
        tap.written(a.mid(0, 1), true);
        tap.written(a.mid(1, 30), false);
        tap.closed();
    });
    worker.join();
    // Nothing is touched on the worker's thread: it all waits in the queue.
    QVERIFY(!tap.simulator().display(2));
    QCoreApplication::processEvents();
    const SimDisplayState *s = tap.simulator().display(2);
    QVERIFY(s);
    QCOMPARE(s->frames, 2);
    QCOMPARE(s->picture, Thresholded(second, 1));
    QCOMPARE(s->malformed, 1);   // the frame cut by the close
    QVERIFY(s->lastError.contains(QStringLiteral("truncated")));
    QVERIFY(changed.count() > 2);
    QVERIFY(s->lastTime > 1e12);   // wall-clock milliseconds
}

void TestWireTap::audienceFaces()
{
    QImage picture(4, 2, QImage::Format_RGB32);
    picture.fill(Qt::black);
    picture.setPixel(0, 0, qRgb(255, 0, 0));   // top left
    picture.setPixel(3, 1, qRgb(0, 255, 0));   // bottom right
    // A quarter turn clockwise: the top-left pixel goes to the top right.
    const QVector<QImage> portrait = AudienceFaces(picture, true, false);
    QCOMPARE(portrait.size(), 1);
    QCOMPARE(portrait[0].size(), QSize(2, 4));
    QCOMPARE(portrait[0].pixel(1, 0), qRgb(255, 0, 0));
    QCOMPARE(portrait[0].pixel(0, 3), qRgb(0, 255, 0));

    const QVector<QImage> faces = AudienceFaces(picture, false, true);
    QCOMPARE(faces.size(), 2);
    QCOMPARE(faces[0].size(), QSize(2, 2));
    QCOMPARE(faces[0].pixel(0, 0), qRgb(255, 0, 0));
    QCOMPARE(faces[1].pixel(1, 1), qRgb(0, 255, 0));
    QCOMPARE(AudienceFaces(picture, false, false)[0], picture);
}

void TestWireTap::ledsKeepColours()
{
    QImage picture(3, 1, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    picture.setPixel(1, 0, qRgb(0, 0, 0));
    picture.setPixel(2, 0, qRgb(255, 255, 0));
    const QImage leds = DrawLeds(picture, 6);
    QCOMPARE(leds.size(), QSize(18, 6));
    QCOMPARE(leds.pixel(2, 2), qRgb(255, 0, 0));     // centre of the first LED
    QCOMPARE(leds.pixel(8, 2), qRgb(40, 40, 40));    // a dark LED stays visible
    QCOMPARE(leds.pixel(14, 2), qRgb(255, 255, 0));
    QVERIFY(qRed(leds.pixel(0, 0)) < 64);            // round: the corner stays dark
    QCOMPARE(leds.pixel(17, 5), qRgb(0, 0, 0));      // gap between LEDs
}

QTEST_GUILESS_MAIN(TestWireTap)
#include "tst_wiretap.moc"
