// The page store: the scenario's text lines and the pages (display lines) they
// wrap into at the display's width. Unedited lines keep their original bytes,
// so saving a project never damages what the operator did not touch.
#pragma once

#include "app/SubtitleFile.h"

#include <QByteArray>
#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

enum class TextEncoding;

// The width of one UTF-16 code unit in the page list's wrap font.
struct CharWidth {
    char16_t unit;
    int width;
    bool operator==(const CharWidth &o) const { return unit == o.unit && width == o.width; }
};

// The page store's wrap width for a display width (ScreenWidth + 7); a
// damaged project's width is held to a range the store can wrap at.
int PageWrapWidth(int screenWidth);
// The font the pages are wrapped with (the list's, as on the original system).
QFont PageWrapFont();

class PageStore {
public:
    PageStore();

    // Replaces the store with the bytes of a scenario file, in the encoding
    // given or the one DetectTextEncoding finds. CR LF, LF and CR end lines.
    void load(const QByteArray &bytes);
    void load(const QByteArray &bytes, TextEncoding encoding);
    TextEncoding encoding() const { return m_encoding; }
    // The number (from 1) of the first text line of a UTF-8 file that holds
    // bytes that are no UTF-8; 0 when there is none.
    int firstInvalidLine() const { return m_firstInvalidLine; }
    void clear();
    // Takes the lines and pages of another store of the same font (one
    // loaded on another thread); other is left empty.
    void adopt(PageStore &&other);
    // The file image: unedited lines as they were read, edited ones encoded
    // again and ended with CR LF.
    QByteArray save() const;

    // Wrap width in pixels (ScreenWidth + 7); rewraps every line.
    void setWrapWidth(int pixels);
    int wrapWidth() const { return m_wrapWidth; }

    // Width of a character as the pages are wrapped with it (measured once).
    int characterWidth(QChar c) const { return advance(c); }
    // Every width measured or given so far, by code unit.
    std::vector<CharWidth> widths() const;
    // Takes widths measured elsewhere (by a store of this font, now or at an
    // earlier start) as if measured here. When one differs from a width the
    // pages were wrapped with, rewraps every line and returns true.
    bool setWidths(const std::vector<CharWidth> &widths);

    // A subtitle file (SubtitleFile) is read as one text line per cue, with
    // its time; save() writes it back in its format. One that cannot be read
    // as subtitles is held as plain lines and reports why: it must not be
    // written back.
    bool timed() const { return m_subtitles && !m_subtitles->error; }
    std::optional<SubtitleIssue> subtitleError() const
    {
        return m_subtitles ? m_subtitles->error : std::nullopt;
    }
    std::vector<SubtitleIssue> subtitleWarnings() const
    {
        return m_subtitles ? m_subtitles->warnings : std::vector<SubtitleIssue>();
    }
    // The time of the cue the page belongs to; unset for a page added here.
    CueTime pageTime(int index) const;
    // Every page's time, lines without one placed as FillCueTimes does;
    // empty for a text scenario.
    std::vector<CueTime> pageTimes() const;

    int textLineCount() const { return int(m_lines.size()); }
    QString textLine(int index) const { return lineText(m_lines[size_t(index)]); }
    int pageCount() const { return m_firstPage.empty() ? 0 : m_firstPage.back(); }
    // The text of a page as shown: a byte that is no character in the file's
    // encoding shows as U+FFFD.
    QString page(int index) const;
    // The text line page index belongs to (a wrapped line has several pages).
    int lineOfPage(int index) const { return locate(index).line; }
    // The text an edit of page index gives, with the bytes it showed as
    // U+FFFD back in their places.
    QString editedPage(int index, const QString &shown) const;
    // Why shown cannot replace page index (or be inserted, index -1): the
    // characters the file's encoding cannot hold, or a character that would
    // join a stray byte. Empty when it can.
    QString refusal(int index, const QString &shown) const;

    // Editing at a page (display line). A page that continues a wrapped text
    // line is a part of that line.
    void replacePage(int index, const QString &text);
    // Inserts a new page right after page index: after its text line, or,
    // when page index is a part of a wrapped line, by splitting that line
    // there. Returns the index of the new page (index + 1).
    int insertAfterPage(int index, const QString &text);
    void deletePage(int index);

private:
    // A line end as read; a line without one is the file's last.
    enum Ending : uint8_t { NoEnd, EndCrLf, EndLf, EndCr };
    // An unedited line is a range of the file's bytes, decoded when asked for:
    // a million-line scenario then costs little more than its file.
    struct Line {
        QString text;          // the edited text; unused while unedited
        uint32_t rawStart = 0;  // bytes as read, without the line end
        uint32_t rawLength = 0;
        Ending ending = NoEnd;
        bool edited = false;
        std::vector<int> breaks;   // start offsets of the pages after the first
        CueTime time;              // of a subtitle cue; kept through edits
    };
    struct Position {
        int line;
        int segment;
    };

    QString lineText(const Line &line) const;
    QString storedPage(int index) const;
    void splitBytes(int pos);
    void splitUnits(int pos);
    int addLine(int start, int end, char32_t first, char32_t second, int unit);
    void findInvalidLine(int start);
    QByteArray endingBytes(Ending ending) const;
    static bool FixedWidth(QChar c);
    // lineText into buffer, whose storage is reused from line to line.
    void readLine(const Line &line, QString &buffer) const;
    void wrap(Line &line) const;
    void wrap(Line &line, QStringView text) const;
    bool fitsOnePage(QStringView text) const;
    void wrapAll();
    // Cached width of one character; looked up for every character wrapped.
    int advance(QChar c) const
    {
        const int width = m_advances[c.unicode()];
        return width >= 0 ? width : measure(c);
    }
    int measure(QChar c) const;   // fills the cache
    void reindex(int fromLine);
    Position locate(int page) const;
    int segmentStart(const Line &line, int segment) const;
    int segmentEnd(const Line &line, const QString &text, int segment) const;
    QString decode(const QByteArray &raw) const;
    QByteArray encode(const QString &text) const;
    void setText(int lineIndex, const QString &text);
    void splitAfterSegment(const Position &p);
    bool loadSubtitles();
    QByteArray saveSubtitles() const;

    QByteArray m_bytes;   // the file as read
    QByteArray m_tail;    // a unit cut short at the end of a UTF-16 or UTF-32 file
    int m_firstInvalidLine = 0;
    std::vector<Line> m_lines;
    std::vector<int> m_firstPage;   // m_firstPage[i] = pages before line i; back() = total
    TextEncoding m_encoding;
    std::optional<SubtitleDocument> m_subtitles;   // its cues live in m_lines
    int m_wrapWidth = 263;
    QFont m_font;
    QFontMetrics m_metrics{m_font};
    // By UTF-16 code unit, -1 = not measured; one entry for every unit, so a
    // look-up is a single index.
    mutable std::vector<int> m_advances = std::vector<int>(0x10000, -1);
};
