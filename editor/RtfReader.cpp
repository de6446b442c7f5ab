#include "editor/RtfReader.h"

#include "editor/LineSpacing.h"

#include <QColor>
#include <QHash>
#include <QMap>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <map>
#include <vector>

namespace {
constexpr int MaxWordLength = 32;
constexpr int DefaultCodePage = 936;
constexpr int DefaultHalfPoints = 24;
constexpr int MaxHalfPoints = 3276;   // 1638 points, the largest size the editor offers

enum class Dest { Text, FontTable, ColorTable, Skip };

// The character classes a word processor formats apart: low ASCII, other
// single-byte characters and double-byte (CJK) characters. \loch, \hich and
// \dbch say which class the associated formats (\af, \afs, \ab, \ai) that
// follow are for; after \rtlch they are for right-to-left text, shown here
// with the ordinary formats.
enum CharClass { Loch, Hich, Dbch, ClassCount, RightToLeft = ClassCount };

// An associated format; -1 leaves the ordinary format in force.
struct Associated {
    int font = -1, halfPoints = -1, bold = -1, italic = -1;
    bool operator==(const Associated &o) const
    {
        return font == o.font && halfPoints == o.halfPoints && bold == o.bold
               && italic == o.italic;
    }
};

struct CharState {
    bool bold = false, italic = false, underline = false;
    int halfPoints = DefaultHalfPoints;
    int colour = 0;    // index into the colour table; 0 is the automatic colour
    int font = -1;     // index into the font table; -1 is the default font
    int target = Loch; // the class that associated formats are for
    Associated associated[ClassCount];
    bool operator==(const CharState &o) const
    {
        return bold == o.bold && italic == o.italic && underline == o.underline
               && halfPoints == o.halfPoints && colour == o.colour && font == o.font
               && target == o.target && std::equal(associated, associated + ClassCount, o.associated);
    }
};

struct ParaState {
    Qt::Alignment alignment = Qt::AlignLeft;
    int sl = 0;        // \sl in twips; 0 is single spacing
    bool slmult = false;
    bool operator==(const ParaState &o) const
    {
        return alignment == o.alignment && sl == o.sl && slmult == o.slmult;
    }
};

struct GroupState {
    CharState ch;
    ParaState para;
    int uc = 1;        // fallback units that follow \uN
    Dest dest = Dest::Text;
    bool operator==(const GroupState &o) const
    {
        return ch == o.ch && para == o.para && uc == o.uc && dest == o.dest;
    }
};

// The states of the open groups. Consecutive equal states are counted, not
// copied, so that deep nesting costs little memory and every group, however
// deep, gets its state back when it closes.
class GroupStack {
public:
    bool empty() const { return m_runs.empty(); }
    qint64 depth() const { return m_depth; }
    void push(const GroupState &state)
    {
        if (m_runs.empty() || !(m_runs.back().state == state))
            m_runs.push_back({state, 0});
        ++m_runs.back().count;
        ++m_depth;
    }
    GroupState pop()
    {
        Run &top = m_runs.back();
        const GroupState state = top.state;
        if (--top.count == 0)
            m_runs.pop_back();
        --m_depth;
        return state;
    }

private:
    struct Run {
        GroupState state;
        qint64 count;
    };
    std::vector<Run> m_runs;
    qint64 m_depth = 0;
};

struct Font {
    QString name;
    QByteArray nameBytes;
    int charset = -1;
    int codePage = -1; // \cpgN, over the charset's code page
};

enum class Word {
    Skip, FontTable, ColorTable, AnsiCpg, Deff, F, FCharset, B, I, Ul, UlNone, Fs, Cf,
    Plain, Pard, Ql, Qc, Qr, Qj, Sl, SlMult, Par, Line, Tab, Cell, Row, U, Uc, Bin,
    Red, Green, Blue, Symbol, Break, Mac, Pc, Pca, Cpg, Af, Afs, Ab, Ai, LochWord, HichWord,
    DbchWord, RtlCh, LtrCh
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
    "listoverridetable", "rsidtbl", "generator", "revtbl", "filetbl", "pntxta", "pntxtb",
    "pn", "bkmkstart", "bkmkend", "nonshppict", "shp", "do", "objdata", "userprops",
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
    {"sect", Word::Break, 0}, {"page", Word::Break, 0}, {"column", Word::Break, 0},
    {"mac", Word::Mac, 0}, {"pc", Word::Pc, 0}, {"pca", Word::Pca, 0}, {"cpg", Word::Cpg, 0},
    {"af", Word::Af, 0}, {"afs", Word::Afs, 0}, {"ab", Word::Ab, 0}, {"ai", Word::Ai, 0},
    {"loch", Word::LochWord, 0}, {"hich", Word::HichWord, 0}, {"dbch", Word::DbchWord, 0},
    {"rtlch", Word::RtlCh, 0}, {"ltrch", Word::LtrCh, 0},
};

// CJK characters and full-width forms are double-byte text; other characters
// beyond ASCII are high single-byte text.
int ClassOf(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return Loch;
    if ((u >= 0x1100 && u <= 0x11FF) || u >= 0x2E80)
        return Dbch;   // Hangul Jamo, CJK, Hangul, surrogates, compatibility and full-width forms
    return Hich;
}

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
    case 2: return 1252;   // symbol fonts: list bullets such as \'b7
    case 77: return 10000;
    case 78: return 10001;
    case 79: return 10003;
    case 80: return 10008;
    case 81: return 10002;
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
    // The Macintosh CJK code pages are the Windows ones with few differences
    // in the symbols; the converter knows only the latter.
    case 10001: names = {"Shift_JIS"}; break;
    case 10002: names = {"Big5"}; break;
    case 10003: names = {"windows-949", "EUC-KR"}; break;
    case 10008: names = {"GBK"}; break;
    case 20936: names = {"GBK"}; break;
    case 54936: names = {"GB18030"}; break;
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
    void beginText();
    void flushBytes();
    void flushText();
    void insertRun(QStringView text, int charClass);
    void paragraphEnd();
    void breakParagraph();
    void materialiseParagraph();
    void finishParagraph();
    void finish();

