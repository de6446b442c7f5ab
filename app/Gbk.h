// GBK (code page 936) conversion at the edges of the program.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

QString FromGbk(const QByteArray &bytes);
QByteArray ToGbk(const QString &text);
// False when this Qt cannot convert GBK (no ICU); checked at start.
bool GbkAvailable();
// True when every character of text has a GBK code: the converter writes
// '?' for one that has none, so what it writes must read back as text.
bool IsGbkEncodable(const QString &text);
// True when every byte is part of a GBK character.
bool IsValidGbk(QByteArrayView bytes);

// A lossless pair for files that must come back byte for byte: a byte that is
// not part of a valid GBK character decodes to the private-use character
// U+F700 + byte and encodes back to that byte. Where a stray byte makes
// the bytes after it pair up wrongly (a lone lead byte before "国文"), the
// reading with the fewest stray bytes and rare characters is taken.
QString FromGbkKeepingBytes(const QByteArray &bytes);
// The same into text, whose storage is reused: one buffer for many lines.
void FromGbkKeepingBytes(QByteArrayView bytes, QString &text);
QByteArray ToGbkKeepingBytes(const QString &text);
