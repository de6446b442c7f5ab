// Small file helpers shared by the tests.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtTest>

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
