#include "app/ScenarioFile.h"

#include "app/Gbk.h"
#include "app/ProjectFile.h"
#include "app/Struct.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace {
const QByteArray Utf8Mark("\xEF\xBB\xBF");
constexpr ushort KeptByteBase = 0xF700;

// The length of the well-formed UTF-8 sequence at p (no overlong forms, no
// surrogates, nothing above U+10FFFF); 0 when p starts none.
int Utf8SequenceLength(const uchar *p, qsizetype left)
{
    const uchar b = p[0];
    if (b < 0x80)
        return 1;
    int length;
    uchar low = 0x80, high = 0xBF;   // range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0)
            low = 0xA0;
        else if (b == 0xED)
            high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (length > left || p[1] < low || p[1] > high)
        return 0;
    for (int k = 2; k < length; ++k)
        if (p[k] < 0x80 || p[k] > 0xBF)
            return 0;
    return length;
}

struct Utf8Count {
    qsizetype sequences = 0;   // valid sequences of two bytes or more
    qsizetype invalid = 0;     // bytes that are part of none
};

// Stops early once the stray bytes are more than a few: GBK text is told
// within its first characters.
Utf8Count CountUtf8(QByteArrayView bytes)
{
    Utf8Count count;
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    for (qsizetype i = 0, n = bytes.size(); i < n;) {
        const int length = Utf8SequenceLength(p + i, n - i);
        if (length == 0) {
            ++count.invalid;
            ++i;
            if (count.invalid > 16 && count.invalid * 4 > count.sequences)
                break;
        } else {
            count.sequences += length > 1;
            i += length;
        }
    }
    return count;
}

uint32_t CodePoint(const uchar *p, int length)
{
    static const uchar leadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    uint32_t cp = p[0] & leadMask[length];
    for (int k = 1; k < length; ++k)
        cp = (cp << 6) | (p[k] & 0x3F);
    return cp;
}

void KeepBytes(QString &text, const uchar *p, int count)
{
    for (int k = 0; k < count; ++k)
        text += QChar(ushort(KeptByteBase + p[k]));
}

// UTF-8 with its stray bytes kept. A real U+F780..U+F7FF would read as kept
// bytes when written back, so its own bytes are kept instead: same bytes.
QString FromUtf8KeepingBytes(QByteArrayView bytes)
{
    QString text = QString::fromUtf8(bytes);
    const bool plain = std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c == QChar::ReplacementCharacter || IsKeptByte(c);
    });
    if (plain)
        return text;
    text.clear();
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    for (qsizetype i = 0, n = bytes.size(); i < n;) {
        const int length = Utf8SequenceLength(p + i, n - i);
        const uint32_t cp = length ? CodePoint(p + i, length) : 0;
        if (length == 0 || (cp >= KeptByteBase + 0x80 && cp <= KeptByteBase + 0xFF)) {
            KeepBytes(text, p + i, qMax(length, 1));
            i += qMax(length, 1);
            continue;
        }
        const char32_t c = cp;
        text += QString::fromUcs4(&c, 1);
        i += length;
    }
    return text;
}

QByteArray ToUtf8KeepingBytes(QStringView text)
{
    QByteArray out;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (IsKeptByte(text.at(i))) {
            out += text.mid(runStart, i - runStart).toUtf8();
            out += char(text.at(i).unicode() - KeptByteBase);
            runStart = i + 1;
        }
    }
    out += text.mid(runStart).toUtf8();
    return out;
}

// UTF-16 unit by unit, so that even an unpaired surrogate comes back as it was.
QString FromUtf16(QByteArrayView bytes, bool bigEndian)
{
    QString text(bytes.size() / 2, Qt::Uninitialized);
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const uchar a = p[2 * i], b = p[2 * i + 1];
        text[i] = QChar(bigEndian ? ushort(a << 8 | b) : ushort(b << 8 | a));
    }
    return text;
}

