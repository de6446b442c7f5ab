// Page rendering: the automatic fit, the line's placement, the page frames of
// each display, damaged project values, and the real rasteriser.
#include "render/TextRaster.h"
#include "render/uPack.h"
#include "render/uRender.h"

#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

namespace {
const QString Song = QStringLiteral("宋体");

TPageFont SongFont(uint8_t align = 0)
{
    TPageFont font;
    font.FontName = Song;
    font.FontColor = 255;
    font.TextAlign = align;
    return font;
}


// Bounding box of the pixels that are not black.
QRect Ink(const QImage &picture, int fromX = 0, int toX = -1)
{
    if (toX < 0)
        toX = picture.width();
    QRect box;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = fromX; x < toX; ++x)
            if (picture.pixel(x, y) != qRgb(0, 0, 0))
                box |= QRect(x, y, 1, 1);
    return box;
}

QByteArray Planes(const QByteArray &frame) { return frame.mid(6, frame.size() - 7); }
} // namespace

class TestRender : public QObject {
    Q_OBJECT
private slots:
    void fitPrefersSizeOverSpacing();
    void fitFallsBackToSevenAndMinusOne();
    void fitMatchesMeasuringEveryPair();
    void fixedHeightSpacing();
    void alignment();
    void emptyTextFrames();
    void frameSizes_data();
    void frameSizes();
    void portraitEffectTurned();
    void disabledDisplayKeepsItsSlot();
    void singleSidedWinsOverDoubleSided();
    void doubleSidedFacesAlike();
    void refusedGeometryBuildsNothing();
    void randomRecordsNeverCrash();
    void songFaceIsAMingFace();
    void twoCjkCharactersAtFullHeight();
    void lineTooWideIsCut();
    void fixedHeightLayout();
    void onlyPaletteColours();
    void portraitTurnsCjkOnly();
    void extraSpacingCountsCharacters();
    void verticalOrientationTable();
};

void TestRender::fitPrefersSizeOverSpacing()
{
    // A short line: full height, spacing half the size.
    QCOMPARE(FitAutomatic(32, 256, 2, [](int s) { return 2 * s; }).size, 32);
    QCOMPARE(FitAutomatic(32, 256, 2, [](int s) { return 2 * s; }).extra, 16);
    // Ten pixels per size and four characters: 25 is the first size that
    // fits, with (256 - 250) / 4 = 1 pixel of spacing.
    const TFit fit = FitAutomatic(32, 256, 4, [](int s) { return 10 * s; });
    QCOMPARE(fit.size, 25);
    QCOMPARE(fit.extra, 1);
    // Spacing is never wider than half the size.
    QCOMPARE(FitAutomatic(33, 1000, 1, [](int) { return 0; }).extra, 16);
}

void TestRender::fitFallsBackToSevenAndMinusOne()
{
    const TFit fit = FitAutomatic(80, 512, 100, [](int) { return 513; });
    QCOMPARE(fit.size, 7);
    QCOMPARE(fit.extra, -1);
    // Heights below the smallest size never fit.
    QCOMPARE(FitAutomatic(6, 512, 0, [](int) { return 0; }).size, 7);
}

void TestRender::fitMatchesMeasuringEveryPair()
{
    // The measuring loop as the controller's makers describe it: s div 2 + 1
    // measurements per size when nothing fits.
    int measured = 0;
    FitAutomaticByMeasuring(80, 10, [&](int, int) { return ++measured, 11; });
    QCOMPARE(measured, 1661);
    measured = 0;
    FitAutomaticByMeasuring(32, 10, [&](int, int) { return ++measured, 11; });
    QCOMPARE(measured, 269);
    int sizes = 0;
    FitAutomatic(80, 10, 3, [&](int) { return ++sizes, 11; });
    QCOMPARE(sizes, 73);

    // Same choice for arbitrary (even non-monotonic) widths.
    QRandomGenerator random(7);
    for (int round = 0; round < 2000; ++round) {
        const int height = random.bounded(0, 100);
        const int limit = random.bounded(0, 600);
        const int characters = random.bounded(0, 40);
        QVector<int> base(height + 1);
        for (int &w : base)
            w = random.bounded(-20, 900);
        const auto atZero = [&](int s) { return base[s]; };
        const TFit fast = FitAutomatic(height, limit, characters, atZero);
        const TFit slow = FitAutomaticByMeasuring(
            height, limit, [&](int s, int e) { return base[s] + e * characters; });
        QCOMPARE(fast.size, slow.size);
        QCOMPARE(fast.extra, slow.extra);
    }
}

