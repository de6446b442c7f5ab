#include "app/SubtitleFile.h"

#include <QRegularExpression>
#include <QStringList>

QString SubtitleIssue::text() const
{
    return QStringLiteral("第%1行：%2").arg(line).arg(message);
}

namespace {
const QLatin1String Arrow("-->");

struct NumberedLine {
    int number;   // 1-based
    QStringView text;
};
using Block = std::vector<NumberedLine>;

// Blocks of non-blank lines; CR LF, LF and CR end lines.
std::vector<Block> SplitBlocks(QStringView text)
{
    std::vector<Block> blocks;
    Block current;
    int number = 0;
    qsizetype pos = 0;
    while (pos <= text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
            ++end;
        const QStringView line = text.mid(pos, end - pos);
        ++number;
        if (line.trimmed().isEmpty()) {
            if (!current.empty())
                blocks.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back({number, line});
        }
        if (end < text.size() && text[end] == QLatin1Char('\r') && end + 1 < text.size()
            && text[end + 1] == QLatin1Char('\n'))
            ++end;
        pos = end + 1;
    }
    if (!current.empty())
        blocks.push_back(std::move(current));
    return blocks;
}

// A line meant as a timing line: it has the arrow, or starts like a time.
bool IsTimingAttempt(QStringView line)
{
    static const QRegularExpression timeLike(QStringLiteral("^\\s*\\d+:\\d"));
    return line.contains(Arrow) || timeLike.match(line.toString()).hasMatch();
}

bool IsCueNumber(QStringView line)
{
    const QStringView t = line.trimmed();
    return !t.isEmpty() && std::all_of(t.begin(), t.end(), [](QChar c) { return c.isDigit(); });
}

// Reads "start --> end [settings]"; false when it is not that.
bool ParseTimingLine(QStringView line, CueTime &time)
{
    const qsizetype arrow = line.indexOf(Arrow);
    if (arrow < 0)
        return false;
    const QStringView rest = line.mid(arrow + Arrow.size()).trimmed();
    qsizetype endOfTime = 0;
    while (endOfTime < rest.size() && !rest[endOfTime].isSpace())
        ++endOfTime;
    time.startMs = ParseCueTime(line.left(arrow).trimmed());
    time.endMs = ParseCueTime(rest.left(endOfTime));
    return time.startMs >= 0 && time.endMs >= 0;
}

QString CueText(const Block &block, size_t from, SubtitleFormat format)
{
    static const QRegularExpression tag(QStringLiteral("<[^>]*>|\\{\\\\[^}]*\\}"));
    QStringList parts;
    for (size_t i = from; i < block.size(); ++i) {
        QString part = block[i].text.toString().remove(tag).trimmed();
        if (format == SubtitleFormat::WebVtt) {
            part.replace(QLatin1String("&lt;"), QLatin1String("<"))
                .replace(QLatin1String("&gt;"), QLatin1String(">"))
                .replace(QLatin1String("&nbsp;"), QLatin1String(" "))
                .replace(QLatin1String("&lrm;"), QString())
                .replace(QLatin1String("&rlm;"), QString())
                .replace(QLatin1String("&amp;"), QLatin1String("&"));
        }
        if (!part.isEmpty())
            parts << part;
    }
    return parts.join(QLatin1Char(' '));
}

bool IsVttMetadata(QStringView first)
{
    return !first.contains(Arrow)
           && (first.startsWith(QLatin1String("NOTE")) || first.startsWith(QLatin1String("STYLE"))
               || first.startsWith(QLatin1String("REGION")));
}

// One cue block, or the fault that stops reading.
std::optional<SubtitleIssue> ReadCue(const Block &block, SubtitleDocument &doc)
{
    size_t timing = 0;
    if (!IsTimingAttempt(block[0].text)) {
        if (block.size() < 2 || !IsTimingAttempt(block[1].text))
            return SubtitleIssue{block[0].number, QStringLiteral("字幕没有时间")};
        timing = 1;
    }
    SubtitleCue cue;
    cue.line = block[timing].number;
    if (!ParseTimingLine(block[timing].text, cue.time))
        return SubtitleIssue{cue.line, QStringLiteral("时间行格式错误：") + block[timing].text.trimmed().toString()};
    if (cue.time.startMs > MaxCueTimeMs || cue.time.endMs > MaxCueTimeMs)
        return SubtitleIssue{cue.line, QStringLiteral("时间超过24小时")};
    cue.text = CueText(block, timing + 1, doc.format);
    for (const QString &problem : CueOrderProblems(cue.time, doc.cues.empty() ? nullptr : &doc.cues.back().time))
        doc.warnings.push_back({cue.line, problem});
    doc.cues.push_back(std::move(cue));
    return std::nullopt;
}

QString EscapeVtt(QString text)
{
    return text.replace(QLatin1String("&"), QLatin1String("&amp;"))
        .replace(QLatin1String("<"), QLatin1String("&lt;"))
        .replace(QLatin1String(">"), QLatin1String("&gt;"));
}
} // namespace

