#include "app/AppPaths.h"

#include "app/Errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
QString g_registryFile;
QString g_sysSetupFile;
QString g_programDir;

QString ConfigDir()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(dir);
    return dir;
}
} // namespace

QString AppPaths::registryFile()
{
    return g_registryFile.isEmpty() ? ConfigDir() + QStringLiteral("/Velmora.ini") : g_registryFile;
}

QString AppPaths::programDir()
{
    return g_programDir.isEmpty() ? QCoreApplication::applicationDirPath() : g_programDir;
}

QString AppPaths::sysSetupFile()
{
    if (!g_sysSetupFile.isEmpty())
        return g_sysSetupFile;
    // The installed program shares its folder with the system's programs: its
    // settings go to the user's folder even when root could write there.
    const QFileInfo folder(programDir());
    const bool installed = folder.absoluteFilePath() == QStringLiteral(VELMORA_INSTALLED_BINDIR);
    const QString beside = programDir() + QStringLiteral("/SysSetup");
    if (!installed && (QFileInfo::exists(beside) || folder.isWritable()))
        return beside;
    return ConfigDir() + QStringLiteral("/SysSetup");
}

void AppPaths::setRegistryFile(const QString &path) { g_registryFile = path; }
void AppPaths::setSysSetupFile(const QString &path) { g_sysSetupFile = path; }
void AppPaths::setProgramDir(const QString &path) { g_programDir = path; }

int ReadAutoRunInterval()
{
    QSettings settings(AppPaths::sysSetupFile(), QSettings::IniFormat);
    bool ok = false;
    const int value = settings.value(QStringLiteral("Main/nAutoRunInterVal")).toInt(&ok);
    return ok ? value : 2;
}

void WriteAutoRunInterval(int seconds)
{
    QSettings settings(AppPaths::sysSetupFile(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Main/nAutoRunInterVal"), seconds);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw VelmoraError(QStringLiteral("无法写入设置文件“%1”").arg(AppPaths::sysSetupFile()));
}
