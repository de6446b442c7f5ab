// GBK (code page 936) conversion at the edges of the program.
#pragma once

#include <QByteArray>
#include <QString>

QString FromGbk(const QByteArray &bytes);
QByteArray ToGbk(const QString &text);
// False when this Qt cannot convert GBK (no ICU); checked at start.
bool GbkAvailable();
// True when every character of text has a GBK code.
bool IsGbkEncodable(const QString &text);

// A lossless pair for files that must come back byte for byte: a byte that is
// not part of a valid GBK character decodes to the private-use character
// U+F700 + byte and encodes back to that byte.
QString FromGbkKeepingBytes(const QByteArray &bytes);
QByteArray ToGbkKeepingBytes(const QString &text);
