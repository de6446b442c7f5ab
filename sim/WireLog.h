// The wire log of the recording port, written and read: one line per event,
// times in milliseconds since the port was opened:
//     open <port name> <baud>
//     <ms> parity mark|space
//     <ms> write mark|space <hex bytes>
//     <ms> close
#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class ControllerSimulator;
struct TProjectRecord;

// The lines of one or more transmissions; shared between the worker thread
// that writes them and whoever reads them afterwards.
class WireLog {
public:
    void append(const QString &line);
    QStringList lines() const;
    QByteArray text() const;   // UTF-8, one line each, each ended by '\n'
    void clear();

    // With a modelled driver queue: bytes that were still queued when the
    // parity changed, and so went out with a parity they were not written with.
    void addBytesOnWrongParity(int count);
    int bytesOnWrongParity() const;

private:
    mutable QMutex m_mutex;
    QStringList m_lines;
    int m_wrongParity = 0;
};

struct WireEvent {
    enum Kind { Open, Parity, Write, Close };
    Kind kind = Write;
    double timeMs = 0;     // 0 for Open
    bool mark = false;     // Parity, Write
    QByteArray bytes;      // Write
    QString portName;      // Open
    int baud = 0;          // Open
};

// The longest line a log may hold: the recording port writes a chunk of at
// most 4096 bytes a line. Reading stops at a longer one (a log that is no
// log, such as /dev/zero) instead of taking it whole into memory.
constexpr qint64 MaxWireLogLine = qint64(1) << 20;

// Parses the text of a log. Throws VelmoraError naming the line of a fault.
QVector<WireEvent> ParseWireLog(const QByteArray &text);
// Reads and parses a log file ("-": standard input). Throws VelmoraError.
QVector<WireEvent> ReadWireLog(const QString &path);

// Feeds every written byte with its parity; a close, and the end of the log,
// end the stream (a frame still open is reported as truncated).
void FeedWireLog(const QVector<WireEvent> &events, ControllerSimulator &simulator);

// Decodes a log with a simulator whose default sizes come from the project.
// out receives one line per frame: "<ms> addr=<a> <frame or fault>". With a
// picture folder, each frame's pictures are written there as PNG files
// (NNN-aA-kind.png, a temporary message NNN-aA-temp-K.png), named at the end
// of the line. Throws VelmoraError when a picture cannot be written.
void DecodeWireLog(const QVector<WireEvent> &events, const TProjectRecord &record,
                   const QString &pngDir, const std::function<void(const QString &)> &out);
// The same for a log file ("-": standard input, or a pipe), read a line at a
// time: memory stays within a few pictures whatever the size of the log and
// the number of addresses in it.
void DecodeWireLogFile(const QString &path, const TProjectRecord &record, const QString &pngDir,
                       const std::function<void(const QString &)> &out);
