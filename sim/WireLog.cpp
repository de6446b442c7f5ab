#include "sim/WireLog.h"

#include "app/Errors.h"
#include "app/ProjectFile.h"
#include "sim/ControllerSimulator.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QList>
#include <QMutexLocker>

#include <cctype>

void WireLog::append(const QString &line)
{
    QMutexLocker lock(&m_mutex);
    m_lines.append(line);
}

QStringList WireLog::lines() const
{
    QMutexLocker lock(&m_mutex);
    return m_lines;
}

QByteArray WireLog::text() const
{
    QByteArray out;
    for (const QString &line : lines())
        out += line.toUtf8() + '\n';
    return out;
}

void WireLog::clear()
{
    QMutexLocker lock(&m_mutex);
    m_lines.clear();
    m_wrongParity = 0;
}

void WireLog::addBytesOnWrongParity(int count)
{
    QMutexLocker lock(&m_mutex);
    m_wrongParity += count;
}

int WireLog::bytesOnWrongParity() const
{
    QMutexLocker lock(&m_mutex);
    return m_wrongParity;
}

namespace {
[[noreturn]] void Fault(int line, const QString &what)
{
    throw VelmoraError(QStringLiteral("线路记录第%1行：%2").arg(line).arg(what));
}

bool ParseParity(const QByteArray &word, int line)
{
    if (word == "mark")
        return true;
    if (word == "space")
        return false;
    Fault(line, QStringLiteral("校验位既不是mark也不是space"));
}

QByteArray ParseHex(const QByteArray &hex, int line)
{
    if (hex.size() % 2 != 0)
        Fault(line, QStringLiteral("十六进制数字的个数为奇数"));
    for (char c : hex)
        if (!std::isxdigit(uint8_t(c)))
            Fault(line, QStringLiteral("不是十六进制字节串"));
    return QByteArray::fromHex(hex);
}

WireEvent ParseOpen(const QList<QByteArray> &words, int line)
{
    // The port name may hold spaces; the baud rate is the last word.
    bool ok = false;
    WireEvent e;
    e.kind = WireEvent::Open;
    e.baud = words.size() >= 3 ? words.last().toInt(&ok) : 0;
    if (!ok)
        Fault(line, QStringLiteral("open 需要端口名和波特率"));
    e.portName = QString::fromUtf8(words.mid(1, words.size() - 2).join(' '));
    return e;
}

WireEvent ParseTimed(const QList<QByteArray> &words, int line)
{
    bool ok = false;
    WireEvent e;
    e.timeMs = words.at(0).toDouble(&ok);
    if (!ok || words.size() < 2)
        Fault(line, QStringLiteral("不是线路记录的行"));
    const QByteArray &verb = words.at(1);
    if (verb == "close" && words.size() == 2) {
        e.kind = WireEvent::Close;
    } else if (verb == "parity" && words.size() == 3) {
        e.kind = WireEvent::Parity;
        e.mark = ParseParity(words.at(2), line);
    } else if (verb == "write" && (words.size() == 3 || words.size() == 4)) {
        e.kind = WireEvent::Write;
        e.mark = ParseParity(words.at(2), line);
        e.bytes = ParseHex(words.value(3), line);
    } else {
        Fault(line, QStringLiteral("未知事件“%1”").arg(QString::fromUtf8(verb)));
    }
    return e;
}
QString PictureName(int index, const SimFrame &frame, int segment)
{
    QString name = QStringLiteral("%1-a%2-%3").arg(index, 3, 10, QLatin1Char('0'))
                       .arg(frame.address).arg(SimCommandName(frame.command));
    if (frame.command == 0xF7)
        name += QStringLiteral("-%1").arg(segment + 1);
    return name + QStringLiteral(".png");
}

void WritePng(const QString &path, const QImage &picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG"))
        throw VelmoraError(QStringLiteral("无法把图片编码为PNG：%1").arg(path));
    WriteFileSafely(path, bytes);
}
} // namespace

