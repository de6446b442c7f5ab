#include "app/PageStore.h"

#include "app/Gbk.h"
#include "app/ScenarioFile.h"
#include "render/Faces.h"

#include <QFontMetrics>
#include <algorithm>
#include <cstring>

namespace {
const QByteArray Utf8Mark("\xEF\xBB\xBF");
const QByteArray CrLf("\r\n");
const QByteArray EndingBytes[] = {QByteArray(), CrLf, QByteArray("\n"), QByteArray("\r")};
} // namespace

int PageWrapWidth(int screenWidth)
{
    return qBound(1, screenWidth, 100000) + 7;
}

QFont PageWrapFont()
{
    EnsureFaceSubstitutions();
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}

PageStore::PageStore() : m_encoding(TextEncoding::Gbk), m_font(PageWrapFont())
{
    m_firstPage.push_back(0);
}

// Lines are decoded one by one; the byte-order mark is handled by load and save.
QString PageStore::decode(const QByteArray &raw) const
{
    return DecodeTextFile(raw, m_encoding == TextEncoding::Gbk ? TextEncoding::Gbk : TextEncoding::Utf8);
}

QByteArray PageStore::encode(const QString &text) const
{
    return EncodeTextFile(text, m_encoding == TextEncoding::Gbk ? TextEncoding::Gbk : TextEncoding::Utf8);
}

QString PageStore::lineText(const Line &line) const
{
    // The line's bytes are read in place: a copy of each would cost a
    // million allocations when a big scenario is loaded.
    return line.edited ? line.text
                       : decode(QByteArray::fromRawData(m_bytes.constData() + line.rawStart,
                                                        qsizetype(line.rawLength)));
}

void PageStore::readLine(const Line &line, QString &buffer) const
{
    if (!line.edited && m_encoding == TextEncoding::Gbk)
        FromGbkKeepingBytes(QByteArrayView(m_bytes.constData() + line.rawStart, qsizetype(line.rawLength)),
                            buffer);
    else
        buffer = lineText(line);
}

void PageStore::wrapAll()
{
    QString buffer;
    for (Line &line : m_lines) {
        readLine(line, buffer);
        wrap(line, buffer);
    }
    reindex(0);
}

void PageStore::clear()
{
    m_bytes.clear();
    m_lines.clear();
    m_encoding = TextEncoding::Gbk;
    reindex(0);
}

void PageStore::adopt(PageStore &&other)
{
    // The font objects stay: each belongs to the thread that made it.
    m_bytes = std::move(other.m_bytes);
    m_lines = std::move(other.m_lines);
    m_firstPage = std::move(other.m_firstPage);
    m_encoding = other.m_encoding;
    m_wrapWidth = other.m_wrapWidth;
    m_advances = std::move(other.m_advances);
    other.m_advances.assign(0x10000, -1);
    other.clear();
}

namespace {
// Where a byte next occurs, found by memchr and kept until passed: a file
// is searched once for each line-end byte, whatever its line ends are.
class NextByte {
public:
    NextByte(const char *data, int size, char byte) : m_data(data), m_size(size), m_byte(byte) {}
    int from(int pos)
    {
        if (m_next < pos) {
            const void *found = std::memchr(m_data + pos, m_byte, size_t(m_size - pos));
            m_next = found ? int(static_cast<const char *>(found) - m_data) : m_size;
        }
        return m_next;
    }

private:
    const char *m_data;
    int m_size;
    char m_byte;
    int m_next = -1;
};
} // namespace

void PageStore::load(const QByteArray &bytes)
{
    clear();
    m_bytes = bytes;
    m_encoding = DetectTextEncoding(bytes);
    const char *data = bytes.constData();
    int pos = m_encoding == TextEncoding::Utf8WithMark ? Utf8Mark.size() : 0;
    const int size = bytes.size();
    m_lines.reserve(size_t(std::count(data, data + size, '\n')) + 1);
    NextByte cr{data, size, '\r'}, lf{data, size, '\n'};
    while (pos < size) {
        const int end = std::min(cr.from(pos), lf.from(pos));
        Line line;
        line.rawStart = uint32_t(pos);
        line.rawLength = uint32_t(end - pos);
        pos = end;
        if (pos < size && data[pos] == '\r' && pos + 1 < size && data[pos + 1] == '\n') {
            line.ending = EndCrLf;
            pos += 2;
        } else if (pos < size) {
            line.ending = data[pos] == '\r' ? EndCr : EndLf;
            ++pos;
        }
        m_lines.push_back(std::move(line));
    }
    wrapAll();
}

