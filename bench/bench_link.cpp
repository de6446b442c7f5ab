// Time of a page transmission to both displays, from the trigger to the end
// of the last write, against its floor: the protocol's pauses plus the line
// time (11 bits a byte). Prints the overhead above the floor.
#include "link/Frames.h"
#include "link/RecordingPort.h"
#include "link/uSendThread.h"

#include <QCoreApplication>
#include <QTextStream>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {
std::atomic<int64_t> LastWriteEndNs{0};

// A recording port that notes when each write has returned.
class TimedPort : public RecordingPort {
public:
    using RecordingPort::RecordingPort;

protected:
    void writeDevice(const QByteArray &bytes, int timeoutMs) override
    {
        RecordingPort::writeDevice(bytes, timeoutMs);
        LastWriteEndNs.store(SystemClock()->nowNs());
    }
};

// A 256 x 32 single-colour page frame: header, 1024 plane bytes, end.
QByteArray PageFrame(uint8_t address)
{
    QByteArray frame;
    frame.append(char(address)).append(char(CmdPage)).append(QByteArray::fromHex("03000505"));
    frame.append(QByteArray(1024, '\x5a')).append(char(FrameEnd));
    return frame;
}

struct Figures {
    double floorMs;
    std::vector<double> overheadMs;
};

Figures Measure(int driverQueue, int runs)
{
    const QByteArray portrait = PageFrame(AddrPortrait);
    const QByteArray landscape = PageFrame(AddrLandscape);
    // Pauses before the last write: address 5, settle 50, chunk 50, gap 10,
    // then the second address 5. With a modelled line every byte takes its
    // line time, since a write with no driver queue returns when it is out.
    const double pauses = 5 + 50 + 50 + 10 + 5;
    const double lineMs = driverQueue < 0 ? 0 : (portrait.size() + 1 + landscape.size() + 1) * 11000.0 / 57600;
    Figures f{pauses + lineMs, {}};
    RecordingOptions options;
    options.driverQueue = driverQueue;
    for (int i = 0; i < runs; ++i) {
        auto log = std::make_shared<WireLog>();
        TLinkEnvironment environment;
        environment.ports = [log, options](const QString &name) {
            return std::make_unique<TimedPort>(name, log, SystemClock(), options);
        };
        const int64_t trigger = SystemClock()->nowNs();
        RunTransmission(ComPortName(1), 57600, portrait, landscape, QStringLiteral("bench"), environment);
        f.overheadMs.push_back(double(LastWriteEndNs.load() - trigger) / 1e6 - f.floorMs);
    }
    std::sort(f.overheadMs.begin(), f.overheadMs.end());
    return f;
}

void Report(QTextStream &out, const char *what, const Figures &f)
{
    const auto &v = f.overheadMs;
    out << what << ": floor " << QString::number(f.floorMs, 'f', 1) << " ms, overhead min "
        << QString::number(v.front(), 'f', 3) << " median " << QString::number(v[v.size() / 2], 'f', 3)
        << " max " << QString::number(v.back(), 'f', 3) << " ms (" << v.size() << " runs)\n";
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    out << "256 x 32 page, single colour, both displays, 57600 baud; target: overhead < 5 ms\n";
    Report(out, "recording port, writes taken at once", Measure(-1, 20));
    Report(out, "recording port, line modelled (no driver queue)", Measure(0, 10));
    return 0;
}
