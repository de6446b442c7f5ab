#include "editor/RtfReader.h"

#include "editor/LineSpacing.h"

#include <QColor>
#include <QHash>
#include <QMap>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>

#include <map>
#include <vector>

namespace {
// Deeper nesting is read as if flat: formatting then leaks out of the groups,
// but the text is kept and the state stack stays small.
constexpr int MaxDepth = 500;
constexpr int MaxWordLength = 32;
constexpr int DefaultCodePage = 936;
constexpr int DefaultHalfPoints = 24;
constexpr int MaxHalfPoints = 3276;   // 1638 points, the largest size the editor offers

enum class Dest { Text, FontTable, ColorTable, Skip };

struct CharState {
    bool bold = false, italic = false, underline = false;
    int halfPoints = DefaultHalfPoints;
    int colour = 0;    // index into the colour table; 0 is the automatic colour
    int font = -1;     // index into the font table; -1 is the default font
};

struct ParaState {
    Qt::Alignment alignment = Qt::AlignLeft;
    int sl = 0;        // \sl in twips; 0 is single spacing
    bool slmult = false;
};

struct GroupState {
    CharState ch;
    ParaState para;
    int uc = 1;        // fallback units that follow \uN
    Dest dest = Dest::Text;
};

struct Font {
    QString name;
    QByteArray nameBytes;
    int charset = -1;
};

enum class Word {
    Skip, FontTable, ColorTable, AnsiCpg, Deff, F, FCharset, B, I, Ul, UlNone, Fs, Cf,
    Plain, Pard, Ql, Qc, Qr, Qj, Sl, SlMult, Par, Line, Tab, Cell, Row, U, Uc, Bin,
    Red, Green, Blue, Symbol
};

struct WordEntry {
    const char *name;
    Word word;
    char16_t symbol;   // the character of Word::Symbol
};

// Destinations whose content is not document text.
const char *const SkippedDestinations[] = {
    "info", "pict", "object", "stylesheet", "header", "headerl", "headerr", "headerf", "footer",
    "footerl", "footerr", "footerf", "footnote", "annotation", "fldinst", "themedata",
    "colorschememapping", "latentstyles", "datastore", "xmlnstbl", "listtable",
    "listoverridetable", "rsidtbl", "generator", "revtbl", "filetbl", "pntext", "pntxta", "pntxtb",
    "pn", "listtext", "bkmkstart", "bkmkend", "nonshppict", "shp", "do", "objdata", "userprops",
    "docvar", "template", "xe", "tc", "txe", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc",
    "aftncn",
};

const WordEntry Words[] = {
    {"fonttbl", Word::FontTable, 0}, {"colortbl", Word::ColorTable, 0},
    {"ansicpg", Word::AnsiCpg, 0}, {"deff", Word::Deff, 0}, {"f", Word::F, 0},
    {"fcharset", Word::FCharset, 0}, {"b", Word::B, 0}, {"i", Word::I, 0},
    {"ul", Word::Ul, 0}, {"uld", Word::Ul, 0}, {"uldb", Word::Ul, 0}, {"ulw", Word::Ul, 0},
    {"ulwave", Word::Ul, 0}, {"ulth", Word::Ul, 0}, {"uldash", Word::Ul, 0},
    {"ulnone", Word::UlNone, 0}, {"fs", Word::Fs, 0}, {"cf", Word::Cf, 0},
    {"plain", Word::Plain, 0}, {"pard", Word::Pard, 0}, {"ql", Word::Ql, 0},
    {"qc", Word::Qc, 0}, {"qr", Word::Qr, 0}, {"qj", Word::Qj, 0}, {"sl", Word::Sl, 0},
    {"slmult", Word::SlMult, 0}, {"par", Word::Par, 0}, {"line", Word::Line, 0},
    {"tab", Word::Tab, 0}, {"cell", Word::Cell, 0}, {"nestcell", Word::Cell, 0},
    {"row", Word::Row, 0}, {"nestrow", Word::Row, 0}, {"u", Word::U, 0},
    {"uc", Word::Uc, 0}, {"bin", Word::Bin, 0}, {"red", Word::Red, 0},
    {"green", Word::Green, 0}, {"blue", Word::Blue, 0},
    {"emdash", Word::Symbol, 0x2014}, {"endash", Word::Symbol, 0x2013},
    {"bullet", Word::Symbol, 0x2022}, {"lquote", Word::Symbol, 0x2018},
    {"rquote", Word::Symbol, 0x2019}, {"ldblquote", Word::Symbol, 0x201C},
    {"rdblquote", Word::Symbol, 0x201D},
};

const WordEntry *FindWord(const QByteArray &name)
{
    static const QHash<QByteArray, const WordEntry *> table = [] {
        QHash<QByteArray, const WordEntry *> t;
        static const WordEntry skip{"", Word::Skip, 0};
        for (const char *name : SkippedDestinations)
            t.insert(QByteArray(name), &skip);
        for (const WordEntry &e : Words)
            t.insert(QByteArray(e.name), &e);
        return t;
    }();
    return table.value(name, nullptr);
}

// Windows character sets of \fcharset and the code pages their text uses.
int CodePageOfCharset(int charset)
{
    switch (charset) {
    case 0: return 1252;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return -1;   // the document's code page
    }
}

QStringDecoder MakeDecoder(int codePage)
{
    QList<QByteArray> names;
    switch (codePage) {
    case 936: names = {"GBK"}; break;
    case 950: names = {"Big5"}; break;
    case 932: names = {"Shift_JIS"}; break;
    case 949: names = {"windows-949", "EUC-KR"}; break;
    case 10000: names = {"macintosh"}; break;
    case 65001: names = {"UTF-8"}; break;
    default:
        names = {"windows-" + QByteArray::number(codePage), "cp" + QByteArray::number(codePage)};
    }
    for (const QByteArray &name : names) {
        QStringDecoder decoder(name.constData());
        if (decoder.isValid())
            return decoder;
    }
    return QStringDecoder();
}

class Reader {
public:
    Reader(const QByteArray &in, QTextDocument *document) : m_in(in), m_cursor(document) {}
    void run();

private:
    bool atEnd() const { return m_pos >= m_in.size(); }
    char peek() const { return m_in.at(m_pos); }

