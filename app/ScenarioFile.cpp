#include "app/ScenarioFile.h"

#include "app/Gbk.h"
#include "app/ProjectFile.h"
#include "app/Struct.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
const QByteArray Utf8Mark("\xEF\xBB\xBF");

bool HasNonAscii(const QByteArray &bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) >= 0x80; });
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const uchar b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
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
            return false;
        }
        if (i + length > n || p[i + 1] < low || p[i + 1] > high)
            return false;
        for (int k = 2; k < length; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return false;
        i += length;
    }
    return true;
}
} // namespace

TextEncoding DetectTextEncoding(const QByteArray &bytes)
{
    if (bytes.startsWith(Utf8Mark))
        return TextEncoding::Utf8WithMark;
    return HasNonAscii(bytes) && IsValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Gbk;
}

QString DecodeTextFile(const QByteArray &bytes, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Gbk:
        return FromGbkKeepingBytes(bytes);
    case TextEncoding::Utf8:
        return QString::fromUtf8(bytes);
    case TextEncoding::Utf8WithMark:
        return QString::fromUtf8(bytes.startsWith(Utf8Mark) ? bytes.mid(Utf8Mark.size()) : bytes);
    }
    return QString();
}

QString DecodeTextFile(const QByteArray &bytes)
{
    return DecodeTextFile(bytes, DetectTextEncoding(bytes));
}

QByteArray EncodeTextFile(const QString &text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Gbk:
        return ToGbkKeepingBytes(text);
    case TextEncoding::Utf8:
        return text.toUtf8();
    case TextEncoding::Utf8WithMark:
        return Utf8Mark + text.toUtf8();
    }
    return QByteArray();
}

bool EncodingKeepsText(const QString &text, TextEncoding encoding)
{
    return encoding != TextEncoding::Gbk || FromGbkKeepingBytes(ToGbkKeepingBytes(text)) == text;
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
