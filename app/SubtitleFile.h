// Subtitle files (SubRip .srt and WebVTT .vtt) as timed scenarios: each cue
// is one scenario line with its start and end time. Works on decoded text;
// the encoding of the file is the scenario's (ScenarioFile).
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <vector>

enum class SubtitleFormat { Srt, WebVtt };

// Start and end in milliseconds from the start of the timeline; -1 when the
// line has no time (a page added in the window).
struct CueTime {
    qint64 startMs = -1;
    qint64 endMs = -1;
    bool isSet() const { return startMs >= 0; }
    bool operator==(const CueTime &o) const { return startMs == o.startMs && endMs == o.endMs; }
};

struct SubtitleCue {
    CueTime time;
    QString text;   // the cue's lines joined by a blank, tags dropped
    int line = 0;   // 1-based line of its timing line in the file
};

// A fault of the file, with the 1-based line it is on.
struct SubtitleIssue {
    int line = 0;
    QString message;
    QString text() const;   // "第N行：message"
};

struct SubtitleDocument {
    SubtitleFormat format = SubtitleFormat::Srt;
    QString header = QStringLiteral("WEBVTT");   // WebVTT's first line, kept as read
    std::vector<SubtitleCue> cues;
    // The file cannot be read as subtitles: it is shown as plain lines and
    // never written back.
    std::optional<SubtitleIssue> error;
    // Readable, but the timeline is doubtful: cues out of order or
    // overlapping (kept in file order).
    std::vector<SubtitleIssue> warnings;
};

constexpr qint64 MaxCueTimeMs = 24LL * 3600 * 1000;

// A file is subtitles when it begins with "WEBVTT", or when its first block
// is a cue number followed by a timing line (or starts with a timing line).
std::optional<SubtitleFormat> DetectSubtitleFormat(QStringView text);
SubtitleDocument ParseSubtitles(QStringView text, SubtitleFormat format);
// The file's text, CR LF line ends, cues numbered anew (SubRip).
QString WriteSubtitles(const SubtitleDocument &doc);

// "01:02:03,456" (SubRip) or "01:02:03.456" (WebVTT).
QString FormatCueTime(qint64 ms, SubtitleFormat format);
// A time as either format writes it, or [[h:]m:]s[.mmm]; -1 when it is none.
qint64 ParseCueTime(QStringView text);

// What is doubtful about a cue's time after the cue before it (none for
// the first): it ends before it starts, starts before it, or overlaps it.
QStringList CueOrderProblems(const CueTime &cue, const CueTime *before);

// Times for every line of a timed scenario: a line without a time takes the
// gap after the cue before it (from its end to the next cue's start, zero
// long when there is no gap), so that it is written and played in place.
std::vector<CueTime> FillCueTimes(const std::vector<CueTime> &times);
