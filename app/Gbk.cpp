#include "app/Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <climits>
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
    return FromGbk(ToGbk(text)) == text;
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

// The character at in[i] and the bytes it takes, or in[i] as a stray byte.
struct GbkStep {
    char16_t c;
    int length;   // 0: a stray byte
    bool stray() const { return length == 0; }
    int bytes() const { return stray() ? 1 : length; }
};
constexpr GbkStep Stray{0, 0};
GbkStep StepAt(const GbkTable &table, const uchar *in, qsizetype i, qsizetype n)
{
    const uchar b = in[i];
    if (b < 0x80)
        return {b, 1};
    const char16_t c = b == 0x80                                            ? table.x80()
                     : IsLeadByte(b) && i + 1 < n && IsTrailByte(in[i + 1]) ? table.pair(b, in[i + 1])
                                                                            : 0;
    return c ? GbkStep{c, b == 0x80 ? 1 : 2} : Stray;
}

// A character outside GB2312's rows (A1-F7, A1-FE) is rare in a scenario;
// a stray byte rarer still.
int Cost(const GbkStep &step, const uchar *at)
{
    if (step.stray())
        return 10;
    if (step.length == 1)
        return at[0] < 0x80 ? 0 : 1;
    return at[0] >= 0xA1 && at[0] <= 0xF7 && at[1] >= 0xA1 ? 0 : 1;
}

// The cheapest reading of a line with stray bytes: at each byte either the
// character that starts there, or the byte kept on its own.
void ResyncedGbk(const GbkTable &table, const uchar *in, qsizetype n, QString &text)
{
    std::vector<int> cost(size_t(n) + 1, INT_MAX);
    std::vector<uint8_t> taken(size_t(n) + 1, 0);   // bytes of the step that reached i
    cost[0] = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (cost[size_t(i)] == INT_MAX)
            continue;
        const GbkStep step = StepAt(table, in, i, n);
        for (const GbkStep &o : {step, Stray}) {
            const size_t to = size_t(i + o.bytes());
            const int c = cost[size_t(i)] + Cost(o, in + i);
            if (c < cost[to]) {
                cost[to] = c;
                taken[to] = uint8_t(o.stray() ? 0x81 : o.length);
            }
        }
    }
    std::vector<char16_t> reversed;
    for (size_t end = size_t(n); end > 0;) {
        const uint8_t t = taken[end];
        const size_t at = end - (t & 0x7F);
        reversed.push_back((t & 0x80) ? char16_t(KeptByteBase + in[at])
                                      : StepAt(table, in, qsizetype(at), n).c);
        end = at;
    }
    text.resize(qsizetype(reversed.size()));
    std::copy(reversed.rbegin(), reversed.rend(), reinterpret_cast<char16_t *>(text.data()));
}
} // namespace

bool IsValidGbk(QByteArrayView bytes)
{
    const GbkTable &table = Table();
    const auto *in = reinterpret_cast<const uchar *>(bytes.data());
    for (qsizetype i = 0, n = bytes.size(); i < n;) {
        const GbkStep step = StepAt(table, in, i, n);
        if (step.stray())
            return false;
        i += step.length;
    }
    return true;
}

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
    bool stray = false;
    for (qsizetype i = 0; i < n;) {
        const uchar b = in[i];
        if (b < 0x80) {
            *out++ = b;
            ++i;
            continue;
        }
        const GbkStep step = StepAt(table, in, i, n);
        stray = stray || step.stray();
        *out++ = step.stray() ? char16_t(KeptByteBase + b) : step.c;   // not part of a character
        i += step.bytes();
    }
    text.truncate(out - begin);
    if (stray)
        ResyncedGbk(table, in, n, text);
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
