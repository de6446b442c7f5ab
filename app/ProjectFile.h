// The .prj file: the byte image of the project record.
#pragma once

#include "app/Struct.h"

#include <QString>

#include <limits>

class QFile;

// The defaults a first start gives a project that has no file.
void SetStartupDefaults(TProjectRecord &record);
// The defaults of New: the link and screen settings only; fonts carry over.
void SetNewDefaults(TProjectRecord &record);

// Reads the first 1856 bytes of the file. The record is replaced only when
// the whole record was read; throws VelmoraError otherwise ("Read beyond end
// of file" for a short file).
void ReadProjectFile(const QString &path, TProjectRecord &record);
// Writes the record through a temporary file in the same folder, so a failed
// write leaves the previous file intact. Throws VelmoraError.
void WriteProjectFile(const QString &path, const TProjectRecord &record);

// Writes bytes to path safely (temporary file, then replace). A path that
// exists and is no regular file (a FIFO, a device, a socket) is written to as
// it is and never replaced. Throws VelmoraError.
void WriteFileSafely(const QString &path, const QByteArray &bytes);
// Opens path for reading; "-" is standard input. Throws VelmoraError.
// InputFileName is how messages name it.
void OpenInputFile(QFile &file, const QString &path);
QString InputFileName(const QString &path);
// The whole file, also a pipe or a device read to its end ("-": standard
// input). Throws VelmoraError when it cannot be opened or read, or holds more
// than limit bytes.
QByteArray ReadWholeFile(const QString &path, qint64 limit = std::numeric_limits<int>::max());
