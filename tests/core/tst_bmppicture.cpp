// LOGO and welcome pictures: reading BMP files safely and stretching them
// over the display picture.
#include "app/Errors.h"
#include "link/BmpPicture.h"
#include "render/TextFace.h"
#include "TestFiles.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {
QByteArray BmpBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

void PutU32(QByteArray &bytes, int at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (8 * i));
}

// A picture whose every column has a colour of its own.
QImage Columns(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
            image.setPixel(x, y, qRgb(x * 7 % 256, 255 - x, y));
    return image;
}
} // namespace

class TestBmpPicture : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString Write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        WriteRaw(path, bytes);
        return path;
    }

private slots:
    void readsBitmapsOfEveryStoredDepth()
    {
        const QImage source = Columns(20, 6);
        const QImage read = LoadBmpFile(Write("c.bmp", BmpBytes(source)));
        QCOMPARE(read.size(), source.size());
        QCOMPARE(read.convertToFormat(QImage::Format_RGB32), source);

        QImage mono(17, 3, QImage::Format_Mono);
        mono.fill(0);
        mono.setPixel(16, 2, 1);
        const QImage monoRead = LoadBmpFile(Write("m.bmp", BmpBytes(mono)));
        QCOMPARE(monoRead.size(), QSize(17, 3));
        QCOMPARE(monoRead.pixel(16, 2), mono.pixel(16, 2));
        QVERIFY(monoRead.pixel(0, 0) != mono.pixel(16, 2));

        // Rows stored top-down (negative height) are a valid bitmap too.
        QByteArray topDown = BmpBytes(source);
        PutU32(topDown, 22, uint32_t(-6));
        const QImage flipped = LoadBmpFile(Write("t.bmp", topDown));
        QCOMPARE(flipped.size(), source.size());
        QCOMPARE(flipped.pixel(3, 0), source.pixel(3, 5));
    }

    void unreadableFilesNameThePath()
    {
        const QString missing = m_dir.filePath("missing.bmp");
        const QString error = ErrorOf([&] { LoadBmpFile(missing); });
        QVERIFY2(error.startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(missing)), qPrintable(error));
        QVERIFY(error.size() > QStringLiteral("Cannot open file \"%1\". ").arg(missing).size());
        QVERIFY(ErrorOf([] { LoadBmpFile(QString()); }).startsWith(QStringLiteral("Cannot open file \"\". ")));
        QVERIFY(ErrorOf([&] { LoadBmpFile(m_dir.path()); }).startsWith(QStringLiteral("Cannot open file")));
    }

    void refusesWhatIsNotABitmap_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = BmpBytes(Columns(32, 32));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        Columns(8, 8).save(&buffer, "PNG");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("png named bmp") << png;
        QTest::newRow("rtf") << QByteArray("{\\rtf1\\ansi\\ansicpg936 hello\\par}");
        QTest::newRow("header only") << good.left(54);
        QTest::newRow("truncated rows") << good.left(good.size() / 2);
        QTest::newRow("signature only") << QByteArray("BM");
        // The saved 32 x 32 bitmap with one header field changed.
        const auto patched = [&good](int at, uint32_t value) {
            QByteArray bytes = good;
            PutU32(bytes, at, value);
            return bytes;
        };
        QTest::newRow("huge width") << patched(18, 100000);
        QTest::newRow("huge height") << patched(22, 0x40000000);
        QByteArray many = patched(18, 5000);
        PutU32(many, 22, 5000);
        QTest::newRow("too many pixels") << many;
        QTest::newRow("zero width") << patched(18, 0);
        QByteArray depth = good;
        depth[28] = 7;   // bits per pixel, a 16-bit field
        QTest::newRow("bit depth 7") << depth;
        QTest::newRow("embedded jpeg") << patched(30, 4);
        QTest::newRow("unknown header size") << patched(14, 64);
        QTest::newRow("pixels beyond the end") << patched(10, uint32_t(good.size()));
        QTest::newRow("rle with wrong depth") << patched(30, 1);   // RLE8 at 32 bits per pixel
    }
    void refusesWhatIsNotABitmap()
    {
        QFETCH(QByteArray, bytes);
        const QString path = Write(QStringLiteral("bad.bmp"), bytes);
        QCOMPARE(ErrorOf([&] { LoadBmpFile(path); }), QStringLiteral("Bitmap image is not valid"));
    }

    void stretchesOverTheDisplayIgnoringTheAspect()
    {
        // Every pixel lands in the 16 palette colours of a display bitmap.
        // 32 x 32 onto 256 x 32: every column eight times, rows as they are.
        const QImage source = Columns(32, 32);
        const QImage wide = StretchPicture(source, 256, 32, false);
        QCOMPARE(wide.size(), QSize(256, 32));
        QCOMPARE(wide.format(), QImage::Format_RGB32);
        for (int x : {0, 7, 8, 100, 255})
            for (int y : {0, 31})
                QCOMPARE(wide.pixel(x, y), NearestPaletteColour(source.pixel(x / 8, y)) | 0xFF000000u);
        // Shrinking picks one pixel of each group, it does not blend them.
        const QImage many = Columns(64, 16);
        const QImage narrow = StretchPicture(many, 16, 8, false);
        QCOMPARE(narrow.size(), QSize(16, 8));
        for (int x = 0; x < 16; ++x) {
            QList<QRgb> group;
            for (int i = 0; i < 4; ++i)
                for (int y = 0; y < 16; ++y)
                    group << (NearestPaletteColour(many.pixel(4 * x + i, y)) | 0xFF000000u);
            QVERIFY2(group.contains(narrow.pixel(x, 0)), qPrintable(QString::number(x)));
        }
    }

    void doubleSidedKeepsTheLastLeftColumnBlack()
    {
        const int w = 64, h = 16;
        QImage white(10, 10, QImage::Format_RGB32);
        white.fill(Qt::white);
        const QImage both = StretchPicture(white, w, h, true);
        QCOMPARE(both.size(), QSize(2 * w, h));
        for (int y = 0; y < h; ++y) {
            QCOMPARE(both.pixel(w - 2, y), qRgb(255, 255, 255));
            QCOMPARE(both.pixel(w - 1, y), qRgb(0, 0, 0));
            QCOMPARE(both.pixel(w, y), qRgb(255, 255, 255));
            QCOMPARE(both.pixel(2 * w - 1, y), qRgb(255, 255, 255));
        }
        // The right face is the left face's first W-1 columns stretched to W.
        const QImage cols = StretchPicture(Columns(63, h), w, h, true);
        for (int x = 0; x < w - 1; ++x)
            QCOMPARE(cols.pixel(x, 3), NearestPaletteColour(Columns(63, h).pixel(x, 3)) | 0xFF000000u);
        QCOMPARE(cols.pixel(w, 3), cols.pixel(0, 3));
        QCOMPARE(cols.pixel(2 * w - 1, 3), cols.pixel(w - 2, 3));
        QCOMPARE(cols.pixel(w - 1, 3), qRgb(0, 0, 0));
    }
};

QTEST_MAIN(TestBmpPicture)
#include "tst_bmppicture.moc"
