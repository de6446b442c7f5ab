// Time of a page transmission from the trigger to the last byte on the line,
// against its floor: the protocol's pauses before that byte plus the line
// time of every byte (11 bits a byte at 57600 baud). The line is modelled
// behind a Linux-sized driver queue on the machine's clock, so every pause
// starts when the bytes before it have left, as on a real port. Prints the
// overhead above the floor for the default project and for the largest one,
// and for the default project's page through Debian's ser2net on loopback
// (RFC 2217, the far device a pseudo-terminal), whose last byte has left
// when the modelled far line is empty and the far device has it.
#include "app/ProjectFile.h"
#include "link/Frames.h"
#include "link/RecordingPort.h"
#include "link/Rfc2217Port.h"
#include "sim/SimulatedPort.h"
#include "link/uSendThread.h"
#include "render/uRender.h"
#include "tests/Pty.h"
#include "tests/Ser2Net.h"

#include <QGuiApplication>
#include <QThread>
#include <QTextStream>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {
std::atomic<int64_t> LastByteNs{0};

// A port that notes when its line last became empty before the port was
// closed: the moment the last byte of the transmission had left.
template <typename Port> class TimedPort : public Port {
public:
    using Port::Port;

protected:
    int64_t drainDevice() override
    {
        const int64_t lastByteLeft = Port::drainDevice();
        if (!m_closing)
            LastByteNs.store(lastByteLeft);
        return lastByteLeft;
    }
    void closeDevice() noexcept override
    {
        m_closing = true;
        Port::closeDevice();
    }

private:
    bool m_closing = false;
};

// Reads the far end of a pseudo-terminal on a thread of its own and notes
// when the latest byte came.
class FarEnd {
public:
    explicit FarEnd(const Pty &pty) : m_fd(pty.master()), m_reader([this] { read(); }) {}
    ~FarEnd()
    {
        m_stop = true;
        m_reader.join();
    }
    int64_t lastByteNs() const { return m_lastNs.load(); }

private:
    void read()
    {
        char buffer[4096];
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, 20) > 0 && ::read(m_fd, buffer, sizeof buffer) > 0)
                m_lastNs.store(SystemClock()->nowNs());
        }
    }

    int m_fd;
    std::atomic<bool> m_stop{false};
    std::atomic<int64_t> m_lastNs{0};
    std::thread m_reader;
};

// Where a page goes: the port name, its ports, when the far end got the last
// byte (null where the port's own line is all there is), and the operator's
// gap before the next page.
struct Link {
    QString portName;
    SerialPortFactory ports;
    std::function<int64_t()> farEndNs;
    int gapMs = 0;
};

Link RecordingLink()
{
    RecordingOptions options;
    options.driverQueue = SimulatedPort::DriverQueueBytes;
    return {ComPortName(1),
            [options](const QString &name) {
                return std::make_unique<TimedPort<RecordingPort>>(name, std::make_shared<WireLog>(),
                                                                  SystemClock(), options);
            },
            nullptr};
}

Link NetworkLink(const Ser2Net &server, const FarEnd &farEnd)
{
    NetworkAddress address;
    ParseNetworkAddress(server.url(), address);
    return {server.url(),
            [address](const QString &name) { return std::make_unique<TimedPort<Rfc2217Port>>(name, address); },
            [&farEnd] { return farEnd.lastByteNs(); },
            // ser2net lets go of the device some milliseconds after a
            // connection closed; no operator sends pages that fast.
            200};
}

// The trigger's work on the window's thread: draw and pack the page.
TTransmission RenderedPage(const TProjectRecord &record, const QString &text)
{
    TTransmission t;
    RenderPageFrames(PageFontOf(record), PageRequestOf(record, text, record.Stunt, record.RunSpeed,
                                                       record.ShowTime),
                     t.frame1, t.frame2);
    t.caption = PageCaption(text);
    return t;
}

