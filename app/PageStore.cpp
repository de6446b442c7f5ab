#include "app/PageStore.h"

#include "app/Gbk.h"
#include "app/ScenarioFile.h"
#include "render/Faces.h"

#include <QFontMetrics>
#include <algorithm>
#include <cstring>

namespace {
const QString EndingTexts[] = {QString(), QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r")};

// Bytes of one code unit: UTF-16 and UTF-32 files are split into lines by
// units, the others by bytes (no GBK trail byte and no byte of a UTF-8
// sequence is a CR or LF).
int UnitSize(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
        return 2;
    case TextEncoding::Utf32Le:
    case TextEncoding::Utf32Be:
        return 4;
    default:
        return 1;
    }
}
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
    return DecodeText(raw, m_encoding);
}

QByteArray PageStore::encode(const QString &text) const
{
    return EncodeText(text, m_encoding);
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
    m_tail.clear();
    m_lines.clear();
    m_encoding = TextEncoding::Gbk;
    m_firstInvalidLine = 0;
    m_subtitles.reset();
    reindex(0);
}

void PageStore::adopt(PageStore &&other)
{
    // The font objects stay: each belongs to the thread that made it.
    m_bytes = std::move(other.m_bytes);
    m_tail = std::move(other.m_tail);
    m_firstInvalidLine = other.m_firstInvalidLine;
    m_lines = std::move(other.m_lines);
    m_firstPage = std::move(other.m_firstPage);
    m_encoding = other.m_encoding;
    m_subtitles = std::move(other.m_subtitles);
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
    load(bytes, DetectTextEncoding(bytes));
}

void PageStore::load(const QByteArray &bytes, TextEncoding encoding)
{
    clear();
    m_bytes = bytes;
    m_encoding = encoding;
    if (loadSubtitles())
        return;
    const QByteArray mark = EncodingMark(encoding);
    const int start = bytes.startsWith(mark) ? int(mark.size()) : 0;
    if (UnitSize(encoding) == 1)
        splitBytes(start);
    else
        splitUnits(start);
    if (encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf8WithMark)
        findInvalidLine(start);
    wrapAll();
}

void PageStore::splitBytes(int pos)
{
    const char *data = m_bytes.constData();
    const int size = int(m_bytes.size());
    m_lines.reserve(size_t(std::count(data + pos, data + size, '\n')) + 1);
    NextByte cr{data, size, '\r'}, lf{data, size, '\n'};
    while (pos < size) {
        const int end = std::min(cr.from(pos), lf.from(pos));
        pos = addLine(pos, end, end < size ? data[end] : 0, end + 1 < size ? data[end + 1] : 0, 1);
    }
}

// A partial unit at the end (a file cut short) is kept as it was.
void PageStore::splitUnits(int pos)
{
    const int unit = UnitSize(m_encoding);
    const int size = pos + (int(m_bytes.size()) - pos) / unit * unit;
    m_tail = m_bytes.mid(size);
    const bool bigEndian = m_encoding == TextEncoding::Utf16Be || m_encoding == TextEncoding::Utf32Be;
    const auto *p = reinterpret_cast<const uchar *>(m_bytes.constData());
    const auto at = [&](int i) -> char32_t {
        if (i >= size)
            return 0;
        char32_t value = 0;
        for (int k = 0; k < unit; ++k)
            value |= char32_t(p[i + k]) << (8 * (bigEndian ? unit - 1 - k : k));
        return value;
    };
    while (pos < size) {
        int end = pos;
        while (end < size && at(end) != '\r' && at(end) != '\n')
            end += unit;
        pos = addLine(pos, end, at(end), at(end + unit), unit);
    }
}

