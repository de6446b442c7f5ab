// OSC from cue systems: what each message does, which senders are heard,
// and that broken packets and bundles never act.
#include "remote/OscReceiver.h"

#include <QSignalSpy>
#include <QUdpSocket>
#include <QtEndian>
#include <QtTest>

#include <cstring>

Q_DECLARE_METATYPE(RemoteCommand)

namespace {
QByteArray OscString(const QByteArray &text)
{
    QByteArray bytes = text;
    bytes.append('\0');
    while (bytes.size() % 4)
        bytes.append('\0');
    return bytes;
}

QByteArray Int32(qint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray Float32(float value)
{
    qint32 raw;
    std::memcpy(&raw, &value, sizeof raw);
    return Int32(raw);
}

QByteArray Message(const QByteArray &address, const QByteArray &tags = ",",
                   const QByteArray &arguments = {})
{
    return OscString(address) + OscString(tags) + arguments;
}

QByteArray Bundle(const QList<QByteArray> &elements)
{
    QByteArray bytes = OscString("#bundle") + Int32(0) + Int32(1);   // time tag "now"
    for (const QByteArray &element : elements)
        bytes += Int32(qint32(element.size())) + element;
    return bytes;
}

QList<OscCommand> Commands(std::initializer_list<OscCommand> list)
{
    return QList<OscCommand>(list);
}

// A receiver on the loopback address and a socket that sends to it.
struct Link {
    OscReceiver receiver;
    QUdpSocket sender;
    QSignalSpy spy{&receiver, &OscReceiver::command};

    bool open(const QString &allowFrom, const QHostAddress &bindTo = QHostAddress::LocalHost)
    {
        QString error;
        const bool ok = receiver.listen(0, allowFrom, &error, bindTo);
        if (!ok)
            qWarning() << error;
        return ok;
    }
    void send(const QByteArray &datagram)
    {
        QCOMPARE(sender.writeDatagram(datagram, QHostAddress::LocalHost, receiver.port()),
                 qint64(datagram.size()));
    }
};
} // namespace

class TestOscReceiver : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<RemoteCommand>(); }

    void eachAddress()
    {
        QCOMPARE(ParseOscPacket(Message("/velmora/next")), Commands({{RemoteCommand::Next, 0}}));
        QCOMPARE(ParseOscPacket(Message("/velmora/previous")),
                 Commands({{RemoteCommand::Previous, 0}}));
        QCOMPARE(ParseOscPacket(Message("/velmora/blank")), Commands({{RemoteCommand::Blank, 0}}));
        QCOMPARE(ParseOscPacket(Message("/velmora/resend")), Commands({{RemoteCommand::Resend, 0}}));
        QCOMPARE(ParseOscPacket(Message("/velmora/play")), Commands({{RemoteCommand::Play, 0}}));
        QCOMPARE(ParseOscPacket(Message("/velmora/pause")), Commands({{RemoteCommand::Pause, 0}}));
        QCOMPARE(ParseOscPacket(Message("/velmora/goto", ",i", Int32(12))),
                 Commands({{RemoteCommand::GoTo, 12}}));
        // Senders that leave out the type tags, or send a value with a button.
        QCOMPARE(ParseOscPacket(OscString("/velmora/next")), Commands({{RemoteCommand::Next, 0}}));
        QCOMPARE(ParseOscPacket(Message("/velmora/blank", ",f", Float32(1))),
                 Commands({{RemoteCommand::Blank, 0}}));
        // Other programs' addresses and near misses do nothing.
        QVERIFY(ParseOscPacket(Message("/velmora/nex")).isEmpty());
        QVERIFY(ParseOscPacket(Message("/velmora/next/x")).isEmpty());
        QVERIFY(ParseOscPacket(Message("/cue/go")).isEmpty());
        QVERIFY(ParseOscPacket(Message("velmora/next")).isEmpty());
    }

    void gotoPage()
    {
        QCOMPARE(ParseOscPacket(Message("/velmora/goto", ",f", Float32(7))),
                 Commands({{RemoteCommand::GoTo, 7}}));
        QCOMPARE(ParseOscPacket(Message("/velmora/goto", ",s", OscString(" 25 "))),
                 Commands({{RemoteCommand::GoTo, 25}}));
        QCOMPARE(ParseOscPacket(Message("/velmora/goto", ",is", Int32(3) + OscString("x"))),
                 Commands({{RemoteCommand::GoTo, 3}}));
        // Pages count from 1; a fraction, a word or nothing is no page.
        QVERIFY(ParseOscPacket(Message("/velmora/goto", ",i", Int32(0))).isEmpty());
        QVERIFY(ParseOscPacket(Message("/velmora/goto", ",i", Int32(-4))).isEmpty());
        QVERIFY(ParseOscPacket(Message("/velmora/goto", ",f", Float32(2.5f))).isEmpty());
        QVERIFY(ParseOscPacket(Message("/velmora/goto", ",f", Float32(NAN))).isEmpty());
        QVERIFY(ParseOscPacket(Message("/velmora/goto", ",f", Float32(1e20f))).isEmpty());
        QVERIFY(ParseOscPacket(Message("/velmora/goto", ",s", OscString("十"))).isEmpty());
        QVERIFY(ParseOscPacket(Message("/velmora/goto", ",T")).isEmpty());
        QVERIFY(ParseOscPacket(Message("/velmora/goto")).isEmpty());
    }

    void malformedMessages()
    {
        const QByteArray whole = Message("/velmora/goto", ",i", Int32(5));
        for (int size = 0; size < whole.size(); ++size)
            QVERIFY2(ParseOscPacket(whole.left(size)).isEmpty(), qPrintable(QString::number(size)));
        QVERIFY(ParseOscPacket(whole + Int32(0)).isEmpty());             // bytes after the arguments
        QVERIFY(ParseOscPacket(QByteArray("/velmora/next", 13)).isEmpty());   // no terminator
        QVERIFY(ParseOscPacket(Message("/velmora/next", "i", Int32(1))).isEmpty());   // tags without ','
        QVERIFY(ParseOscPacket(Message("/velmora/next", ",i")).isEmpty());     // argument missing
        QVERIFY(ParseOscPacket(Message("/velmora/next", ",b", Int32(0x7fffffff))).isEmpty());
        QVERIFY(ParseOscPacket(Message("/velmora/next", ",b", Int32(-8))).isEmpty());
        QVERIFY(ParseOscPacket(Message("/velmora/next", ",X", Int32(1))).isEmpty());
        QVERIFY(ParseOscPacket(QByteArray(8, '\0')).isEmpty());
        QVERIFY(ParseOscPacket(QByteArray()).isEmpty());
        QByteArray oversized = Message("/velmora/next", ",s", OscString(QByteArray(MaxOscDatagram, 'x')));
        QVERIFY(ParseOscPacket(oversized).isEmpty());
    }

    void bundles()
    {
        const QByteArray next = Message("/velmora/next");
        const QByteArray go = Message("/velmora/goto", ",i", Int32(4));
        QCOMPARE(ParseOscPacket(Bundle({go, Bundle({next, Message("/velmora/blank")})})),
                 Commands({{RemoteCommand::GoTo, 4}, {RemoteCommand::Next, 0}, {RemoteCommand::Blank, 0}}));
        QVERIFY(ParseOscPacket(Bundle({})).isEmpty());
        // One broken element spoils the whole bundle: none of it acts.
        QVERIFY(ParseOscPacket(Bundle({next, go.left(go.size() - 4)})).isEmpty());
        QVERIFY(ParseOscPacket(Bundle({next, Message("/velmora/goto", ",i", Int32(0))})).isEmpty());
        // Cut anywhere but after a whole element, the bundle is broken.
        const QByteArray whole = Bundle({next, go});
        const int afterNext = 16 + 4 + int(next.size());
        for (int size = 0; size < whole.size(); ++size) {
            if (size != afterNext)
                QVERIFY2(ParseOscPacket(whole.left(size)).isEmpty(), qPrintable(QString::number(size)));
        }
        QCOMPARE(ParseOscPacket(whole.left(afterNext)), Commands({{RemoteCommand::Next, 0}}));
        // Element sizes that lie: too long, negative, zero, unaligned.
        for (qint32 size : {qint32(next.size() + 4), qint32(-4), qint32(0), qint32(3), qint32(0x7ffffffc)}) {
            QByteArray lying = whole;
            qToBigEndian(size, lying.data() + 16);
            QVERIFY2(ParseOscPacket(lying).isEmpty(), qPrintable(QString::number(size)));
        }
        // Nesting is followed only a few levels deep.
        QByteArray nested = next;
        for (int depth = 0; depth < 4; ++depth)
            nested = Bundle({nested});
        QCOMPARE(ParseOscPacket(nested).size(), 1);
        QVERIFY(ParseOscPacket(Bundle({nested})).isEmpty());
    }

    void allowList()
    {
        QList<OscSubnet> subnets;
        QString error;
        QVERIFY(ParseOscAllowList(QStringLiteral(" 192.168.1.20, 10.0.0.0/8  fd00::/8，::ffff:172.16.0.1"),
                                  &subnets, &error));
        QCOMPARE(subnets.size(), 4);
        QVERIFY(OscSenderAllowed(subnets, QHostAddress(QStringLiteral("192.168.1.20"))));
        QVERIFY(!OscSenderAllowed(subnets, QHostAddress(QStringLiteral("192.168.1.21"))));
        QVERIFY(OscSenderAllowed(subnets, QHostAddress(QStringLiteral("10.200.3.4"))));
        QVERIFY(OscSenderAllowed(subnets, QHostAddress(QStringLiteral("::ffff:10.1.1.1"))));
        QVERIFY(OscSenderAllowed(subnets, QHostAddress(QStringLiteral("fd12::1"))));
        QVERIFY(!OscSenderAllowed(subnets, QHostAddress(QStringLiteral("2001:db8::1"))));
        QVERIFY(OscSenderAllowed(subnets, QHostAddress(QStringLiteral("172.16.0.1"))));
        QVERIFY(!OscSenderAllowed(subnets, QHostAddress(QStringLiteral("11.0.0.1"))));

        QVERIFY(ParseOscAllowList(QStringLiteral("  "), &subnets, &error));
        QVERIFY(subnets.isEmpty());
        QVERIFY(OscSenderAllowed(subnets, QHostAddress(QStringLiteral("203.0.113.9"))));

        for (const QString &bad : {QStringLiteral("192.168.1.300"), QStringLiteral("10.0.0.0/33"),
                                   QStringLiteral("10.0.0.0/x"), QStringLiteral("/8"),
                                   QStringLiteral("192.168"), QStringLiteral("stage-pc"),
                                   QStringLiteral("fd00::/129")}) {
            error.clear();
            QVERIFY2(!ParseOscAllowList(QStringLiteral("10.0.0.1, ") + bad, &subnets, &error), qPrintable(bad));
            QVERIFY2(error.contains(bad), qPrintable(error));
        }
    }

    void allowedAndRefusedSenders()
    {
        Link allowed;
        QVERIFY(allowed.open(QStringLiteral("127.0.0.0/8")));
        allowed.send(Message("/velmora/goto", ",i", Int32(9)));
        QTRY_COMPARE(allowed.spy.size(), 1);
        QCOMPARE(allowed.spy[0][0].value<RemoteCommand>(), RemoteCommand::GoTo);
        QCOMPARE(allowed.spy[0][1].toInt(), 9);

        Link refused;
        QVERIFY(refused.open(QStringLiteral("192.168.1.20, 10.0.0.0/8")));
        refused.send(Message("/velmora/next"));
        refused.send(Message("/velmora/blank"));
        QTRY_COMPARE(refused.receiver.refusedCount(), 2);
        QCOMPARE(refused.spy.size(), 0);
    }

    // A dual-stack socket hears IPv4 senders as ::ffff:a.b.c.d.
    void mappedSenderCountsAsIPv4()
    {
        Link link;
        if (!link.open(QStringLiteral("127.0.0.1"), QHostAddress::Any))
            QSKIP("no IPv6 on this machine");
        link.send(Message("/velmora/resend"));
        QTRY_COMPARE(link.spy.size(), 1);
        QCOMPARE(link.spy[0][0].value<RemoteCommand>(), RemoteCommand::Resend);
    }

    // Broken datagrams are counted and do nothing; the next good one still acts.
    void brokenDatagramsOnTheWire()
    {
        Link link;
        QVERIFY(link.open(QString()));
        const QList<QByteArray> broken = {
            QByteArray("GET / HTTP/1.1\r\n\r\n"),
            Message("/velmora/goto", ",i", Int32(3)).left(18),
            Bundle({Message("/velmora/next")}).left(20),
            Message("/velmora/next", ",s", OscString(QByteArray(4000, 'x'))),   // oversized
            QByteArray(1, '\0'),
        };
        for (const QByteArray &datagram : broken)
            link.send(datagram);
        link.send(Message("/velmora/previous"));
        QTRY_COMPARE(link.spy.size(), 1);
        QCOMPARE(link.spy[0][0].value<RemoteCommand>(), RemoteCommand::Previous);
        QCOMPARE(link.receiver.malformedCount(), broken.size());
    }

    // More datagrams than one turn reads: all of them act, in order.
    void burst()
    {
        Link link;
        QVERIFY(link.open(QString()));
        for (int page = 1; page <= 150; ++page)
            link.send(Message("/velmora/goto", ",i", Int32(page)));
        QTRY_COMPARE(link.spy.size(), 150);
        for (int i = 0; i < 150; ++i)
            QCOMPARE(link.spy[i][1].toInt(), i + 1);
    }

    // 10,000 datagrams of every kind, from an allowed and a refused sender:
    // each one is read and counted, and the command after them acts.
    void floodLeavesNothingBehind()
    {
        Link link;
        QVERIFY(link.open(QStringLiteral("127.0.0.1")));
        QUdpSocket stranger;
        QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.2"))));
        const QByteArray next = Message("/velmora/next");
        const QByteArray broken = Message("/velmora/goto", ",i", Int32(3)).left(18);
        int sent = 0;
        const auto handled = [&] {
            return int(link.spy.size()) + link.receiver.refusedCount() + link.receiver.malformedCount();
        };
        // In rounds the system's queue holds whole, so that none is lost before it is read.
        while (sent < 10000) {
            for (int i = 0; i < 200; ++i, ++sent) {
                if (sent % 3 == 0)
                    stranger.writeDatagram(next, QHostAddress::LocalHost, link.receiver.port());
                else
                    link.send(sent % 3 == 1 ? next : broken);
            }
            QTRY_COMPARE(handled(), sent);
        }
        QCOMPARE(link.receiver.refusedCount(), 3334);
        QCOMPARE(link.receiver.malformedCount(), 3333);
        link.send(Message("/velmora/goto", ",i", Int32(42)));
        QTRY_COMPARE(link.spy.size(), 3334);
        QCOMPARE(link.spy.last()[0].value<RemoteCommand>(), RemoteCommand::GoTo);
        QCOMPARE(link.spy.last()[1].toInt(), 42);
    }

    void listenAndClose()
    {
        OscReceiver receiver;
        QString error;
        QVERIFY(!receiver.listen(0, QStringLiteral("everyone"), &error, QHostAddress::LocalHost));
        QVERIFY(error.contains(QStringLiteral("everyone")));
        QVERIFY(!receiver.isListening());

        QVERIFY(receiver.listen(0, QString(), &error, QHostAddress::LocalHost));
        const quint16 port = receiver.port();
        QVERIFY(port != 0);
        OscReceiver second;
        QVERIFY(!second.listen(port, QString(), &error, QHostAddress::LocalHost));
        QVERIFY(error.contains(QString::number(port)));

        // Closing frees the port at once, so that new settings can take it.
        receiver.close();
        QCOMPARE(receiver.port(), quint16(0));
        QVERIFY2(second.listen(port, QString(), &error, QHostAddress::LocalHost), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestOscReceiver)
#include "tst_oscreceiver.moc"
