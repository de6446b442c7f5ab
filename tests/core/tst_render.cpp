// Page rendering: the fit, the text rasteriser, the pictures and the frames.
#include "app/ProjectFile.h"
#include "render/TextFace.h"
#include "render/uRender.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QtTest>

#include <map>
#include <set>

namespace {
// Known widths at spacing 0 by size; spacing adds per character.
class FakeMeasurer : public TFitMeasurer {
public:
    FakeMeasurer(std::map<int, int> widths, int characters)
        : m_widths(std::move(widths)), m_characters(characters) {}
    int width(int size, int extra) const override
    {
        ++calls;
        const auto w = m_widths.find(size);
        return (w == m_widths.end() ? 1000000 : w->second) + extra * m_characters;
    }
    int characters() const override { return m_characters; }
    mutable int calls = 0;

private:
    std::map<int, int> m_widths;
    int m_characters;
};

std::map<int, int> Proportional(int perSize, int from, int to)
{
    std::map<int, int> widths;
    for (int s = from; s <= to; ++s)
        widths[s] = perSize * s;
    return widths;
}

TPageFont Song(uint8_t align = 0)
{
    TPageFont font;
    font.Name = QStringLiteral("宋体");
    font.Align = align;
    return font;
}

TPageRequest Request(int width, int height, int colorMode, bool portrait, bool landscape,
                     bool doubleSided, const QString &text = QString())
{
    return {width, height, colorMode, portrait, landscape, doubleSided, text};
}

// Lit pixels, moved so that their bounding box starts at (0, 0).
std::set<std::pair<int, int>> LitShape(const QImage &picture)
{
    std::set<std::pair<int, int>> lit;
    int minX = INT_MAX, minY = INT_MAX;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != qRgb(0, 0, 0)) {
                lit.insert({x, y});
                minX = std::min(minX, x);
                minY = std::min(minY, y);
            }
    std::set<std::pair<int, int>> shape;
    for (const auto &p : lit)
        shape.insert({p.first - minX, p.second - minY});
    return shape;
}

double Overlap(const std::set<std::pair<int, int>> &a, const std::set<std::pair<int, int>> &b)
{
    int common = 0;
    for (const auto &p : a)
        common += int(b.count(p));
    const size_t all = a.size() + b.size() - common;
    return all ? double(common) / all : 1.0;
}

// The columns holding lit pixels: first and last.
std::pair<int, int> LitColumns(const QImage &picture, int from, int to)
{
    int first = INT_MAX, last = -1;
    for (int x = from; x < to; ++x)
        for (int y = 0; y < picture.height(); ++y)
            if (picture.pixel(x, y) != qRgb(0, 0, 0)) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}
} // namespace

class TestRender : public QObject {
    Q_OBJECT
private slots:
    void fitPrefersSizeOverSpacing();
    void fitFallsBackToSevenAndMinusOne();
    void fitMatchesTheScan();
    void fitMeasuresOncePerSize();
    void faceNamesAreSubstituted();
    void widthsAddSpacingPerCharacter();
    void cellHeightAndAverageWidth();
    void layoutOfRealLines();
    void fitOfShowLinesIsPinned();
    void picturesArePinned_data();
    void picturesArePinned();
    void preparedPagesDrawNoGlyph();
    void drawnPicturesHoldPaletteColours();
    void verticalFaceTurnsCjkOnly();
    void verticalPunctuation_data();
    void verticalPunctuation();
    void doubleSidedFacesAlike();
    void turnClockwiseMapsPixels();
    void emptyPageFrames();
    void frameSizesAndHeaders();
    void portraitEffects();
    void slotsOfDisabledDisplays();
    void packedFramesWriteEveryPlaneByte();
    void badGeometryIsRefused();
    void randomRecordsNeverCrash();
};

