// The temporary message cut into display-wide segments, the LOGO and welcome
// pictures, their frames and what they store.
#include "SimFrames.h"
#include "TestFiles.h"
#include "app/ProjectFile.h"
#include "app/Struct.h"
#include "sim/ControllerSimulator.h"
#include "link/BmpPicture.h"
#include "link/SpecialFrames.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
// A text picture whose columns can be told apart: column x holds the colour
// (x mod 256, x div 256 + 1, 7) in every row.
QImage TextPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
            image.setPixel(x, y, qRgb(x % 256, x / 256 + 1, 7));
    return image;
}
QRgb ColumnColour(int x)
{
    return qRgb(x % 256, x / 256 + 1, 7);
}

// A text picture lit red in its columns 0 .. width-1.
QImage RedText(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(qRgb(255, 0, 0));
    return image;
}

TTempMessage Message(const QString &text, uint8_t stunt = 2)
{
    TTempMessage m;
    m.Text = text;
    m.FontName = QStringLiteral("宋体");
    m.FontHeight = 16;
    m.Stunt = stunt;
    m.RunSpeed = 4;
    m.ShowTime = 9;
    return m;
}

QString SaveBmp(const QTemporaryDir &dir, const QString &name, const QImage &image)
{
    const QString path = dir.filePath(name);
    if (!image.save(path, "BMP"))
        qFatal("cannot save test bitmap");
    return path;
}

// Segment count and sizes agree: 4 + n (4 + planes) bytes, AA at the end.
void CheckSegmented(const QByteArray &frame, int planes)
{
    QVERIFY(frame.size() >= 4);
    const int n = uint8_t(frame[2]);
    QCOMPARE(frame.size(), 4 + n * (4 + planes));
    QCOMPARE(uint8_t(frame.back()), uint8_t(0xAA));
}
} // namespace

class TestSpecialFrames : public QObject {
    Q_OBJECT
private slots:
    void segmentCount()
    {
        QCOMPARE(TempSegmentCount(600, 256), 3);
        QCOMPARE(TempSegmentCount(512, 256), 2);
        QCOMPARE(TempSegmentCount(513, 256), 3);
        QCOMPARE(TempSegmentCount(1, 256), 1);
        QCOMPARE(TempSegmentCount(0, 256), 0);
    }

    void segmentsAreConsecutiveSlices()
    {
        const QImage text = TextPicture(600, 32);
        for (int k = 0; k < 3; ++k) {
            const QImage s = TempSegment(text, k, 256, false);
            QCOMPARE(s.size(), QSize(256, 32));
            const int filled = k < 2 ? 256 : 88;
            for (int x = 0; x < 256; ++x)
                for (int y : {0, 31})
                    QCOMPARE(s.pixel(x, y), x < filled ? ColumnColour(256 * k + x) : qRgb(0, 0, 0));
        }
        // Exactly two display widths: the second segment is full.
        const QImage last = TempSegment(TextPicture(512, 32), 1, 256, false);
        QCOMPARE(last.pixel(255, 0), ColumnColour(511));
    }

    void doubleSidedShowsTheSliceInBothFaces()
    {
        const QImage text = TextPicture(200, 16);
        const QImage s = TempSegment(text, 1, 128, true);
        QCOMPARE(s.size(), QSize(256, 16));
        for (int x = 0; x < 128; ++x) {
            const QRgb expected = x < 72 ? ColumnColour(128 + x) : qRgb(0, 0, 0);
            QCOMPARE(s.pixel(x, 5), expected);
            QCOMPARE(s.pixel(128 + x, 5), expected);
        }
    }

    void anyPictureFormatIsTaken()
    {
        QImage indexed = TextPicture(40, 8).convertToFormat(QImage::Format_ARGB32);
        const QImage s = TempSegment(indexed, 0, 32, false);
        QCOMPARE(s.pixel(31, 0), ColumnColour(31));
        QCOMPARE(TempSegment(indexed, 1, 32, false).pixel(8, 0), qRgb(0, 0, 0));
    }

