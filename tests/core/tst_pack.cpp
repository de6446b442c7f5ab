// The bit-plane packer and its two bit functions.
#include "app/Struct.h"
#include "render/uPack.h"

#include <QImage>
#include <QRandomGenerator>
#include <QtTest>

namespace {
const QRgb Dark = qRgb(0, 0, 0), Red = qRgb(255, 0, 0), Green = qRgb(0, 255, 0),
           Yellow = qRgb(255, 255, 0);

QImage Picture(int width, int height, QRgb fill = Dark)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(fill);
    return picture;
}

// Packs into buffers of 64 bytes preset to 0x55, so bytes not written show.
struct Packed {
    QByteArray red = QByteArray(64, 0x55), green = QByteArray(64, 0x55);
};
Packed Pack(const QImage &picture, int colorMode, int width = -1, int height = -1)
{
    Packed p;
    PackBitmap(width < 0 ? picture.width() : width, height < 0 ? picture.height() : height,
               colorMode, picture, reinterpret_cast<uint8_t *>(p.red.data()),
               reinterpret_cast<uint8_t *>(p.green.data()));
    return p;
}
} // namespace

class TestPack : public QObject {
    Q_OBJECT
private slots:
    void workedValues_data();
    void workedValues();
    void bitFunctionsAgree();
    void randomGroupsMatchTheWord();
    void edgePictures();
    void thresholds_data();
    void thresholds();
    void widthsNotMultipleOfEight();
    void otherColourModesTouchNothing();
    void otherFormatsAndShortPictures();
    void wholeRowsPackAsEachPixel();
};

void TestPack::workedValues_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<QList<QRgb>>("pixels");
    QTest::addColumn<int>("oddBits");
    QTest::addColumn<int>("deinterleaved");
    const QList<QRgb> seven(7, Dark);
    QTest::newRow("eight red") << 0xAAAA << QList<QRgb>(8, Red) << 0x00 << 0x00FF;
    QTest::newRow("eight green") << 0x5555 << QList<QRgb>(8, Green) << 0xFF << 0xFF00;
    QTest::newRow("eight yellow") << 0xFFFF << QList<QRgb>(8, Yellow) << 0x00 << 0x0000;
    QTest::newRow("eight dark") << 0x0000 << QList<QRgb>(8, Dark) << 0xFF << 0xFFFF;
    QTest::newRow("yellow first") << 0xC000 << (QList<QRgb>{Yellow} + seven) << 0x7F << 0x7F7F;
    QTest::newRow("red last") << 0x0002 << (seven + QList<QRgb>{Red}) << 0xFE << 0xFEFF;
}

void TestPack::workedValues()
{
    QFETCH(int, word);
    QFETCH(QList<QRgb>, pixels);
    QFETCH(int, oddBits);
    QFETCH(int, deinterleaved);
    QCOMPARE(int(PackOddBits(uint16_t(word))), oddBits);
    QCOMPARE(int(DeinterleaveBits(uint16_t(word))), deinterleaved);

    QImage picture = Picture(8, 1);
    for (int x = 0; x < 8; ++x)
        picture.setPixel(x, 0, pixels.at(x));
    const Packed single = Pack(picture, 1);
    QCOMPARE(uint8_t(single.red.at(0)), uint8_t(oddBits));
    QCOMPARE(single.red.at(1), char(0x55));
    QCOMPARE(single.green.at(0), char(0x55));   // single colour leaves green alone
    const Packed dual = Pack(picture, 2);
    QCOMPARE(uint8_t(dual.red.at(0)), uint8_t(deinterleaved >> 8));
    QCOMPARE(uint8_t(dual.green.at(0)), uint8_t(deinterleaved & 0xFF));
}

void TestPack::bitFunctionsAgree()
{
    for (int v = 0; v <= 0xFFFF; ++v)
        QCOMPARE(int(PackOddBits(uint16_t(v))), DeinterleaveBits(uint16_t(v)) >> 8);
}

// A picture built from a group word packs to the word's planes: the pixel at
// 8b + 7 - j carries bits 2j + 1 (red) and 2j (green).
void TestPack::randomGroupsMatchTheWord()
{
    QRandomGenerator random(7);
    for (int trial = 0; trial < 200; ++trial) {
        const uint16_t word = uint16_t(random.bounded(0x10000));
        QImage picture = Picture(8, 1);
        for (int j = 0; j < 8; ++j)
            picture.setPixel(7 - j, 0,
                             qRgb(word & (2u << (2 * j)) ? 200 : 10, word & (1u << (2 * j)) ? 200 : 10, 0));
        const Packed dual = Pack(picture, 2);
        QCOMPARE(uint8_t(dual.red.at(0)), uint8_t(DeinterleaveBits(word) >> 8));
        QCOMPARE(uint8_t(dual.green.at(0)), uint8_t(DeinterleaveBits(word)));
    }
}