void TestRender::fixedHeightSpacing()
{
    QCOMPARE(FitExtra(24, 256, 3, 250), 2);
    QCOMPARE(FitExtra(24, 256, 3, 100), 24);
    QCOMPARE(FitExtra(24, 256, 3, 256), 0);
    QCOMPARE(FitExtra(24, 256, 3, 257), -1);
    QCOMPARE(FitExtra(24, 256, 0, 0), 24);
}

void TestRender::alignment()
{
    QCOMPARE(AlignedX(0, 256, 100), 0);
    QCOMPARE(AlignedX(1, 256, 100), 78);
    QCOMPARE(AlignedX(2, 256, 100), 156);
    QCOMPARE(AlignedX(7, 256, 100), 0);
    // Toward zero for a line wider than the display.
    QCOMPARE(AlignedX(1, 10, 15), -2);
    QCOMPARE(AlignedX(2, 256, 300), -44);
}

void TestRender::emptyTextFrames()
{
    QByteArray portrait, landscape;
    TPageRequest r{256, 32, 2, true, false, true};
    QVERIFY(RenderPageFrames(SongFont(), r, portrait, landscape).isEmpty());
    for (const QByteArray &frame : {portrait, landscape}) {
        QCOMPARE(frame.mid(1, 5), QByteArray::fromHex("f300000000"));
        QCOMPARE(Planes(frame), QByteArray(frame.size() - 7, char(0xFF)));
        QCOMPARE(uint8_t(frame.back()), FrameEnd);
    }
    QCOMPARE(uint8_t(portrait[0]), AddrPortrait);
    QCOMPARE(uint8_t(landscape[0]), AddrLandscape);

    TextRaster raster(Song);
    const TLineLayout line = LayOutLine(raster, SongFont(), 256, 32, QString());
    QCOMPARE(line.size, 32);
    QCOMPARE(line.extra, 16);
}

void TestRender::frameSizes_data()
{
    QTest::addColumn<int>("colorMode");
    QTest::addColumn<bool>("doubleSided");
    QTest::addColumn<int>("portraitSize");
    QTest::addColumn<int>("landscapeSize");
    QTest::newRow("single colour") << 1 << false << 1031 << 1031;
    QTest::newRow("dual colour") << 2 << false << 2055 << 2055;
    QTest::newRow("single colour double") << 1 << true << 1031 << 2055;
    QTest::newRow("dual colour double") << 2 << true << 2055 << 4103;
}

void TestRender::frameSizes()
{
    QFETCH(int, colorMode);
    QFETCH(bool, doubleSided);
    QFETCH(int, portraitSize);
    QFETCH(int, landscapeSize);
    QByteArray portrait, landscape;
    const TPageRequest r =
        TPageRequest{256, 32, colorMode, true, !doubleSided, doubleSided, QStringLiteral("你好")};
    QVERIFY(RenderPageFrames(SongFont(), r, portrait, landscape).isEmpty());
    QCOMPARE(portrait.size(), portraitSize);
    QCOMPARE(landscape.size(), landscapeSize);
    // The text lights pixels in the red plane of both displays.
    QVERIFY(portrait.mid(6, 1024).count(char(0xFF)) < 1024);
    QVERIFY(landscape.mid(6, 1024).count(char(0xFF)) < 1024);
}

void TestRender::portraitEffectTurned()
{
    const uint8_t expected[] = {0, 3, 4, 2, 1, 1, 1};
    for (uint8_t effect = 0; effect < 7; ++effect) {
        QByteArray portrait, landscape;
        TPageRequest r{64, 16, 1, true, true, false, QStringLiteral("A")};
        r.effect = effect;
        r.runSpeed = 5;
        r.showTime = 10;
        QVERIFY(RenderPageFrames(SongFont(), r, portrait, landscape).isEmpty());
        QCOMPARE(uint8_t(portrait[2]), expected[effect]);
        QCOMPARE(uint8_t(landscape[2]), effect);
        QCOMPARE(landscape.mid(3, 3), QByteArray::fromHex("00050a"));
        QCOMPARE(portrait.mid(3, 3), QByteArray::fromHex("00050a"));
    }
    QCOMPARE(PortraitEffect(255), uint8_t(1));
}

