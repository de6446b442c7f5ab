// Test support for the web server: plain blocking HTTP clients that run on
// their own threads while the test's thread keeps serving in its event loop.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QTcpSocket>

#include <atomic>
#include <thread>
#include <type_traits>

// Runs work on a thread of its own and keeps this thread's event loop going
// until it returns.
template <typename Work> auto OffThread(Work work) -> decltype(work())
{
    std::atomic<bool> done{false};
    decltype(work()) result{};
    std::thread thread([&] {
        result = work();
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    thread.join();
    return result;
}

struct HttpReply {
    int status = 0;        // 0: the connection closed without an answer
    QByteArray head;       // status line and headers
    QByteArray body;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &line : head.split('\n'))
            if (line.toLower().startsWith(name.toLower() + ':'))
                return line.mid(name.size() + 1).trimmed();
        return QByteArray();
    }
};

inline HttpReply ParseReply(const QByteArray &raw)
{
    HttpReply reply;
    const int end = raw.indexOf("\r\n\r\n");
    if (!raw.startsWith("HTTP/1.1 ") || end < 0)
        return reply;
    reply.status = raw.mid(9, 3).toInt();
    reply.head = raw.left(end);
    reply.body = raw.mid(end + 4);
    return reply;
}

// The head and as much body as Content-Length announces have arrived.
inline bool ResponseIsWhole(const QByteArray &raw)
{
    const int end = raw.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const HttpReply reply = ParseReply(raw);
    const QByteArray length = reply.header("Content-Length");
    return !length.isEmpty() && reply.body.size() >= length.toInt();
}

// Sends raw bytes and reads the answer, or until the server closes (blocking: call it off
// the serving thread). from: the local address to connect from.
inline QByteArray Exchange(quint16 port, const QByteArray &raw, int timeoutMs = 10000,
                           const QHostAddress &from = QHostAddress())
{
    QTcpSocket socket;
    if (!from.isNull())
        socket.bind(from);
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(timeoutMs))
        return QByteArray();
    socket.write(raw);
    socket.waitForBytesWritten(timeoutMs);
    QByteArray answer;
    while (!ResponseIsWhole(answer) && socket.state() == QAbstractSocket::ConnectedState
           && socket.waitForReadyRead(timeoutMs))
        answer += socket.readAll();
    return answer + socket.readAll();
}

inline QByteArray RequestBytes(const QByteArray &method, const QByteArray &target,
                               const QByteArray &token = QByteArray())
{
    QByteArray raw = method + ' ' + target + " HTTP/1.1\r\nHost: localhost\r\n";
    if (!token.isNull())
        raw += "Authorization: Bearer " + token + "\r\n";
    return raw + "Content-Length: 0\r\n\r\n";
}

// One request from a thread of its own.
inline HttpReply Http(quint16 port, const QByteArray &method, const QByteArray &target,
                      const QByteArray &token = QByteArray(), const QHostAddress &from = QHostAddress())
{
    const QByteArray raw = RequestBytes(method, target, token);
    return ParseReply(OffThread([&] { return Exchange(port, raw, 10000, from); }));
}