QByteArray ToUtf16(QStringView text, bool bigEndian)
{
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const ushort u = text.at(i).unicode();
        out[2 * i] = char(bigEndian ? u >> 8 : u & 0xFF);
        out[2 * i + 1] = char(bigEndian ? u & 0xFF : u >> 8);
    }
    return out;
}

QString FromUtf32(QByteArrayView bytes, bool bigEndian)
{
    QString text;
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    for (qsizetype i = 0; i + 4 <= bytes.size(); i += 4) {
        const uint32_t cp = bigEndian ? uint32_t(p[i]) << 24 | p[i + 1] << 16 | p[i + 2] << 8 | p[i + 3]
                                      : uint32_t(p[i + 3]) << 24 | p[i + 2] << 16 | p[i + 1] << 8 | p[i];
        const bool valid = cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        const char32_t c = valid ? cp : 0xFFFD;
        text += QString::fromUcs4(&c, 1);
    }
    return text;
}

QByteArray ToUtf32(QStringView text, bool bigEndian)
{
    QByteArray out;
    for (const char32_t cp : text.toUcs4()) {
        for (int k = 0; k < 4; ++k) {
            const int shift = bigEndian ? 24 - 8 * k : 8 * k;
            out += char((cp >> shift) & 0xFF);
        }
    }
    return out;
}

// The marks, the longer UTF-32 LE one before the UTF-16 LE one it begins with.
struct MarkOf {
    TextEncoding encoding;
    QByteArray mark;
};
const MarkOf Marks[] = {
    {TextEncoding::Utf8WithMark, Utf8Mark},
    {TextEncoding::Utf32Le, QByteArray("\xFF\xFE\x00\x00", 4)},
    {TextEncoding::Utf32Be, QByteArray("\x00\x00\xFE\xFF", 4)},
    {TextEncoding::Utf16Le, QByteArray("\xFF\xFE")},
    {TextEncoding::Utf16Be, QByteArray("\xFE\xFF")},
};

std::optional<TextEncoding> MarkedEncoding(const QByteArray &bytes)
{
    for (const MarkOf &m : Marks)
        if (bytes.startsWith(m.mark))
            return m.encoding;
    return std::nullopt;
}
} // namespace

bool IsKeptByte(QChar c)
{
    return c.unicode() >= KeptByteBase + 0x80 && c.unicode() <= KeptByteBase + 0xFF;
}

qsizetype FirstInvalidUtf8Byte(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    for (qsizetype i = 0, n = bytes.size(); i < n;) {
        const int length = Utf8SequenceLength(p + i, n - i);
        if (length == 0)
            return i;
        i += length;
    }
    return -1;
}

// A few stray bytes (a Latin-1 word, a cut last character) among many UTF-8
// characters make a damaged UTF-8 file; GBK text read as UTF-8 has far more
// stray bytes than sequences.
TextEncoding DetectTextEncoding(const QByteArray &bytes)
{
    if (const auto marked = MarkedEncoding(bytes))
        return *marked;
    const Utf8Count count = CountUtf8(bytes);
    return count.sequences > 0 && count.invalid * 4 <= count.sequences ? TextEncoding::Utf8
                                                                       : TextEncoding::Gbk;
}

TextEncoding ChooseTextEncoding(const QByteArray &bytes, std::optional<TextEncoding> remembered)
{
    if (const auto marked = MarkedEncoding(bytes))
        return *marked;
    if (remembered == TextEncoding::Gbk && IsValidGbk(bytes))
        return TextEncoding::Gbk;
    if (remembered == TextEncoding::Utf8 && FirstInvalidUtf8Byte(bytes) < 0)
        return TextEncoding::Utf8;
    return DetectTextEncoding(bytes);
}

QByteArray EncodingMark(TextEncoding encoding)
{
    for (const MarkOf &m : Marks)
        if (m.encoding == encoding)
            return m.mark;
    return QByteArray();
}