    void storesTheSettingsCutToTheRecord()
    {
        TProjectRecord r{};
        TTempMessage m;
        m.Text = QString(300, QChar(0x4E2D));   // 600 GBK bytes
        m.FontName = QStringLiteral("黑体");
        m.FontColor = 0x8000;
        m.FontHeight = 24;
        m.Stunt = 3;
        m.RunSpeed = 5;
        m.ShowTime = 9;
        StoreTempMessage(r, m);
        // Cut before the character that would not fit whole.
        QCOMPARE(r.TempText.raw().size(), 254);
        QVERIFY(r.TempText.text().startsWith(QString(127, QChar(0x4E2D))));
        QCOMPARE(r.TempFontName.text(), QStringLiteral("黑体"));
        QCOMPARE(r.TempFontColor, 0x8000);
        QCOMPARE(r.TempFontHeight, 24);
        QCOMPARE(int(r.TempStunt), 3);
        QCOMPARE(int(r.TempRunSpeed), 5);
        QCOMPARE(int(r.TempShowTime), 9);
    }

    void segmentedFrameOf600Pixels()
    {
        const QByteArray f = TempMessageFrame(1, RedText(600, 32), 256, false, 1, Message(QString()));
        QCOMPARE(f.size(), 3088);
        QCOMPARE(f.left(3), QByteArray::fromHex("01f703"));
        for (int k = 0; k < 3; ++k)
            QCOMPARE(f.mid(3 + k * 1028, 4), QByteArray::fromHex("02000409"));
        // Third segment: columns 0..87 lit (bytes 0..10 of a row), 88..255 black.
        const QByteArray third = f.mid(3 + 2 * 1028 + 4, 1024);
        for (int y : {0, 31}) {
            QCOMPARE(third.mid(32 * y, 11), QByteArray(11, 0));
            QCOMPARE(third.mid(32 * y + 11, 21), QByteArray(21, char(0xFF)));
        }
        QCOMPARE(f.mid(3 + 1028 + 4, 1024), QByteArray(1024, 0));   // second one full
        QCOMPARE(uint8_t(f.back()), uint8_t(0xAA));

        const QByteArray exact = TempMessageFrame(1, RedText(512, 32), 256, false, 1, Message(QString()));
        QCOMPARE(uint8_t(exact[2]), uint8_t(2));
        QCOMPARE(exact.size(), 4 + 2 * 1028);
    }

    void doubleSidedDualColourSegments()
    {
        TProjectRecord r = DisplayProject(128, 16, 2, false, false, true);
        QByteArray portrait = "old", landscape;
        BuildTempMessageFrames(r, Message(QStringLiteral("双面屏临时信息 ABC")), portrait, landscape);
        QVERIFY(portrait.isEmpty());
        QCOMPARE(landscape.left(2), QByteArray::fromHex("01f7"));
        QVERIFY(uint8_t(landscape[2]) >= 1);
        CheckSegmented(landscape, 512 + 512);
        // Both faces of every row carry the same bytes, in both planes.
        const QByteArray planes = landscape.mid(3 + 4, 1024);
        for (int row = 0; row < 32; ++row)
            QCOMPARE(planes.mid(row * 32, 16), planes.mid(row * 32 + 16, 16));
        QVERIFY(planes.count(char(0xFF)) < planes.size());   // something is lit
    }

    void emptyTextAndPortraitEffect()
    {
        TProjectRecord r = DisplayProject(64, 16, 1, true, true, false);
        QByteArray portrait, landscape;
        BuildTempMessageFrames(r, Message(QString()), portrait, landscape);
        QCOMPARE(portrait, QByteArray::fromHex("02f700aa"));
        QCOMPARE(landscape, QByteArray::fromHex("01f700aa"));

        // The portrait segments carry the effect as stored (no turning); the
        // vertical-writing face measures the text in its own way.
        BuildTempMessageFrames(r, Message(QStringLiteral("竖屏显示的临时信息abc"), 1), portrait, landscape);
        for (const QByteArray &f : {portrait, landscape}) {
            CheckSegmented(f, 128);
            QCOMPARE(uint8_t(f[3]), uint8_t(1));
        }
        QCOMPARE(r.TempText.text(), QStringLiteral("竖屏显示的临时信息abc"));
        QCOMPARE(int(r.TempStunt), 1);
    }

