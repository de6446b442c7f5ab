// Time of a page transmission to both displays, from the trigger to the end
// of the last write, against its floor: the protocol's pauses plus the line
// time (11 bits a byte). Prints the overhead above the floor.
#include "app/ProjectFile.h"
#include "link/Frames.h"
#include "link/RecordingPort.h"
#include "link/uSendThread.h"
#include "render/uRender.h"

#include <QGuiApplication>
#include <QTextStream>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {
std::atomic<int64_t> LastWriteEndNs{0};
std::atomic<int64_t> OpenedNs{0};

// A recording port that notes when each write has returned.
class TimedPort : public RecordingPort {
public:
    using RecordingPort::RecordingPort;

protected:
    void openDevice() override
    {
        RecordingPort::openDevice();
        OpenedNs.store(SystemClock()->nowNs());
    }
    void writeDevice(const QByteArray &bytes, int timeoutMs) override
    {
        RecordingPort::writeDevice(bytes, timeoutMs);
        LastWriteEndNs.store(SystemClock()->nowNs());
    }
};

// The trigger's work on the window's thread: draw and pack the page for both
// displays of a 256 x 32 single-colour project.
TTransmission RenderedPage(const TProjectRecord &record, const QString &text)
{
    TTransmission t;
    RenderPageFrames(PageFontOf(record), PageRequestOf(record, text, record.Stunt, record.RunSpeed,
                                                       record.ShowTime),
                     t.frame1, t.frame2);
    t.caption = PageCaption(text);
    return t;
}

struct Figures {
    double floorMs;
    std::vector<double> overheadMs;
    std::vector<double> renderMs;   // the part of the overhead spent drawing
    std::vector<double> startMs;    // from the trigger to the port open, drawing included
};

Figures Measure(const TProjectRecord &record, int driverQueue, int runs)
{
    const QString text = QStringLiteral("第一场 开幕");
    const TTransmission sizes = RenderedPage(record, text);
    // Pauses before the last write: address 5, settle 50, chunk 50, gap 10,
    // then the second address 5. With a modelled line every byte takes its
    // line time, since a write with no driver queue returns when it is out.
    const double pauses = 5 + 50 + 50 + 10 + 5;
    const double lineMs =
        driverQueue < 0 ? 0 : (sizes.frame1.size() + 1 + sizes.frame2.size() + 1) * 11000.0 / 57600;
    Figures f{pauses + lineMs, {}, {}, {}};
    RecordingOptions options;
    options.driverQueue = driverQueue;
    for (int i = 0; i < runs; ++i) {
        auto log = std::make_shared<WireLog>();
        TLinkEnvironment environment;
        environment.ports = [log, options](const QString &name) {
            return std::make_unique<TimedPort>(name, log, SystemClock(), options);
        };
        const int64_t trigger = SystemClock()->nowNs();
        const TTransmission page = RenderedPage(record, text);
        f.renderMs.push_back(double(SystemClock()->nowNs() - trigger) / 1e6);
        RunTransmission(ComPortName(1), 57600, page.frame1, page.frame2, page.caption, environment);
        f.overheadMs.push_back(double(LastWriteEndNs.load() - trigger) / 1e6 - f.floorMs);
        f.startMs.push_back(double(OpenedNs.load() - trigger) / 1e6);
    }
    std::sort(f.overheadMs.begin(), f.overheadMs.end());
    std::sort(f.renderMs.begin(), f.renderMs.end());
    std::sort(f.startMs.begin(), f.startMs.end());
    return f;
}

void Report(QTextStream &out, const char *what, const Figures &f)
{
    const auto &v = f.overheadMs;
    out << what << ": floor " << QString::number(f.floorMs, 'f', 1) << " ms, overhead min "
        << QString::number(v.front(), 'f', 3) << " median " << QString::number(v[v.size() / 2], 'f', 3)
        << " max " << QString::number(v.back(), 'f', 3) << " ms; medians of its parts: drawing "
        << QString::number(f.renderMs[f.renderMs.size() / 2], 'f', 3) << " ms, trigger to open "
        << QString::number(f.startMs[f.startMs.size() / 2], 'f', 3) << " ms (" << v.size()
        << " runs)\n";
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TProjectRecord record{};
    SetStartupDefaults(record);   // 256 x 32, single colour, both displays, 57600 baud
    QTextStream out(stdout);
    out << "256 x 32 page, single colour, both displays, 57600 baud, drawn at the trigger;"
           " target: overhead < 5 ms\n";
    Report(out, "recording port, writes taken at once", Measure(record, -1, 20));
    Report(out, "recording port, line modelled (no driver queue)", Measure(record, 0, 10));
    return 0;
}