QByteArray PageStore::save() const
{
    QByteArray out;
    out.reserve(m_bytes.size());
    if (m_encoding == TextEncoding::Utf8WithMark)
        out += Utf8Mark;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines[i];
        if (line.edited)
            out += encode(line.text);
        else
            out += QByteArrayView(m_bytes.constData() + line.rawStart, line.rawLength);
        // Every line but the last needs an end; the last keeps what it had,
        // unless it is empty: without an end it would not be read back.
        const bool last = i + 1 == m_lines.size();
        const bool empty = line.edited ? line.text.isEmpty() : line.rawLength == 0;
        out += (line.ending == NoEnd && (!last || empty)) ? CrLf : EndingBytes[line.ending];
    }
    return out;
}

void PageStore::setWrapWidth(int pixels)
{
    if (pixels == m_wrapWidth)
        return;
    m_wrapWidth = pixels;
    wrapAll();
}

namespace {
// CJK text may break before or after any character.
bool BreaksAnywhere(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xAC00 && u <= 0xD7AF) || (u >= 0xF900 && u <= 0xFAFF)
        || (u >= 0xFF00 && u <= 0xFFEF);
}
} // namespace

std::vector<CharWidth> PageStore::widths() const
{
    std::vector<CharWidth> known;
    for (size_t unit = 0; unit < m_advances.size(); ++unit) {
        if (m_advances[unit] >= 0)
            known.push_back({char16_t(unit), m_advances[unit]});
    }
    return known;
}

bool PageStore::setWidths(const std::vector<CharWidth> &widths)
{
    bool wrappedWithOther = false;
    for (const CharWidth &w : widths) {
        int &width = m_advances[w.unit];
        // Only a measured width can have placed a break.
        wrappedWithOther = wrappedWithOther || (width >= 0 && width != w.width);
        width = w.width;
    }
    if (!wrappedWithOther || m_lines.empty())
        return false;
    wrapAll();
    return true;
}

int PageStore::measure(QChar c) const
{
    int &width = m_advances[c.unicode()];
    // A control character other than the tab shows nothing, and what the font
    // system says of its width depends on the fallback faces loaded so far:
    // measured, a line holding one wrapped otherwise once read again.
    const bool control = c.category() == QChar::Other_Control && c != QLatin1Char('\t');
    width = c.isLowSurrogate() || control ? 0 : m_metrics.horizontalAdvance(c);
    return width;
}

// Most lines fit on a page: a quick sum tells. When no part of the text
// from its start is wider than a page, the wrapping below breaks nowhere.
bool PageStore::fitsOnePage(QStringView text) const
{
    int width = 0;
    for (const QChar c : text) {
        width += advance(c);
        if (width > m_wrapWidth)
            return false;
    }
    return true;
}

// Greedy wrapping: a page ends after the last blank that still fits, or at
// any character of CJK text; a word wider than the page is cut where it must.
void PageStore::wrap(Line &line) const
{
    wrap(line, lineText(line));
}

void PageStore::wrap(Line &line, QStringView text) const
{
    line.breaks.clear();
    if (fitsOnePage(text))
        return;
    int start = 0;       // first character of the current page
    int width = 0;       // width of text[start, i)
    int lastBreak = -1;  // best break position found in the current page
    int widthAtBreak = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (i > start && BreaksAnywhere(c)) {
            lastBreak = i;
            widthAtBreak = width;
        }
        const int w = advance(c);
        if (c == QLatin1Char(' ')) {
            // Blanks hang at the end of a page; a break comes after them.
            width += w;
            lastBreak = i + 1;
            widthAtBreak = width;
            continue;
        }
        if (width + w > m_wrapWidth && i > start) {
            const int at = lastBreak > start ? lastBreak : i;
            line.breaks.push_back(at);
            width -= (at == i) ? width : widthAtBreak;
            start = at;
            lastBreak = -1;
        }
        width += w;
        if (BreaksAnywhere(c)) {
            lastBreak = i + 1;
            widthAtBreak = width;
        }
    }
}

void PageStore::reindex(int fromLine)
{
    m_firstPage.resize(m_lines.size() + 1);
    if (fromLine == 0)
        m_firstPage[0] = 0;
    for (size_t i = size_t(std::max(fromLine, 0)); i < m_lines.size(); ++i)
        m_firstPage[i + 1] = m_firstPage[i] + 1 + int(m_lines[i].breaks.size());
}

