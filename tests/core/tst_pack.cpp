// Bit planes of drawn pictures and the two bit functions behind them.
#include "app/Struct.h"
#include "render/uPack.h"

#include <QtTest>
#include <vector>

namespace {
QImage Picture(int width, int height, QRgb fill = qRgb(0, 0, 0))
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(fill);
    return picture;
}

struct Planes {
    QByteArray red, green;
};

// Packs into buffers one byte longer than needed, guarded by 0x5A, so writes
// past a plane show.
Planes Pack(const QImage &picture, int colorMode)
{
    const int n = PlaneBytes(picture.width(), picture.height());
    QByteArray red(n + 1, char(0x5A)), green(n + 1, char(0x5A));
    PackBitmap(picture, picture.width(), picture.height(), colorMode,
               reinterpret_cast<uint8_t *>(red.data()), reinterpret_cast<uint8_t *>(green.data()));
    return {red, green};
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values)
        bytes.append(char(v));
    return bytes;
}
} // namespace

class TestPack : public QObject {
    Q_OBJECT
private slots:
    void workedValues_data();
    void workedValues();
    void oddBitsAreHighByteOfDeinterleave();
    void singlePixelGroups();
    void thresholdsInclusiveAt128_data();
    void thresholdsInclusiveAt128();
    void singleColourIgnoresGreen();
    void rowsInRasterOrder();
    void widthsThatAreNotWholeGroups();
    void otherColourModesTouchNothing();
    void otherFormatsAndShortPictures();
    void geometryCheck();
};

void TestPack::workedValues_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<QRgb>("pixel");   // the same colour for all eight pixels, or 0
    QTest::addColumn<int>("odd");
    QTest::addColumn<int>("deinterleaved");
    QTest::newRow("eight red") << 0xAAAA << qRgb(255, 0, 0) << 0x00 << 0x00FF;
    QTest::newRow("eight green") << 0x5555 << qRgb(0, 255, 0) << 0xFF << 0xFF00;
    QTest::newRow("eight yellow") << 0xFFFF << qRgb(255, 255, 0) << 0x00 << 0x0000;
    QTest::newRow("eight dark") << 0x0000 << qRgb(0, 0, 0) << 0xFF << 0xFFFF;
    QTest::newRow("yellow then dark") << 0xC000 << QRgb(0) << 0x7F << 0x7F7F;
    QTest::newRow("dark then red") << 0x0002 << QRgb(0) << 0xFE << 0xFEFF;
}

void TestPack::workedValues()
{
    QFETCH(int, word);
    QFETCH(QRgb, pixel);
    QFETCH(int, odd);
    QFETCH(int, deinterleaved);
    QCOMPARE(int(PackOddBits(uint16_t(word))), odd);
    QCOMPARE(int(DeinterleaveBits(uint16_t(word))), deinterleaved);
    if (pixel == 0 && word != 0)
        return;   // the mixed rows are checked pixel by pixel below
    const Planes planes = Pack(Picture(8, 1, pixel), 2);
    QCOMPARE(uint8_t(planes.red[0]), uint8_t(deinterleaved >> 8));
    QCOMPARE(uint8_t(planes.green[0]), uint8_t(deinterleaved & 0xFF));
}

void TestPack::oddBitsAreHighByteOfDeinterleave()
{
    for (int v = 0; v <= 0xFFFF; ++v)
        QCOMPARE(PackOddBits(uint16_t(v)), uint8_t(DeinterleaveBits(uint16_t(v)) >> 8));
}

void TestPack::singlePixelGroups()
{
    QImage picture = Picture(8, 1);
    picture.setPixel(0, 0, qRgb(255, 255, 0));
    QCOMPARE(Pack(picture, 2).red.left(1), Bytes({0x7F}));   // word 0xC000
    QCOMPARE(Pack(picture, 2).green.left(1), Bytes({0x7F}));
    picture = Picture(8, 1);
    picture.setPixel(7, 0, qRgb(255, 0, 0));
    QCOMPARE(Pack(picture, 2).red.left(1), Bytes({0xFE}));   // word 0x0002
    QCOMPARE(Pack(picture, 2).green.left(1), Bytes({0xFF}));

    QImage wide = Picture(16, 1);
    wide.setPixel(0, 0, qRgb(255, 0, 0));
    QCOMPARE(Pack(wide, 1).red, Bytes({0x7F, 0xFF, 0x5A}));
    QCOMPARE(Pack(wide, 1).green, Bytes({0x5A, 0x5A, 0x5A}));   // untouched in single colour
    QCOMPARE(Pack(wide, 2).green, Bytes({0xFF, 0xFF, 0x5A}));
    wide = Picture(16, 1);
    wide.setPixel(15, 0, qRgb(255, 255, 0));
    QCOMPARE(Pack(wide, 2).red, Bytes({0xFF, 0xFE, 0x5A}));
    QCOMPARE(Pack(wide, 2).green, Bytes({0xFF, 0xFE, 0x5A}));
}

