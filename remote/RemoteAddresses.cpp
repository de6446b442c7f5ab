#include "remote/RemoteAddresses.h"

#include <QNetworkInterface>

#include <algorithm>

namespace {
int Rank(const QHostAddress &address)
{
    const bool ipv4 = address.protocol() == QAbstractSocket::IPv4Protocol;
    return (address.isLoopback() ? 2 : 0) + (ipv4 ? 0 : 1);
}

QString UrlHost(const QHostAddress &address)
{
    const QString text = address.toString();
    return address.protocol() == QAbstractSocket::IPv6Protocol ? QLatin1Char('[') + text + QLatin1Char(']')
                                                               : text;
}
} // namespace

QList<RemoteAddress> RemoteAddresses(const QList<QHostAddress> &addresses, int port)
{
    QList<QHostAddress> usable;
    for (const QHostAddress &address : addresses) {
        const bool ipv6LinkLocal =
            address.protocol() == QAbstractSocket::IPv6Protocol && address.isLinkLocal();
        if (address.isNull() || ipv6LinkLocal || usable.contains(address))
            continue;
        usable.append(address);
    }
    std::stable_sort(usable.begin(), usable.end(),
                     [](const QHostAddress &a, const QHostAddress &b) { return Rank(a) < Rank(b); });
    QList<RemoteAddress> result;
    for (const QHostAddress &address : usable) {
        const QString base = QStringLiteral("http://%1:%2/").arg(UrlHost(address)).arg(port);
        result.append({base, base + QStringLiteral("remote")});
    }
    return result;
}

QList<QHostAddress> LocalAddresses()
{
    QList<QHostAddress> result;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        if (!(interface.flags() & QNetworkInterface::IsUp))
            continue;
        for (const QNetworkAddressEntry &entry : interface.addressEntries())
            result.append(entry.ip());
    }
    return result;
}
