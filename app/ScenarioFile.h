// Scenario and other text files as the program reads and writes them: the
// encoding a file is in, where a project's scenario lives, and whether the
// file on disk is still the one the pages came from.
#pragma once

#include <QByteArray>
#include <QString>

// Text files are GBK unless they are plainly UTF-8: a byte-order mark, or
// valid UTF-8 that holds non-ASCII text. Plain ASCII stays GBK.
enum class TextEncoding { Gbk, Utf8, Utf8WithMark };

TextEncoding DetectTextEncoding(const QByteArray &bytes);
// The bytes of a text file as text; GBK keeps the bytes that are no GBK
// character (FromGbkKeepingBytes), the byte-order mark is dropped.
QString DecodeTextFile(const QByteArray &bytes, TextEncoding encoding);
QString DecodeTextFile(const QByteArray &bytes);
// Text in the encoding (with the mark for Utf8WithMark).
QByteArray EncodeTextFile(const QString &text, TextEncoding encoding);
// False when the encoding cannot hold every character of text.
bool EncodingKeepsText(const QString &text, TextEncoding encoding);

// Scenarios larger than this are refused with a message before they fill the
// memory (a show of 100,000 pages is a few megabytes).
constexpr qint64 MaxScenarioBytes = qint64(256) << 20;
// The bytes of a scenario file ("-": standard input), read to the end of a
// pipe or device too. Throws VelmoraError, also for a file over the limit.
QByteArray ReadScenarioFile(const QString &path);

// A Windows drive path ("D:\演出\剧本.txt"): on another system it names no file.
bool IsForeignDrivePath(const QString &path);
// The stored scenario path as a file name here: a relative path is taken
// from the project's folder. Empty when the stored path is blank.
QString ResolveScenarioPath(const QString &stored, const QString &projectFile);

// What a file looked like when it was read or written, to tell whether
// another program changed it since.
class FileSnapshot {
public:
    FileSnapshot() = default;
    // The file at path whose content is bytes (a missing file: exists false).
    static FileSnapshot of(const QString &path, const QByteArray &bytes, bool exists = true);
    // True when the file at path is no longer what the snapshot saw: it
    // appeared, or its size or content differ (its time alone is no change). A file that vanished is not
    // counted, since writing it loses nothing.
    bool changedOnDisk() const;
    QString path() const { return m_path; }

private:
    QString m_path;
    bool m_exists = false;
    qint64 m_size = 0;
    // The content itself, not a digest of it: it is the page store's copy
    // of the file (shared, not copied), so keeping it costs nothing while
    // hashing a big scenario would delay the window.
    QByteArray m_content;
};