void TestRender::fitPrefersSizeOverSpacing()
{
    // Two characters a size wide each: fits at full height with spacing s/2.
    QCOMPARE(FitAutomatic(FakeMeasurer(Proportional(2, 8, 32), 2), 32, 256).size, 32);
    QCOMPARE(FitAutomatic(FakeMeasurer(Proportional(2, 8, 32), 2), 32, 256).extra, 16);
    // Size drops only when spacing 0 does not fit; spacing restarts from s/2.
    const TFit fit = FitAutomatic(FakeMeasurer(Proportional(4, 8, 32), 4), 32, 100);
    QCOMPARE(fit.size, 25);
    QCOMPARE(fit.extra, 0);
    const TFit roomy = FitAutomatic(FakeMeasurer({{32, 120}, {31, 90}}, 4), 32, 100);
    QCOMPARE(roomy.size, 31);
    QCOMPARE(roomy.extra, 2);
    // An empty line fits at the first try.
    const TFit empty = FitAutomatic(FakeMeasurer(Proportional(0, 8, 80), 0), 80, 64);
    QCOMPARE(empty.size, 80);
    QCOMPARE(empty.extra, 40);

    QCOMPARE(FitExtra(100, 4, 10, 100), 0);
    QCOMPARE(FitExtra(101, 4, 10, 100), -1);
    QCOMPARE(FitExtra(50, 4, 10, 100), 10);
    QCOMPARE(FitExtra(50, 0, 7, 50), 7);
}

void TestRender::fitFallsBackToSevenAndMinusOne()
{
    const TFit fit = FitAutomatic(FakeMeasurer(Proportional(40, 8, 32), 10), 32, 256);
    QCOMPARE(fit.size, 7);
    QCOMPARE(fit.extra, -1);
    // A height below 8 never tries a size.
    QCOMPARE(FitAutomatic(FakeMeasurer(Proportional(0, 1, 7), 1), 7, 256).size, 7);
}

void TestRender::fitMatchesTheScan()
{
    QRandomGenerator random(11);
    for (int trial = 0; trial < 2000; ++trial) {
        const int height = random.bounded(8, 90);
        const int limit = random.bounded(1, 600);
        const int characters = random.bounded(0, 12);
        std::map<int, int> widths;   // not monotonic: hinting may do that
        for (int s = 8; s <= height; ++s)
            widths[s] = random.bounded(0, 2 * limit + 1);
        const FakeMeasurer measurer(widths, characters);
        const TFit fast = FitAutomatic(measurer, height, limit);
        const TFit scan = FitAutomaticByScan(measurer, height, limit);
        QCOMPARE(fast.size, scan.size);
        QCOMPARE(fast.extra, scan.extra);
    }
}

void TestRender::fitMeasuresOncePerSize()
{
    const FakeMeasurer measurer(Proportional(100, 8, 80), 30);
    FitAutomatic(measurer, 80, 512);
    QCOMPARE(measurer.calls, 73);
    const FakeMeasurer scanned(Proportional(100, 8, 80), 30);
    FitAutomaticByScan(scanned, 80, 512);
    QCOMPARE(scanned.calls, 1661);
}

void TestRender::faceNamesAreSubstituted()
{
    QCOMPARE(TTextFace(QStringLiteral("宋体")).family(), QStringLiteral("AR PL UMing CN"));
    QCOMPARE(TTextFace(QStringLiteral("黑体")).family(), QStringLiteral("WenQuanYi Zen Hei"));
    const TTextFace vertical(QStringLiteral("@宋体"));
    QVERIFY(vertical.isVertical());
    QCOMPARE(vertical.family(), QStringLiteral("AR PL UMing CN"));
    QVERIFY(!TTextFace(QStringLiteral("宋体")).isVertical());
}

