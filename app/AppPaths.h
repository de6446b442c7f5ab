// Where the installation's settings file and the remembered project live.
// Tests point both at a temporary folder.
#pragma once

#include <QString>

namespace AppPaths {
// The INI file standing in for the registry key (Velmora.ini in the user's
// configuration folder).
QString registryFile();
// SysSetup beside the executable, or in the configuration folder when the
// executable's folder cannot be written or is the installation's bindir.
QString sysSetupFile();
// The program's folder (the scenario editor's "Documents" lives inside it).
QString programDir();

void setRegistryFile(const QString &path);
void setSysSetupFile(const QString &path);
void setProgramDir(const QString &path);
} // namespace AppPaths

// The auto-send interval in SysSetup, section Main, key nAutoRunInterVal.
int ReadAutoRunInterval();
void WriteAutoRunInterval(int seconds);