namespace {
// One line of a log; false for a blank line.
bool ParseWireLine(const QByteArray &text, int line, WireEvent &event)
{
    const QList<QByteArray> words = text.simplified().split(' ');
    if (words.first().isEmpty())
        return false;
    event = words.first() == "open" ? ParseOpen(words, line) : ParseTimed(words, line);
    return true;
}

using WireEventSink = std::function<void(const WireEvent &)>;

// Hands every event of a log to sink, one line in memory at a time, up to
// the end of the device (a pipe has no end before its writer closes it).
void ReadWireLogEvents(QIODevice &device, const WireEventSink &sink)
{
    WireEvent event;
    for (int line = 1;; ++line) {
        // readLine(n) takes at most n - 1 bytes: one more than the limit shows a longer line.
        const QByteArray text = device.readLine(MaxWireLogLine + 2);
        if (text.isEmpty())
            break;   // the end, or a read error: a blank line still holds its '\n'
        if (text.size() > MaxWireLogLine)
            Fault(line, QStringLiteral("行超过%1 KB").arg(MaxWireLogLine >> 10));
        if (ParseWireLine(text, line, event))
            sink(event);
    }
}

// The same for a log file ("-": standard input); faults name the file.
void ReadWireLogFile(const QString &path, const WireEventSink &sink)
{
    QFile file;
    OpenInputFile(file, path);
    try {
        ReadWireLogEvents(file, sink);
    } catch (const VelmoraError &e) {
        throw VelmoraError(QStringLiteral("“%1”：%2").arg(InputFileName(path), e.text()));
    }
    if (file.error() != QFileDevice::NoError)
        throw FileFailure(FileStep::Read, InputFileName(path), file.errorString());
}

// Feeds the simulator event by event; a close, and the end, end the stream.
class WireFeeder {
public:
    explicit WireFeeder(ControllerSimulator &simulator) : m_simulator(simulator) {}
    void feed(const WireEvent &e)
    {
        m_last = e.timeMs;
        if (e.kind == WireEvent::Write)
            m_simulator.feed(e.bytes, e.mark, e.timeMs);
        else if (e.kind == WireEvent::Close)
            m_simulator.endOfStream(e.timeMs);
    }
    void end() { m_simulator.endOfStream(m_last); }

private:
    ControllerSimulator &m_simulator;
    double m_last = 0;
};

// Decodes the events a source hands on; the pictures of a temporary
// message are written as each segment arrives, so none is kept.
void Decode(const std::function<void(const WireEventSink &)> &source, const TProjectRecord &record,
            const QString &pngDir, const std::function<void(const QString &)> &out)
{
    if (!pngDir.isEmpty() && !QDir().mkpath(pngDir))
        throw VelmoraError(QStringLiteral("无法创建文件夹“%1”").arg(pngDir));
    ControllerSimulator simulator;
    simulator.keepPictures = false;   // each goes out with its frame; 60 addresses keep none
    simulator.configureFrom(record);
    int index = 0;   // of the frame reported last
    QStringList segmentNames;
    simulator.onTempSegment = [&](int address, int k, const SimSegment &segment) {
        if (pngDir.isEmpty())
            return;
        SimFrame frame;
        frame.address = address;
        frame.command = 0xF7;
        segmentNames << PictureName(index + 1, frame, k);
        WritePng(QDir(pngDir).filePath(segmentNames.last()), segment.picture);
    };
    simulator.onFrame = [&](const SimFrame &frame) {
        ++index;
        QString line = QStringLiteral("%1 addr=%2 %3").arg(frame.time, 0, 'f', 3)
                           .arg(frame.address).arg(frame.text);
        QStringList names = segmentNames;
        segmentNames.clear();
        if (!pngDir.isEmpty()) {
            for (int k = 0; k < frame.pictures.size(); ++k) {
                names << PictureName(index, frame, k);
                WritePng(QDir(pngDir).filePath(names.last()), frame.pictures.at(k));
            }
        }
        if (!names.isEmpty())
            line += QStringLiteral(" png=") + names.join(QLatin1Char(','));
        out(line);
    };
    WireFeeder feeder(simulator);
    source([&](const WireEvent &e) { feeder.feed(e); });
    feeder.end();
}
} // namespace

QVector<WireEvent> ParseWireLog(const QByteArray &text)
{
    QVector<WireEvent> events;
    const QList<QByteArray> lines = text.split('\n');
    WireEvent event;
    for (int i = 0; i < lines.size(); ++i)
        if (ParseWireLine(lines.at(i), i + 1, event))
            events.append(event);
    return events;
}

QVector<WireEvent> ReadWireLog(const QString &path)
{
    QVector<WireEvent> events;
    ReadWireLogFile(path, [&](const WireEvent &e) { events.append(e); });
    return events;
}

void FeedWireLog(const QVector<WireEvent> &events, ControllerSimulator &simulator)
{
    WireFeeder feeder(simulator);
    for (const WireEvent &e : events)
        feeder.feed(e);
    feeder.end();
}

void DecodeWireLog(const QVector<WireEvent> &events, const TProjectRecord &record,
                   const QString &pngDir, const std::function<void(const QString &)> &out)
{
    Decode([&](const WireEventSink &sink) { for (const WireEvent &e : events) sink(e); }, record,
           pngDir, out);
}

void DecodeWireLogFile(const QString &path, const TProjectRecord &record, const QString &pngDir,
                       const std::function<void(const QString &)> &out)
{
    Decode([&](const WireEventSink &sink) { ReadWireLogFile(path, sink); }, record, pngDir, out);
}