void TestPack::edgePictures()
{
    const Packed dark = Pack(Picture(32, 2), 2);
    QCOMPARE(dark.red.left(8), QByteArray(8, char(0xFF)));
    QCOMPARE(dark.green.left(8), QByteArray(8, char(0xFF)));
    QCOMPARE(dark.red.at(8), char(0x55));

    QImage first = Picture(16, 1);
    first.setPixel(0, 0, Red);
    QCOMPARE(Pack(first, 1).red.left(3), QByteArray::fromHex("7FFF55"));
    QCOMPARE(Pack(first, 2).green.left(2), QByteArray::fromHex("FFFF"));

    QImage last = Picture(16, 1);
    last.setPixel(15, 0, Yellow);
    QCOMPARE(Pack(last, 2).red.left(2), QByteArray::fromHex("FFFE"));
    QCOMPARE(Pack(last, 2).green.left(2), QByteArray::fromHex("FFFE"));

    // Single colour sees red only.
    QCOMPARE(Pack(Picture(16, 2, Green), 1).red.left(4), QByteArray(4, char(0xFF)));

    // Rows from the top, no reversal.
    QImage rows = Picture(8, 2);
    for (int x = 0; x < 8; ++x)
        rows.setPixel(x, 0, Red);
    QCOMPARE(Pack(rows, 1).red.left(2), QByteArray::fromHex("00FF"));
}

void TestPack::thresholds_data()
{
    QTest::addColumn<QRgb>("colour");
    QTest::addColumn<bool>("redLit");
    QTest::addColumn<bool>("greenLit");
    QTest::newRow("0,128,0") << qRgb(0, 128, 0) << false << true;
    QTest::newRow("127,255,0") << qRgb(127, 255, 0) << false << true;
    QTest::newRow("128,0,0") << qRgb(128, 0, 0) << true << false;
    QTest::newRow("128,128,128") << qRgb(128, 128, 128) << true << true;
    QTest::newRow("255,255,255") << qRgb(255, 255, 255) << true << true;
    QTest::newRow("0,0,255") << qRgb(0, 0, 255) << false << false;
    QTest::newRow("127,127,0") << qRgb(127, 127, 0) << false << false;
}

void TestPack::thresholds()
{
    QFETCH(QRgb, colour);
    QFETCH(bool, redLit);
    QFETCH(bool, greenLit);
    const Packed p = Pack(Picture(8, 1, colour), 2);
    QCOMPARE(p.red.at(0), redLit ? char(0x00) : char(0xFF));
    QCOMPARE(p.green.at(0), greenLit ? char(0x00) : char(0xFF));
}

void TestPack::widthsNotMultipleOfEight()
{
    const Packed narrow = Pack(Picture(7, 4, Red), 2);
    QCOMPARE(narrow.red, QByteArray(64, 0x55));
    QCOMPARE(narrow.green, QByteArray(64, 0x55));

    // Width 20: two bytes a row; columns 16 to 19 are lit but ignored.
    QImage wide = Picture(20, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 16; x < 20; ++x)
            wide.setPixel(x, y, Red);
    wide.setPixel(8, 1, Red);
    QCOMPARE(Pack(wide, 1).red.left(5), QByteArray::fromHex("FFFFFF7F55"));
}

void TestPack::otherColourModesTouchNothing()
{
    for (int mode : {0, 3, -1, 256}) {
        const Packed p = Pack(Picture(16, 2, Yellow), mode);
        QCOMPARE(p.red, QByteArray(64, 0x55));
        QCOMPARE(p.green, QByteArray(64, 0x55));
    }
}

void TestPack::otherFormatsAndShortPictures()
{
    QImage picture = Picture(16, 2);
    picture.setPixel(3, 0, Red);
    picture.setPixel(9, 1, Green);
    const Packed reference = Pack(picture, 2);
    for (QImage::Format format : {QImage::Format_RGB888, QImage::Format_Indexed8, QImage::Format_RGB16}) {
        const Packed other = Pack(picture.convertToFormat(format), 2);
        QCOMPARE(other.red, reference.red);
        QCOMPARE(other.green, reference.green);
    }
    // Asked for more than the picture holds: the rest reads as dark.
    const Packed beyond = Pack(Picture(8, 1, Red), 1, 16, 2);
    QCOMPARE(beyond.red.left(5), QByteArray::fromHex("00FFFFFF55"));
}

void TestPack::wholeRowsPackAsEachPixel()
{
    // Random pictures with channels about the threshold, packed from their
    // scan lines, bit for bit as each pixel decides, and as a picture of a
    // format read pixel by pixel.
    QRandomGenerator random(19);
    const int levels[] = {0, 127, 128, 255};
    for (int trial = 0; trial < 20; ++trial) {
        QImage picture = Picture(64, 6);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 64; ++x)
                picture.setPixel(x, y, qRgb(levels[random.bounded(4)], levels[random.bounded(4)],
                                            levels[random.bounded(4)]));
        for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32}) {
            const Packed packed = Pack(picture.convertToFormat(format), 2);
            for (int y = 0; y < 6; ++y)
                for (int x = 0; x < 64; ++x) {
                    const int byte = y * 8 + x / 8, bit = 7 - x % 8;
                    const QRgb p = picture.pixel(x, y);
                    QCOMPARE(bool(uint8_t(packed.red.at(byte)) & (1 << bit)), qRed(p) < 128);
                    QCOMPARE(bool(uint8_t(packed.green.at(byte)) & (1 << bit)), qGreen(p) < 128);
                }
            const Packed single = Pack(picture.convertToFormat(format), 1);
            QCOMPARE(single.red, packed.red);
            QCOMPARE(single.green, QByteArray(64, 0x55));
            const Packed slow = Pack(picture.convertToFormat(QImage::Format_RGB888), 2);
            QCOMPARE(slow.red, packed.red);
            QCOMPARE(slow.green, packed.green);
        }
    }
}

QTEST_MAIN(TestPack)
#include "tst_pack.moc"
