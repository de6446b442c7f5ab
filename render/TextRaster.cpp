#include "render/TextRaster.h"

#include "render/Faces.h"

#include <QPainter>
#include <QRawFont>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <map>

// Size-independent metrics of a face, read once from its tables: what Windows
// sizes and lays out a font by.
struct FaceMetrics {
    QRawFont raw;            // glyph indexes for the vertical advances
    int unitsPerEm = 1000;
    int winAscent = 0;       // OS/2 usWinAscent
    int winDescent = 0;      // OS/2 usWinDescent
    int avgCharWidth = 0;    // OS/2 xAvgCharWidth
    QByteArray hmtx;         // horizontal metrics
    int longHorMetrics = 0;  // entries of hmtx that carry an advance
    QByteArray vmtx;         // vertical metrics, empty when the face has none
    int longVerMetrics = 0;  // entries of vmtx that carry an advance
};

namespace {

int Word(const QByteArray &table, int offset, bool isSigned = false)
{
    if (offset + 2 > table.size())
        return 0;
    const auto *p = reinterpret_cast<const uchar *>(table.constData() + offset);
    return isSigned ? int(qFromBigEndian<qint16>(p)) : int(qFromBigEndian<quint16>(p));
}

FaceMetrics ReadFaceMetrics(const QFont &font)
{
    FaceMetrics m;
    m.raw = QRawFont::fromFont(font);
    if (m.raw.isValid() && m.raw.unitsPerEm() > 0)
        m.unitsPerEm = int(m.raw.unitsPerEm());
    const QByteArray os2 = m.raw.fontTable("OS/2");
    m.winAscent = Word(os2, 74);
    m.winDescent = Word(os2, 76);
    m.avgCharWidth = Word(os2, 2, true);
    if (m.winAscent + m.winDescent <= 0) {
        // No usable OS/2 table: the face's own ascent and descent.
        const double perUnit = m.unitsPerEm / qMax(1.0, m.raw.pixelSize());
        m.winAscent = int(std::lround(m.raw.ascent() * perUnit));
        m.winDescent = int(std::lround(m.raw.descent() * perUnit));
        if (m.winAscent + m.winDescent <= 0)
            m.winAscent = m.unitsPerEm;
    }
    m.longHorMetrics = Word(m.raw.fontTable("hhea"), 34);
    if (m.longHorMetrics > 0)
        m.hmtx = m.raw.fontTable("hmtx");
    const QByteArray vhea = m.raw.fontTable("vhea");
    m.longVerMetrics = Word(vhea, 34);
    if (m.longVerMetrics > 0)
        m.vmtx = m.raw.fontTable("vmtx");
    return m;
}

// Faces are looked up by the fit for every size; their tables are read once.
const FaceMetrics &Face(const QFont &font)
{
    static std::map<QString, FaceMetrics> faces;   // entries never move
    auto it = faces.find(font.family());
    if (it == faces.end())
        it = faces.emplace(font.family(), ReadFaceMetrics(font)).first;
    return it->second;
}

int Scaled(int units, int pixels, int unitsPerEm)
{
    return int(std::lround(double(units) * pixels / unitsPerEm));
}

// The advance of a glyph in a metrics table of longMetrics entries (later
// glyphs share the last advance); -1 without a table.
int AdvanceUnits(const QByteArray &table, int longMetrics, quint32 glyph)
{
    if (table.isEmpty() || longMetrics <= 0)
        return -1;
    return Word(table, 4 * int(qMin<quint32>(glyph, quint32(longMetrics - 1))));
}

// Code point ranges of Unicode Vertical_Orientation U and Tu, sorted.
struct Range {
    char32_t first, last;
};
const Range UprightRanges[] = {
    {0x00A7, 0x00A7},   {0x00A9, 0x00A9},   {0x00AE, 0x00AE},   {0x00B1, 0x00B1},
    {0x00BC, 0x00BE},   {0x00D7, 0x00D7},   {0x00F7, 0x00F7},   {0x02EA, 0x02EB},
    {0x1100, 0x11FF},   {0x1401, 0x167F},   {0x18B0, 0x18FF},   {0x2016, 0x2016},
    {0x2020, 0x2021},   {0x2030, 0x2031},   {0x203B, 0x203C},   {0x2042, 0x2042},
    {0x2047, 0x2049},   {0x2051, 0x2051},   {0x2065, 0x2065},   {0x20DD, 0x20E0},
    {0x20E2, 0x20E4},   {0x2100, 0x2101},   {0x2103, 0x2109},   {0x210F, 0x210F},
    {0x2113, 0x2114},   {0x2116, 0x2117},   {0x211E, 0x2123},   {0x2125, 0x2125},
    {0x2127, 0x2127},   {0x2129, 0x2129},   {0x212E, 0x212E},   {0x2135, 0x213F},
    {0x2145, 0x214A},   {0x214C, 0x214D},   {0x214F, 0x2189},   {0x218C, 0x218F},
    {0x221E, 0x221E},   {0x2234, 0x2235},   {0x2300, 0x2307},   {0x230C, 0x231F},
    {0x2324, 0x2328},   {0x232B, 0x232B},   {0x237D, 0x239A},   {0x23BE, 0x23CD},
    {0x23CF, 0x23CF},   {0x23D1, 0x23DB},   {0x23E2, 0x2422},   {0x2424, 0x24FF},
    {0x25A0, 0x2619},   {0x2620, 0x2767},   {0x2776, 0x2793},   {0x2B12, 0x2B2F},
    {0x2B50, 0x2B59},   {0x2BB8, 0x2BFF},   {0x2E80, 0x3007},   {0x3012, 0x3013},
    {0x3020, 0x302F},   {0x3031, 0x309F},   {0x30A1, 0x30FB},   {0x30FD, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7FF},   {0xE000, 0xFAFF},   {0xFE10, 0xFE1F},
    {0xFE30, 0xFE58},   {0xFE5F, 0xFE6F},   {0xFF01, 0xFF07},   {0xFF0A, 0xFF0C},
    {0xFF0E, 0xFF19},   {0xFF1F, 0xFF3A},   {0xFF3C, 0xFF3C},   {0xFF3E, 0xFF3E},
    {0xFF40, 0xFF5A},   {0xFFE0, 0xFFE2},   {0xFFE4, 0xFFE7},   {0x1F000, 0x1FAFF},
    {0x20000, 0x3FFFD},
};

const QRgb Palette[16] = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),     qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128),   qRgb(0, 128, 128), qRgb(128, 128, 128),
    qRgb(192, 192, 192), qRgb(255, 0, 0),     qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255),   qRgb(0, 255, 255), qRgb(255, 255, 255),
};

} // namespace

