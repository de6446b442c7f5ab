#include "app/Struct.h"

#include "app/AppPaths.h"
#include "app/Errors.h"
#include "app/Gbk.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSettings>
#include <cstring>

const char *const UntitledName = "未命名";

QByteArray TShortString::raw() const
{
    return QByteArray(reinterpret_cast<const char *>(bytes + 1), bytes[0]);
}

void TShortString::setRaw(const QByteArray &gbk)
{
    const int n = qMin<int>(gbk.size(), 255);
    bytes[0] = uint8_t(n);
    std::memcpy(bytes + 1, gbk.constData(), size_t(n));
}

QString TShortString::text() const { return FromGbk(raw()); }

void TShortString::setText(const QString &text) { setRaw(ToGbk(text)); }

QString TrimControl(const QString &text)
{
    int begin = 0;
    int end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

bool IsBlank(const QString &text) { return TrimControl(text).isEmpty(); }

namespace {

// "\Software\Velmora" is the settings file itself; deeper keys become groups.
QString RegistryGroup(const QString &keyPath)
{
    QString group = keyPath;
    const QString appKey = QStringLiteral("\\Software\\Velmora");
    if (group.startsWith(appKey, Qt::CaseInsensitive))
        group = group.mid(appKey.size());
    group.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (group.startsWith(QLatin1Char('/')))
        group.remove(0, 1);
    return group;
}

QSettings::Status Sync(QSettings &settings)
{
    settings.sync();
    return settings.status();
}

} // namespace

QString ReadRegString(const QString &name, const QString &defaultText, const QString &keyPath)
{
    QSettings settings(AppPaths::registryFile(), QSettings::IniFormat);
    if (settings.status() == QSettings::FormatError)
        throw VelmoraError(QStringLiteral("无法读取设置文件“%1”：内容无效").arg(AppPaths::registryFile()));
    settings.beginGroup(RegistryGroup(keyPath));
    const QString value = settings.value(name).toString();
    return IsBlank(value) ? defaultText : value;
}

void WriteRegString(const QString &name, const QString &text, const QString &keyPath)
{
    QSettings settings(AppPaths::registryFile(), QSettings::IniFormat);
    settings.beginGroup(RegistryGroup(keyPath));
    settings.setValue(name, text);
    settings.endGroup();
    if (Sync(settings) != QSettings::NoError)
        throw VelmoraError(QStringLiteral("无法写入设置文件“%1”的“%2”项")
                               .arg(AppPaths::registryFile(), name));
}

QString KeepDigits(const QString &text)
{
    QString result;
    for (const QChar c : text)
        if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.'))
            result.append(c);
    return result;
}

uint8_t PackOddBits(uint16_t value)
{
    uint8_t result = 0;
    for (int k = 0; k < 8; ++k)
        if (!(value & (1u << (2 * k + 1))))
            result |= uint8_t(1u << k);
    return result;
}

uint16_t DeinterleaveBits(uint16_t value)
{
    uint16_t result = 0;
    for (int k = 0; k < 8; ++k) {
        if (!(value & (1u << (2 * k + 1))))
            result |= uint16_t(1u << (8 + k));
        if (!(value & (1u << (2 * k))))
            result |= uint16_t(1u << k);
    }
    return result;
}

namespace {
// Swallows quit requests while the queue is drained.
class QuitFilter : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override { return event->type() == QEvent::Quit; }
};
} // namespace

void ProcessPendingMessages()
{
    QuitFilter filter;
    QCoreApplication::instance()->installEventFilter(&filter);
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(&filter);
}
