// Controllers behind a network serial server (RFC 2217): the address form
// rfc2217://HOST:PORT, and the machine's mapping of COM numbers to such
// addresses in group [NetworkPorts] of Velmora.ini (COMn=rfc2217://host:port).
// The project keeps its one-byte port number; the machine says where it is.
#pragma once

#include <QMap>
#include <QString>

struct NetworkAddress {
    QString host;
    quint16 port = 0;

    // "host:port", with an IPv6 literal in brackets.
    QString hostPort() const;
    // "rfc2217://host:port".
    QString url() const;
};

// How the port lists show a server: "网络 host:port".
QString NetworkDeviceText(const NetworkAddress &address);

// True for a text of the form rfc2217://HOST:PORT with a port from 1 to
// 65535 (an IPv6 host in brackets); address receives its parts.
bool ParseNetworkAddress(const QString &text, NetworkAddress &address);
// True when the name is a network address rather than a device or COM name.
bool IsNetworkPortName(const QString &name);

// The mapped COM numbers (1 to 255) and their addresses; entries that are
// not of that form are left out.
QMap<int, NetworkAddress> ReadNetworkPorts();
// Maps comPort to address, or removes its mapping when address has no host.
// Throws VelmoraError when the settings file cannot be written.
void WriteNetworkPort(int comPort, const NetworkAddress &address);
