// The temporary message cut into display-wide segments, and what it stores.
#include "app/Struct.h"
#include "link/SpecialFrames.h"

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
} // namespace

class TestTempSegments : public QObject {
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
        QCOMPARE(r.TempText.raw().size(), 255);
        QVERIFY(r.TempText.text().startsWith(QString(127, QChar(0x4E2D))));
        QCOMPARE(r.TempFontName.text(), QStringLiteral("黑体"));
        QCOMPARE(r.TempFontColor, 0x8000);
        QCOMPARE(r.TempFontHeight, 24);
        QCOMPARE(int(r.TempStunt), 3);
        QCOMPARE(int(r.TempRunSpeed), 5);
        QCOMPARE(int(r.TempShowTime), 9);
    }
};

QTEST_MAIN(TestTempSegments)
#include "tst_tempsegments.moc"