QString EncodingName(TextEncoding encoding)
{
    static const char *const names[] = {"GBK",       "UTF-8",     "UTF-8",    "UTF-16 LE",
                                        "UTF-16 BE", "UTF-32 LE", "UTF-32 BE"};
    return QString::fromLatin1(names[int(encoding)]);
}

QString DecodeText(QByteArrayView bytes, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Gbk: {
        QString text;
        FromGbkKeepingBytes(bytes, text);
        return text;
    }
    case TextEncoding::Utf8:
    case TextEncoding::Utf8WithMark:
        return FromUtf8KeepingBytes(bytes);
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
        return FromUtf16(bytes, encoding == TextEncoding::Utf16Be);
    case TextEncoding::Utf32Le:
    case TextEncoding::Utf32Be:
        return FromUtf32(bytes, encoding == TextEncoding::Utf32Be);
    }
    return QString();
}

QByteArray EncodeText(QStringView text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Gbk:
        return ToGbkKeepingBytes(text.toString());
    case TextEncoding::Utf8:
    case TextEncoding::Utf8WithMark:
        return ToUtf8KeepingBytes(text);
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
        return ToUtf16(text, encoding == TextEncoding::Utf16Be);
    case TextEncoding::Utf32Le:
    case TextEncoding::Utf32Be:
        return ToUtf32(text, encoding == TextEncoding::Utf32Be);
    }
    return QByteArray();
}

QString DecodeTextFile(const QByteArray &bytes, TextEncoding encoding)
{
    const QByteArray mark = EncodingMark(encoding);
    return DecodeText(bytes.startsWith(mark) ? QByteArrayView(bytes).sliced(mark.size()) : QByteArrayView(bytes),
                      encoding);
}

QString DecodeTextFile(const QByteArray &bytes)
{
    return DecodeTextFile(bytes, DetectTextEncoding(bytes));
}

QByteArray EncodeTextFile(const QString &text, TextEncoding encoding)
{
    return EncodingMark(encoding) + EncodeText(text, encoding);
}

bool EncodingKeepsText(const QString &text, TextEncoding encoding)
{
    return DecodeText(EncodeText(text, encoding), encoding) == text;
}

QString UnstorableCharacters(const QString &text, TextEncoding encoding)
{
    if (EncodingKeepsText(text, encoding))
        return QString();
    QStringList found;
    for (const char32_t cp : text.toUcs4()) {
        const QString c = QString::fromUcs4(&cp, 1);
        if (!IsKeptByte(c.front()) && !found.contains(c) && !EncodingKeepsText(c, encoding))
            found << c;
    }
    return found.join(QLatin1Char(' '));
}

QByteArray ReadScenarioFile(const QString &path)
{
    return ReadWholeFile(path, MaxScenarioBytes);
}

bool IsForeignDrivePath(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return false;
#else
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:[\\\\/]"));
    return drive.match(TrimControl(path)).hasMatch();
#endif
}

QString ResolveScenarioPath(const QString &stored, const QString &projectFile)
{
    if (IsBlank(stored))
        return QString();
    if (IsForeignDrivePath(stored) || !QDir::isRelativePath(stored))
        return stored;
    return QFileInfo(projectFile).absoluteDir().filePath(stored);
}

FileSnapshot FileSnapshot::of(const QString &path, const QByteArray &bytes, bool exists)
{
    FileSnapshot s;
    s.m_path = path;
    s.m_exists = exists;
    if (exists) {
        s.m_size = bytes.size();
        s.m_content = bytes;
    }
    return s;
}

bool FileSnapshot::changedOnDisk() const
{
    if (m_path.isEmpty())
        return false;
    const QFileInfo info(m_path);
    if (!info.exists())
        return false;
    if (!m_exists || info.size() != m_size)
        return true;
    // The modification time is no help: file systems keep it coarsely, and a
    // file touched without a change is no change. The content decides.
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    return file.readAll() != m_content;
}