    void openGroup();
    void closeGroup();
    void controlSymbol(char c);
    void controlWord();
    void applyWord(const WordEntry *entry, bool hasParam, int param);
    void textByte(char c);
    void hexByte();
    void skipBinary(int count);

    void appendText(const QString &text);
    void appendUnicode(int value);
    void flushBytes();
    void flushText();
    void paragraphEnd();
    void materialiseParagraph();
    void finishParagraph();
    void finish();

    void fontTableByte(char c);
    void colourTableByte(char c);

    int codePage() const;
    QString decode(int codePage, const QByteArray &bytes);
    QTextCharFormat charFormat() const;
    QTextBlockFormat blockFormat() const;

    const QByteArray &m_in;
    int m_pos = 0;
    QTextCursor m_cursor;

    GroupState m_st;
    std::vector<GroupState> m_stack;
    int m_overflow = 0;            // groups opened beyond MaxDepth

    int m_ansiCodePage = DefaultCodePage;
    int m_defaultFont = 0;
    QMap<int, Font> m_fonts;
    int m_fontEntry = -1;          // the entry of the font table being read
    std::vector<QColor> m_colours;
    int m_red = -1, m_green = -1, m_blue = -1;
    std::map<int, QStringDecoder> m_decoders;

    QByteArray m_bytes;            // raw bytes and \'hh not yet decoded
    QString m_text;                // text not yet inserted, all in the current format
    int m_fallbackLeft = 0;        // fallback units of the last \uN still to skip
    bool m_paragraphPending = false;
};

void Reader::run()
{
    while (!atEnd()) {
        const char c = m_in.at(m_pos++);
        switch (c) {
        case '{': openGroup(); break;
        case '}': closeGroup(); break;
        case '\\': controlWord(); break;
        case '\r':
        case '\n': break;
        default: textByte(c); break;
        }
    }
    finish();
}

void Reader::openGroup()
{
    m_fallbackLeft = 0;
    if (int(m_stack.size()) >= MaxDepth) {
        ++m_overflow;
        return;
    }
    m_stack.push_back(m_st);
}

void Reader::closeGroup()
{
    m_fallbackLeft = 0;
    flushText();
    if (m_st.dest == Dest::FontTable)
        fontTableByte(';');   // an entry without its closing semicolon
    if (m_overflow > 0) {
        --m_overflow;
        return;
    }
    // A stray closing brace closes nothing; the text after it is still read.
    if (m_stack.empty())
        return;
    if (m_stack.size() == 1)
        finishParagraph();   // the document's group ends: its last paragraph too
    m_st = m_stack.back();
    m_stack.pop_back();
}

void Reader::controlWord()
{
    if (atEnd())
        return;
    const char c = peek();
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter) {
        ++m_pos;
        controlSymbol(c);
        return;
    }
    QByteArray name;
    while (!atEnd()) {
        const char l = peek();
        if (!((l >= 'a' && l <= 'z') || (l >= 'A' && l <= 'Z')))
            break;
        if (name.size() < MaxWordLength)
            name.append(l);
        ++m_pos;
    }
    bool negative = false;
    if (!atEnd() && peek() == '-' && m_pos + 1 < m_in.size() && m_in.at(m_pos + 1) >= '0'
        && m_in.at(m_pos + 1) <= '9') {
        negative = true;
        ++m_pos;
    }
    bool hasParam = false;
    qint64 value = 0;
    while (!atEnd() && peek() >= '0' && peek() <= '9') {
        hasParam = true;
        value = qMin<qint64>(value * 10 + (peek() - '0'), qint64(INT_MAX));
        ++m_pos;
    }
    if (!atEnd() && peek() == ' ')
        ++m_pos;
    const int param = int(negative ? -value : value);
    applyWord(FindWord(name), hasParam, param);
}

