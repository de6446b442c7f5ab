// Every face the program offers, on the displays operators use: lines keep the
// sizes and spacings the fit chose, portrait lines advance glyph by glyph, and
// full-height text keeps all of its strokes inside the picture.
#include "render/Faces.h"
#include "render/TextFace.h"
#include "render/uRender.h"

#include <QFontDatabase>
#include <QtTest>

#include <map>

namespace {
const QSize Displays[] = {{256, 32}, {512, 80}};

TPageFont Font(const QString &name, uint8_t height = 0, uint8_t width = 0)
{
    TPageFont font;
    font.Name = name;
    font.Height = height;
    font.Width = width;
    return font;
}

// Only the faces the set-up scripts install are checked (the substitution
// targets, and the names the font list offers for them): other fonts a
// machine happens to have are no part of the program.
bool InstalledByScripts(const QString &name)
{
    return FallbackFaceNames().contains(TTextFace(name).family());
}

// The families the scripts install that draw CJK themselves.
QStringList CjkFamilies()
{
    QStringList families;
    for (const QString &family : QFontDatabase::families(QFontDatabase::SimplifiedChinese))
        if (TTextFace(family).family() == family && InstalledByScripts(family))
            families << family;
    return families;
}

// Lit pixels of the picture.
int LitCount(const QImage &picture)
{
    int lit = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            lit += picture.pixel(x, y) != qRgb(0, 0, 0);
    return lit;
}

// Rows from the first to the last lit one.
int LitRowSpan(const QImage &picture)
{
    int first = INT_MAX, last = -1;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != qRgb(0, 0, 0)) {
                first = std::min(first, y);
                last = std::max(last, y);
            }
    return last < 0 ? 0 : last - first + 1;
}

// Runs of columns holding lit pixels, left to right: [first, last] each.
QList<QPair<int, int>> LitColumnRuns(const QImage &picture)
{
    QList<QPair<int, int>> runs;
    for (int x = 0; x < picture.width(); ++x) {
        bool lit = false;
        for (int y = 0; y < picture.height() && !lit; ++y)
            lit = picture.pixel(x, y) != qRgb(0, 0, 0);
        if (!lit)
            continue;
        if (!runs.isEmpty() && runs.last().second == x - 1)
            runs.last().second = x;
        else
            runs.append({x, x});
    }
    return runs;
}

// The line drawn where the page puts it, on a canvas with a display's height
// of room above and below, turned like the display's picture: nothing cut.
QImage Uncut(const TPageFont &font, const QSize &display, bool portrait, const QString &text)
{
    TTextFace face(portrait ? QLatin1Char('@') + font.Name : font.Name);
    const TTextFace::Line line = face.prepare(text);
    const TPageLayout layout = LayoutPage(face, line, font, display.width(), display.height());
    QImage canvas(display.width(), 3 * display.height(), QImage::Format_RGB32);
    canvas.fill(Qt::black);
    face.draw(canvas, layout.x, layout.y + display.height(), line, qRgb(255, 0, 0));
    return canvas;
}

// One character drawn at a character height, with room around it.
QImage Glyph(const QString &faceName, int height, char32_t c)
{
    TTextFace face(faceName);
    face.setCharHeight(height);
    QImage picture(2 * height, 2 * height, QImage::Format_RGB32);
    picture.fill(Qt::black);
    face.draw(picture, height / 2, height / 2, QString::fromUcs4(&c, 1), qRgb(255, 0, 0));
    return picture;
}

bool IsLit(const QImage &picture, int x, int y)
{
    return picture.rect().contains(x, y) && picture.pixel(x, y) != qRgb(0, 0, 0);
}

// Horizontal strokes as the eye counts them: the most separate runs of lit
// pixels down a column that a quarter of the columns in the middle three
// fifths of the ink show (a brush stroke need not span the character; the
// vertical strokes of 王 and 目 are one run each).
int HorizontalStrokes(const QImage &picture)
{
    const QList<QPair<int, int>> runs = LitColumnRuns(picture);
    if (runs.isEmpty())
        return 0;
    const int left = runs.first().first, width = runs.last().second - left + 1;
    std::map<int, int> columns;   // run count -> columns that show it
    int counted = 0;
    for (int x = left + width / 5; x <= left + width - 1 - width / 5; ++x, ++counted) {
        int strokes = 0;
        for (int y = 0; y < picture.height(); ++y)
            strokes += IsLit(picture, x, y) && !IsLit(picture, x, y - 1);
        ++columns[strokes];
    }
    for (auto c = columns.rbegin(); c != columns.rend(); ++c)
        if (4 * c->second >= counted)
            return c->first;
    return 0;
}