void TestRender::widthsAddSpacingPerCharacter()
{
    TTextFace face(QStringLiteral("宋体"));
    face.setCharHeight(32);
    const TTextFace::Line line = face.prepare(QStringLiteral("你好ab"));
    QCOMPARE(line.characters(), 4);
    const int plain = face.width(line);
    QCOMPARE(plain, 32 + 32 + 16 + 16);
    for (int extra : {-3, -1, 1, 16}) {
        face.setExtra(extra);
        QCOMPARE(face.width(line), plain + extra * 4);
    }
    // A character outside the BMP is one character; CJK missing from a Latin
    // face comes from a fallback face at full width.
    QCOMPARE(face.prepare(QString::fromUcs4(U"\U00020000")).characters(), 1);
    TTextFace latin(QStringLiteral("MS Sans Serif"));
    latin.setCharHeight(20);
    QCOMPARE(latin.family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(latin.width(QStringLiteral("你")), 20);
}

void TestRender::cellHeightAndAverageWidth()
{
    TTextFace face(QStringLiteral("宋体"));
    face.setCellHeight(24, 12);
    QCOMPARE(face.cellHeight(), 24);
    QVERIFY(face.emPixels() < 24);   // the cell includes the internal leading
    QCOMPARE(face.width(QStringLiteral("AB")), 24);
    QCOMPARE(face.width(QStringLiteral("你")), 24);
    face.setCellHeight(24, 6);   // half the natural width
    QCOMPARE(face.width(QStringLiteral("AB")), 12);
    QCOMPARE(face.width(QStringLiteral("你")), 12);
    face.setCellHeight(48, 0);   // FontWidth 1: the width follows the height
    QCOMPARE(face.width(QStringLiteral("你")), face.emPixels());
}

void TestRender::layoutOfRealLines()
{
    TTextFace face(QStringLiteral("宋体"));
    const TTextFace::Line two = face.prepare(QStringLiteral("你好"));
    const TPageLayout fit = LayoutPage(face, two, Song(), 256, 32);
    QCOMPARE(fit.size, 32);
    QCOMPARE(fit.extra, 16);
    QCOMPARE(fit.textWidth, 96);
    QCOMPARE(fit.x, 0);
    QCOMPARE(fit.y, 0);

    const TTextFace::Line longLine = face.prepare(QString(40, QChar(0x4E2D)));
    for (uint8_t align : {0, 7}) {
        const TPageLayout left = LayoutPage(face, longLine, Song(align), 256, 32);
        QCOMPARE(left.size, 7);
        QCOMPARE(left.extra, -1);
        QCOMPARE(left.x, 0);
    }
    const TPageLayout centre = LayoutPage(face, longLine, Song(1), 256, 32);
    QCOMPARE(centre.textWidth, 40 * 7 - 40);
    QCOMPARE(centre.x, (256 - 240) / 2);
    const TTextFace::Line tooLong = face.prepare(QString(50, QChar(0x4E2D)));
    const TPageLayout centred = LayoutPage(face, tooLong, Song(1), 256, 32);
    QCOMPARE(centred.x, (256 - 300) / 2);   // -22: cut at both edges
    QCOMPARE(LayoutPage(face, tooLong, Song(2), 256, 32).x, 256 - 300);

    TPageFont fixed = Song(2);
    fixed.Height = 48;
    fixed.Width = 48;
    const TPageLayout tall = LayoutPage(face, two, fixed, 256, 32);
    QCOMPARE(tall.y, -8);
    QCOMPARE(tall.size, 48);
    QCOMPARE(tall.extra, 24);
    QCOMPARE(tall.x, 256 - tall.textWidth);
    fixed.Height = 20;
    fixed.Width = 40;   // characters of 40: two do not fit 64 even unspaced
    QCOMPARE(LayoutPage(face, two, fixed, 64, 32).extra, -1);
}

void TestRender::fitOfShowLinesIsPinned()
{
    // Size, spacing and width the operators know for these lines, on the
    // landscape and the portrait (vertical) face of a 512 x 80 and a 256 x 32
    // display: rendering may get faster, the fit may not change.
    struct Pinned {
        QString text;
        int fits[4][3];
    };
    const Pinned lines[] = {
        {QStringLiteral("第三幕 王：你来得正好，坐下说话。"),
         {{31, 0, 512}, {31, 0, 512}, {15, 0, 248}, {15, 0, 248}}},
        {QStringLiteral("小翠：小姐，老夫人请您到前厅去。"),
         {{32, 0, 512}, {32, 0, 512}, {16, 0, 256}, {16, 0, 256}}},
        {QStringLiteral("Scene 12: the curtain rises slowly"),
         {{30, 0, 510}, {30, 0, 510}, {14, 0, 238}, {14, 0, 238}}},
        {QStringLiteral("书生（低声）：“此情可待成追忆，只是当时已惘然。”"),
         {{20, 0, 500}, {20, 0, 500}, {10, 0, 250}, {10, 0, 250}}},
        {QStringLiteral("啊！"), {{80, 40, 240}, {80, 40, 240}, {32, 16, 96}, {32, 16, 96}}},
        {QStringLiteral("明月几时有？把酒问青天。不知天上宫阙，今夕是何年。我欲乘风归去，又恐琼楼玉宇，高处不胜寒。"),
         {{11, 0, 495}, {11, 0, 495}, {7, -1, 270}, {7, -1, 270}}},
        {QStringLiteral("2026年12月9日 第1场 ABC-xyz"),
         {{37, 0, 508}, {37, 0, 508}, {18, 0, 243}, {18, 0, 243}}},
        {QStringLiteral("ー「あ」〜、。ｶﾀｶﾅ 한국어"),
         {{40, 0, 500}, {40, 0, 500}, {20, 0, 250}, {20, 0, 250}}},
    };
    const struct {
        QString face;
        int width, height;
    } displays[] = {{QStringLiteral("宋体"), 512, 80}, {QStringLiteral("@宋体"), 512, 80},
                    {QStringLiteral("宋体"), 256, 32}, {QStringLiteral("@宋体"), 256, 32}};
    for (const Pinned &pinned : lines)
        for (int d = 0; d < 4; ++d) {
            TTextFace face(displays[d].face);
            const TTextFace::Line line = face.prepare(pinned.text);
            const TPageLayout fit = LayoutPage(face, line, Song(), displays[d].width, displays[d].height);
            const QString what = pinned.text + QLatin1Char(' ') + displays[d].face;
            QVERIFY2(fit.size == pinned.fits[d][0], qPrintable(what));
            QVERIFY2(fit.extra == pinned.fits[d][1], qPrintable(what));
            QVERIFY2(fit.textWidth == pinned.fits[d][2], qPrintable(what));
        }
}

void TestRender::picturesArePinned_data()
{
    QTest::addColumn<QString>("face");
    QTest::addColumn<QStringList>("digests");
    // SHA-1 of the pictures: 256 x 32 landscape and portrait, 512 x 80 the same.
    QTest::newRow("宋体") << QStringLiteral("宋体")
                        << QStringList{"fed5ce8406c89bcc", "b5ac1d2a207144cf", "77dad61a58e6f579", "3e24772e5386912c"};
    QTest::newRow("黑体") << QStringLiteral("黑体")
                        << QStringList{"3c6102f14d8f20c0", "cfedd393a6845d0b", "78fbe19d22887a18", "6ed7a153f063d071"};
    QTest::newRow("楷体") << QStringLiteral("楷体")
                        << QStringList{"246cfbe335a92847", "182b717980472ce9", "8a80e1cbc7aa12a4", "0b3d4abc90e450d6"};
}

// A page is drawn the same, pixel for pixel, every time and on every machine
// with these fonts: what the operator checked in the preview is what goes out.
void TestRender::picturesArePinned()
{
    QFETCH(QString, face);
    QFETCH(QStringList, digests);
    TPageFont font = Song(1);
    font.Name = face;
    QStringList drawn;
    for (const QSize &display : {QSize(256, 32), QSize(512, 80)})
        for (TDisplayKind kind : {TDisplayKind::Landscape, TDisplayKind::Portrait}) {
            const QImage picture = DrawPage(font, display.width(), display.height(), kind,
                                            QStringLiteral("第一幕 王：目三二，口中“言”！（终了）"));
            QByteArray bytes;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    bytes += char(picture.pixel(x, y) != qRgb(0, 0, 0));
            drawn << QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(16);
        }
    QCOMPARE(drawn, digests);
}

void TestRender::preparedPagesDrawNoGlyph()
{
    // Glyphs a page needs on each display kind and colour mode are drawn by
    // the preparation, at the sizes the page is fitted to, not when it goes out.
    TPageRequest request;
    request.Width = 136;
    request.Height = 40;
    request.ColorMode = 2;
    request.PortraitOn = true;
    request.LandscapeDouble = true;
    for (const QString &text : {QStringLiteral("鸾凤和鸣 Qq，"), QStringLiteral("霓裳羽衣曲第三叠！")}) {
        request.Text = text;
        TPageFont font = Song(1);
        font.Name = QStringLiteral("黑体");
        const qint64 before = TTextFace::masksDrawn();
        PreparePageGlyphs(font, request);
        const qint64 prepared = TTextFace::masksDrawn();
        QVERIFY(prepared > before);
        QByteArray portrait, landscape;
        QVERIFY(RenderPageFrames(font, request, portrait, landscape).isEmpty());
        QCOMPARE(TTextFace::masksDrawn(), prepared);
        request.LandscapeDouble = false;
        request.LandscapeOn = true;   // the single-sided display shares the glyphs
        QVERIFY(RenderPageFrames(font, request, portrait, landscape).isEmpty());
        QCOMPARE(TTextFace::masksDrawn(), prepared);
    }
    // A request that cannot be drawn prepares nothing.
    request.Width = 12;
    const qint64 before = TTextFace::masksDrawn();
    PreparePageGlyphs(Song(), request);
    QCOMPARE(TTextFace::masksDrawn(), before);
}

void TestRender::drawnPicturesHoldPaletteColours()
{
    const std::set<QRgb> palette(std::begin(Palette16), std::end(Palette16));
    for (int32_t colour : {255, 0x8000, 0xFFFF, 0x123456, -1}) {
        TPageFont font = Song(1);
        font.Color = colour;
        for (TDisplayKind kind : {TDisplayKind::Portrait, TDisplayKind::Landscape}) {
            const QImage picture =
                DrawPage(font, 128, 32, kind, QStringLiteral("第一幕：你好，Ab1。"));
            std::set<QRgb> seen;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    seen.insert(picture.pixel(x, y) | 0xFF000000u);
            QCOMPARE(int(seen.size()), 2);   // black and the text colour
            for (QRgb c : seen)
                QVERIFY(palette.count(c));
            QVERIFY(seen.count(NearestPaletteColour(ColorRefToRgb(colour))));
        }
    }
    QCOMPARE(ColorRefToRgb(0x8000), qRgb(0, 128, 0));
    QCOMPARE(NearestPaletteColour(qRgb(250, 10, 10)), qRgb(255, 0, 0));
}

void TestRender::verticalFaceTurnsCjkOnly()
{
    for (char32_t c : {U'你', U'、', U'。', U'あ', U'ア', U'가', U'Ａ', U'　', U'\U00020000'})
        QVERIFY(TurnsInVerticalText(c));
    for (char32_t c : {U'A', U'1', U'ー', U'（', U'「', U'-', U'—', U'ｱ'})
        QVERIFY(!TurnsInVerticalText(c));

    const TPageFont font = Song();
    const QImage land = DrawPage(font, 64, 32, TDisplayKind::Landscape, QStringLiteral("好"));
    const QImage portrait = DrawPage(font, 64, 32, TDisplayKind::Portrait, QStringLiteral("好"));
    QVERIFY(land != portrait);
    // Turned back for viewing, the portrait glyph is the upright glyph.
    QVERIFY(Overlap(LitShape(TurnClockwise(portrait)), LitShape(land)) > 0.8);
    QVERIFY(Overlap(LitShape(portrait), LitShape(land)) < 0.5);
    // Latin stands in both faces.
    QCOMPARE(DrawPage(font, 64, 32, TDisplayKind::Portrait, QStringLiteral("Ab")),
             DrawPage(font, 64, 32, TDisplayKind::Landscape, QStringLiteral("Ab")));
}

void TestRender::verticalPunctuation_data()
{
    QTest::addColumn<QString>("face");
    QTest::addColumn<QString>("mark");
    QTest::addColumn<bool>("verticalForm");   // the face has the mark's vertical form
    QTest::addColumn<bool>("centred");
    for (const char *face : {"宋体", "楷体"}) {
        for (const char *mark : {"，", "。", "（", "」"})
            QTest::addRow("%s %s", face, mark) << QString::fromUtf8(face) << QString::fromUtf8(mark)
                                               << true << false;
        QTest::addRow("%s ：", face) << QString::fromUtf8(face) << QStringLiteral("：") << true << true;
    }
    // WenQuanYi Zen Hei has the vertical brackets but no vertical stops.
    QTest::newRow("黑体 （") << QStringLiteral("黑体") << QStringLiteral("（") << true << false;
    for (const char *mark : {"，", "。", "："})
        QTest::addRow("黑体 %s", mark) << QStringLiteral("黑体") << QString::fromUtf8(mark) << false << true;
    for (const char *face : {"宋体", "黑体", "楷体"})
        for (const char *mark : {"“", "”"})
            QTest::addRow("%s %s", face, mark) << QString::fromUtf8(face) << QString::fromUtf8(mark)
                                               << false << true;
}

// On the portrait display, as the audience sees it: the face's vertical form
// of a mark where it has one (the comma at the top right of its cell), else
// the mark in the middle of its cell; colons and quotes in the middle always,
// never at a side.
void TestRender::verticalPunctuation()
{
    QFETCH(QString, face);
    QFETCH(QString, mark);
    QFETCH(bool, verticalForm);
    QFETCH(bool, centred);
    TPageFont font = Song();
    font.Name = face;
    const char32_t form = VerticalForm(mark.toUcs4().first());
    const QImage drawn = DrawPage(font, 32, 32, TDisplayKind::Portrait, mark);
    if (form)
        QCOMPARE(drawn == DrawPage(font, 32, 32, TDisplayKind::Portrait, QString::fromUcs4(&form, 1)),
                 verticalForm);
    if (!centred)
        return;
    // Seen turned, the mark's ink is centred across the 32-pixel column.
    const auto [left, right] = LitColumns(TurnClockwise(drawn), 0, 32);
    QVERIFY2(qAbs((left + right + 1) - 32) <= 2, qPrintable(QStringLiteral("%1..%2").arg(left).arg(right)));
}

void TestRender::doubleSidedFacesAlike()
{
    const QString text = QStringLiteral("你好");
    TTextFace face(QStringLiteral("宋体"));
    const int t = LayoutPage(face, face.prepare(text), Song(), 256, 32).textWidth;
    for (uint8_t align : {1, 2}) {
        const QImage picture = DrawPage(Song(align), 256, 32, TDisplayKind::LandscapeDouble, text);
        QCOMPARE(picture.width(), 512);
        QCOMPARE(picture.copy(0, 0, 256, 32), picture.copy(256, 0, 256, 32));
        const auto left = LitColumns(picture, 0, 256);
        const int x = align == 2 ? 256 - t : (256 - t) / 2;
        QVERIFY(left.first >= x);
        QVERIFY(left.second < x + t);
        QCOMPARE(LitColumns(picture, 256, 512).first, left.first + 256);
    }
}

void TestRender::turnClockwiseMapsPixels()
{
    QImage picture(3, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            picture.setPixel(x, y, qRgb(x * 50, y * 50, 7));
    const QImage turned = TurnClockwise(picture);
    QCOMPARE(turned.size(), QSize(2, 3));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            QCOMPARE(turned.pixel(2 - 1 - y, x), picture.pixel(x, y));
}

void TestRender::emptyPageFrames()
{
    for (int colorMode : {1, 2}) {
        QByteArray portrait, landscape;
        TPageRequest r = Request(256, 32, colorMode, true, true, false);
        QVERIFY(RenderPageFrames(Song(1), r, portrait, landscape).isEmpty());
        for (const QByteArray &frame : {portrait, landscape}) {
            QCOMPARE(frame.mid(1, 5), QByteArray::fromHex("F300000000"));
            QCOMPARE(frame.mid(6, frame.size() - 7), QByteArray(frame.size() - 7, char(0xFF)));
            QCOMPARE(frame.back(), char(FrameEnd));
        }
        QCOMPARE(portrait.at(0), char(AddrPortrait));
        QCOMPARE(landscape.at(0), char(AddrLandscape));
    }
}

void TestRender::frameSizesAndHeaders()
{
    struct Case {
        int colorMode;
        bool landscape, doubleSided;
        int size;
    };
    for (const Case &c : {Case{1, true, false, 1031}, Case{2, true, false, 2055},
                          Case{1, false, true, 2055}, Case{2, false, true, 4103},
                          Case{2, true, true, 2055}}) {   // both set: single-sided only
        QByteArray portrait, landscape;
        TPageRequest r = Request(256, 32, c.colorMode, true, c.landscape, c.doubleSided,
                                 QStringLiteral("你好"));
        r.Effect = 3;
        r.RunSpeed = 5;
        r.ShowTime = 10;
        QVERIFY(RenderPageFrames(Song(), r, portrait, landscape).isEmpty());
        QCOMPARE(landscape.size(), c.size);
        QCOMPARE(portrait.size(), c.colorMode == 1 ? 1031 : 2055);
        QCOMPARE(landscape.left(6), QByteArray::fromHex("01F30300050A"));
        QCOMPARE(portrait.left(6), QByteArray::fromHex("02F30200050A"));
        QVERIFY(landscape.mid(6, landscape.size() - 7).count(char(0xFF)) < landscape.size() - 7);
    }
}

void TestRender::portraitEffects()
{
    const int expected[] = {0, 3, 4, 2, 1, 1, 1};
    for (int effect = 0; effect < 7; ++effect) {
        QCOMPARE(int(PortraitEffect(uint8_t(effect))), expected[effect]);
        QByteArray portrait, landscape;
        TPageRequest r = Request(64, 16, 1, true, true, false, QStringLiteral("A"));
        r.Effect = uint8_t(effect);
        QVERIFY(RenderPageFrames(Song(), r, portrait, landscape).isEmpty());
        QCOMPARE(int(portrait.at(2)), expected[effect]);
        QCOMPARE(int(landscape.at(2)), effect);
    }
    QCOMPARE(int(PortraitEffect(255)), 1);
}

void TestRender::slotsOfDisabledDisplays()
{
    QByteArray portrait = "old portrait", landscape = "old landscape";
    QVERIFY(RenderPageFrames(Song(), Request(64, 16, 1, true, false, false), portrait, landscape).isEmpty());
    QCOMPARE(landscape, QByteArray("old landscape"));
    QCOMPARE(portrait.size(), 7 + 128);
    QVERIFY(RenderPageFrames(Song(), Request(64, 16, 1, false, false, true), portrait, landscape).isEmpty());
    QCOMPARE(portrait.size(), 7 + 128);
    QCOMPARE(landscape.size(), 7 + 256);
    QByteArray untouched = "x";
    QVERIFY(RenderPageFrames(Song(), Request(64, 16, 1, false, false, false), untouched, untouched).isEmpty());
    QCOMPARE(untouched, QByteArray("x"));
}

void TestRender::packedFramesWriteEveryPlaneByte()
{
    QImage red(64, 4, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    const QByteArray single = BuildPageFrame(1, 0, 0, 0, red, 1);
    QCOMPARE(single.mid(6, 32), QByteArray(32, 0));
    const QByteArray dual = BuildPageFrame(1, 0, 0, 0, red, 2);
    QCOMPARE(dual.size(), 7 + 64);
    QCOMPARE(dual.mid(6, 32), QByteArray(32, 0));
    QCOMPARE(dual.mid(38, 32), QByteArray(32, char(0xFF)));
    QVERIFY(BuildPageFrame(1, 0, 0, 0, red, 3).isEmpty());
    // A picture that could not be allocated: no frame without planes.
    QVERIFY(BuildPageFrame(1, 0, 0, 0, QImage(), 1).isEmpty());
}

void TestRender::badGeometryIsRefused()
{
    for (auto [w, h, c] : {std::tuple{256, 32, 0}, {256, 32, 3}, {256, 32, -1}, {0, 32, 1},
                           {-8, 32, 1}, {7, 32, 1}, {12, 32, 1}, {MaxDisplayWidth + 8, 32, 2},
                           {256, 7, 1}, {256, 0, 1}, {256, -16, 2}, {256, MaxDisplayHeight + 1, 1},
                           {INT_MIN, INT_MAX, INT_MAX}}) {
        QVERIFY(!CheckDisplayGeometry(w, h, c).isEmpty());
        QByteArray portrait = "old", landscape = "old";
        const QString error = RenderPageFrames(Song(), Request(w, h, c, true, false, true,
                                               QStringLiteral("你")), portrait, landscape);
        QVERIFY(!error.isEmpty());
        QVERIFY(portrait.isEmpty());
        QVERIFY(landscape.isEmpty());
        QByteArray kept = "old";
        RenderPageFrames(Song(), Request(w, h, c, true, false, false), portrait, kept);
        QCOMPARE(kept, QByteArray("old"));
    }
    for (auto [w, h] : {std::pair{8, 8}, {512, 80}, {64, 16}, {MaxDisplayWidth, MaxDisplayHeight}})
        QVERIFY(CheckDisplayGeometry(w, h, 2).isEmpty());
    QVERIFY(CheckDisplaySize(256, 32).isEmpty());
    QVERIFY(!CheckDisplaySize(256, 5000).isEmpty());
}

void TestRender::randomRecordsNeverCrash()
{
    QRandomGenerator random(2024);
    for (int trial = 0; trial < 150; ++trial) {
        TProjectRecord record;
        random.fillRange(reinterpret_cast<quint32 *>(&record), sizeof record / 4);
        if (trial % 3) {   // keep many drawable, with every other field random
            record.ScreenWidth = 8 * random.bounded(-1, 70);
            record.ScreenHeight = random.bounded(-2, 100);
            record.ColorMode = random.bounded(0, 4);
            record.PortraitOn = uint8_t(random.bounded(0, 3));
            record.LandscapeOn = uint8_t(random.bounded(0, 3));
            record.LandscapeDouble = uint8_t(random.bounded(0, 3));
        }
        QString text;
        for (int i = random.bounded(0, 20); i > 0; --i)
            text += QChar(char16_t(random.bounded(1, 0xD7FF)));
        const TPageRequest request =
            PageRequestOf(record, text, record.Stunt, record.RunSpeed, record.ShowTime);
        QByteArray portrait = "old", landscape = "old";
        const QString error = RenderPageFrames(PageFontOf(record), request, portrait, landscape);
        const bool valid = CheckDisplayGeometry(record.ScreenWidth, record.ScreenHeight,
                                                record.ColorMode).isEmpty();
        QCOMPARE(error.isEmpty(), valid);
        const int plane = record.ScreenWidth * record.ScreenHeight / 8;
        if (request.PortraitOn)
            QCOMPARE(portrait.size(), valid ? 7 + record.ColorMode * plane : 0);
        else
            QCOMPARE(portrait, QByteArray("old"));
        if (request.LandscapeOn || request.LandscapeDouble) {
            const int width = request.LandscapeOn ? 1 : 2;
            QCOMPARE(landscape.size(), valid ? 7 + record.ColorMode * plane * width : 0);
            if (valid)
                QCOMPARE(landscape.back(), char(FrameEnd));
        }
    }
}

QTEST_MAIN(TestRender)
#include "tst_render.moc"
