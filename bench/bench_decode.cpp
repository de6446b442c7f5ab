// velmora-cli decode on wire logs of 60 display addresses, each with its own
// screen size: the time of five runs and the peak memory of the process
// against the size of the log. The peak must stay within a few pictures,
// whatever the log's size and the number of addresses in it.
#include "link/Frames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "BenchStats.h"

namespace {
constexpr int Addresses = 60;

struct Size {
    int width, height;
};

Size SizeOf(int address)
{
    static const Size sizes[] = {{256, 32}, {512, 64}, {1024, 128}, {2048, 256}};
    return sizes[address % 4];
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values)
        bytes.append(char(v));
    return bytes;
}

// The frame after its address byte, as the line carries it: written in
// pieces of at most 4096 bytes, as the recording port logs them.
void WriteFrame(QFile &log, double &ms, int address, const QByteArray &frame)
{
    log.write(QByteArray::number(ms, 'f', 3) + " write mark " + QByteArray(1, char(address)).toHex() + '\n');
    for (qsizetype at = 0; at < frame.size(); at += 4096) {
        ms += 1;
        log.write(QByteArray::number(ms, 'f', 3) + " write space " + frame.mid(at, 4096).toHex() + '\n');
    }
    ms += 1;
}

// Screen parameters for every address, then pages to one address after
// another (dual colour, varied content) until the log has the size asked.
QString MakeLog(const QString &path, qint64 bytes)
{
    QFile log(path);
    log.open(QIODevice::WriteOnly);
    log.write("open COM1 (/dev/ttyS0) 57600\n");
    double ms = 0;
    for (int a = 1; a <= Addresses; ++a) {
        const Size s = SizeOf(a);
        WriteFrame(log, ms, a, Bytes({CmdScreenParams, s.width >> 8, s.width & 0xFF, s.height >> 8,
                                      s.height & 0xFF, 2, 0, 0, 0, FrameEnd}));
    }
    QRandomGenerator random(7);
    for (int a = 1; log.size() < bytes; a = a % Addresses + 1) {
        const Size s = SizeOf(a);
        QByteArray planes(s.width / 8 * s.height * 2, Qt::Uninitialized);
        for (char &c : planes)
            c = char(random.bounded(256));
        WriteFrame(log, ms, a, Bytes({CmdPage, 3, 0, 5, 10}) + planes + char(FrameEnd));
    }
    log.write(QByteArray::number(ms, 'f', 3) + " close\n");
    return path;
}

// Runs the tool on the log: milliseconds, and its peak resident memory in MB.
std::pair<double, double> Decode(const QString &log)
{
    std::fflush(stdout);   // or the child prints what is still buffered
    QElapsedTimer timer;
    timer.start();
    const pid_t child = fork();
    if (child == 0) {
        freopen("/dev/null", "w", stdout);
        execl(VELMORA_CLI, VELMORA_CLI, "decode", qPrintable(log), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "decode failed (%d)\n", status);
    return {timer.nsecsElapsed() / 1e6, usage.ru_maxrss / 1024.0};
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    // The largest picture, as the decoder holds it (RGB32).
    const double pictureMb = 2048.0 * 256 * 4 / (1 << 20);
    for (const int mb : {8, 24, 48}) {
        const QString log = MakeLog(dir.filePath(QStringLiteral("wire-%1.log").arg(mb)), qint64(mb) << 20);
        const double logMb = QFile(log).size() / double(1 << 20);
        std::vector<double> ms;
        double peak = 0;
        for (int run = 0; run < 5; ++run) {
            const auto [time, rss] = Decode(log);
            ms.push_back(time);
            peak = std::max(peak, rss);
        }
        const QByteArray name = QStringLiteral("decode-%1MB-%2addr").arg(mb).arg(Addresses).toUtf8();
        Report(name.constData(), ms);
        std::printf("%s peak memory: %.1f MB for a %.1f MB log (%.2fx the log; largest picture %.1f MB)\n",
                    name.constData(), peak, logMb, peak / logMb, pictureMb);
    }
    return 0;
}