std::optional<SubtitleFormat> DetectSubtitleFormat(QStringView text)
{
    if (text.startsWith(QChar(0xFEFF)))
        text = text.mid(1);
    if (text.startsWith(QLatin1String("WEBVTT"))
        && (text.size() == 6 || text[6].isSpace()))
        return SubtitleFormat::WebVtt;
    const std::vector<Block> blocks = SplitBlocks(text.left(4096));
    if (blocks.empty())
        return std::nullopt;
    const Block &first = blocks.front();
    if (first[0].text.contains(Arrow)
        || (first.size() > 1 && IsCueNumber(first[0].text) && IsTimingAttempt(first[1].text)))
        return SubtitleFormat::Srt;
    return std::nullopt;
}

SubtitleDocument ParseSubtitles(QStringView text, SubtitleFormat format)
{
    if (text.startsWith(QChar(0xFEFF)))
        text = text.mid(1);
    SubtitleDocument doc;
    doc.format = format;
    std::vector<Block> blocks = SplitBlocks(text);
    size_t first = 0;
    if (format == SubtitleFormat::WebVtt && !blocks.empty()) {
        doc.header = blocks[0][0].text.toString();
        first = 1;
    }
    for (size_t b = first; b < blocks.size() && !doc.error; ++b) {
        if (format == SubtitleFormat::WebVtt && IsVttMetadata(blocks[b][0].text))
            continue;
        doc.error = ReadCue(blocks[b], doc);
    }
    return doc;
}

QString WriteSubtitles(const SubtitleDocument &doc)
{
    const QLatin1String end("\r\n");
    QString out;
    if (doc.format == SubtitleFormat::WebVtt)
        out += doc.header + end + end;
    int number = 0;
    for (const SubtitleCue &cue : doc.cues) {
        if (doc.format == SubtitleFormat::Srt)
            out += QString::number(++number) + end;
        out += FormatCueTime(cue.time.startMs, doc.format) + QLatin1String(" --> ")
               + FormatCueTime(cue.time.endMs, doc.format) + end;
        out += (doc.format == SubtitleFormat::WebVtt ? EscapeVtt(cue.text) : cue.text) + end + end;
    }
    return out;
}

QString FormatCueTime(qint64 ms, SubtitleFormat format)
{
    ms = std::max<qint64>(ms, 0);
    return QStringLiteral("%1:%2:%3%4%5")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(format == SubtitleFormat::Srt ? QLatin1Char(',') : QLatin1Char('.'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

qint64 ParseCueTime(QStringView text)
{
    static const QRegularExpression time(
        QStringLiteral("^(?:(?:(\\d{1,9}):)?(\\d{1,2}):)?(\\d{1,2})(?:[,.](\\d{1,3}))?$"));
    const QRegularExpressionMatch m = time.match(text.toString());
    if (!m.hasMatch())
        return -1;
    const qint64 hours = m.capturedView(1).toLongLong();
    const qint64 minutes = m.capturedView(2).toLongLong();
    const qint64 seconds = m.capturedView(3).toLongLong();
    if ((m.hasCaptured(2) && seconds >= 60) || (m.hasCaptured(1) && minutes >= 60))
        return -1;
    QString fraction = m.captured(4);
    while (fraction.size() < 3)
        fraction += QLatin1Char('0');
    return ((hours * 60 + minutes) * 60 + seconds) * 1000 + fraction.toLongLong();
}

QStringList CueOrderProblems(const CueTime &cue, const CueTime *before)
{
    QStringList problems;
    if (cue.endMs < cue.startMs)
        problems << QStringLiteral("结束时间早于开始时间");
    if (before && cue.startMs < before->startMs)
        problems << QStringLiteral("开始时间早于上一条字幕");
    else if (before && cue.startMs < before->endMs)
        problems << QStringLiteral("与上一条字幕的时间重叠");
    return problems;
}

std::vector<CueTime> FillCueTimes(const std::vector<CueTime> &times)
{
    std::vector<CueTime> filled(times);
    qint64 nextStart = -1;
    // From the end, so that each untimed line knows the next timed start.
    std::vector<qint64> startAfter(times.size(), -1);
    for (size_t i = times.size(); i-- > 0;) {
        startAfter[i] = nextStart;
        if (times[i].isSet())
            nextStart = times[i].startMs;
    }
    for (size_t i = 0; i < filled.size(); ++i) {
        if (filled[i].isSet())
            continue;
        const qint64 start = i == 0 ? 0 : std::max(filled[i - 1].endMs, filled[i - 1].startMs);
        filled[i] = {start, std::max(start, startAfter[i])};
    }
    return filled;
}
