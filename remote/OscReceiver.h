// Cue systems step the show over OSC (UDP): /velmora/next, /velmora/previous,
// /velmora/blank, /velmora/resend and /velmora/goto with the page number the
// operator sees. Senders outside the allow list and malformed packets are
// ignored and only counted.
#pragma once

#include "remote/RemoteCommand.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>

class QTimer;
class QUdpSocket;

// Datagrams larger than this are no OSC we expect and are dropped unread.
constexpr int MaxOscDatagram = 1024;

struct OscCommand {
    RemoteCommand command;
    int page = 0;   // GoTo only: 1-based
    bool operator==(const OscCommand &other) const
    {
        return command == other.command && page == other.page;
    }
};

// The commands of one datagram (a message or a bundle of them); empty when
// it is malformed or names nothing this program knows.
QList<OscCommand> ParseOscPacket(const QByteArray &packet);

// Addresses and subnets separated by commas or spaces ("192.168.1.20,
// 10.0.0.0/8, fd00::/8"). False with a Chinese error text when an entry is
// no address or subnet, so that a typing slip never opens the door to all.
using OscSubnet = QPair<QHostAddress, int>;
bool ParseOscAllowList(const QString &text, QList<OscSubnet> *subnets, QString *error);
// An empty list allows every sender; IPv4-mapped IPv6 senders count as IPv4.
bool OscSenderAllowed(const QList<OscSubnet> &subnets, const QHostAddress &sender);

class OscReceiver : public QObject {
    Q_OBJECT
public:
    explicit OscReceiver(QObject *parent = nullptr);
    ~OscReceiver() override;

    // Port 0 takes any free port (see port()). False with a Chinese error
    // text when the allow list is invalid or the port cannot be bound; the
    // receiver is then closed.
    bool listen(quint16 port, const QString &allowFrom, QString *error,
                const QHostAddress &address = QHostAddress::Any);
    void close();
    bool isListening() const;
    quint16 port() const;

    int refusedCount() const { return m_refused; }      // senders outside the list
    int malformedCount() const { return m_malformed; }  // oversized, broken or unknown
    // Commands the show carried out, as its owner tells after each command().
    int carriedOutCount() const { return m_carriedOut; }
    void noteCarriedOut() { ++m_carriedOut; }

signals:
    void command(RemoteCommand command, int page);

private:
    void ReadPending();
    void Handle(const QByteArray &data, const QHostAddress &sender);

    QUdpSocket *m_socket = nullptr;
    QTimer *m_nextTurn;
    QList<OscSubnet> m_allowed;
    int m_refused = 0;
    int m_malformed = 0;
    int m_carriedOut = 0;
};