void Reader::controlSymbol(char c)
{
    if (c == '\'') {
        hexByte();
        return;
    }
    m_fallbackLeft = 0;
    switch (c) {
    case '\\':
    case '{':
    case '}':
        textByte(c);
        break;
    case '*':
        m_st.dest = Dest::Skip;
        break;
    case '~':
        if (m_st.dest == Dest::Text)
            appendText(QString(QChar(0x00A0)));
        break;
    case '_':
        if (m_st.dest == Dest::Text)
            appendText(QString(QChar(0x2011)));
        break;
    case '\r':
    case '\n':
        if (m_st.dest == Dest::Text)
            paragraphEnd();
        break;
    default:
        break;   // optional hyphen, index entries and the like carry no text
    }
}

void Reader::hexByte()
{
    int value = 0, digits = 0;
    while (digits < 2 && !atEnd()) {
        const char h = peek();
        int d;
        if (h >= '0' && h <= '9')
            d = h - '0';
        else if (h >= 'a' && h <= 'f')
            d = h - 'a' + 10;
        else if (h >= 'A' && h <= 'F')
            d = h - 'A' + 10;
        else
            break;
        value = value * 16 + d;
        ++digits;
        ++m_pos;
    }
    // A truncated escape stands for no byte; the text after it is kept.
    if (digits == 2)
        textByte(char(value));
}