void TestRender::disabledDisplayKeepsItsSlot()
{
    QByteArray portrait("old portrait"), landscape("old landscape");
    QVERIFY(RenderPageFrames(SongFont(), TPageRequest{256, 32, 1, true, false, false}, portrait,
                             landscape).isEmpty());
    QCOMPARE(portrait.size(), 1031);
    QCOMPARE(landscape, QByteArray("old landscape"));
    QVERIFY(RenderPageFrames(SongFont(), TPageRequest{256, 32, 1, false, true, false}, portrait,
                             landscape).isEmpty());
    QCOMPARE(landscape.size(), 1031);
    QCOMPARE(uint8_t(portrait[0]), AddrPortrait);
}

void TestRender::singleSidedWinsOverDoubleSided()
{
    QByteArray portrait, landscape;
    QVERIFY(RenderPageFrames(SongFont(), TPageRequest{256, 32, 1, false, true, true}, portrait,
                             landscape).isEmpty());
    QCOMPARE(landscape.size(), 1031);
    QVERIFY(portrait.isEmpty());
}

void TestRender::doubleSidedFacesAlike()
{
    const QImage picture = DrawPage(SongFont(2), TDisplay::Double, 128, 16, QStringLiteral("字幕"));
    QCOMPARE(picture.size(), QSize(256, 16));
    QCOMPARE(picture.copy(128, 0, 128, 16), picture.copy(0, 0, 128, 16));
    // Right-aligned: the ink of each face ends at its right edge region.
    const QRect left = Ink(picture, 0, 128), right = Ink(picture, 128, 256);
    QVERIFY(!left.isEmpty());
    QCOMPARE(right.translated(-128, 0), left);
    QVERIFY(left.right() >= 128 - 16);

    // Each plane row is the left face's bytes followed by the right face's.
    const QByteArray frame = BuildPageFrame(picture, TDisplay::Double, 1, 0, 0, 0);
    for (int row = 0; row < 16; ++row)
        QCOMPARE(frame.mid(6 + row * 32 + 16, 16), frame.mid(6 + row * 32, 16));
}

void TestRender::refusedGeometryBuildsNothing()
{
    const struct {
        int width, height, colorMode;
    } bad[] = {{256, 32, 0}, {256, 32, 3}, {250, 32, 1}, {0, 32, 1}, {-256, 32, 2},
               {256, 7, 1},  {256, 0, 1},  {256, -32, 2}, {256, 5000, 1}, {1 << 30, 32, 1}};
    for (const auto &b : bad) {
        QByteArray portrait("P"), landscape("L");
        const QString error = RenderPageFrames(
            SongFont(), TPageRequest{b.width, b.height, b.colorMode, true, true, false, QStringLiteral("字")},
            portrait, landscape);
        QVERIFY(!error.isEmpty());
        QCOMPARE(portrait, QByteArray("P"));
        QCOMPARE(landscape, QByteArray("L"));
    }
    QVERIFY(BuildPageFrame(QImage(16, 8, QImage::Format_RGB32), TDisplay::Landscape, 3, 0, 0, 0)
                .isEmpty());
    // A picture the memory could not hold.
    QVERIFY(BuildPageFrame(QImage(), TDisplay::Landscape, 1, 0, 0, 0).isEmpty());
}

