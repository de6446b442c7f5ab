#include "render/TextFace.h"

#include "render/Faces.h"

#include <QCoreApplication>
#include <QFont>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QtEndian>

#include <algorithm>
#include <map>
#include <string_view>
#include <tuple>

const QRgb Palette16[16] = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),     qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128),   qRgb(0, 128, 128), qRgb(128, 128, 128),
    qRgb(192, 192, 192), qRgb(255, 0, 0),     qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255),   qRgb(0, 255, 255), qRgb(255, 255, 255),
};

QRgb NearestPaletteColour(QRgb colour)
{
    QRgb best = Palette16[0];
    int bestDistance = INT_MAX;
    for (QRgb p : Palette16) {
        const int dr = qRed(p) - qRed(colour), dg = qGreen(p) - qGreen(colour),
                  db = qBlue(p) - qBlue(colour);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = p;
        }
    }
    return best;
}

QRgb ColorRefToRgb(int32_t colorRef)
{
    const uint32_t c = uint32_t(colorRef);
    return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

namespace {
struct Range {
    char32_t first, last;
};
// Characters that turn in vertical text (orientation U or Tu), sorted. Brackets,
// dashes, quotes, ー and the half-width forms stand (R, Tr).
const Range TurningRanges[] = {
    {0x00A7, 0x00A7},   {0x00A9, 0x00A9},   {0x00AE, 0x00AE},   {0x00B1, 0x00B1},
    {0x00BC, 0x00BE},   {0x00D7, 0x00D7},   {0x00F7, 0x00F7},   {0x1100, 0x11FF},
    {0x2E80, 0x2FFF},   {0x3000, 0x3007},   {0x3012, 0x3013},   {0x301D, 0x302F},
    {0x3031, 0x30FB},   {0x30FD, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7FF},
    {0xE000, 0xFAFF},   {0xFE10, 0xFE1F},   {0xFE30, 0xFE4F},   {0xFE50, 0xFE57},
    {0xFE5F, 0xFE62},   {0xFE67, 0xFE6F},   {0xFF01, 0xFF07},   {0xFF0A, 0xFF0C},
    {0xFF0E, 0xFF19},   {0xFF1F, 0xFF3A},   {0xFF3C, 0xFF3C},   {0xFF3E, 0xFF3E},
    {0xFF40, 0xFF5A},   {0xFFE0, 0xFFE2},   {0xFFE4, 0xFFE7},   {0x1B000, 0x1B2FF},
    {0x1F000, 0x1FAFF}, {0x20000, 0x3FFFD},
};
} // namespace

bool TurnsInVerticalText(char32_t c)
{
    const Range *end = std::end(TurningRanges);
    const Range *r = std::lower_bound(std::begin(TurningRanges), end, c,
                                      [](const Range &range, char32_t v) { return range.last < v; });
    return r != end && r->first <= c;
}

char32_t VerticalForm(char32_t c)
{
    static const std::map<char32_t, char32_t> forms = {
        {U'，', 0xFE10}, {U'、', 0xFE11}, {U'。', 0xFE12}, {U'：', 0xFE13}, {U'；', 0xFE14},
        {U'！', 0xFE15}, {U'？', 0xFE16}, {U'〖', 0xFE17}, {U'〗', 0xFE18}, {U'…', 0xFE19},
        {U'‥', 0xFE30},  {U'—', 0xFE31},  {U'–', 0xFE32},  {U'＿', 0xFE33}, {U'（', 0xFE35},
        {U'）', 0xFE36}, {U'｛', 0xFE37}, {U'｝', 0xFE38}, {U'〔', 0xFE39}, {U'〕', 0xFE3A},
        {U'【', 0xFE3B}, {U'】', 0xFE3C}, {U'《', 0xFE3D}, {U'》', 0xFE3E}, {U'〈', 0xFE3F},
        {U'〉', 0xFE40}, {U'「', 0xFE41}, {U'」', 0xFE42}, {U'『', 0xFE43}, {U'』', 0xFE44},
        {U'［', 0xFE47}, {U'］', 0xFE48},
    };
    const auto form = forms.find(c);
    return form == forms.end() ? 0 : form->second;
}

namespace {
// Punctuation that vertical typesetting sets in the middle of its cell:
// colons, stops and quotes, which sit low, high or to a side in horizontal
// text (some faces' vertical forms of the colon too); and the comma and full
// stops where the face has no vertical form to set them at the top right.
bool CentredInVerticalText(char32_t c, bool verticalForm)
{
    const auto in = [c](std::u32string_view set) { return set.find(c) != std::u32string_view::npos; };
    return in(U"：；！？“”‘’︓︔︕︖") || (!verticalForm && in(U"，、。．"));
}
} // namespace

// The metrics of one installed face, in font units, read once.
struct TFaceData {
    QRawFont raw;   // at a pixel size of unitsPerEm, so its metrics are font units
    QRawFont unhinted;   // the same outlines without hinting, for small sizes
    int unhintedBelow = 0;
    double unitsPerEm = 1000;
    int winAscent = 0, winDescent = 0, averageWidth = 0;
    QByteArray hmtx, vmtx;
    int hMetrics = 0, vMetrics = 0;
    // Ink of the face's full-height characters, font units from the baseline
    // (y down): where the glyphs sit, whatever the face's cell says.
    double inkTop = 0, inkBottom = 0;

    static int U16(const QByteArray &table, int offset)
    {
        return offset >= 0 && offset + 2 <= table.size()
                   ? qFromBigEndian<quint16>(table.constData() + offset) : 0;
    }
    static int I16(const QByteArray &table, int offset) { return int16_t(U16(table, offset)); }

    explicit TFaceData(const QString &family);
    uint32_t glyphFor(char32_t c) const;
    int horizontalUnits(uint32_t glyph) const;
    int verticalUnits(uint32_t glyph) const;

    // A glyph drawn once at a size and scale, upright or turned: the set
    // pixels and the offset of the mask's top-left corner from the origin.
    struct Mask {
        QImage alpha;
        QPoint offset;
    };
    const Mask &mask(uint32_t glyph, int em, double scale, bool turned) const;

private:
    void measureInk();
    Mask drawMask(uint32_t glyph, int em, double scale) const;

    // Pages come in few sizes; the caches are dropped when they grow large.
    mutable std::map<int, QRawFont> m_sizes;
    mutable std::map<std::tuple<uint32_t, int, double, bool>, Mask> m_masks;
    mutable qsizetype m_maskBytes = 0;
};

TFaceData::TFaceData(const QString &family)
{
    EnsureFaceSubstitutions();
    QFont font(family);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoFontMerging));
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setPixelSize(100);
    raw = QRawFont::fromFont(font);
    if (!raw.isValid())
        return;
    unhintedBelow = UnhintedBelow(raw.familyName());
    if (unhintedBelow > 0) {
        font.setHintingPreference(QFont::PreferNoHinting);
        unhinted = QRawFont::fromFont(font);
    }
    if (raw.unitsPerEm() > 0)
        unitsPerEm = raw.unitsPerEm();
    raw.setPixelSize(unitsPerEm);

    // The Windows cell and average width come from the OS/2 table.
    const QByteArray os2 = raw.fontTable("OS/2");
    if (os2.size() >= 78) {
        averageWidth = I16(os2, 2);
        winAscent = U16(os2, 74);
        winDescent = U16(os2, 76);
    }
    if (winAscent + winDescent <= 0) {
        winAscent = qRound(raw.ascent());
        winDescent = qRound(raw.descent());
    }
    if (averageWidth <= 0)
        averageWidth = qRound(raw.averageCharWidth());

    hmtx = raw.fontTable("hmtx");
    hMetrics = std::min(U16(raw.fontTable("hhea"), 34), int(hmtx.size() / 4));
    vmtx = raw.fontTable("vmtx");
    vMetrics = std::min(U16(raw.fontTable("vhea"), 34), int(vmtx.size() / 4));
    measureInk();
}

