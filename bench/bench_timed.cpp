// Timed playback on the recording port: 200 cues 0.5 to 2 s apart (times
// scaled by --scale, 0.3 by default, so that a run takes about a minute; a
// page to one display keeps the line busy about 0.1 s, less than the
// shortest gap) go out through the real send worker; the lateness of each page's
// first byte against its cue time, over all cues and over the first and the
// last fifty, so that a growth over the show is seen.
#include "BenchStats.h"

#include "app/ProjectFile.h"
#include "link/RecordingPort.h"
#include "show/PortPlayback.h"
#include "show/TimedPlayback.h"
#include "sim/WireLog.h"

#include <QGuiApplication>
#include <QRandomGenerator>
#include <QStringList>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int at = app.arguments().indexOf(QStringLiteral("--scale"));
    const double scale = at > 0 ? app.arguments().value(at + 1).toDouble() : 0.3;
    if (scale <= 0) {
        std::fprintf(stderr, "usage: bench_timed [--scale FACTOR]\n");
        return 2;
    }
    constexpr int Cues = 200;
    QRandomGenerator rng(34);
    const char16_t *const words[] = {u"幕启", u"灯光渐亮", u"他走向窗前", u"Velmora", u"你终于来了",
                                     u"这是我们最后一次见面", u"（音乐）", u"明天见"};
    QStringList pages;
    std::vector<CueTime> times;
    qint64 start = 500;
    for (int i = 0; i < Cues; ++i) {
        QString text;
        for (int w = 0, n = 1 + int(rng.bounded(3)); w < n; ++w)
            text += QString::fromUtf16(words[rng.bounded(8)]);
        pages << text;
        const qint64 gap = qint64((500 + rng.bounded(1501)) * scale);
        times.push_back({start, start + gap});
        start += gap;
    }
    TProjectRecord record{};
    SetStartupDefaults(record);
    record.PortraitOn = 0;
    record.LandscapeOn = 1;
    TLinkEnvironment environment;
    environment.ports = RecordingPorts(std::make_shared<WireLog>());
    SteadyPlaybackClock clock;
    std::vector<double> lateness;
    const QString failure = PlayOnPort(record, ComPortName(record.ComPort), pages, times, 0, environment, clock,
                                       [&](const CueSent &cue) { lateness.push_back(double(cue.firstByteMs - cue.dueMs)); });
    if (!failure.isEmpty() || lateness.size() != size_t(Cues)) {
        std::fprintf(stderr, "bench_timed: %s\n", qPrintable(failure));
        return 1;
    }
    Report("cue lateness", lateness);
    Report("cue lateness (first 50)", {lateness.begin(), lateness.begin() + 50});
    Report("cue lateness (last 50)", {lateness.end() - 50, lateness.end()});
    return 0;
}