void TestRender::randomRecordsNeverCrash()
{
    QRandomGenerator random(11);
    const int widths[] = {8, 64, 256, 250, 0, -16, 4096};
    const int heights[] = {8, 16, 32, 80, 7, 0, 2000};
    for (int round = 0; round < 60; ++round) {
        TProjectRecord record;
        random.fillRange(reinterpret_cast<quint32 *>(&record), sizeof(record) / 4);
        if (round % 2 == 0) {   // half of them with a geometry that can be drawn
            record.ScreenWidth = widths[random.bounded(7)];
            record.ScreenHeight = heights[random.bounded(7)];
            record.ColorMode = random.bounded(0, 4);
        }
        const QString text = QString::fromUtf8("舞台ABC字幕").left(random.bounded(0, 8));
        const TPageRequest r = PageRequestFor(record, text, record.Stunt, record.RunSpeed, record.ShowTime);
        QByteArray portrait("P"), landscape("L");
        const QString error = RenderPageFrames(TPageFont::FromRecord(record), r, portrait, landscape);
        const bool valid = FrameGeometryError(r.width, r.height, r.colorMode).isEmpty();
        QCOMPARE(error.isEmpty(), valid);
        const int plane = valid ? r.width / 8 * r.height : 0;
        const int planes = r.colorMode == 2 ? 2 : 1;
        QCOMPARE(portrait.size(), valid && r.portraitOn ? 7 + planes * plane : 1);
        const int faces = r.landscapeOn ? 1 : 2;
        QCOMPARE(landscape.size(),
                 valid && (r.landscapeOn || r.landscapeDouble) ? 7 + planes * plane * faces : 1);
    }
}

void TestRender::songFaceIsAMingFace()
{
    QVERIFY2(TextRaster(Song).family().contains(QStringLiteral("UMing"), Qt::CaseInsensitive),
             qPrintable(TextRaster(Song).family()));
    QVERIFY(TextRaster(QStringLiteral("@宋体")).family().contains(QStringLiteral("UMing"), Qt::CaseInsensitive));
    QVERIFY(TextRaster(QStringLiteral("黑体")).family().contains(QStringLiteral("Zen Hei"), Qt::CaseInsensitive));
}

void TestRender::twoCjkCharactersAtFullHeight()
{
    TextRaster raster(Song);
    const TLineLayout line = LayOutLine(raster, SongFont(1), 256, 32, QStringLiteral("你好"));
    QCOMPARE(line.size, 32);
    QCOMPARE(line.extra, 16);
    QCOMPARE(line.y, 0);
    QCOMPARE(line.x, (256 - line.width) / 2);
    QVERIFY(line.width >= 2 * 32 + 2 * 16 - 4 && line.width <= 2 * 32 + 2 * 16 + 4);
}

void TestRender::lineTooWideIsCut()
{
    const QString text(80, QChar(0x5B57));   // 80 x "字"
    for (uint8_t align : {0, 1, 2}) {
        TextRaster raster(Song);
        const TLineLayout line = LayOutLine(raster, SongFont(align), 256, 32, text);
        QCOMPARE(line.size, 7);
        QCOMPARE(line.extra, -1);
        QVERIFY(line.width > 256);
        if (align == 0)
            QCOMPARE(line.x, 0);
        else
            QVERIFY(line.x < 0);
    }
    // Cut at the edge, still lit to the last column.
    const QImage picture = DrawPage(SongFont(), TDisplay::Landscape, 256, 32, text);
    QVERIFY(Ink(picture).right() >= 250);
}

void TestRender::fixedHeightLayout()
{
    TPageFont font = SongFont();
    font.FontHeight = 48;
    font.FontWidth = 24;
    TextRaster raster(Song);
    const TLineLayout tall = LayOutLine(raster, font, 256, 32, QStringLiteral("AB"));
    QCOMPARE(tall.y, -8);
    QCOMPARE(tall.size, 48);
    QCOMPARE(tall.extra, 24);   // FontHeight shr 1, the line fits
    const int narrow = raster.naturalWidth(QStringLiteral("ABCDEFGH"));
    font.FontWidth = 48;
    LayOutLine(raster, font, 256, 32, QStringLiteral("AB"));
    const int wide = raster.naturalWidth(QStringLiteral("ABCDEFGH"));
    QVERIFY2(qAbs(wide - 2 * narrow) <= 2, qPrintable(QStringLiteral("%1 %2").arg(wide).arg(narrow)));
    // FontWidth 1 means average width 0: the face's own proportions.
    font.FontWidth = 1;
    LayOutLine(raster, font, 256, 32, QStringLiteral("AB"));
    const int natural = raster.naturalWidth(QStringLiteral("ABCDEFGH"));
    font.FontWidth = 0;
    LayOutLine(raster, font, 256, 32, QStringLiteral("AB"));
    QCOMPARE(raster.naturalWidth(QStringLiteral("ABCDEFGH")), natural);
}

