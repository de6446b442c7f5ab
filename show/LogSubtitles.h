// A show log turned into subtitles: each page that went out is a cue from
// its transmission until the next thing the displays showed, so a rehearsal
// run by hand becomes a timed scenario and a show captions its recording.
#pragma once

#include "app/SubtitleFile.h"

#include <QByteArray>
#include <QDateTime>

// Without from, the cues start with the latest show of the log (after its
// last pause of more than six hours; a log keeps every evening). The timeline's zero is from, else the
// first entry taken. A page that nothing followed lasts until to, else
// LastCueMs. Nothing past 24 h from zero is taken.
SubtitleDocument LogSubtitles(const QByteArray &log, SubtitleFormat format,
                              const QDateTime &from = QDateTime(), const QDateTime &to = QDateTime());
constexpr qint64 LastCueMs = 5000;

// "2026-12-10 20:15:00[.250]" (also with T), or a time of day "20:15[:00[.250]]"
// on the day of the log's last entry. Invalid when it is neither.
QDateTime LogTimeOf(const QString &text, const QByteArray &log);