void Reader::applyWord(const WordEntry *entry, bool hasParam, int param)
{
    if (entry && entry->word == Word::Bin) {
        m_fallbackLeft = 0;
        skipBinary(param);
        return;
    }
    if (m_st.dest == Dest::Skip)
        return;
    if (entry && entry->word == Word::U) {
        appendUnicode(param);
        return;
    }
    m_fallbackLeft = 0;
    if (!entry)
        return;
    const Word word = entry->word;
    const bool on = !hasParam || param != 0;

    // Words that belong to the tables.
    if (m_st.dest == Dest::FontTable) {
        if (word == Word::F) {
            fontTableByte(';');
            m_fontEntry = param;
            m_fonts[param] = Font();
        } else if (word == Word::FCharset && m_fonts.contains(m_fontEntry)) {
            m_fonts[m_fontEntry].charset = param;
        } else if (word == Word::Skip) {
            m_st.dest = Dest::Skip;
        }
        return;
    }
    if (m_st.dest == Dest::ColorTable) {
        const int component = qBound(0, param, 255);
        if (word == Word::Red)
            m_red = component;
        else if (word == Word::Green)
            m_green = component;
        else if (word == Word::Blue)
            m_blue = component;
        return;
    }

    switch (word) {
    case Word::Tab: appendText(QStringLiteral("\t")); return;
    case Word::Cell: appendText(QStringLiteral("\t")); return;
    case Word::Line: appendText(QString(QChar(QChar::LineSeparator))); return;
    case Word::Symbol: appendText(QString(QChar(entry->symbol))); return;
    case Word::Uc: m_st.uc = qBound(0, param, 255); return;
    default: break;
    }

    flushText();
    switch (word) {
    case Word::Skip: m_st.dest = Dest::Skip; break;
    case Word::FontTable: m_st.dest = Dest::FontTable; m_fontEntry = -1; break;
    case Word::ColorTable:
        m_st.dest = Dest::ColorTable;
        m_colours.clear();
        m_red = m_green = m_blue = -1;
        break;
    case Word::AnsiCpg:
        if (param > 0)
            m_ansiCodePage = param;
        break;
    case Word::Deff: m_defaultFont = param; break;
    case Word::F: m_st.ch.font = param; break;
    case Word::B: m_st.ch.bold = on; break;
    case Word::I: m_st.ch.italic = on; break;
    case Word::Ul: m_st.ch.underline = on; break;
    case Word::UlNone: m_st.ch.underline = false; break;
    case Word::Fs:
        m_st.ch.halfPoints = param > 0 ? qMin(param, MaxHalfPoints) : DefaultHalfPoints;
        break;
    case Word::Cf: m_st.ch.colour = param; break;
    case Word::Plain: m_st.ch = CharState(); break;
    case Word::Pard: m_st.para = ParaState(); break;
    case Word::Ql: m_st.para.alignment = Qt::AlignLeft; break;
    case Word::Qc: m_st.para.alignment = Qt::AlignHCenter; break;
    case Word::Qr: m_st.para.alignment = Qt::AlignRight; break;
    case Word::Qj: m_st.para.alignment = Qt::AlignJustify; break;
    case Word::Sl: m_st.para.sl = param; break;
    case Word::SlMult: m_st.para.slmult = on; break;
    case Word::Par:
    case Word::Row:
        paragraphEnd();
        break;
    default:
        break;
    }
}

void Reader::skipBinary(int count)
{
    const qint64 left = m_in.size() - m_pos;
    m_pos += int(qBound(qint64(0), qint64(count), left));
}

void Reader::textByte(char c)
{
    if (m_fallbackLeft > 0) {
        --m_fallbackLeft;
        return;
    }
    switch (m_st.dest) {
    case Dest::Text:
        if (c == '\t') {
            appendText(QStringLiteral("\t"));
        } else if (c != '\0') {
            materialiseParagraph();
            m_bytes.append(c);
        }
        break;
    case Dest::FontTable: fontTableByte(c); break;
    case Dest::ColorTable: colourTableByte(c); break;
    case Dest::Skip: break;
    }
}

void Reader::fontTableByte(char c)
{
    if (!m_fonts.contains(m_fontEntry))
        return;
    Font &font = m_fonts[m_fontEntry];
    if (c != ';') {
        font.nameBytes.append(c);
        return;
    }
    if (font.nameBytes.isEmpty())
        return;
    const int own = CodePageOfCharset(font.charset);
    font.name = decode(own > 0 ? own : m_ansiCodePage, font.nameBytes).trimmed();
    font.nameBytes.clear();
}

void Reader::colourTableByte(char c)
{
    if (c != ';')
        return;
    if (m_red < 0 && m_green < 0 && m_blue < 0)
        m_colours.emplace_back();   // the automatic colour
    else
        m_colours.emplace_back(qMax(0, m_red), qMax(0, m_green), qMax(0, m_blue));
    m_red = m_green = m_blue = -1;
}

void Reader::appendText(const QString &text)
{
    if (m_st.dest != Dest::Text)
        return;
    materialiseParagraph();
    flushBytes();
    m_text += text;
}

// \uN: N is a signed 16-bit value; the uc units after it are the fallback
// for readers without Unicode and are skipped.
void Reader::appendUnicode(int value)
{
    m_fallbackLeft = 0;
    if (value < 0)
        value += 65536;
    if (value > 0 && value <= 0x10FFFF) {
        const char32_t codePoint = char32_t(value);
        appendText(QString::fromUcs4(&codePoint, 1));
    }
    if (m_st.dest == Dest::Text)
        m_fallbackLeft = m_st.uc;
}

void Reader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    m_text += decode(codePage(), m_bytes);
    m_bytes.clear();
}

