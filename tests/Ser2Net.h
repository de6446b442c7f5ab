// Debian's ser2net as the network serial server of a test: an RFC 2217
// server on a free 127.0.0.1 port whose serial device is a pseudo-terminal
// the test reads. Started by the test, killed with it.
#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/types.h>

// A 127.0.0.1 port nobody listens on at the moment of the call.
inline quint16 FreeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class Ser2Net {
public:
    // device: the serial device the server opens for each connection.
    Ser2Net(const QString &device, quint16 port = FreeLoopbackPort()) : m_device(device), m_port(port) {}
    ~Ser2Net() { stop(); }

    // The server's binary: on the search path, or in /usr/sbin where Debian
    // puts it and a user's PATH may not look.
    static QString program()
    {
        const QString found = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
        return found.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin")})
                               : found;
    }

    quint16 port() const { return m_port; }
    QString url() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(m_port); }
    QString log() { return QString::fromLocal8Bit(m_process.readAll()); }

    // Starts the server and returns once it listens; false when it did not
    // within five seconds (the reason is in log()).
    bool start()
    {
        const QString config = m_dir.filePath(QStringLiteral("ser2net.yaml"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(QStringLiteral("%YAML 1.1\n---\n"
                                  "connection: &velmora\n"
                                  "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                                  "  connector: serialdev,%2,57600n81,local\n")
                       .arg(m_port)
                       .arg(m_device)
                       .toUtf8());
        file.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        // -d: in the foreground, its messages on standard output; -u: no
        // UUCP lock files for a test's device.
        m_process.start(program(), {QStringLiteral("-d"), QStringLiteral("-u"),
                                                   QStringLiteral("-c"), config});
        if (!m_process.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(5000);
        while (!listening()) {
            if (deadline.hasExpired() || m_process.state() != QProcess::Running)
                return false;
            QThread::msleep(10);
        }
        return true;
    }
    // SIGKILL, as a crash or a pulled cable: callable from any thread.
    void kill() const
    {
        if (m_process.processId() > 0)
            ::kill(pid_t(m_process.processId()), SIGKILL);
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        kill();
        m_process.waitForFinished(5000);
    }

private:
    // Looks for the listening socket itself: a test connection would make
    // the server open the device.
    bool listening() const
    {
        QFile tcp(QStringLiteral("/proc/net/tcp"));
        if (!tcp.open(QIODevice::ReadOnly))
            return false;
        const QByteArray local = QStringLiteral("0100007F:%1").arg(m_port, 4, 16, QLatin1Char('0')).toUpper().toLatin1();
        for (const QByteArray &line : tcp.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() > 3 && fields.at(1) == local && fields.at(3) == "0A")
                return true;
        }
        return false;
    }

    QTemporaryDir m_dir;
    QString m_device;
    quint16 m_port;
    QProcess m_process;
};
