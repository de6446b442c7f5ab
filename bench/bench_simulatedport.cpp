// The simulated display's line against 11 bits a byte on the machine's clock:
// the best of five runs of 2000 bytes at 57600 baud (400 at 9600), written in
// 100-byte pieces and drained, then whole page transmissions through the
// worker on COM0 against their floor: the line time of their bytes plus the
// worker's pauses, 170 ms for a page to both displays (5 after each address,
// 50 parity settle in slot 1, 50 after each chunk, 10 between the slots).
#include "link/Frames.h"
#include "sim/SimulatedPort.h"
#include "link/uSendThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double LineMs(int64_t bytes, int baud)
{
    return bytes * 11.0 * 1000.0 / baud;
}

void PortPace(int baud, int bytes)
{
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        SimulatedPort port(ComPortName(0));
        port.setBaudRate(baud);
        port.open();
        QElapsedTimer timer;
        timer.start();
        for (int left = bytes; left > 0; left -= 100)
            port.write(QByteArray(std::min(left, 100), '\x55'));
        port.drain();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    const double ideal = LineMs(bytes, baud);
    std::printf("port: %d bytes at %d baud: %.2f ms, line rate %.2f ms, %+.3f%%\n", bytes, baud, best,
                ideal, (best - ideal) / ideal * 100.0);
}

// A page frame of a width x 32 dual-colour picture for one address.
QByteArray PageFrame(char address, int width, char fill)
{
    QByteArray frame = QByteArray(1, address) + char(CmdPage) + QByteArray(4, '\0');
    return frame + QByteArray(width / 8 * 32 * 2, fill) + char(FrameEnd);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    PortPace(57600, 2000);
    PortPace(9600, 400);

    // Pages of varied widths (one to two chunks a frame) to both displays.
    constexpr double PausesMs = 170;
    std::vector<double> overhead;
    const int widths[] = {128, 256, 320, 384, 512};
    for (int run = 0; run < 10; ++run) {
        const int width = widths[run % 5];
        const QByteArray frame1 = PageFrame('\x02', width, char(run)),
                         frame2 = PageFrame('\x01', width, char(~run));
        const int extraChunks = (int(frame1.size()) - 3) / 4096 * 2;   // 50 ms each
        QElapsedTimer timer;
        timer.start();
        const QString failure = RunTransmission(ComPortName(0), 57600, frame1, frame2, QStringLiteral("X"));
        if (!failure.isEmpty()) {
            std::printf("failed: %s\n", qPrintable(failure));
            return 1;
        }
        const double floor = LineMs(frame1.size() + 1 + frame2.size() + 1, 57600) + PausesMs + 50.0 * extraChunks;
        overhead.push_back(timer.nsecsElapsed() / 1e6 - floor);
    }
    std::sort(overhead.begin(), overhead.end());
    std::printf("page to both displays on COM0, overhead above line time + pauses: min=%.3f median=%.3f "
                "p99=%.3f ms (%zu runs)\n",
                overhead.front(), overhead[overhead.size() / 2], overhead.back(), overhead.size());
    return 0;
}