    void tooWideIsRefusedAfterStoring()
    {
        const QString text(3000, QChar(0x4E2D));   // 3000 x 16 pixels > 255 x 64
        TProjectRecord r = DisplayProject(64, 16, 1, false, true, false);
        QByteArray portrait = "p", landscape = "l";
        QVERIFY(ErrorOf([&] { BuildTempMessageFrames(r, Message(text), portrait, landscape); })
                    .startsWith(QStringLiteral("临时信息太长")));
        QCOMPARE(landscape, QByteArray("l"));   // nothing built
        QCOMPARE(r.TempFontHeight, 16);          // the settings are stored
        QVERIFY(!ErrorOf([] { TempMessageFrame(1, RedText(255 * 64 + 1, 8), 64, false, 1, TTempMessage()); })
                     .isEmpty());
        QCOMPARE(TempMessageFrame(1, RedText(255 * 64, 8), 64, false, 1, TTempMessage()).size(),
                 4 + 255 * (4 + 64));
        QCOMPARE(MaxTempSegments(512, 80), 255);
        QVERIFY(MaxTempSegments(2048, 1024) < 255);   // damaged sizes stay bounded
    }

    void logoFrames()
    {
        QTemporaryDir dir;
        QImage half(32, 32, QImage::Format_RGB32);
        half.fill(Qt::black);
        for (int x = 0; x < 16; ++x)
            for (int y = 0; y < 32; ++y)
                half.setPixel(x, y, qRgb(255, 0, 0));
        const QString land = SaveBmp(dir, "land.bmp", half);
        TProjectRecord r = DisplayProject(256, 32, 1, false, true, false);
        QByteArray portrait = "old", landscape;
        BuildLogoFrames(r, land, QString(), portrait, landscape);
        QVERIFY(portrait.isEmpty());
        QCOMPARE(landscape.size(), 3 + 1024);
        QCOMPARE(landscape.left(2), QByteArray::fromHex("01f4"));
        // Stretched to 256 columns: 0..127 lit, 128..255 dark.
        for (int y : {0, 31}) {
            QCOMPARE(landscape.mid(2 + 32 * y, 16), QByteArray(16, 0));
            QCOMPARE(landscape.mid(2 + 32 * y + 16, 16), QByteArray(16, char(0xFF)));
        }
        QCOMPARE(r.LogoLandFile.text(), land);
        QVERIFY(r.LogoPortFile.text().isEmpty());

        // Double-sided: column W-1 of the left face stays black.
        QImage white(8, 8, QImage::Format_RGB32);
        white.fill(Qt::white);
        TProjectRecord d = DisplayProject(64, 16, 1, false, false, true);
        BuildLogoFrames(d, SaveBmp(dir, "w.bmp", white), QString(), portrait, landscape);
        QCOMPARE(landscape.size(), 3 + 256);
        for (int y = 0; y < 16; ++y)
            QCOMPARE(landscape.mid(2 + 16 * y, 16), QByteArray::fromHex("00000000000000010000000000000000"));
    }