void TestRender::onlyPaletteColours()
{
    QSet<QRgb> palette;
    for (QRgb c : {qRgb(0, 0, 0), qRgb(128, 0, 0), qRgb(0, 128, 0), qRgb(128, 128, 0),
                   qRgb(0, 0, 128), qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(128, 128, 128),
                   qRgb(192, 192, 192), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(255, 255, 0),
                   qRgb(0, 0, 255), qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)})
        palette.insert(c);
    for (int32_t colour : {255, 0x8000, 0xFFFF, 0x123456}) {
        TPageFont font = SongFont();
        font.FontColor = colour;
        for (TDisplay display : {TDisplay::Landscape, TDisplay::Portrait}) {
            const QImage picture = DrawPage(font, display, 128, 24, QStringLiteral("台词Ab1"));
            QSet<QRgb> seen;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    seen.insert(picture.pixel(x, y));
            QVERIFY(seen.size() == 2);   // background and text, nothing in between
            for (QRgb c : seen)
                QVERIFY(palette.contains(c));
        }
    }
    // The three text colours are exact palette entries.
    QCOMPARE(TextRaster::PaletteColour(qRgb(0, 128, 0)), qRgb(0, 128, 0));
    QCOMPARE(TextRaster::PaletteColour(qRgb(250, 240, 10)), qRgb(255, 255, 0));
}

void TestRender::portraitTurnsCjkOnly()
{
    // "一" is one horizontal stroke: lying on its side in the portrait face.
    const QString one = QStringLiteral("一");
    const QRect flat = Ink(DrawPage(SongFont(), TDisplay::Landscape, 64, 32, one));
    const QRect turned = Ink(DrawPage(SongFont(), TDisplay::Portrait, 64, 32, one));
    QVERIFY(flat.width() > 3 * flat.height());
    QVERIFY(turned.height() > 3 * turned.width());
    // Latin letters and digits stand as they are: the same picture in both.
    const QString latin = QStringLiteral("Al1(");
    QCOMPARE(DrawPage(SongFont(), TDisplay::Portrait, 64, 32, latin),
             DrawPage(SongFont(), TDisplay::Landscape, 64, 32, latin));
    QVERIFY(DrawPage(SongFont(), TDisplay::Portrait, 256, 32, QStringLiteral("你好"))
            != DrawPage(SongFont(), TDisplay::Landscape, 256, 32, QStringLiteral("你好")));
}

void TestRender::extraSpacingCountsCharacters()
{
    TextRaster raster(Song);
    raster.setCharHeight(20);
    const QString text = QStringLiteral("舞台A1");
    const int natural = raster.naturalWidth(text);
    QVERIFY(natural > 0);
    raster.setExtra(-1);
    QCOMPARE(raster.width(text), natural - 4);
    raster.setExtra(3);
    QCOMPARE(raster.width(text), natural + 12);
    // A character outside the basic plane counts once.
    QCOMPARE(TextRaster::characterCount(QString::fromUcs4(U"a\U00020000b", 3)), 3);
    // Drawn extra spacing moves the second character by the same amount.
    raster.setExtra(0);
    QImage a(200, 30, QImage::Format_RGB32), b(200, 30, QImage::Format_RGB32);
    a.fill(Qt::black);
    b.fill(Qt::black);
    raster.draw(a, 0, 0, QStringLiteral("一一"), qRgb(255, 0, 0));
    raster.setExtra(9);
    raster.draw(b, 0, 0, QStringLiteral("一一"), qRgb(255, 0, 0));
    QCOMPARE(Ink(b).width(), Ink(a).width() + 9);
}

void TestRender::verticalOrientationTable()
{
    for (char32_t c : {U'中', U'あ', U'カ', U'、', U'。', U'，', U'！', U'Ａ', U'가', U'§', U'①'})
        QVERIFY2(TextRaster::UprightInVertical(c), qPrintable(QString::number(c, 16)));
    for (char32_t c : {U'A', U'1', U'(', U'ー', U'（', U'）', U'「', U'〜', U'－', U'→', U'α'})
        QVERIFY2(!TextRaster::UprightInVertical(c), qPrintable(QString::number(c, 16)));
}

QTEST_MAIN(TestRender)
#include "tst_render.moc"
