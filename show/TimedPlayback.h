// Timed playback: the pages of a timed scenario go out at their cue times on
// a show clock that runs from the cue playback started at. The clock is a
// monotonic one behind PlaybackClock, so that a three-hour show does not
// drift with the wall clock and tests move time by hand.
#pragma once

#include "app/SubtitleFile.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <vector>

class PlaybackClock {
public:
    virtual ~PlaybackClock() = default;
    virtual qint64 nowMs() const = 0;   // monotonic milliseconds
};

class SteadyPlaybackClock : public PlaybackClock {
public:
    SteadyPlaybackClock() { m_timer.start(); }
    qint64 nowMs() const override { return m_timer.elapsed(); }

private:
    QElapsedTimer m_timer;
};

class TimedPlayback : public QObject {
    Q_OBJECT
public:
    // sendPage starts the page's transmission, false when it did not (the
    // link is busy: it is asked again at the next tick); blank likewise.
    struct Output {
        std::function<bool(int page)> sendPage;
        std::function<bool()> blank;
    };
    // The clock is not owned.
    TimedPlayback(PlaybackClock *clock, Output output, QObject *parent = nullptr);

    // Another clock (a test's), taken while stopped.
    void useClock(PlaybackClock *clock)
    {
        if (m_state == Stopped)
            m_clock = clock;
    }

    enum State { Stopped, Playing, Paused };
    State state() const { return m_state; }
    bool active() const { return m_state != Stopped; }

    // Every page's time (PageStore::pageTimes). Starts with page first
    // going out now, on a clock that reads its cue time.
    void start(const std::vector<CueTime> &times, int first);
    void stop(const QString &reason = QString());
    void pause();
    void resume();
    void nudge(qint64 deltaMs);   // the clock moves on (or back) by delta
    // A page went out by hand (Space, a click, remote control): the clock
    // jumps to its cue and playback goes on after it.
    void pageSentByHand(int page);
    void setBlankAtEnd(bool on) { m_blankAtEnd = on; }

    qint64 showClockMs() const;
    int nextPage() const { return m_next; }   // -1 after the last
    qint64 msToNext() const;                   // -1 when no page is left
    QString stopReason() const { return m_stopReason; }

    // Sends what is due now and schedules the next tick; the timer calls it.
    void tick();

signals:
    void changed();   // started, stopped, paused, a page or blank went out

private:
    void schedule();
    bool blankPending() const;
    bool sendDue(int page);
    void setShowClock(qint64 showMs);

    PlaybackClock *m_clock;
    Output m_output;
    QTimer m_timer;
    std::vector<CueTime> m_times;
    State m_state = Stopped;
    qint64 m_zeroMs = 0;      // the monotonic time at show clock 0
    qint64 m_pausedAt = 0;    // the show clock while paused
    int m_next = -1;
    int m_onAir = -1;         // the page playback or the operator sent last
    bool m_blanked = false;   // the page on air was blanked at its end
    bool m_blankAtEnd = false;
    bool m_sending = false;   // inside sendPage: its own page, not one by hand
    QString m_stopReason;
};
