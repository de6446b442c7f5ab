#include "link/NetworkPorts.h"

#include "app/AppPaths.h"
#include "app/Errors.h"

#include <QRegularExpression>
#include <QSettings>

namespace {
const QString Group = QStringLiteral("NetworkPorts");
const QString Scheme = QStringLiteral("rfc2217://");

QString KeyOf(int comPort) { return QStringLiteral("COM") + QString::number(comPort); }
} // namespace

QString NetworkAddress::hostPort() const
{
    const QString shownHost = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return shownHost + QLatin1Char(':') + QString::number(port);
}

QString NetworkAddress::url() const { return Scheme + hostPort(); }

QString NetworkDeviceText(const NetworkAddress &address)
{
    return QStringLiteral("网络 ") + address.hostPort();
}

bool ParseNetworkAddress(const QString &text, NetworkAddress &address)
{
    static const QRegularExpression form(
        QStringLiteral("^rfc2217://(?:\\[([0-9A-Fa-f:.]+)\\]|([A-Za-z0-9.\\-]+)):(\\d{1,5})$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return false;
    const int port = match.captured(3).toInt();
    if (port < 1 || port > 65535)
        return false;
    address.host = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    address.port = quint16(port);
    return true;
}

bool IsNetworkPortName(const QString &name) { return name.startsWith(Scheme, Qt::CaseInsensitive); }

QMap<int, NetworkAddress> ReadNetworkPorts()
{
    QSettings settings(AppPaths::registryFile(), QSettings::IniFormat);
    settings.beginGroup(Group);
    QMap<int, NetworkAddress> ports;
    static const QRegularExpression key(QStringLiteral("^COM(\\d{1,3})$"), QRegularExpression::CaseInsensitiveOption);
    for (const QString &name : settings.childKeys()) {
        const QRegularExpressionMatch match = key.match(name);
        const int number = match.hasMatch() ? match.captured(1).toInt() : 0;
        NetworkAddress address;
        if (number >= 1 && number <= 255 && ParseNetworkAddress(settings.value(name).toString(), address))
            ports.insert(number, address);
    }
    return ports;
}

void WriteNetworkPort(int comPort, const NetworkAddress &address)
{
    QSettings settings(AppPaths::registryFile(), QSettings::IniFormat);
    settings.beginGroup(Group);
    // One spelling of the key: a "com3" typed into the file by hand would
    // otherwise live on beside the "COM3" written here.
    for (const QString &name : settings.childKeys())
        if (name.compare(KeyOf(comPort), Qt::CaseInsensitive) == 0)
            settings.remove(name);
    if (!address.host.isEmpty())
        settings.setValue(KeyOf(comPort), address.url());
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw VelmoraError(QStringLiteral("无法写入设置文件“%1”的“%2”组").arg(AppPaths::registryFile(), Group));
}