void TFaceData::measureInk()
{
    // Ideographs where the face has them, else Latin letters with ascenders
    // and descenders.
    const char32_t *probe = glyphFor(U'口') ? U"口国田出正龍鬱靈蠻" : U"Hbdfghjklpqy";
    QRectF ink;
    for (; *probe; ++probe)
        if (const uint32_t glyph = glyphFor(*probe))
            ink |= raw.boundingRect(glyph);
    inkTop = ink.top();
    inkBottom = ink.bottom();
}

uint32_t TFaceData::glyphFor(char32_t c) const
{
    if (!raw.isValid() || !raw.supportsCharacter(uint(c)))
        return 0;
    QChar chars[2];
    int length = 1;
    if (QChar::requiresSurrogates(c)) {
        chars[0] = QChar(QChar::highSurrogate(c));
        chars[1] = QChar(QChar::lowSurrogate(c));
        length = 2;
    } else {
        chars[0] = QChar(char16_t(c));
    }
    quint32 glyphs[2] = {0, 0};
    int count = 2;
    raw.glyphIndexesForChars(chars, length, glyphs, &count);
    return glyphs[0];
}

int TFaceData::horizontalUnits(uint32_t glyph) const
{
    if (hMetrics > 0)
        return U16(hmtx, 4 * int(std::min<uint32_t>(glyph, uint32_t(hMetrics - 1))));
    if (!raw.isValid())
        return 0;
    return qRound(raw.advancesForGlyphIndexes({glyph}, QRawFont::UseDesignMetrics).value(0).x());
}

