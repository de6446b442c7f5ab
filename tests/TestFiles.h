// Small file helpers shared by the tests.
#pragma once

#include "app/Errors.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtTest>

#include <functional>

inline void WriteRaw(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

inline QByteArray ReadRaw(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The text of the VelmoraError that f throws; empty when it throws none.
inline QString ErrorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const VelmoraError &e) {
        return e.text();
    }
    return QString();
}

// A file of tests/data.
inline QByteArray ReadTestData(const char *name)
{
    return ReadRaw(qEnvironmentVariable("VELMORA_TEST_DATA") + QLatin1Char('/') + QLatin1String(name));
}