void Reader::flushText()
{
    flushBytes();
    if (m_text.isEmpty())
        return;
    m_cursor.insertText(m_text, charFormat());
    m_text.clear();
}

// The paragraph's format is the one in force at its \par. The block after it
// is only made when more text follows, so a closing \par adds no empty line.
void Reader::paragraphEnd()
{
    materialiseParagraph();
    flushText();
    m_cursor.setBlockFormat(blockFormat());
    m_paragraphPending = true;
}

void Reader::materialiseParagraph()
{
    if (!m_paragraphPending)
        return;
    m_paragraphPending = false;
    m_cursor.insertBlock(blockFormat(), charFormat());
}

// The last paragraph has no \par: it takes the format in force where the
// document's group ends, or where the bytes end when that group is unclosed.
void Reader::finishParagraph()
{
    flushText();
    if (!m_paragraphPending)
        m_cursor.setBlockFormat(blockFormat());
}

void Reader::finish()
{
    if (!m_stack.empty())
        finishParagraph();
    flushText();
}

int Reader::codePage() const
{
    const int index = m_st.ch.font >= 0 ? m_st.ch.font : m_defaultFont;
    const auto font = m_fonts.constFind(index);
    const int own = font == m_fonts.cend() ? -1 : CodePageOfCharset(font->charset);
    return own > 0 ? own : m_ansiCodePage;
}

// Consecutive bytes are decoded together: a double-byte character often
// comes as two \'hh escapes.
QString Reader::decode(int codePage, const QByteArray &bytes)
{
    auto it = m_decoders.find(codePage);
    if (it == m_decoders.end()) {
        QStringDecoder decoder = MakeDecoder(codePage);
        if (!decoder.isValid())
            decoder = MakeDecoder(DefaultCodePage);
        if (!decoder.isValid())
            decoder = QStringDecoder(QStringConverter::Latin1);
        it = m_decoders.emplace(codePage, std::move(decoder)).first;
    }
    it->second.resetState();
    QString text = it->second.decode(bytes);
    text.remove(QChar(0));
    return text;
}

QTextCharFormat Reader::charFormat() const
{
    const CharState &ch = m_st.ch;
    QTextCharFormat format;
    format.setFontWeight(ch.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(ch.italic);
    format.setFontUnderline(ch.underline);
    format.setFontPointSize(ch.halfPoints / 2.0);
    const auto font = m_fonts.constFind(ch.font >= 0 ? ch.font : m_defaultFont);
    if (font != m_fonts.cend() && !font->name.isEmpty())
        format.setFontFamilies(QStringList{font->name});
    if (ch.colour > 0 && ch.colour < int(m_colours.size()) && m_colours[ch.colour].isValid())
        format.setForeground(m_colours[ch.colour]);
    return format;
}

// Spacing in multiples of a line (\slmult1, 240 twips a line) becomes a
// proportional height; an exact (\sl negative) or minimum spacing keeps its
// height and shows as the equivalent at 240 twips a line.
QTextBlockFormat Reader::blockFormat() const
{
    const ParaState &para = m_st.para;
    QTextBlockFormat format;
    format.setAlignment(para.alignment);
    const qint64 twips = qAbs(qint64(para.sl));
    const int twentieths = int(qMin<qint64>((twips + 6) / 12, LineSpacing::Max));
    if (twips == 0) {
        LineSpacing::Apply(format, 0);
    } else if (para.slmult) {
        LineSpacing::Apply(format, twentieths);
    } else {
        format.setLineHeight(qMin<qint64>(twips, 32767) / 15.0,
                             para.sl < 0 ? QTextBlockFormat::FixedHeight
                                         : QTextBlockFormat::MinimumHeight);
        LineSpacing::Remember(format, twentieths);
    }
    return format;
}
} // namespace

bool IsRtf(const QByteArray &bytes)
{
    int i = 0;
    while (i < bytes.size() && (bytes.at(i) == ' ' || bytes.at(i) == '\t' || bytes.at(i) == '\r'
                                || bytes.at(i) == '\n'))
        ++i;
    return bytes.mid(i, 5) == "{\\rtf";
}

void ReadRtf(const QByteArray &bytes, QTextDocument *document)
{
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    document->clear();
    Reader(bytes, document).run();
    document->setUndoRedoEnabled(undo);
}