    void fontTableByte(char c);
    void colourTableByte(char c);

    void applyAssociated(Word word, int param, bool on);
    void setDocumentCodePage(int codePage, bool explicitly);
    int codePage(const CharState &ch) const;
    int fontCodePage(int index) const;
    QString decode(int codePage, const QByteArray &bytes);
    const QTextCharFormat &charFormat(const CharState &ch, int charClass = Loch);
    QTextCharFormat makeCharFormat(const CharState &ch, int charClass) const;
    const QTextBlockFormat &blockFormat();
    QTextBlockFormat makeBlockFormat() const;

    const QByteArray &m_in;
    int m_pos = 0;
    QTextCursor m_cursor;

    GroupState m_st;
    GroupStack m_stack;
    bool m_done = false;           // the document's group has closed

    int m_ansiCodePage = DefaultCodePage;
    bool m_ansiCodePageGiven = false;
    int m_defaultFont = 0;
    QMap<int, Font> m_fonts;
    int m_fontEntry = -1;          // the entry of the font table being read
    std::vector<QColor> m_colours;
    int m_red = -1, m_green = -1, m_blue = -1;
    std::map<int, QStringDecoder> m_decoders;

    QByteArray m_bytes;            // raw bytes and \'hh not yet decoded
    QString m_text;                // text not yet inserted
    CharState m_textState;         // the state m_bytes and m_text were gathered in
    bool m_stateTouched = true;    // a control word or a group may have changed the state
    int m_fallbackLeft = 0;        // fallback units of the last \uN still to skip
    bool m_paragraphPending = false;
    bool m_paragraphHasText = false;

    // The formats last made, for the states they were made from: a script
    // switches between a few formats thousands of times.
    struct CachedCharFormat {
        CharState state;
        int charClass;
        QTextCharFormat format;
    };
    std::vector<CachedCharFormat> m_charFormats;
    ParaState m_blockFormatState;
    QTextBlockFormat m_blockFormat;
    bool m_blockFormatValid = false;
};