// Whether the ink encloses dark pixels that no path from the picture's edge
// reaches: the box of 口 is closed.
bool EnclosesSpace(const QImage &picture)
{
    const int w = picture.width();
    std::vector<char> reached(size_t(w * picture.height()), 0);
    QList<QPoint> todo;
    for (int x = 0; x < picture.width(); ++x)
        todo << QPoint(x, 0) << QPoint(x, picture.height() - 1);
    for (int y = 0; y < picture.height(); ++y)
        todo << QPoint(0, y) << QPoint(picture.width() - 1, y);
    while (!todo.isEmpty()) {
        const QPoint p = todo.takeLast();
        if (!picture.rect().contains(p) || reached[size_t(p.y() * w + p.x())]
            || IsLit(picture, p.x(), p.y()))
            continue;
        reached[size_t(p.y() * w + p.x())] = 1;
        todo << p + QPoint(1, 0) << p - QPoint(1, 0) << p + QPoint(0, 1) << p - QPoint(0, 1);
    }
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (!IsLit(picture, x, y) && !reached[size_t(y * w + x)])
                return true;
    return false;
}
} // namespace

class TestFaces : public QObject {
    Q_OBJECT
private slots:
    void fitIsPinned_data();
    void fitIsPinned();
    void portraitLinesAdvanceByGlyph();
    void fullHeightTextIsWhole();
    void strokesKeptAtEverySize_data();
    void strokesKeptAtEverySize();
};

void TestFaces::fitIsPinned_data()
{
    QTest::addColumn<QString>("face");
    QTest::addColumn<QString>("fits");
    // size/extra for each line, landscape then portrait, 256 x 32 then 512 x 80.
    QTest::newRow("宋体") << QStringLiteral("宋体")
                         << QStringLiteral(
                                "32/16 32/10 32/0 9/0 7/-1 24/12 24/12 24/4 24/-1 24/-1 "
                                "32/16 32/10 32/0 9/0 7/-1 24/12 24/12 24/4 24/-1 24/-1 "
                                "80/40 80/5 64/0 19/0 12/0 24/12 24/12 24/12 24/-1 24/-1 "
                                "80/40 80/5 64/0 19/0 12/0 24/12 24/12 24/12 24/-1 24/-1");
    QTest::newRow("黑体") << QStringLiteral("黑体")
                         << QStringLiteral(
                                "32/16 32/10 32/1 10/0 7/-1 24/12 24/12 24/3 24/-1 24/-1 "
                                "32/16 32/10 32/1 10/0 7/-1 24/12 24/12 24/3 24/-1 24/-1 "
                                "80/40 80/5 71/0 20/0 12/0 24/12 24/12 24/12 24/-1 24/-1 "
                                "80/40 80/5 71/0 20/0 12/0 24/12 24/12 24/12 24/1 24/-1");
    QTest::newRow("楷体") << QStringLiteral("楷体")
                         << QStringLiteral(
                                "32/16 32/10 32/0 9/0 7/-1 24/12 24/12 24/4 24/-1 24/-1 "
                                "32/16 32/10 32/0 9/0 7/-1 24/12 24/12 24/4 24/-1 24/-1 "
                                "80/40 80/5 64/0 19/0 12/0 24/12 24/12 24/12 24/-1 24/-1 "
                                "80/40 80/5 64/0 19/0 12/0 24/12 24/12 24/12 24/-1 24/-1");
    QTest::newRow("MS Sans Serif") << QStringLiteral("MS Sans Serif")
                         << QStringLiteral(
                                "32/16 32/10 31/0 10/0 7/-1 24/12 24/12 24/3 24/-1 24/-1 "
                                "32/16 32/10 31/0 10/0 7/-1 24/12 24/12 24/3 24/-1 24/-1 "
                                "80/40 80/5 62/0 20/0 12/0 24/12 24/12 24/12 24/-1 24/-1 "
                                "80/40 80/5 62/0 20/0 12/0 24/12 24/12 24/12 24/-1 24/-1");
}

void TestFaces::fitIsPinned()
{
    QFETCH(QString, face);
    QFETCH(QString, fits);
    const QString lines[] = {
        QStringLiteral("你好"),
        QStringLiteral("第一幕：开场"),
        QStringLiteral("Hello, world 123"),
        QStringLiteral("他说：“我们明天早上八点在剧院门口见面，不见不散！”"),
        QString(40, QChar(0x4E2D)),
    };
    QStringList seen;
    for (const QSize &display : Displays)
        for (bool portrait : {false, true})
            for (const TPageFont &font : {Font(face), Font(face, 24, 24)})
                for (const QString &text : lines) {
                    TTextFace f(portrait ? QLatin1Char('@') + face : face);
                    const TPageLayout layout = LayoutPage(f, f.prepare(text), font,
                                                          display.width(), display.height());
                    seen << QStringLiteral("%1/%2").arg(layout.size).arg(layout.extra);
                }
    QCOMPARE(seen.join(QLatin1Char(' ')), fits);
}

