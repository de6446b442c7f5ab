#include "remote/RemoteSettings.h"

#include "app/AppPaths.h"
#include "app/Errors.h"

#include <QRandomGenerator>
#include <QSettings>

namespace {
const QString Group = QStringLiteral("Remote");

int PortValue(const QSettings &settings, const QString &key, int fallback)
{
    bool ok = false;
    const int port = settings.value(key).toInt(&ok);
    return ok && port >= 1 && port <= 65535 ? port : fallback;
}

bool BoolValue(const QSettings &settings, const QString &key)
{
    const QString text = settings.value(key).toString().trimmed().toLower();
    return text == QLatin1String("true") || text == QLatin1String("1");
}
} // namespace

bool TRemoteSettings::operator==(const TRemoteSettings &other) const
{
    return Enabled == other.Enabled && Port == other.Port && Token == other.Token
        && OscEnabled == other.OscEnabled && OscPort == other.OscPort
        && OscAllowFrom == other.OscAllowFrom;
}

TRemoteSettings ReadRemoteSettings()
{
    QSettings settings(AppPaths::registryFile(), QSettings::IniFormat);
    settings.beginGroup(Group);
    TRemoteSettings result;
    result.Enabled = BoolValue(settings, QStringLiteral("Enabled"));
    result.Port = PortValue(settings, QStringLiteral("Port"), result.Port);
    result.Token = settings.value(QStringLiteral("Token")).toString().trimmed();
    result.OscEnabled = BoolValue(settings, QStringLiteral("OscEnabled"));
    result.OscPort = PortValue(settings, QStringLiteral("OscPort"), result.OscPort);
    result.OscAllowFrom = settings.value(QStringLiteral("OscAllowFrom")).toString().trimmed();
    return result;
}

void WriteRemoteSettings(const TRemoteSettings &remote)
{
    QSettings settings(AppPaths::registryFile(), QSettings::IniFormat);
    settings.beginGroup(Group);
    settings.setValue(QStringLiteral("Enabled"), remote.Enabled);
    settings.setValue(QStringLiteral("Port"), remote.Port);
    settings.setValue(QStringLiteral("Token"), remote.Token);
    settings.setValue(QStringLiteral("OscEnabled"), remote.OscEnabled);
    settings.setValue(QStringLiteral("OscPort"), remote.OscPort);
    settings.setValue(QStringLiteral("OscAllowFrom"), remote.OscAllowFrom);
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw VelmoraError(QStringLiteral("无法写入设置文件“%1”的“Remote”组").arg(AppPaths::registryFile()));
}

QString NewRemoteToken()
{
    static const char alphabet[] = "abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    const int size = int(sizeof(alphabet)) - 1;
    QString token;
    for (int i = 0; i < 24; ++i)
        token.append(QLatin1Char(alphabet[QRandomGenerator::system()->bounded(size)]));
    return token;
}

bool EnsureRemoteToken(TRemoteSettings &settings)
{
    if (settings.Token.size() >= MinRemoteTokenLength)
        return false;
    settings.Token = NewRemoteToken();
    return true;
}
