#include "app/ProjectFile.h"

#include "app/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>

void SetNewDefaults(TProjectRecord &r)
{
    r.ComPort = 1;
    r.BaudRate = 57600;
    r.ColorMode = 1;
    r.Reserved1 = 0;
    r.ScreenWidth = 256;
    r.ScreenHeight = 32;
    r.PortraitOn = 1;
    r.LandscapeOn = 1;
    r.LandscapeDouble = 0;
    r.Reserved2 = 512;
    r.Reserved3 = 4;
    r.BrightnessLevel = 15;
}

void SetStartupDefaults(TProjectRecord &r)
{
    SetNewDefaults(r);
    r.FontName.setText(QStringLiteral("宋体"));
    r.FontColor = 255;
    r.TempFontName.setText(QStringLiteral("宋体"));
    r.TempFontColor = 255;
    r.TempFontHeight = 48;
}

void ReadProjectFile(const QString &path, TProjectRecord &record)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileFailure(FileStep::Open, path, file.errorString());
    // A pipe hands over what its writer has written so far: read on to the record's end.
    QByteArray bytes;
    for (QByteArray piece; bytes.size() < qsizetype(sizeof(TProjectRecord)); bytes += piece) {
        piece = file.read(qsizetype(sizeof(TProjectRecord)) - bytes.size());
        if (piece.isEmpty())
            break;
    }
    if (file.error() != QFileDevice::NoError)
        throw FileFailure(FileStep::Read, path, file.errorString());
    if (bytes.size() < int(sizeof(TProjectRecord)))
        throw VelmoraError(QStringLiteral("Read beyond end of file"));
    std::memcpy(&record, bytes.constData(), sizeof(TProjectRecord));
}

QString InputFileName(const QString &path)
{
    return path == QLatin1String("-") ? QStringLiteral("标准输入") : path;
}

namespace {
void WriteAll(QFileDevice &file, const QString &path, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            throw FileFailure(FileStep::Write, path, file.errorString());
        done += n;
    }
}

// A FIFO, a device or a socket is written to as it is: replacing it would
// put a regular file where a reader or the system expects that node. False
// for a regular file, a folder and a path that does not exist yet.
bool WroteInPlace(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile() || info.isDir())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw FileFailure(FileStep::Write, path, file.errorString());
    WriteAll(file, path, bytes);
    return true;
}
} // namespace

void OpenInputFile(QFile &file, const QString &path)
{
    const bool standardInput = path == QLatin1String("-");
    if (!standardInput)
        file.setFileName(path);
    const bool opened = standardInput
        ? file.open(0, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)
        : file.open(QIODevice::ReadOnly);
    if (!opened)
        throw FileFailure(FileStep::Open, InputFileName(path), file.errorString());
}

QByteArray ReadWholeFile(const QString &path, qint64 limit)
{
    QFile file;
    OpenInputFile(file, path);
    const auto tooLarge = [&] {
        return VelmoraError(QStringLiteral("文件“%1”超过%2 MB，未读入").arg(InputFileName(path)).arg(limit >> 20));
    };
    // A regular file tells its size; a pipe or a device ends only when it
    // ends, so it is read in pieces up to the limit.
    if (!file.isSequential() && file.size() > limit)
        throw tooLarge();
    QByteArray bytes;
    try {
        if (!file.isSequential())
            bytes.reserve(file.size());
        QByteArray piece(1 << 16, Qt::Uninitialized);
        for (;;) {
            const qint64 n = file.read(piece.data(), piece.size());
            if (n < 0)
                throw FileFailure(FileStep::Read, InputFileName(path), file.errorString());
            if (n == 0)
                return bytes;
            if (bytes.size() + n > limit)
                throw tooLarge();
            bytes.append(piece.constData(), n);
        }
    } catch (const std::bad_alloc &) {
        throw VelmoraError(QStringLiteral("内存不足，无法读入文件“%1”").arg(InputFileName(path)));
    }
}

void WriteFileSafely(const QString &path, const QByteArray &bytes)
{
    if (WroteInPlace(path, bytes))
        return;
    // Unbuffered, so a short write (disk full, file size limit) shows in the
    // count instead of vanishing in a flush that still reports success.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw FileFailure(FileStep::Write, path, file.errorString());
    try {
        WriteAll(file, path, bytes);
    } catch (const VelmoraError &) {
        file.cancelWriting();
        throw;
    }
    if (!file.commit())
        throw FileFailure(FileStep::Write, path, file.errorString());
}

void WriteProjectFile(const QString &path, const TProjectRecord &record)
{
    WriteFileSafely(path, QByteArray(reinterpret_cast<const char *>(&record), sizeof(record)));
}