TextRaster::TextRaster(const QString &faceName)
    : m_vertical(faceName.startsWith(QLatin1Char('@')))
{
    EnsureFaceSubstitutions();
    m_font.setFamily(m_vertical ? faceName.mid(1) : faceName);
    m_font.setStyleStrategy(QFont::NoAntialias);
    m_font.setHintingPreference(QFont::PreferFullHinting);
    m_font.setKerning(false);
    m_font.setPixelSize(16);
    m_face = &Face(m_font);
    setCharHeight(16);
}

TextRaster::~TextRaster() = default;

QString TextRaster::family() const { return m_face->raw.familyName(); }

void TextRaster::setCharHeight(int pixels)
{
    const int em = qMax(1, pixels);
    const int ascent = Scaled(m_face->winAscent, em, m_face->unitsPerEm);
    const int descent = Scaled(m_face->winDescent, em, m_face->unitsPerEm);
    applyEm(em, ascent, ascent + descent, 1.0);
}

void TextRaster::setCellHeight(int pixels, int averageWidth)
{
    const int cell = qMax(1, pixels);
    const int winCell = m_face->winAscent + m_face->winDescent;
    const int em = qMax(1, Scaled(m_face->unitsPerEm, cell, winCell));
    const int ascent = Scaled(m_face->winAscent, cell, winCell);
    // The average width scales the glyphs horizontally only; a stretched font
    // could swap in a condensed face.
    const double natural = double(m_face->avgCharWidth) * em / m_face->unitsPerEm;
    const double scale = averageWidth > 0 && natural > 0 ? averageWidth / natural : 1.0;
    applyEm(em, ascent, cell, scale);
}

