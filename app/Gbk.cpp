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

bool IsGbkEncodable(const QString &text)
{
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    encoder.encode(text);
    return !encoder.hasError();
}

namespace {
constexpr ushort KeptByteBase = 0xF700;

bool IsLeadByte(uchar b) { return b >= 0x81 && b <= 0xFE; }
bool IsTrailByte(uchar b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }
} // namespace

QString FromGbkKeepingBytes(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    const int n = bytes.size();
    int runStart = 0;   // start of the run of bytes that decode cleanly
    auto flush = [&](int end) {
        if (end > runStart)
            text += decoder.decode(QByteArrayView(bytes.constData() + runStart, end - runStart));
    };
    for (int i = 0; i < n;) {
        const uchar b = uchar(bytes.at(i));
        if (b < 0x80 || b == 0x80) {
            ++i;
            continue;
        }
        if (IsLeadByte(b) && i + 1 < n && IsTrailByte(uchar(bytes.at(i + 1)))) {
            const QString one = decoder.decode(QByteArrayView(bytes.constData() + i, 2));
            if (one.size() == 1 && one.at(0) != QChar::ReplacementCharacter) {
                i += 2;
                continue;
            }
        }
        flush(i);
        text += QChar(ushort(KeptByteBase + b));
        runStart = ++i;
    }
    flush(n);
    return text;
}

QByteArray ToGbkKeepingBytes(const QString &text)
{
    QByteArray out;
    int runStart = 0;
    for (int i = 0; i < text.size(); ++i) {
        const ushort u = text.at(i).unicode();
        if (u >= KeptByteBase + 0x80 && u <= KeptByteBase + 0xFF) {
            out += ToGbk(text.mid(runStart, i - runStart));
            out += char(u - KeptByteBase);
            runStart = i + 1;
        }
    }
    out += ToGbk(text.mid(runStart));
    return out;
}