void TestPack::thresholdsInclusiveAt128_data()
{
    QTest::addColumn<QRgb>("colour");
    QTest::addColumn<bool>("red");
    QTest::addColumn<bool>("green");
    QTest::newRow("dark green") << qRgb(0, 128, 0) << false << true;
    QTest::newRow("127,255,0") << qRgb(127, 255, 0) << false << true;
    QTest::newRow("maroon") << qRgb(128, 0, 0) << true << false;
    QTest::newRow("grey") << qRgb(128, 128, 128) << true << true;
    QTest::newRow("white") << qRgb(255, 255, 255) << true << true;
    QTest::newRow("blue") << qRgb(0, 0, 255) << false << false;
    QTest::newRow("127,127,255") << qRgb(127, 127, 255) << false << false;
}

void TestPack::thresholdsInclusiveAt128()
{
    QFETCH(QRgb, colour);
    QFETCH(bool, red);
    QFETCH(bool, green);
    const Planes planes = Pack(Picture(8, 1, colour), 2);
    QCOMPARE(uint8_t(planes.red[0]), uint8_t(red ? 0x00 : 0xFF));
    QCOMPARE(uint8_t(planes.green[0]), uint8_t(green ? 0x00 : 0xFF));
}

void TestPack::singleColourIgnoresGreen()
{
    const Planes planes = Pack(Picture(32, 4, qRgb(0, 255, 0)), 1);
    QCOMPARE(planes.red, QByteArray(16, char(0xFF)) + char(0x5A));
}

void TestPack::rowsInRasterOrder()
{
    QImage picture = Picture(8, 2);
    for (int x = 0; x < 8; ++x)
        picture.setPixel(x, 0, qRgb(255, 0, 0));
    QCOMPARE(Pack(picture, 1).red, Bytes({0x00, 0xFF, 0x5A}));

    // Group b of row y is byte y * groups + b.
    QImage grid = Picture(24, 3);
    grid.setPixel(8 + 3, 2, qRgb(255, 0, 0));
    const QByteArray red = Pack(grid, 1).red;
    for (int i = 0; i < 9; ++i)
        QCOMPARE(uint8_t(red[i]), uint8_t(i == 2 * 3 + 1 ? 0xEF : 0xFF));
}

void TestPack::widthsThatAreNotWholeGroups()
{
    QCOMPARE(Pack(Picture(7, 3, qRgb(255, 0, 0)), 2).red, Bytes({0x5A}));
    QCOMPARE(Pack(Picture(7, 3, qRgb(255, 0, 0)), 2).green, Bytes({0x5A}));

    QImage picture = Picture(20, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 16; x < 20; ++x)
            picture.setPixel(x, y, qRgb(255, 255, 0));   // ignored columns
    picture.setPixel(8, 1, qRgb(255, 0, 0));
    QCOMPARE(Pack(picture, 2).red, Bytes({0xFF, 0xFF, 0xFF, 0x7F, 0x5A}));
    QCOMPARE(Pack(picture, 2).green, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x5A}));
}

void TestPack::otherColourModesTouchNothing()
{
    for (int mode : {0, 3, -1, 1000}) {
        const Planes planes = Pack(Picture(16, 2, qRgb(255, 255, 0)), mode);
        QCOMPARE(planes.red, QByteArray(5, char(0x5A)));
        QCOMPARE(planes.green, QByteArray(5, char(0x5A)));
    }
}

void TestPack::otherFormatsAndShortPictures()
{
    // Another pixel format gives the same planes as the drawing format.
    QImage picture = Picture(16, 2);
    picture.setPixel(3, 0, qRgb(0, 128, 0));
    picture.setPixel(12, 1, qRgb(200, 30, 0));
    const Planes direct = Pack(picture, 2);
    const Planes converted = Pack(picture.convertToFormat(QImage::Format_RGB888), 2);
    QCOMPARE(converted.red, direct.red);
    QCOMPARE(converted.green, direct.green);

    // Asked for more than the picture holds: the missing pixels are dark.
    const QImage small = Picture(8, 1, qRgb(255, 0, 0));
    std::vector<uint8_t> red(4, 0x5A), green(4, 0x5A);
    PackBitmap(small, 16, 2, 2, red.data(), green.data());
    QCOMPARE(red, (std::vector<uint8_t>{0x00, 0xFF, 0xFF, 0xFF}));
    QCOMPARE(green, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
}

void TestPack::geometryCheck()
{
    QVERIFY(FrameGeometryError(256, 32, 1).isEmpty());
    QVERIFY(FrameGeometryError(512, 80, 2).isEmpty());
    QVERIFY(FrameGeometryError(8, 8, 1).isEmpty());
    QVERIFY(FrameGeometryError(MaxFrameWidth, MaxFrameHeight, 2).isEmpty());
    for (int mode : {0, 3, -2})
        QVERIFY(FrameGeometryError(256, 32, mode).contains(QStringLiteral("颜色模式")));
    for (int width : {0, -8, 7, 20, 250, MaxFrameWidth + 8, INT_MIN})
        QVERIFY2(FrameGeometryError(width, 32, 1).contains(QStringLiteral("屏宽")),
                 qPrintable(QString::number(width)));
    for (int height : {7, 0, -1, MaxFrameHeight + 1, INT_MAX})
        QVERIFY2(FrameGeometryError(256, height, 2).contains(QStringLiteral("屏高")),
                 qPrintable(QString::number(height)));
}

QTEST_GUILESS_MAIN(TestPack)
#include "tst_pack.moc"
