// Timed playback without a window: the pages go out at their cue times
// straight through the send worker, for rehearsals, kiosks and benchmarks.
#pragma once

#include "app/Struct.h"
#include "app/SubtitleFile.h"
#include "link/uSendThread.h"

#include <QStringList>
#include <functional>
#include <vector>

class PlaybackClock;

struct CueSent {
    int page;
    qint64 dueMs;         // its cue time on the show clock
    qint64 firstByteMs;   // when its first byte was written, on the show clock
    QString text;
};

// Plays pages (with their times) from page first on portName and reports
// each page once it went out. Returns when the last page went out, or at
// the first failure, with its reason (empty: all went out).
QString PlayOnPort(const TProjectRecord &record, const QString &portName, const QStringList &pages,
                   const std::vector<CueTime> &times, int first, TLinkEnvironment environment,
                   PlaybackClock &clock, const std::function<void(const CueSent &)> &report);
