// What the fuzz harnesses share: the application the fonts and pictures
// need, a file for the parsers that read one, and a check that is kept in
// every build (a failed one is a finding, a crash in the replay test).
#pragma once

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition))                                                                         \
            std::abort();                                                                         \
    } while (false)

// Never destroyed: at the end of a run its font caches stay reachable, so
// the leak check at exit reports only what the code under test lost.
inline void StartFuzzApplication(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication *app = new QGuiApplication(*argc, *argv);
    Q_UNUSED(app);
}

inline QByteArray FuzzBytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A folder of the harness's own for the files it hands to a parser.
inline const QTemporaryDir &FuzzFolder()
{
    static const QTemporaryDir folder;
    return folder;
}

inline QString FuzzFile(const QString &name, const QByteArray &bytes)
{
    const QString path = FuzzFolder().filePath(name);
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
    return path;
}
