// The simulated display's line against 11 bits a byte on the machine's clock:
// the best of five runs of 2000 bytes at 57600 baud (400 at 9600), written in
// 100-byte pieces, then one whole page transmission through the worker on
// COM0 against the line time of its bytes (the rest is the worker's own
// pauses between address, command and chunks: 160 ms for two page frames).
#include "link/Frames.h"
#include "link/SimulatedPort.h"
#include "link/uSendThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

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
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    const double ideal = LineMs(bytes, baud);
    std::printf("port: %d bytes at %d baud: %.2f ms, line rate %.2f ms, %+.3f%%\n", bytes, baud, best,
                ideal, (best - ideal) / ideal * 100.0);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    PortPace(57600, 2000);
    PortPace(9600, 400);

    // Frames of a 256 x 32 dual-colour page's size to both displays, as the worker sends them.
    QByteArray payload(256 / 8 * 32 * 2 + 5, '\x0f');
    payload[0] = char(CmdPage);
    const QByteArray frame1 = QByteArray("\x02") + payload, frame2 = QByteArray("\x01") + payload;
    QElapsedTimer timer;
    timer.start();
    const QString failure = RunTransmission(ComPortName(0), 57600, frame1, frame2, QStringLiteral("X"));
    const double took = timer.nsecsElapsed() / 1e6;
    std::printf("page to both displays on COM0: %.1f ms, line time of its bytes %.1f ms%s\n", took,
                LineMs(frame1.size() + frame2.size(), 57600),
                failure.isEmpty() ? "" : qPrintable(QStringLiteral(" (failed: ") + failure + ')'));
    return failure.isEmpty() ? 0 : 1;
}
