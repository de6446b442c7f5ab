// Runs the built velmora-cli as an operator would and collects what it says.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

struct CliRun {
    int code;
    QString out, err;
};

inline CliRun RunCli(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(VELMORA_CLI), args);
    p.waitForFinished(30000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}