// Pauses before the last byte has left: per frame 5 after the address, 50
// parity settle in slot 1, the command's settle wait and 50 after every chunk
// of at most 4096 bytes; 10 between the slots; the last chunk's pause comes
// after the last byte.
double FloorMs(const TTransmission &t, int baud)
{
    double pauses = 10, bytes = 0;
    for (const QByteArray *frame : {&t.frame1, &t.frame2}) {
        if (frame->isEmpty())
            continue;
        const int payload = int(frame->size()) - 2;
        pauses += 5 + (frame == &t.frame1 ? 50 : 0) + SettleWaitMs(uint8_t(frame->at(1)))
                  + 50.0 * ((payload + 4095) / 4096);
        bytes += frame->size() + 1;   // the address goes out twice
    }
    return pauses - 50 + bytes * 11000.0 / baud;
}

const QStringList Texts = {
    QStringLiteral("第一场 开幕"), QStringLiteral("王子：生存还是毁灭，这是一个问题"),
    QStringLiteral("（灯光渐暗）"), QStringLiteral("Act II — The Garden"),
    QStringLiteral("她说：“明天见。”"), QStringLiteral("幕间休息 15 分钟"),
};

std::vector<double> Overheads(const TProjectRecord &record, const Link &link, int runs, double &floorMs)
{
    std::vector<double> overhead;
    for (int i = 0; i < runs; ++i) {
        QThread::msleep(link.gapMs);
        TLinkEnvironment environment;
        environment.ports = link.ports;
        // The window prepares the next page's glyphs while the operator waits.
        const QString text = Texts.at(i % Texts.size());
        PreparePageGlyphs(PageFontOf(record), PageRequestOf(record, text, record.Stunt, record.RunSpeed,
                                                            record.ShowTime));
        const int64_t trigger = SystemClock()->nowNs();
        const TTransmission page = RenderedPage(record, text);
        const QString failure = RunTransmission(link.portName, 57600, page.frame1, page.frame2,
                                                page.caption, environment);
        if (!failure.isEmpty())
            qFatal("%s", qPrintable(failure));
        floorMs = FloorMs(page, 57600);
        const int64_t lastByte = link.farEndNs ? std::max(LastByteNs.load(), link.farEndNs()) : LastByteNs.load();
        overhead.push_back(double(lastByte - trigger) / 1e6 - floorMs);
    }
    std::sort(overhead.begin(), overhead.end());
    return overhead;
}

void Report(QTextStream &out, const QString &name, const TProjectRecord &record, const Link &link, int runs)
{
    double floorMs = 0;
    const std::vector<double> v = Overheads(record, link, runs, floorMs);
    const auto f = [](double ms) { return QString::number(ms, 'f', 3); };
    out << name << ": min=" << f(v.front()) << " median=" << f(v[v.size() / 2])
        << " p99=" << f(v[std::min(v.size() - 1, size_t(v.size() * 0.99))]) << " ms (floor "
        << QString::number(floorMs, 'f', 1) << " ms, " << v.size() << " runs)\n";
    out.flush();
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    out << "trigger to last byte on a modelled 57600-baud line, overhead above pauses + line"
           " time; target: median < 2 ms, p99 < 5 ms\n";

    TProjectRecord record{};
    SetStartupDefaults(record);   // 256 x 32, single colour, both displays, 57600 baud
    Report(out, QStringLiteral("default project 256x32 single colour, both displays"), record, RecordingLink(), 30);

    Pty pty;
    Ser2Net server(pty.slavePath());
    if (pty.ok() && server.start()) {
        const FarEnd farEnd(pty);
        Report(out, QStringLiteral("the same page through ser2net on loopback (RFC 2217)"), record,
               NetworkLink(server, farEnd), 30);
    } else {
        out << "ser2net could not be started (scripts/install-deps.sh installs it): " << server.log() << '\n';
    }

    record.ScreenWidth = 512;
    record.ScreenHeight = 80;
    record.ColorMode = 2;
    record.PortraitOn = 1;
    record.LandscapeOn = 0;
    record.LandscapeDouble = 1;
    Report(out, QStringLiteral("512x80 dual colour, portrait + double-sided"), record, RecordingLink(), 20);
    return 0;
}