// The line [start, end) ended by the units first and second (0: none);
// returns where the next line starts.
int PageStore::addLine(int start, int end, char32_t first, char32_t second, int unit)
{
    Line line;
    line.rawStart = uint32_t(start);
    line.rawLength = uint32_t(end - start);
    int next = end;
    if (first == '\r' && second == '\n') {
        line.ending = EndCrLf;
        next += 2 * unit;
    } else if (first == '\r' || first == '\n') {
        line.ending = first == '\r' ? EndCr : EndLf;
        next += unit;
    }
    m_lines.push_back(std::move(line));
    return next;
}

void PageStore::findInvalidLine(int start)
{
    const qsizetype invalid = FirstInvalidUtf8Byte(QByteArrayView(m_bytes).sliced(start));
    if (invalid < 0)
        return;
    const auto after = std::upper_bound(m_lines.begin(), m_lines.end(), uint32_t(start + invalid),
                                        [](uint32_t at, const Line &line) { return at < line.rawStart; });
    m_firstInvalidLine = int(after - m_lines.begin());
}

QByteArray PageStore::endingBytes(Ending ending) const
{
    if (UnitSize(m_encoding) == 1)
        return EndingTexts[ending].toLatin1();
    return encode(EndingTexts[ending]);
}

QByteArray PageStore::save() const
{
    if (timed())
        return saveSubtitles();
    QByteArray out;
    out.reserve(m_bytes.size());
    out += EncodingMark(m_encoding);
    const QByteArray endings[] = {endingBytes(NoEnd), endingBytes(EndCrLf), endingBytes(EndLf),
                                  endingBytes(EndCr)};
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
        out += endings[(line.ending == NoEnd && (!last || empty)) ? EndCrLf : line.ending];
    }
    return out + m_tail;
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

// Punctuation that closes a phrase (no page starts with it) and that opens
// one (no page ends with it), full-width and half-width.
bool ClosesPhrase(QChar c)
{
    static const QString closing = QStringLiteral("，。、；：！？）》」』”’】〕〉,.;:!?)｡､｣");
    return closing.contains(c);
}

bool OpensPhrase(QChar c)
{
    static const QString opening = QStringLiteral("（《「『“‘【〔〈(｢");
    return opening.contains(c);
}

