#include "remote/RemoteServer.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

namespace {
constexpr int HeartbeatMs = 15000;   // dead event streams show up when a write fails
constexpr int ReadChunk = 4096;

QByteArray EmbeddedPage(const QString &resource)
{
    QFile file(resource);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray StatusLine(int status)
{
    static const QHash<int, QByteArray> reasons = {
        {200, "OK"}, {400, "Bad Request"}, {401, "Unauthorized"}, {404, "Not Found"},
        {405, "Method Not Allowed"}, {408, "Request Timeout"}, {409, "Conflict"},
        {413, "Content Too Large"}, {414, "URI Too Long"}, {423, "Locked"},
        {429, "Too Many Requests"}, {431, "Request Header Fields Too Large"},
        {501, "Not Implemented"}, {505, "HTTP Version Not Supported"}};
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasons.value(status, "Error") + "\r\n";
}

QJsonValue PageNumber(int page)
{
    return page > 0 ? QJsonValue(page) : QJsonValue(QJsonValue::Null);
}

// Compares every byte of the expected token whatever the guess, so the time
// taken tells nothing about how much of a guess was right.
bool SameSecret(const QByteArray &guess, const QByteArray &expected)
{
    unsigned diff = guess.size() != expected.size();
    for (int i = 0; i < expected.size(); ++i)
        diff |= uchar(expected[i]) ^ uchar(i < guess.size() ? guess[i] : 0);
    return diff == 0;
}

struct Route {
    const char *path;
    const char *method;
};
const Route Routes[] = {{"/", "GET"},           {"/remote", "GET"},       {"/api/state", "GET"},
                        {"/api/events", "GET"}, {"/api/next", "POST"},    {"/api/previous", "POST"},
                        {"/api/blank", "POST"}, {"/api/resend", "POST"},  {"/api/goto", "POST"}};
} // namespace

QByteArray RemoteStateJson(const RemoteState &state)
{
    const QJsonObject json{
        {QStringLiteral("onAir"), QJsonObject{{QStringLiteral("page"), PageNumber(state.onAirPage)},
                                              {QStringLiteral("text"), state.onAirText}}},
        {QStringLiteral("next"), QJsonObject{{QStringLiteral("page"), PageNumber(state.nextPage)},
                                             {QStringLiteral("text"), state.nextText}}},
        {QStringLiteral("blank"), state.blank},
        {QStringLiteral("sending"), state.sending},
        {QStringLiteral("link"), QJsonObject{{QStringLiteral("ok"), state.linkOk},
                                             {QStringLiteral("message"), state.linkMessage}}}};
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

struct RemoteServer::Client {
    QTcpSocket *socket;
    QTimer *deadline;        // the request must be whole by then
    HttpRequestReader reader;
    bool answered = false;   // the response went out; the connection is closing
    bool stream = false;     // an event stream: stays open
};

RemoteServer::RemoteServer(std::unique_ptr<RemoteShow> show, std::shared_ptr<LinkClock> clock,
                           QObject *parent)
    : QObject(parent), m_show(std::move(show)), m_clock(std::move(clock)),
      m_server(new QTcpServer(this)), m_heartbeat(new QTimer(this)),
      m_audiencePage(EmbeddedPage(QStringLiteral(":/web/audience.html"))),
      m_operatorPage(EmbeddedPage(QStringLiteral(":/web/remote.html")))
{
    connect(m_server, &QTcpServer::newConnection, this, &RemoteServer::accept);
    m_heartbeat->setInterval(HeartbeatMs);
    connect(m_heartbeat, &QTimer::timeout, this, [this] { sendToStreams(": \n\n"); });
}

RemoteServer::~RemoteServer()
{
    close();
}

bool RemoteServer::listen(quint16 port)
{
    close();
    if (m_server->listen(QHostAddress::Any, port)) {
        m_error.clear();
        m_heartbeat->start();
        return true;
    }
    switch (m_server->serverError()) {
    case QAbstractSocket::AddressInUseError:
        m_error = QStringLiteral("端口 %1 已被占用").arg(port);
        break;
    case QAbstractSocket::SocketAccessError:
        m_error = QStringLiteral("无权使用端口 %1").arg(port);
        break;
    default:
        m_error = QStringLiteral("无法使用端口 %1：%2").arg(port).arg(m_server->errorString());
    }
    return false;
}

void RemoteServer::close()
{
    m_server->close();
    m_heartbeat->stop();
    const auto sockets = m_clients.keys();
    for (QTcpSocket *socket : sockets)
        drop(socket);
}

bool RemoteServer::isListening() const
{
    return m_server->isListening();
}

quint16 RemoteServer::port() const
{
    return m_server->isListening() ? m_server->serverPort() : 0;
}

void RemoteServer::setToken(const QString &token)
{
    m_token = token.toUtf8();
}

void RemoteServer::setRequestTimeout(int ms)
{
    m_timeoutMs = ms;
}

int RemoteServer::streamCount() const
{
    int count = 0;
    for (const auto &client : m_clients)
        count += client->stream;
    return count;
}

void RemoteServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        if (m_clients.size() >= MaxConnections || connectionsFrom(addressKey(socket)) >= MaxConnectionsPerAddress) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setReadBufferSize(ReadChunk);
        auto client = std::make_shared<Client>();
        client->socket = socket;
        client->deadline = new QTimer(socket);
        client->deadline->setSingleShot(true);
        m_clients.insert(socket, client);
        connect(client->deadline, &QTimer::timeout, this, [this, socket] {
            const std::shared_ptr<Client> c = m_clients.value(socket);
            if (c && !c->answered)
                respondError(*c, 408, QStringLiteral("请求超时"));
            else
                drop(socket);   // it would not take its response
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { drop(socket); });
        client->deadline->start(m_timeoutMs);
    }
}

int RemoteServer::connectionsFrom(const QString &address) const
{
    int count = 0;
    for (QTcpSocket *socket : m_clients.keys())
        count += addressKey(socket) == address;
    return count;
}

void RemoteServer::drop(QTcpSocket *socket)
{
    const std::shared_ptr<Client> client = m_clients.take(socket);
    if (!client)
        return;
    client->deadline->stop();
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void RemoteServer::readFrom(QTcpSocket *socket)
{
    const std::shared_ptr<Client> client = m_clients.value(socket);
    if (!client)
        return;
    while (m_clients.contains(socket) && socket->bytesAvailable() > 0) {
        const QByteArray bytes = socket->read(ReadChunk);
        if (client->answered || client->stream)
            continue;   // one request a connection: the rest is not read
        switch (client->reader.feed(bytes)) {
        case HttpRequestReader::Incomplete:
            break;
        case HttpRequestReader::Failed:
            respondError(*client, client->reader.failure(), QStringLiteral("请求无效"));
            break;
        case HttpRequestReader::Complete:
            answer(*client, client->reader.request());
            break;
        }
    }
}

void RemoteServer::answer(Client &client, const HttpRequest &request)
{
    const Route *route = nullptr;
    for (const Route &r : Routes)
        if (request.path == r.path)
            route = &r;
    if (!route)
        return respondError(client, 404, QStringLiteral("没有这个地址"));
    if (request.method != route->method)
        return respondError(client, 405, QStringLiteral("不支持这种请求"),
                            QByteArray("Allow: ") + route->method + "\r\n");
    const QByteArray &path = request.path;
    const QByteArray html = "text/html; charset=utf-8";
    if (path == "/")
        respond(client, 200, html, m_audiencePage);
    else if (path == "/remote")
        respond(client, 200, html, m_operatorPage);
    else if (path == "/api/state")
        respond(client, 200, "application/json; charset=utf-8", RemoteStateJson(m_show->remoteState()));
    else if (path == "/api/events")
        startStream(client);
    else if (path == "/api/next")
        control(client, request, RemoteCommand::Next);
    else if (path == "/api/previous")
        control(client, request, RemoteCommand::Previous);
    else if (path == "/api/blank")
        control(client, request, RemoteCommand::Blank);
    else if (path == "/api/resend")
        control(client, request, RemoteCommand::Resend);
    else
        control(client, request, RemoteCommand::GoTo);
}

void RemoteServer::control(Client &client, const HttpRequest &request, RemoteCommand command)
{
    if (!authorised(client, request))
        return;
    int page = 0;
    if (command == RemoteCommand::GoTo) {
        bool ok = false;
        page = QUrlQuery(QString::fromLatin1(request.query)).queryItemValue(QStringLiteral("page")).toInt(&ok);
        if (!ok)
            return respondError(client, 400, QStringLiteral("请给出幕号：goto?page=N"));
    }
    switch (m_show->runRemote(command, page)) {
    case RemoteOutcome::Done:
        return respond(client, 200, "application/json; charset=utf-8", RemoteStateJson(m_show->remoteState()));
    case RemoteOutcome::Dropped:
        return respondError(client, 409, QStringLiteral("正在发送，本次未执行"));
    case RemoteOutcome::Refused:
        return respondError(client, 409, QStringLiteral("操作员正在修改设置"));
    case RemoteOutcome::Locked:
        return respondError(client, 423, QStringLiteral("演出已锁定，不能遥控"));
    case RemoteOutcome::NoPage:
        return respondError(client, 404, QStringLiteral("没有这一幕"));
    }
}

bool RemoteServer::authorised(Client &client, const HttpRequest &request)
{
    const QString address = addressKey(client.socket);
    const int64_t now = m_clock->nowNs() / 1000000;
    forgetOldGuesses(now);
    Guesses &guesses = m_guesses[address];
    if (now < guesses.refusedUntilMs) {
        respondError(client, 429, QStringLiteral("口令错误次数过多，请一分钟后再试"), "Retry-After: 60\r\n");
        return false;
    }
    const QByteArray header = request.header("authorization");
    const bool bearer = header.left(7).toLower() == "bearer ";
    if (bearer && !m_token.isEmpty() && SameSecret(header.mid(7).trimmed(), m_token)) {
        m_guesses.remove(address);
        return true;
    }
    if (bearer) {
        // Only the last minute's wrong tokens count.
        while (!guesses.wrongAtMs.isEmpty() && guesses.wrongAtMs.first() <= now - RefusalMs)
            guesses.wrongAtMs.removeFirst();
        guesses.wrongAtMs.append(now);
        if (guesses.wrongAtMs.size() > MaxWrongTokens) {
            guesses.wrongAtMs.clear();
            guesses.refusedUntilMs = now + RefusalMs;
        }
    } else if (guesses.wrongAtMs.isEmpty()) {
        m_guesses.remove(address);
    }
    respondError(client, 401, QStringLiteral("口令错误"), "WWW-Authenticate: Bearer\r\n");
    return false;
}

void RemoteServer::forgetOldGuesses(int64_t now)
{
    if (m_guesses.size() < 256)
        return;
    for (auto it = m_guesses.begin(); it != m_guesses.end();) {
        const bool old = it->refusedUntilMs <= now
                         && (it->wrongAtMs.isEmpty() || it->wrongAtMs.last() <= now - RefusalMs);
        it = old ? m_guesses.erase(it) : std::next(it);
    }
}

QString RemoteServer::addressKey(const QTcpSocket *socket) const
{
    // An IPv4 client on the dual-stack socket is the same client as over IPv4.
    bool ipv4 = false;
    const quint32 v4 = socket->peerAddress().toIPv4Address(&ipv4);
    return ipv4 ? QHostAddress(v4).toString() : socket->peerAddress().toString();
}

void RemoteServer::startStream(Client &client)
{
    client.stream = true;
    client.deadline->stop();
    // retry: how soon the browser's EventSource comes back after a break.
    client.socket->write(StatusLine(200)
                         + "Content-Type: text/event-stream; charset=utf-8\r\n"
                           "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n\r\n"
                           "retry: 1000\n\ndata: "
                         + RemoteStateJson(m_show->remoteState()) + "\n\n");
}

void RemoteServer::publish()
{
    const QByteArray state = RemoteStateJson(m_show->remoteState());
    if (state == m_lastState)
        return;
    m_lastState = state;
    sendToStreams("data: " + state + "\n\n");
}

void RemoteServer::sendToStreams(const QByteArray &bytes)
{
    const auto clients = m_clients.values();
    for (const auto &client : clients) {
        if (!client->stream)
            continue;
        // A reader that stopped reading is not buffered for: its browser
        // reconnects and gets the state anew.
        if (client->socket->bytesToWrite() > MaxUnsentStream)
            drop(client->socket);
        else
            client->socket->write(bytes);
    }
}

void RemoteServer::respond(Client &client, int status, const QByteArray &type,
                           const QByteArray &body, const QByteArray &extraHeaders)
{
    client.answered = true;
    // The pages hold their own scripts and styles and load nothing else.
    const QByteArray policy =
        "Content-Security-Policy: default-src 'none'; script-src 'unsafe-inline'; "
        "style-src 'unsafe-inline'; connect-src 'self'; img-src data:\r\n";
    client.socket->write(StatusLine(status) + "Content-Type: " + type + "\r\nContent-Length: "
                         + QByteArray::number(body.size())
                         + "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n"
                         + policy + extraHeaders + "Connection: close\r\n\r\n" + body);
    // A client that never takes its response is dropped all the same.
    client.deadline->start(m_timeoutMs);
    // After a refused request the client may still be sending: closing now
    // would reset the connection and could destroy the answer on its way,
    // so the rest is read and dropped until the client closes.
    if (client.reader.state() == HttpRequestReader::Complete)
        client.socket->disconnectFromHost();
}

void RemoteServer::respondError(Client &client, int status, const QString &message,
                                const QByteArray &extraHeaders)
{
    const QJsonObject json{{QStringLiteral("error"), message}};
    respond(client, status, "application/json; charset=utf-8",
            QJsonDocument(json).toJson(QJsonDocument::Compact), extraHeaders);
}