void Reader::run()
{
    while (!atEnd() && !m_done) {
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
    m_stack.push(m_st);
}

void Reader::closeGroup()
{
    m_fallbackLeft = 0;
    m_stateTouched = true;
    if (m_st.dest == Dest::FontTable)
        fontTableByte(';');   // an entry without its closing semicolon
    // A closing brace before any group is opened closes nothing.
    if (m_stack.empty())
        return;
    // The document's group ends: its last paragraph too, and whatever follows
    // it is no part of the document.
    if (m_stack.depth() == 1) {
        finishParagraph();
        m_done = true;
    }
    m_st = m_stack.pop();
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
    const int start = m_pos;
    while (!atEnd()) {
        const char l = peek();
        if (!((l >= 'a' && l <= 'z') || (l >= 'A' && l <= 'Z')))
            break;
        ++m_pos;
    }
    // The name is looked up in place; longer names are no word of the table.
    const QByteArray name = QByteArray::fromRawData(m_in.constData() + start,
                                                    qMin(m_pos - start, MaxWordLength + 1));
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
    m_stateTouched = true;
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
        } else if (word == Word::Cpg && m_fonts.contains(m_fontEntry)) {
            m_fonts[m_fontEntry].codePage = param;
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

    switch (word) {
    case Word::Skip: m_st.dest = Dest::Skip; break;
    case Word::FontTable: m_st.dest = Dest::FontTable; m_fontEntry = -1; break;
    case Word::ColorTable:
        m_st.dest = Dest::ColorTable;
        m_colours.clear();
        m_red = m_green = m_blue = -1;
        break;
    case Word::AnsiCpg: setDocumentCodePage(param, true); break;
    case Word::Mac: setDocumentCodePage(10000, false); break;
    case Word::Pc: setDocumentCodePage(437, false); break;
    case Word::Pca: setDocumentCodePage(850, false); break;
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
    case Word::Break: breakParagraph(); break;
    case Word::LochWord: m_st.ch.target = Loch; break;
    case Word::HichWord: m_st.ch.target = Hich; break;
    case Word::DbchWord: m_st.ch.target = Dbch; break;
    case Word::RtlCh: m_st.ch.target = RightToLeft; break;
    case Word::LtrCh: m_st.ch.target = Loch; break;
    case Word::Af:
    case Word::Afs:
    case Word::Ab:
    case Word::Ai:
        applyAssociated(word, param, on);
        break;
    default:
        break;
    }
}

void Reader::applyAssociated(Word word, int param, bool on)
{
    if (m_st.ch.target == RightToLeft)
        return;
    Associated &a = m_st.ch.associated[m_st.ch.target];
    switch (word) {
    case Word::Af: a.font = qMax(-1, param); break;
    case Word::Afs: a.halfPoints = param > 0 ? qMin(param, MaxHalfPoints) : DefaultHalfPoints; break;
    case Word::Ab: a.bold = on; break;
    case Word::Ai: a.italic = on; break;
    default: break;
    }
}

// \ansicpg names the code page; \mac, \pc and \pca only imply one.
void Reader::setDocumentCodePage(int codePage, bool explicitly)
{
    if (codePage <= 0 || (m_ansiCodePageGiven && !explicitly))
        return;
    m_ansiCodePage = codePage;
    m_ansiCodePageGiven = m_ansiCodePageGiven || explicitly;
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
            m_paragraphHasText = true;
            beginText();
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
    font.name = decode(fontCodePage(m_fontEntry), font.nameBytes).trimmed();
    font.nameBytes.clear();
    m_charFormats.clear();   // made with the face before it had its name
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
    m_charFormats.clear();
}

void Reader::appendText(const QString &text)
{
    if (m_st.dest != Dest::Text)
        return;
    materialiseParagraph();
    m_paragraphHasText = true;
    beginText();
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

// Text is gathered for as long as the character state stays the same, and
// inserted when it changes (which only a control word or a group can do), at
// the end of a paragraph or of the document.
void Reader::beginText()
{
    if (!m_stateTouched)
        return;
    m_stateTouched = false;
    if (m_st.ch == m_textState)
        return;
    flushText();
    m_textState = m_st.ch;
}

void Reader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    m_text += decode(codePage(m_textState), m_bytes);
    m_bytes.clear();
}

// Text a word processor formats by class (see CharClass) is inserted in runs
// of one class each; the common case without associated formats in one go.
void Reader::flushText()
{
    flushBytes();
    if (m_text.isEmpty())
        return;
    const Associated *associated = m_textState.associated;
    if (associated[Hich] == associated[Loch] && associated[Dbch] == associated[Loch]) {
        insertRun(m_text, Loch);
    } else {
        qsizetype start = 0;
        int runClass = ClassOf(m_text.at(0));
        for (qsizetype i = 1; i <= m_text.size(); ++i) {
            const int next = i < m_text.size() ? ClassOf(m_text.at(i)) : -1;
            if (next == runClass)
                continue;
            insertRun(QStringView(m_text).mid(start, i - start), runClass);
            start = i;
            runClass = next;
        }
    }
    m_text.clear();
}

void Reader::insertRun(QStringView text, int charClass)
{
    m_cursor.insertText(text.toString(), charFormat(m_textState, charClass));
}

// \sect, \page and \column end a paragraph that has text; after \par they
// add no empty line.
void Reader::breakParagraph()
{
    if (m_paragraphHasText)
        paragraphEnd();
}

// The paragraph's format is the one in force at its \par. The block after it
// is only made when more text follows, so a closing \par adds no empty line.
void Reader::paragraphEnd()
{
    materialiseParagraph();
    flushText();
    m_cursor.setBlockFormat(blockFormat());
    m_paragraphPending = true;
    m_paragraphHasText = false;
}

void Reader::materialiseParagraph()
{
    if (!m_paragraphPending)
        return;
    m_paragraphPending = false;
    m_cursor.insertBlock(blockFormat(), charFormat(m_st.ch));
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
    if (!m_stack.empty() && !m_done)
        finishParagraph();
    flushText();
}

// Bytes after \dbch are double-byte text: in the code page of the font given
// for that class, else in the document's.
int Reader::codePage(const CharState &ch) const
{
    if (ch.target == Dbch) {
        const int dbchFont = ch.associated[Dbch].font;
        return dbchFont >= 0 ? fontCodePage(dbchFont) : m_ansiCodePage;
    }
    return fontCodePage(ch.font >= 0 ? ch.font : m_defaultFont);
}

int Reader::fontCodePage(int index) const
{
    const auto font = m_fonts.constFind(index);
    int own = -1;
    if (font != m_fonts.cend())
        own = font->codePage > 0 ? font->codePage : CodePageOfCharset(font->charset);
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
    // A lead byte at the end would wait in the decoder for its trail byte and
    // vanish: a line feed after it makes it show as U+FFFD.
    it->second.resetState();
    QString text = it->second.decode(bytes + '\n');
    text.chop(1);
    text.remove(QChar(0));
    return text;
}

const QTextCharFormat &Reader::charFormat(const CharState &ch, int charClass)
{
    constexpr size_t CacheSize = 8;
    for (const CachedCharFormat &cached : m_charFormats)
        if (cached.charClass == charClass && cached.state == ch)
            return cached.format;
    if (m_charFormats.size() == CacheSize)
        m_charFormats.erase(m_charFormats.begin());
    m_charFormats.push_back({ch, charClass, makeCharFormat(ch, charClass)});
    return m_charFormats.back().format;
}

// The ordinary format, with the associated formats of the characters' class
// where they are given.
QTextCharFormat Reader::makeCharFormat(const CharState &ch, int charClass) const
{
    const Associated &a = ch.associated[charClass];
    QTextCharFormat format;
    format.setFontWeight((a.bold >= 0 ? a.bold : ch.bold) ? QFont::Bold : QFont::Normal);
    format.setFontItalic(a.italic >= 0 ? a.italic : ch.italic);
    format.setFontUnderline(ch.underline);
    format.setFontPointSize((a.halfPoints > 0 ? a.halfPoints : ch.halfPoints) / 2.0);
    const int fontIndex = a.font >= 0 ? a.font : ch.font >= 0 ? ch.font : m_defaultFont;
    const auto font = m_fonts.constFind(fontIndex);
    if (font != m_fonts.cend() && !font->name.isEmpty())
        format.setFontFamilies(QStringList{font->name});
    if (ch.colour > 0 && ch.colour < int(m_colours.size()) && m_colours[ch.colour].isValid())
        format.setForeground(m_colours[ch.colour]);
    return format;
}

// Spacing in multiples of a line (\slmult1, 240 twips a line) becomes a
// proportional height; an exact (\sl negative) or minimum spacing keeps its
// height and shows as the equivalent at 240 twips a line.
const QTextBlockFormat &Reader::blockFormat()
{
    if (!m_blockFormatValid || !(m_blockFormatState == m_st.para)) {
        m_blockFormat = makeBlockFormat();
        m_blockFormatState = m_st.para;
        m_blockFormatValid = true;
    }
    return m_blockFormat;
}

QTextBlockFormat Reader::makeBlockFormat() const
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

// Clearing inside the reader's edit block makes the whole load one change
// that replaces the document: a layout attached to it then lays the new text
// out step by step in the background instead of all at once.
void ReadRtf(const QByteArray &bytes, QTextDocument *document)
{
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    QTextCursor editBlock(document);
    editBlock.beginEditBlock();
    document->clear();
    Reader(bytes, document).run();
    editBlock.endEditBlock();
    document->setUndoRedoEnabled(undo);
}
