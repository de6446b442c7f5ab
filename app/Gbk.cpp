#include "app/Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <vector>

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

// The character of every double-byte code and of the single byte 0x80, asked
// of the converter once per program: a file then decodes by table look-up,
// each character once. 0 marks a code the converter gives no single
// character for, so its lead byte is kept.
class GbkTable {
public:
    GbkTable() : m_pairs(size_t(126) * 191, 0)
    {
        QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
        char code[2];
        for (int lead = 0x81; lead <= 0xFE; ++lead)
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (!IsTrailByte(uchar(trail)))
                    continue;
                code[0] = char(lead);
                code[1] = char(trail);
                m_pairs[index(uchar(lead), uchar(trail))] = single(decoder.decode(QByteArrayView(code, 2)));
            }
        code[0] = char(0x80);
        m_x80 = single(decoder.decode(QByteArrayView(code, 1)));
    }
    char16_t pair(uchar lead, uchar trail) const { return m_pairs[index(lead, trail)]; }
    char16_t x80() const { return m_x80; }

private:
    static size_t index(uchar lead, uchar trail) { return size_t(lead - 0x81) * 191 + (trail - 0x40); }
    static char16_t single(const QString &decoded)
    {
        return decoded.size() == 1 && decoded.at(0) != QChar::ReplacementCharacter ? decoded.at(0).unicode()
                                                                                     : 0;
    }

    std::vector<char16_t> m_pairs;
    char16_t m_x80 = 0;
};

const GbkTable &Table()
{
    static const GbkTable table;
    return table;
}
} // namespace

QString FromGbkKeepingBytes(const QByteArray &bytes)
{
    QString text;
    FromGbkKeepingBytes(bytes, text);
    return text;
}

void FromGbkKeepingBytes(QByteArrayView bytes, QString &text)
{
    const GbkTable &table = Table();
    const qsizetype n = bytes.size();
    const uchar *in = reinterpret_cast<const uchar *>(bytes.data());
    text.resize(n);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    char16_t *const begin = out;
    for (qsizetype i = 0; i < n;) {
        const uchar b = in[i];
        if (b < 0x80) {
            *out++ = b;
            ++i;
            continue;
        }
        char16_t c = b == 0x80 ? table.x80() : 0;
        if (IsLeadByte(b) && i + 1 < n && IsTrailByte(in[i + 1]))
            c = table.pair(b, in[i + 1]);
        if (c == 0) {
            *out++ = char16_t(KeptByteBase + b);   // not part of a character
            ++i;
        } else {
            *out++ = c;
            i += b == 0x80 ? 1 : 2;
        }
    }
    text.truncate(out - begin);
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