PageStore::Position PageStore::locate(int page) const
{
    const auto it = std::upper_bound(m_firstPage.begin(), m_firstPage.end(), page);
    const int line = int(it - m_firstPage.begin()) - 1;
    return {line, page - m_firstPage[size_t(line)]};
}

int PageStore::segmentStart(const Line &line, int segment) const
{
    return segment == 0 ? 0 : line.breaks[size_t(segment - 1)];
}

int PageStore::segmentEnd(const Line &line, const QString &text, int segment) const
{
    return size_t(segment) < line.breaks.size() ? line.breaks[size_t(segment)] : text.size();
}

QString PageStore::page(int index) const
{
    if (index < 0 || index >= pageCount())
        return QString();
    const Position p = locate(index);
    const Line &line = m_lines[size_t(p.line)];
    const int start = segmentStart(line, p.segment);
    const QString whole = lineText(line);
    QString text = whole.mid(start, segmentEnd(line, whole, p.segment) - start);
    // A page broken at a blank carries the blank at its end; it is not shown.
    if (size_t(p.segment) < line.breaks.size())
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
    return text;
}

void PageStore::setText(int lineIndex, const QString &text)
{
    Line &line = m_lines[size_t(lineIndex)];
    line.text = text;
    line.edited = true;
    if (line.ending != NoEnd)
        line.ending = EndCrLf;
    wrap(line);
    reindex(lineIndex);
}

void PageStore::replacePage(int index, const QString &text)
{
    if (index < 0 || index >= pageCount())
        return;
    const Position p = locate(index);
    const Line &line = m_lines[size_t(p.line)];
    const int start = segmentStart(line, p.segment);
    // The blank a page was broken at stays, so the next page keeps its word.
    const int length = page(index).size();
    QString replaced = lineText(line);
    replaced.replace(start, length, text);
    setText(p.line, replaced);
}

// The text line is cut after the segment; the blanks it was broken at go,
// as the line break takes their place.
void PageStore::splitAfterSegment(const Position &p)
{
    Line &line = m_lines[size_t(p.line)];
    const QString whole = lineText(line);
    const int end = segmentEnd(line, whole, p.segment);
    Line rest;
    rest.text = whole.mid(end);
    rest.edited = true;
    rest.ending = line.ending == NoEnd ? NoEnd : EndCrLf;
    wrap(rest);
    QString head = whole.left(end);
    while (head.endsWith(QLatin1Char(' ')))
        head.chop(1);
    line.ending = EndCrLf;
    setText(p.line, head);
    m_lines.insert(m_lines.begin() + p.line + 1, std::move(rest));
    reindex(p.line);
}

int PageStore::insertAfterPage(int index, const QString &text)
{
    int at = textLineCount();
    if (index >= 0 && index < pageCount()) {
        const Position p = locate(index);
        if (size_t(p.segment) < m_lines[size_t(p.line)].breaks.size())
            splitAfterSegment(p);
        at = p.line + 1;
    }
    Line line;
    line.text = text;
    line.edited = true;
    line.ending = EndCrLf;
    wrap(line);
    // The line before keeps its own end; if it had none (the file's last
    // line), it gets one now that a line follows.
    m_lines.insert(m_lines.begin() + at, std::move(line));
    if (at + 1 == textLineCount() && at > 0 && m_lines[size_t(at - 1)].ending == NoEnd) {
        m_lines[size_t(at - 1)].ending = EndCrLf;
        m_lines[size_t(at)].ending = NoEnd;
    }
    reindex(at);
    return m_firstPage[size_t(at)];
}

void PageStore::deletePage(int index)
{
    if (index < 0 || index >= pageCount())
        return;
    const Position p = locate(index);
    Line &line = m_lines[size_t(p.line)];
    if (line.breaks.empty()) {
        // The whole text line goes, with its line end; a last line's missing
        // end passes to the line that becomes last.
        const bool last = p.line + 1 == textLineCount();
        const Ending ending = line.ending;
        m_lines.erase(m_lines.begin() + p.line);
        if (last && p.line > 0)
            m_lines[size_t(p.line - 1)].ending = ending;
        reindex(p.line);
        return;
    }
    const int start = segmentStart(line, p.segment);
    QString rest = lineText(line);
    rest.remove(start, segmentEnd(line, rest, p.segment) - start);
    setText(p.line, rest);
}