void TestFaces::portraitLinesAdvanceByGlyph()
{
    const QStringList faces = SubstitutedFaceNames() + CjkFamilies();
    QVERIFY(faces.size() > SubstitutedFaceNames().size());
    for (const QString &name : faces)
        for (const QSize &display : Displays) {
            TTextFace face(QLatin1Char('@') + name);
            const TTextFace::Line line = face.prepare(QStringLiteral("口口口口"));
            const TPageLayout layout = LayoutPage(face, line, Font(name), display.width(),
                                                  display.height());
            // A CJK glyph advances by the em.
            QCOMPARE(layout.textWidth, 4 * (layout.size + layout.extra));
            const QList<QPair<int, int>> runs = LitColumnRuns(
                DrawPage(Font(name), display.width(), display.height(), TDisplayKind::Portrait,
                         QStringLiteral("口口口口")));
            QVERIFY2(runs.size() == 4, qPrintable(name));
            const int step = layout.size + layout.extra;
            for (int i = 1; i < 4; ++i)
                QVERIFY2(qAbs(runs[i].first - runs[i - 1].first - step) <= 1, qPrintable(name));
        }
}

// Every face the font dialog offers that the scripts install, at the automatic height.
void TestFaces::fullHeightTextIsWhole()
{
    const QString lines[] = {QStringLiteral("口口口口"), QStringLiteral("正出国田"),
                             QStringLiteral("鬱龍蠻靈"), QStringLiteral("Hbdfghjklpqy")};
    QStringList names = ScreenFontNames();
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString &name) { return !InstalledByScripts(name); }),
                names.end());
    QVERIFY(names.size() > SubstitutedFaceNames().size());
    for (const QString &name : names)
        for (const QSize &display : Displays)
            for (bool portrait : {false, true})
                for (const QString &text : lines) {
                    // A CJK face places its ideographs; its Latin may be cut.
                    if (text == lines[3] && QFontDatabase::writingSystems(TTextFace(name).family())
                                                .contains(QFontDatabase::SimplifiedChinese))
                        continue;
                    const TPageFont font = Font(name);
                    const QImage picture = DrawPage(
                        font, display.width(), display.height(),
                        portrait ? TDisplayKind::Portrait : TDisplayKind::Landscape, text);
                    const QString where = QStringLiteral("%1 %2 %3x%4 %5")
                                              .arg(name, portrait ? "portrait" : "landscape")
                                              .arg(display.width()).arg(display.height())
                                              .arg(text);
                    QVERIFY2(LitCount(picture) == LitCount(Uncut(font, display, portrait, text)),
                             qPrintable(where));
                    // Dense characters fill the character height: not shrunk to fit.
                    if (text == lines[2])
                        QVERIFY2(LitRowSpan(picture) >= display.height() * 3 / 4,
                                 qPrintable(where));
                }
}

void TestFaces::strokesKeptAtEverySize_data()
{
    QTest::addColumn<QString>("face");
    QTest::addColumn<QString>("character");
    QTest::addColumn<int>("strokes");
    for (const char *face : {"宋体", "黑体", "楷体"}) {
        const struct {
            const char *character;
            int strokes;
        } characters[] = {{"一", 1}, {"二", 2}, {"三", 3}, {"王", 3}, {"目", 4}, {"口", 2}};
        for (const auto &c : characters)
            QTest::addRow("%s %s", face, c.character)
                << QString::fromUtf8(face) << QString::fromUtf8(c.character) << c.strokes;
    }
}

// The smallest legible height up: every stroke of the simplest characters is
// drawn apart from its neighbours, and the box of 口 is closed.
void TestFaces::strokesKeptAtEverySize()
{
    QFETCH(QString, face);
    QFETCH(QString, character);
    QFETCH(int, strokes);
    QStringList lost;
    for (int height = 12; height <= 32; ++height) {
        const QImage picture = Glyph(face, height, character.toUcs4().first());
        const int counted = HorizontalStrokes(picture);
        if (counted != strokes || (character == QStringLiteral("口") && !EnclosesSpace(picture)))
            lost << QStringLiteral("%1px:%2").arg(height).arg(counted);
    }
    QVERIFY2(lost.isEmpty(), qPrintable(lost.join(QLatin1Char(' '))));
}

QTEST_MAIN(TestFaces)
#include "tst_faces.moc"
