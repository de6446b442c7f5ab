// Scenario and other text files as the program reads and writes them: the
// encoding a file is in, where a project's scenario lives, and whether the
// file on disk is still the one the pages came from.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <optional>
#include <QString>

// Text files are GBK unless they are plainly something else: a byte-order
// mark (UTF-8, UTF-16 or UTF-32, little- or big-endian), or UTF-8 that holds
// non-ASCII text and is valid but for a few stray bytes. Plain ASCII stays GBK.
enum class TextEncoding { Gbk, Utf8, Utf8WithMark, Utf16Le, Utf16Be, Utf32Le, Utf32Be };

TextEncoding DetectTextEncoding(const QByteArray &bytes);
// The encoding a file was last read or written in, kept when the bytes are
// valid in it (a file's mark decides over it): a GBK file whose bytes are
// also valid UTF-8 stays GBK. Without one, as detected.
TextEncoding ChooseTextEncoding(const QByteArray &bytes, std::optional<TextEncoding> remembered);
// The byte-order mark the encoding writes (empty for GBK and UTF-8).
QByteArray EncodingMark(TextEncoding encoding);
// The encoding's name as the operator reads it ("GBK", "UTF-16 LE" ...).
QString EncodingName(TextEncoding encoding);
// Bytes that are no character in the encoding (GBK and UTF-8 only) decode
// to U+F700 + byte and encode back to that byte, so an edited line keeps
// them exactly; the page list shows them as U+FFFD.
bool IsKeptByte(QChar c);
// The bytes of a text file as text, the byte-order mark dropped.
QString DecodeTextFile(const QByteArray &bytes, TextEncoding encoding);
QString DecodeTextFile(const QByteArray &bytes);
// Text in the encoding (with its mark).
QByteArray EncodeTextFile(const QString &text, TextEncoding encoding);
// The same for a part of a file: no mark.
QString DecodeText(QByteArrayView bytes, TextEncoding encoding);
QByteArray EncodeText(QStringView text, TextEncoding encoding);
// False when the encoding cannot hold every character of text.
bool EncodingKeepsText(const QString &text, TextEncoding encoding);
// The characters of text the encoding cannot hold, each once, separated by
// blanks; empty when it holds them all. Asked of the encoder itself: what
// it writes must read back as the same character.
QString UnstorableCharacters(const QString &text, TextEncoding encoding);
// Where the first byte that is no UTF-8 is; -1 when bytes are valid UTF-8.
qsizetype FirstInvalidUtf8Byte(QByteArrayView bytes);

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
    // True when the file held bytes when it was seen.
    bool holds(const QByteArray &bytes) const { return m_exists && m_content == bytes; }

private:
    QString m_path;
    bool m_exists = false;
    qint64 m_size = 0;
    // The content itself, not a digest of it: it is the page store's copy
    // of the file (shared, not copied), so keeping it costs nothing while
    // hashing a big scenario would delay the window.
    QByteArray m_content;
};
