#include "app/Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

// QStringConverter::encodingForName does not know GBK; the named constructors
// reach ICU, which does.
QString FromGbk(const QByteArray &bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

QByteArray ToGbk(const QString &text)
{
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

bool GbkAvailable()
{
    return QStringDecoder("GBK").isValid() && QStringEncoder("GBK").isValid();
}