int TFaceData::verticalUnits(uint32_t glyph) const
{
    // A face without vertical metrics, or with an advance of 0 (WenQuanYi Zen
    // Hei gives 0 for every glyph), advances by its em.
    const int units = vMetrics > 0
                          ? U16(vmtx, 4 * int(std::min<uint32_t>(glyph, uint32_t(vMetrics - 1))))
                          : 0;
    return units > 0 ? units : qRound(unitsPerEm);
}

namespace {
qint64 MasksDrawn = 0;

// The bounds of the pixels a glyph mask sets.
QRect InkOf(const QImage &alpha)
{
    QRect ink;
    for (int y = 0; y < alpha.height(); ++y) {
        const uchar *row = alpha.constScanLine(y);
        for (int x = 0; x < alpha.width(); ++x)
            if (row[x] >= 128)
                ink |= QRect(x, y, 1, 1);
    }
    return ink;
}
} // namespace

qint64 TTextFace::masksDrawn()
{
    return MasksDrawn;
}

TFaceData::Mask TFaceData::drawMask(uint32_t glyph, int em, double scale) const
{
    ++MasksDrawn;
    auto sized = m_sizes.find(em);
    if (sized == m_sizes.end()) {
        QRawFont font = em < unhintedBelow ? unhinted : raw;
        font.setPixelSize(em);
        sized = m_sizes.emplace(em, font).first;
    }
    const QRectF bounds = sized->second.boundingRect(glyph);
    const QRect box = QRectF(bounds.left() * scale, bounds.top(), bounds.width() * scale, bounds.height())
                          .toAlignedRect()
                          .adjusted(-2, -2, 2, 2);   // hinting may reach past the outline
    QImage image(box.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setPen(Qt::white);
    painter.setTransform(QTransform(scale, 0, 0, 1, -box.left(), -box.top()));
    QGlyphRun run;
    run.setRawFont(sized->second);
    run.setGlyphIndexes({glyph});
    run.setPositions({QPointF(0, 0)});
    painter.drawGlyphRun(QPointF(0, 0), run);
    painter.end();
    return {image.convertToFormat(QImage::Format_Alpha8), box.topLeft()};
}

const TFaceData::Mask &TFaceData::mask(uint32_t glyph, int em, double scale, bool turned) const
{
    const auto key = std::make_tuple(glyph, em, scale, turned);
    const auto found = m_masks.find(key);
    if (found != m_masks.end())
        return found->second;
    if (m_maskBytes > 32 * 1024 * 1024 || m_sizes.size() > 64) {
        m_masks.clear();
        m_sizes.clear();
        m_maskBytes = 0;
    }
    Mask drawn = drawMask(glyph, em, scale);
    if (turned) {
        // A quarter turn counter-clockwise about the origin: (u, v) -> (v, -u),
        // exact on pixels, so the turned glyph is the upright one.
        const QPoint o = drawn.offset;
        drawn = {drawn.alpha.transformed(QTransform().rotate(-90)),
                 QPoint(o.y(), -(o.x() + drawn.alpha.width()))};
    }
    m_maskBytes += drawn.alpha.sizeInBytes();
    return m_masks.emplace(key, drawn).first->second;
}

namespace {
// Sets the mask's pixels to colour, cut at the picture's edges.
void Blit(QImage &image, const TFaceData::Mask &mask, int x, int y, QRgb colour)
{
    const QColor pen(colour);
    const bool direct = image.depth() == 32;
    const int left = x + mask.offset.x(), top = y + mask.offset.y();
    const int from = std::max(0, -left), to = std::min(mask.alpha.width(), image.width() - left);
    for (int j = std::max(0, -top); j < mask.alpha.height() && top + j < image.height(); ++j) {
        const uchar *alpha = mask.alpha.constScanLine(j);
        QRgb *row = direct ? reinterpret_cast<QRgb *>(image.scanLine(top + j)) : nullptr;
        for (int i = from; i < to; ++i) {
            if (alpha[i] < 128)
                continue;
            if (direct)
                row[left + i] = colour;
            else
                image.setPixelColor(left + i, top + j, pen);
        }
    }
}

using FaceCache = std::map<QString, std::shared_ptr<const TFaceData>>;

FaceCache &Cache()
{
    static FaceCache cache;
    return cache;
}

// Font engines must go before the application does.
void ClearFaceCache()
{
    Cache().clear();
}

std::shared_ptr<const TFaceData> LoadFace(const QString &family)
{
    FaceCache &cache = Cache();
    const auto found = cache.find(family);
    if (found != cache.end())
        return found->second;
    if (cache.empty())
        qAddPostRoutine(ClearFaceCache);
    auto face = std::make_shared<const TFaceData>(family);
    cache.emplace(family, face);
    return face;
}
} // namespace

TTextFace::TTextFace(const QString &faceName)
{
    m_vertical = faceName.startsWith(QLatin1Char('@'));
    m_faces.push_back(LoadFace(m_vertical ? faceName.mid(1) : faceName));
    const QString own = family();
    for (const QString &name : FallbackFaceNames())
        if (name != own)
            m_faces.push_back(LoadFace(name));
    setCharHeight(1);
}

TTextFace::~TTextFace() = default;

QString TTextFace::family() const
{
    return m_faces.front()->raw.isValid() ? m_faces.front()->raw.familyName() : QString();
}

void TTextFace::setEm(int em)
{
    m_em = std::max(1, em);
    const TFaceData &face = *m_faces.front();
    m_ascent = qRound(face.winAscent * m_em / face.unitsPerEm);
    m_descent = qRound(face.winDescent * m_em / face.unitsPerEm);
}

void TTextFace::setCharHeight(int pixels)
{
    setEm(pixels);
    m_box = m_em;
    m_scale = 1.0;
}

void TTextFace::setCellHeight(int pixels, int averageWidth)
{
    const TFaceData &face = *m_faces.front();
    const int cellUnits = face.winAscent + face.winDescent;
    setEm(cellUnits > 0 ? qRound(pixels * face.unitsPerEm / cellUnits) : pixels);
    m_box = std::max(1, pixels);
    const double natural = face.averageWidth * m_em / face.unitsPerEm;
    m_scale = averageWidth > 0 && natural > 0 ? qBound(1.0 / 64, averageWidth / natural, 64.0) : 1.0;
}

TTextFace::Line TTextFace::prepare(const QString &text) const
{
    Line line;
    const QList<uint> codes = text.toUcs4();
    line.m_glyphs.reserve(codes.size());
    for (uint code : codes) {
        const char32_t form = m_vertical ? VerticalForm(char32_t(code)) : 0;
        const bool vertical = form && m_faces.front()->glyphFor(form);
        const char32_t c = vertical ? form : char32_t(code);
        uint8_t face = 0;
        uint32_t index = 0;
        for (size_t i = 0; i < m_faces.size() && index == 0; ++i) {
            index = m_faces[i]->glyphFor(c);
            face = index ? uint8_t(i) : 0;
        }
        const TFaceData &data = *m_faces[face];
        line.m_glyphs.push_back({face, m_vertical && TurnsInVerticalText(c),
                                 m_vertical && CentredInVerticalText(char32_t(code), vertical), index,
                                 data.horizontalUnits(index), data.verticalUnits(index)});
    }
    return line;
}

int TTextFace::advance(const Glyph &glyph) const
{
    const double unitsPerEm = m_faces[glyph.face]->unitsPerEm;
    if (glyph.turned)
        return qRound(glyph.vUnits * m_em / unitsPerEm);
    return qRound(glyph.hUnits * m_em * m_scale / unitsPerEm);
}

int TTextFace::baseline(const TFaceData &face, int box) const
{
    // The substitutes' cells are taller than the Windows faces' they stand in
    // for (up to 1.26 em), so placing by the cell would cut the bottoms off
    // full-height text: the face's ink is centred in the box instead.
    if (face.inkBottom <= face.inkTop)
        return m_ascent;
    const double toPixels = m_em / face.unitsPerEm;
    return qRound((box - (face.inkTop + face.inkBottom) * toPixels) / 2);
}

int TTextFace::width(const Line &line) const
{
    int width = m_extra * line.characters();
    for (const Glyph &glyph : line.m_glyphs)
        width += advance(glyph);
    return width;
}

void TTextFace::draw(QImage &image, int x, int y, const Line &line, QRgb colour) const
{
    const QRgb ink = NearestPaletteColour(colour) | 0xFF000000u;
    const int cell = std::max(cellHeight(), m_box);
    // Ink may reach up to an em beyond a glyph's cell; what lies further out
    // of the picture is not drawn at all.
    if (y + cell + m_em < 0 || y - m_em > image.height())
        return;
    int pen = x;
    for (const Glyph &glyph : line.m_glyphs) {
        const TFaceData &face = *m_faces[glyph.face];
        const int step = advance(glyph);
        if (pen + step + m_em < 0 || pen - m_em > image.width()) {
            pen += step + m_extra;
            continue;
        }
        const TFaceData::Mask &mask = face.mask(glyph.index, m_em, m_scale, glyph.turned);
        // Few glyphs are centred: their ink is found as they are drawn.
        if (const QRect i = glyph.centred ? InkOf(mask.alpha).translated(mask.offset) : QRect();
            !i.isEmpty()) {
            Blit(image, mask, pen + (step - i.left() - i.right() - 1) / 2,
                 y + (m_box - i.top() - i.bottom() - 1) / 2, ink);
        } else if (glyph.turned) {
            // Turned, the glyph's ink is centred in its advance and its box
            // across the line in the text's height.
            const int across = qRound(glyph.hUnits * m_em * m_scale / face.unitsPerEm);
            Blit(image, mask, pen + baseline(face, step), y + (m_box + across) / 2, ink);
        } else {
            Blit(image, mask, pen, y + baseline(face, m_box), ink);
        }
        pen += step + m_extra;
    }
}

void TTextFace::prepareGlyphs(const Line &line) const
{
    for (const Glyph &glyph : line.m_glyphs)
        m_faces[glyph.face]->mask(glyph.index, m_em, m_scale, glyph.turned);
}

QString TTextFace::missingCharacters(const QString &text) const
{
    const QList<uint> codes = text.toUcs4();
    const Line line = prepare(text);
    QList<uint> missing;
    for (int i = 0; i < codes.size(); ++i)
        if (line.m_glyphs[size_t(i)].index == 0 && !missing.contains(codes[i]))
            missing << codes[i];
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(missing.constData()), missing.size());
}