void TextRaster::applyEm(int em, int ascent, int cellHeight, double scale)
{
    m_em = em;
    m_ascent = ascent;
    m_cellHeight = cellHeight;
    m_scale = scale;
    m_font.setPixelSize(em);
    m_fallback.reset();
}

const std::vector<TextRaster::Glyph> &TextRaster::glyphs(const QString &text) const
{
    if (text == m_text && !m_glyphs.empty())
        return m_glyphs;
    m_text = text;
    m_glyphs.clear();
    for (const char32_t c : text.toUcs4()) {
        const QString s = QString::fromUcs4(&c, 1);
        quint32 glyph = 0;
        int count = 1;
        if (!m_face->raw.glyphIndexesForChars(s.constData(), int(s.size()), &glyph, &count))
            glyph = 0;
        Glyph g{c, m_vertical && UprightInVertical(c), -1, -1};
        if (glyph != 0) {
            g.uprightUnits = AdvanceUnits(m_face->hmtx, m_face->longHorMetrics, glyph);
            g.alongUnits = g.uprightUnits;
            const int vertical = AdvanceUnits(m_face->vmtx, m_face->longVerMetrics, glyph);
            if (g.turned && vertical >= 0)
                g.alongUnits = vertical;
        }
        m_glyphs.push_back(g);
    }
    return m_glyphs;
}

int TextRaster::pixels(int units, char32_t c) const
{
    if (units >= 0)
        return Scaled(units, m_em, m_face->unitsPerEm);
    // Drawn by another face: its own horizontal advance.
    if (!m_fallback)
        m_fallback = std::make_unique<QFontMetrics>(m_font);
    return m_fallback->horizontalAdvance(QString::fromUcs4(&c, 1));
}

int TextRaster::characterCount(const QString &text)
{
    return int(text.toUcs4().size());
}

int TextRaster::naturalWidth(const QString &text) const
{
    int sum = 0;
    for (const Glyph &g : glyphs(text))
        sum += advance(g);
    return int(std::lround(sum * m_scale));
}

int TextRaster::width(const QString &text) const
{
    return naturalWidth(text) + m_extra * characterCount(text);
}

void TextRaster::draw(QImage &picture, int x, int y, const QString &text, QRgb colour) const
{
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(m_font);
    painter.setPen(QColor(PaletteColour(colour)));
    int sum = 0;
    int index = 0;
    for (const Glyph &g : glyphs(text)) {
        const QString s = QString::fromUcs4(&g.c, 1);
        const int along = advance(g);
        const int left = x + int(std::lround(sum * m_scale)) + m_extra * index;
        QTransform cell;
        if (g.turned) {
            // Turned a quarter turn counter-clockwise about the cell's centre.
            const int upright = pixels(g.uprightUnits, g.c);
            cell.translate(left + along * m_scale / 2, y + m_cellHeight / 2.0);
            cell.scale(m_scale, 1);
            cell.rotate(-90);
            painter.setTransform(cell);
            painter.drawText(QPointF(-upright / 2.0, m_ascent - m_cellHeight / 2.0), s);
        } else {
            cell.translate(left, y);
            cell.scale(m_scale, 1);
            painter.setTransform(cell);
            painter.drawText(QPointF(0, m_ascent), s);
        }
        sum += along;
        ++index;
    }
}

bool TextRaster::UprightInVertical(char32_t c)
{
    const auto after = std::upper_bound(std::begin(UprightRanges), std::end(UprightRanges), c,
                                        [](char32_t v, const Range &r) { return v < r.first; });
    return after != std::begin(UprightRanges) && c <= (after - 1)->last;
}

QRgb TextRaster::PaletteColour(QRgb colour)
{
    auto distance = [colour](QRgb p) {
        const int r = qRed(p) - qRed(colour), g = qGreen(p) - qGreen(colour),
                  b = qBlue(p) - qBlue(colour);
        return r * r + g * g + b * b;
    };
    return *std::min_element(std::begin(Palette), std::end(Palette),
                             [&](QRgb a, QRgb b) { return distance(a) < distance(b); });
}
