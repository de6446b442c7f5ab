// The addresses the remote dialog lists for phones and tablets.
#include "remote/RemoteAddresses.h"

#include <QtTest>

class TestRemoteAddresses : public QObject {
    Q_OBJECT
private slots:
    void orderAndForm()
    {
        const QList<QHostAddress> addresses = {
            QHostAddress(QStringLiteral("::1")),          QHostAddress(QStringLiteral("fe80::1%lo")),
            QHostAddress(QStringLiteral("127.0.0.1")),    QHostAddress(QStringLiteral("2001:db8::5")),
            QHostAddress(QStringLiteral("192.168.1.20")), QHostAddress(QStringLiteral("192.168.1.20")),
            QHostAddress(QStringLiteral("10.0.0.7")),
        };
        const QList<RemoteAddress> listed = RemoteAddresses(addresses, 8181);
        QStringList audience, remote;
        for (const RemoteAddress &a : listed) {
            audience << a.audience;
            remote << a.remote;
        }
        QCOMPARE(audience, QStringList({QStringLiteral("http://192.168.1.20:8181/"),
                                        QStringLiteral("http://10.0.0.7:8181/"),
                                        QStringLiteral("http://[2001:db8::5]:8181/"),
                                        QStringLiteral("http://127.0.0.1:8181/"),
                                        QStringLiteral("http://[::1]:8181/")}));
        QCOMPARE(remote.first(), QStringLiteral("http://192.168.1.20:8181/remote"));
        QCOMPARE(remote.last(), QStringLiteral("http://[::1]:8181/remote"));
    }

    void thisComputerIncludesLoopback()
    {
        QVERIFY(LocalAddresses().contains(QHostAddress(QHostAddress::LocalHost)));
    }
};

QTEST_GUILESS_MAIN(TestRemoteAddresses)
#include "tst_remoteaddresses.moc"