    void welcomeFrameOnThePortraitDisplay()
    {
        QTemporaryDir dir;
        QImage green(10, 4, QImage::Format_RGB32);
        green.fill(qRgb(0, 255, 0));
        TProjectRecord r = DisplayProject(64, 16, 2, true, false, false);
        r.ColorMode = 1;
        QByteArray portrait, landscape = "old";
        BuildWelcomeFrames(r, SaveBmp(dir, "g.bmp", green), portrait, landscape);
        QCOMPARE(portrait.size(), 132);
        QCOMPARE(portrait.left(3), QByteArray::fromHex("02f501"));
        QCOMPARE(portrait.mid(3, 128), QByteArray(128, char(0xFF)));   // green lights nothing in single colour
        QVERIFY(landscape.isEmpty());
        r.ColorMode = 2;
        BuildWelcomeFrames(r, SaveBmp(dir, "g.bmp", green), portrait, landscape);
        QCOMPARE(portrait.size(), 4 + 256);
        QCOMPARE(portrait.mid(3 + 128, 128), QByteArray(128, 0));
    }

    void controllerTakesTheFrames()
    {
        // The simulated controller reads back every segment and the LOGO as drawn.
        QTemporaryDir dir;
        TProjectRecord r = DisplayProject(128, 16, 2, false, false, true);
        const QImage text = RandomPicture(300, 16, 7);
        const QByteArray temp = TempMessageFrame(1, text, 128, true, 2, Message(QString(), 4));
        QImage picture = RandomPicture(128, 16, 9);
        QByteArray portrait, logo;
        BuildLogoFrames(r, SaveBmp(dir, "p.bmp", picture), QString(), portrait, logo);
        ControllerSimulator sim;
        sim.configureFrom(r);
        for (const QByteArray &f : {temp, logo}) {
            sim.feed(f.left(1), true, 0);
            sim.feed(f.mid(1), false, 0);
        }
        const SimDisplayState *d = sim.display(1);
        QVERIFY(d);
        QCOMPARE(d->malformed, 0);
        QCOMPARE(d->tempMessage.size(), 3);
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(d->tempMessage[k].effect, 4);
            QCOMPARE(d->tempMessage[k].picture.convertToFormat(QImage::Format_RGB32),
                     Thresholded(TempSegment(text, k, 128, true), 2));
        }
        QCOMPARE(d->logo.convertToFormat(QImage::Format_RGB32),
                 Thresholded(StretchPicture(picture, 128, 16, true), 2));
    }

    void badPicturesStopBeforeAnyFrame()
    {
        QTemporaryDir dir;
        QImage red(8, 8, QImage::Format_RGB32);
        red.fill(qRgb(255, 0, 0));
        const QString good = SaveBmp(dir, "r.bmp", red);
        const QString rtf = dir.filePath("w.rtf");
        WriteRaw(rtf, "{\\rtf1 hello}");
        TProjectRecord r = DisplayProject(64, 16, 1, true, true, false);
        QByteArray portrait = "p", landscape = "l";
        // The portrait path is empty although the portrait display is on.
        QVERIFY(ErrorOf([&] { BuildLogoFrames(r, good, QString(), portrait, landscape); })
                    .startsWith(QStringLiteral("Cannot open file \"\". ")));
        QCOMPARE(portrait, QByteArray("p"));
        QCOMPARE(landscape, QByteArray("l"));
        QCOMPARE(r.LogoLandFile.text(), good);   // the paths stay stored
        QCOMPARE(ErrorOf([&] { BuildWelcomeFrames(r, rtf, portrait, landscape); }),
                 QStringLiteral("Bitmap image is not valid"));
        QCOMPARE(r.WelcomeFile.text(), rtf);
        QCOMPARE(landscape, QByteArray("l"));
        // Display values a damaged project may carry are refused, not drawn.
        TProjectRecord bad = DisplayProject(60, 16, 1, true, false, false);
        QVERIFY(!ErrorOf([&] { BuildLogoFrames(bad, good, good, portrait, landscape); }).isEmpty());
        QVERIFY(!ErrorOf([&] { BuildTempMessageFrames(bad, Message(QStringLiteral("a")), portrait, landscape); }).isEmpty());
        QCOMPARE(portrait, QByteArray("p"));
    }
};

QTEST_MAIN(TestSpecialFrames)
#include "tst_specialframes.moc"
