#include "app/ProjectFile.h"

#include "app/Errors.h"

#include <QFile>
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
    const QByteArray bytes = file.read(sizeof(TProjectRecord));
    if (file.error() != QFileDevice::NoError)
        throw FileFailure(FileStep::Read, path, file.errorString());
    if (bytes.size() < int(sizeof(TProjectRecord)))
        throw VelmoraError(QStringLiteral("Read beyond end of file"));
    std::memcpy(&record, bytes.constData(), sizeof(TProjectRecord));
}

QByteArray ReadWholeFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileFailure(FileStep::Open, path, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileFailure(FileStep::Read, path, file.errorString());
    return bytes;
}

void WriteFileSafely(const QString &path, const QByteArray &bytes)
{
    // Unbuffered, so a short write (disk full, file size limit) shows in the
    // count instead of vanishing in a flush that still reports success.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw FileFailure(FileStep::Write, path, file.errorString());
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const QString why = file.errorString();
            file.cancelWriting();
            throw FileFailure(FileStep::Write, path, why);
        }
        done += n;
    }
    if (!file.commit())
        throw FileFailure(FileStep::Write, path, file.errorString());
}

void WriteProjectFile(const QString &path, const TProjectRecord &record)
{
    WriteFileSafely(path, QByteArray(reinterpret_cast<const char *>(&record), sizeof(record)));
}
