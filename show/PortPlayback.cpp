#include "show/PortPlayback.h"

#include "link/Frames.h"
#include "render/uRender.h"
#include "show/TimedPlayback.h"

#include <QEventLoop>
#include <atomic>

namespace {
// Notes when the first byte of a transmission is written (on the worker).
class FirstByte : public SerialPortObserver {
public:
    explicit FirstByte(PlaybackClock &clock) : m_clock(clock) {}
    void opened() override { m_at = -1; }
    void written(const QByteArray &, bool) override
    {
        qint64 none = -1;
        m_at.compare_exchange_strong(none, m_clock.nowMs());
    }
    void closed() override {}
    qint64 at() const { return m_at; }

private:
    PlaybackClock &m_clock;
    std::atomic<qint64> m_at{-1};
};
} // namespace

QString PlayOnPort(const TProjectRecord &record, const QString &portName, const QStringList &pages,
                   const std::vector<CueTime> &times, int first, TLinkEnvironment environment,
                   PlaybackClock &clock, const std::function<void(const CueSent &)> &report)
{
    FirstByte firstByte(clock);
    environment.observer = &firstByte;
    QString failure;
    QEventLoop loop;
    TimedPlayback *playback = nullptr;
    // The next page is drawn while waiting for its cue, so that its first
    // byte leaves at the cue rather than a drawing later.
    struct Frames {
        int page = -1;
        QByteArray frame1, frame2;
        QString error;
    } next;
    const auto draw = [&](int page) {
        next = {page, {}, {}, {}};
        if (page < pages.size())
            next.error = RenderPageFrames(PageFontOf(record),
                                          PageRequestOf(record, pages[page], record.Stunt, record.RunSpeed,
                                                        record.ShowTime),
                                          next.frame1, next.frame2);
    };
    const auto send = [&](int page) {
        if (next.page != page)
            draw(page);
        failure = next.error.isEmpty() ? RunTransmission(portName, record.BaudRate, next.frame1, next.frame2,
                                                         PageCaption(pages[page]), environment)
                                       : next.error;
        if (!failure.isEmpty()) {
            playback->stop(failure);
            return true;
        }
        // The show clock of the first byte: now on it, less the time since.
        const qint64 sentMs = playback->showClockMs() - (clock.nowMs() - firstByte.at());
        report({page, times[size_t(page)].startMs, sentMs, pages[page]});
        draw(page + 1);
        return true;
    };
    TimedPlayback timed(&clock, {send, [] { return true; }});
    playback = &timed;
    QObject::connect(&timed, &TimedPlayback::changed, &loop, [&] {
        if (!timed.active())
            loop.quit();
    });
    timed.start(times, first);
    if (timed.active())
        loop.exec();
    return failure;
}
