// The addresses at which phones and tablets reach the built-in web server:
// one pair per address of this computer.
#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

struct RemoteAddress {
    QString audience;   // http://ADDR:PORT/
    QString remote;     // http://ADDR:PORT/remote, the operator page
};

// IPv4 first, then IPv6, loopback last; IPv6 link-local addresses are left
// out (a browser cannot open them without the interface's name) and so are
// duplicates.
QList<RemoteAddress> RemoteAddresses(const QList<QHostAddress> &addresses, int port);
// The addresses of every network interface that is up.
QList<QHostAddress> LocalAddresses();
