// GBK (code page 936) conversion at the edges of the program.
#pragma once

#include <QByteArray>
#include <QString>

QString FromGbk(const QByteArray &bytes);
QByteArray ToGbk(const QString &text);
// False when this Qt cannot convert GBK (no ICU); checked at start.
bool GbkAvailable();