// A break before text[at] moved back, a character at a time, until the page
// it starts does not open with closing punctuation and the page before does
// not end with opening punctuation; the page from start keeps a character.
// A break at a blank stays: the blank parts the punctuation from the word.
int PunctuationSafeBreak(QStringView text, int start, int at)
{
    while (at < text.size() && text[at - 1] != QLatin1Char(' ')
           && (ClosesPhrase(text[at]) || OpensPhrase(text[at - 1]))) {
        const int step = text[at - 1].isLowSurrogate() ? 2 : 1;
        if (at - step <= start)
            break;
        at -= step;
    }
    return at;
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
        if (FixedWidth(QChar(w.unit)))
            continue;   // never measured, so never remembered otherwise
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

// Control characters and kept bytes have one width whatever was measured
// before: the font engine gives a control character the width of whatever
// glyph it last fell back to.
bool PageStore::FixedWidth(QChar c)
{
    const ushort u = c.unicode();
    return u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || IsKeptByte(c);
}

int PageStore::measure(QChar c) const
{
    int &width = m_advances[c.unicode()];
    if (IsKeptByte(c))
        width = m_metrics.horizontalAdvance(QChar::ReplacementCharacter);
    else if (FixedWidth(c) || c.isLowSurrogate())
        width = 0;
    else
        width = m_metrics.horizontalAdvance(c);
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
// Punctuation stays with the text it belongs to.
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
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (i > start && BreaksAnywhere(c))
            lastBreak = i;
        const int w = advance(c);
        if (c == QLatin1Char(' ')) {
            // Blanks hang at the end of a page; a break comes after them.
            width += w;
            lastBreak = i + 1;
            continue;
        }
        if (width + w > m_wrapWidth && i > start) {
            const int at = PunctuationSafeBreak(text, start, lastBreak > start ? lastBreak : i);
            line.breaks.push_back(at);
            width = 0;
            for (const QChar moved : text.mid(at, i - at))
                width += advance(moved);
            start = at;
            lastBreak = -1;
        }
        width += w;
        if (BreaksAnywhere(c))
            lastBreak = i + 1;
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
    std::replace_if(text.begin(), text.end(), IsKeptByte, QChar(QChar::ReplacementCharacter));
    return text;
}

// The page as stored, kept bytes and all (page() shows them as U+FFFD).
QString PageStore::storedPage(int index) const
{
    const Position p = locate(index);
    const Line &line = m_lines[size_t(p.line)];
    const int start = segmentStart(line, p.segment);
    return lineText(line).mid(start, page(index).size());
}

// Each U+FFFD of the edited text stands, in order, for what the page showed
// as U+FFFD: a kept byte goes back in its place, whatever was typed next to it.
QString PageStore::editedPage(int index, const QString &shown) const
{
    if (index < 0 || index >= pageCount())
        return shown;
    QString origins;
    for (const QChar c : storedPage(index))
        if (c == QChar::ReplacementCharacter || IsKeptByte(c))
            origins += c;
    QString text = shown;
    int k = 0;
    for (QChar &c : text)
        if (c == QChar::ReplacementCharacter && k < origins.size())
            c = origins.at(k++);
    return text;
}

QString PageStore::refusal(int index, const QString &shown) const
{
    const QString text = editedPage(index, shown);
    const QString characters = UnstorableCharacters(text, m_encoding);
    if (!characters.isEmpty())
        return QStringLiteral("剧本文件是%1编码，不能保存这些字符：%2").arg(EncodingName(m_encoding), characters);
    if (!EncodingKeepsText(text, m_encoding))
        return QStringLiteral("紧挨着无法识别的字节（�）输入的字符，保存后会与它连成别的字。"
                              "请在它们之间留一个空格。");
    return QString();
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
    replaced.replace(start, length, editedPage(index, text));
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

// The file's start tells whether it is subtitles, so a plain scenario is not
// decoded twice.
bool PageStore::loadSubtitles()
{
    const std::optional<SubtitleFormat> format = DetectSubtitleFormat(DecodeTextFile(m_bytes.left(4096), m_encoding));
    if (!format)
        return false;
    m_subtitles = ParseSubtitles(DecodeTextFile(m_bytes, m_encoding), *format);
    if (m_subtitles->error)
        return false;
    for (SubtitleCue &cue : m_subtitles->cues) {
        Line line;
        line.text = std::move(cue.text);
        line.edited = true;
        line.ending = EndCrLf;
        line.time = cue.time;
        m_lines.push_back(std::move(line));
    }
    m_subtitles->cues.clear();
    wrapAll();
    return true;
}

QByteArray PageStore::saveSubtitles() const
{
    SubtitleDocument doc = *m_subtitles;
    std::vector<CueTime> times;
    for (const Line &line : m_lines)
        times.push_back(line.time);
    times = FillCueTimes(times);
    for (size_t i = 0; i < m_lines.size(); ++i)
        doc.cues.push_back({times[i], lineText(m_lines[i]), 0});
    return EncodeTextFile(WriteSubtitles(doc), m_encoding);
}

CueTime PageStore::pageTime(int index) const
{
    if (index < 0 || index >= pageCount())
        return CueTime();
    return m_lines[size_t(locate(index).line)].time;
}

std::vector<CueTime> PageStore::pageTimes() const
{
    if (!timed())
        return {};
    std::vector<CueTime> lineTimes;
    for (const Line &line : m_lines)
        lineTimes.push_back(line.time);
    lineTimes = FillCueTimes(lineTimes);
    std::vector<CueTime> times;
    times.reserve(size_t(pageCount()));
    for (size_t i = 0; i < m_lines.size(); ++i)
        times.insert(times.end(), m_lines[i].breaks.size() + 1, lineTimes[i]);
    return times;
}
