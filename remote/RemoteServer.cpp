#include "remote/RemoteServer.h"

#include "remote/OpenFiles.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {
// Dead event streams show up when a write fails; stalled ones are looked
// for as often.
constexpr int HeartbeatMs = 10000;
constexpr int ReadChunk = 4096;
constexpr int ResumeAcceptingMs = 500;
constexpr int ListenBacklog = 1024;
constexpr int FullRetrySeconds = 10;   // a phone refused for capacity tries again this soon
// Files the program needs besides the connections: project, fonts, ports, logs.
constexpr int FilesOfTheProgram = 200;

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
        {501, "Not Implemented"}, {503, "Service Unavailable"}, {505, "HTTP Version Not Supported"}};
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

// A phone that left the network acknowledges nothing, and the few bytes of
// the heartbeats take long to fill the system's buffers: the system is told
// to give up on it as soon as the server would.
void GiveUpOnSilentPeer(QTcpSocket *socket, int ms)
{
#ifdef Q_OS_LINUX
    const unsigned timeout = unsigned(ms);
    setsockopt(int(socket->socketDescriptor()), IPPROTO_TCP, TCP_USER_TIMEOUT, &timeout, sizeof timeout);
#else
    Q_UNUSED(socket);
    Q_UNUSED(ms);
#endif
}

struct Route {
    const char *path;
    const char *method;
};
const Route Routes[] = {{"/", "GET"},           {"/remote", "GET"},       {"/api/state", "GET"},
                        {"/api/events", "GET"}, {"/api/next", "POST"},    {"/api/previous", "POST"},
                        {"/api/blank", "POST"}, {"/api/resend", "POST"},  {"/api/goto", "POST"},
                        {"/api/send", "POST"}};
constexpr int SendPage = -1;   // the command of /api/send
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
                                             {QStringLiteral("message"), state.linkMessage}}},
        {QStringLiteral("locked"), state.locked}};
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

QByteArray AudienceStateJson(const RemoteState &state, const QString &tag)
{
    QJsonObject onAir{{QStringLiteral("text"), state.onAirText}};
    QJsonObject json{{QStringLiteral("blank"), state.blank}};
    // A show without translations keeps the state it always had.
    if (!state.languages.empty()) {
        QJsonObject translations;
        QJsonArray languages;
        for (const AudienceLanguage &language : state.languages) {
            languages.append(QJsonObject{{QStringLiteral("tag"), language.tag},
                                         {QStringLiteral("name"), language.name}});
            if (tag.isEmpty() || tag == language.tag)
                translations.insert(language.tag, language.text);
        }
        onAir.insert(QStringLiteral("translations"), translations);
        json.insert(QStringLiteral("languages"), languages);
    }
    json.insert(QStringLiteral("onAir"), onAir);
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

struct RemoteServer::Client {
    QTcpSocket *socket;
    QString address;
    QTimer *deadline;        // the request must be whole by then
    HttpRequestReader reader;
    Kind kind = KindCount;   // no place yet
    bool answered = false;   // the response went out; the connection is closing
    bool stream = false;     // an event stream: stays open
    QString language;        // ?lang=: the audience's one translation; empty for all
    int64_t progressMs = 0;  // when the stream's client last took bytes
};

RemoteServer::RemoteServer(std::unique_ptr<RemoteShow> show, std::shared_ptr<LinkClock> clock,
                           QObject *parent)
    : QObject(parent), m_show(std::move(show)), m_clock(std::move(clock)),
      m_server(new QTcpServer(this)), m_heartbeat(new QTimer(this)), m_retry(new QTimer(this)),
      m_resumeAccepting(new QTimer(this)),
      m_audiencePage(EmbeddedPage(QStringLiteral(":/web/audience.html"))),
      m_operatorPage(EmbeddedPage(QStringLiteral(":/web/remote.html"))),
      m_fullPage(EmbeddedPage(QStringLiteral(":/web/full.html")))
{
    connect(m_server, &QTcpServer::newConnection, this, &RemoteServer::accept);
    // A house of phones that scan the code at the interval connects at once.
    m_server->setListenBacklogSize(ListenBacklog);
    // Out of file descriptors, QTcpServer stops accepting for good: it is
    // told to go on once some are free again.
    m_resumeAccepting->setSingleShot(true);
    m_resumeAccepting->setInterval(ResumeAcceptingMs);
    connect(m_server, &QTcpServer::acceptError, m_resumeAccepting, qOverload<>(&QTimer::start));
    connect(m_resumeAccepting, &QTimer::timeout, m_server, &QTcpServer::resumeAccepting);
    m_heartbeat->setInterval(HeartbeatMs);
    connect(m_heartbeat, &QTimer::timeout, this, [this] {
        dropStalledStreams();
        sendToStreams(": \n\n", ": \n\n");
    });
    m_retry->setSingleShot(true);
    m_retry->setInterval(RetryMs);
    connect(m_retry, &QTimer::timeout, this, &RemoteServer::retry);
    // The audience is refused with a page of its own before the process
    // runs out of files.
    const int64_t files = int64_t(OpenFileLimit()) - FilesOfTheProgram - MaxPending - MaxOperator;
    setAudienceCapacity(int(std::min<int64_t>(files, MaxAudience)));
}

RemoteServer::~RemoteServer()
{
    close();
}

bool RemoteServer::listen(quint16 port)
{
    shut();
    return bind(port);
}

bool RemoteServer::bind(quint16 port)
{
    m_wantedPort = port;
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

void RemoteServer::start(quint16 port)
{
    shut();
    if (!bind(port))
        m_retry->start();
    emit statusChanged();
}

// Tells only what changed: a port still taken for the same reason is news to nobody.
void RemoteServer::retry()
{
    const QString before = m_error;
    const bool bound = bind(m_wantedPort);
    if (!bound)
        m_retry->start();
    if (bound || m_error != before)
        emit statusChanged();
}

void RemoteServer::close()
{
    const bool changed = isListening() || isRetrying();
    shut();
    if (changed)
        emit statusChanged();
}

void RemoteServer::shut()
{
    m_retry->stop();
    m_resumeAccepting->stop();
    m_server->close();
    m_heartbeat->stop();
    const auto sockets = m_clients.keys();
    for (QTcpSocket *socket : sockets)
        drop(socket);
    m_lastAudience.clear();
    m_lastOperator.clear();
}

bool RemoteServer::isRetrying() const
{
    return m_retry->isActive();
}

QString RemoteServer::statusText() const
{
    if (isListening())
        return QStringLiteral("远程与观众：已开启，端口 %1").arg(port());
    if (isRetrying())
        return QStringLiteral("远程与观众：未能开启，%1，每 %2 秒重试").arg(m_error).arg(RetryMs / 1000);
    return QStringLiteral("远程与观众：未开启");
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

void RemoteServer::setRetryInterval(int ms)
{
    m_retry->setInterval(ms);
}

void RemoteServer::setHeartbeatInterval(int ms)
{
    m_heartbeat->setInterval(ms);
}

void RemoteServer::setAudienceCapacity(int places)
{
    m_capacity[Audience] = std::clamp(places, 0, int(MaxAudience));
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
        const QString address = addressKey(socket);
        if (!hasPlace(address, Pending)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setReadBufferSize(ReadChunk);
        auto client = std::make_shared<Client>();
        client->socket = socket;
        client->address = address;
        client->deadline = new QTimer(socket);
        client->deadline->setSingleShot(true);
        m_clients.insert(socket, client);
        place(*client, Pending);
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

bool RemoteServer::hasPlace(const QString &address, Kind kind) const
{
    if (m_count[kind] >= m_capacity[kind])
        return false;
    return kind == Operator || m_perAddress[kind].value(address) < MaxConnectionsPerAddress;
}

// Moves the client to a place of kind; KindCount: to none (it is leaving).
void RemoteServer::place(Client &client, Kind kind)
{
    if (client.kind != KindCount) {
        --m_count[client.kind];
        QHash<QString, int> &from = m_perAddress[client.kind];
        if (--from[client.address] == 0)
            from.remove(client.address);
    }
    client.kind = kind;
    if (kind != KindCount) {
        ++m_count[kind];
        ++m_perAddress[kind][client.address];
    }
}

void RemoteServer::drop(QTcpSocket *socket)
{
    const std::shared_ptr<Client> client = m_clients.value(socket);
    if (!client)
        return;
    place(*client, KindCount);
    m_clients.remove(socket);
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
    const Access granted = access(client, request);
    if (granted == Access::Refused)
        return;
    const QByteArray &path = request.path;
    const Kind kind = granted == Access::Granted || path == "/remote" ? Operator : Audience;
    if (!hasPlace(client.address, kind))
        return refuseForCapacity(client, path);
    place(client, kind);
    client.language = QUrlQuery(QString::fromUtf8(request.query))
                          .queryItemValue(QStringLiteral("lang"), QUrl::FullyDecoded);
    const QByteArray html = "text/html; charset=utf-8";
    if (path == "/")
        respond(client, 200, html, m_audiencePage);
    else if (path == "/remote")
        respond(client, 200, html, m_operatorPage);
    else if (path == "/api/state")
        respond(client, 200, "application/json; charset=utf-8", stateFor(client));
    else if (path == "/api/events")
        startStream(client);
    else if (path == "/api/next")
        control(client, request, int(RemoteCommand::Next));
    else if (path == "/api/previous")
        control(client, request, int(RemoteCommand::Previous));
    else if (path == "/api/blank")
        control(client, request, int(RemoteCommand::Blank));
    else if (path == "/api/resend")
        control(client, request, int(RemoteCommand::Resend));
    else if (path == "/api/goto")
        control(client, request, int(RemoteCommand::GoTo));
    else
        control(client, request, SendPage);
}

// Control needs the token; reading the state needs it only for the
// operator's part. A browser's event stream cannot send a header, so it
// gives the token in its query (events?token=…).
RemoteServer::Access RemoteServer::access(Client &client, const HttpRequest &request)
{
    const QByteArray header = request.header("authorization");
    QByteArray token;
    bool shown = false;
    if (header.left(7).toLower() == "bearer ") {
        token = header.mid(7).trimmed();
        shown = true;
    } else if (request.path == "/api/events") {
        const QUrlQuery query(QString::fromLatin1(request.query));
        shown = query.hasQueryItem(QStringLiteral("token"));
        token = query.queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded).toUtf8();
    }
    if (!shown && request.method == "GET")
        return Access::None;
    return authorised(client, shown ? token : QByteArray()) ? Access::Granted : Access::Refused;
}

void RemoteServer::refuseForCapacity(Client &client, const QByteArray &path)
{
    const QByteArray retry = "Retry-After: " + QByteArray::number(FullRetrySeconds) + "\r\n";
    if (path == "/")
        respond(client, 503, "text/html; charset=utf-8", m_fullPage, retry);
    else
        respondError(client, 503, QStringLiteral("观看的人数已满，请稍后再试"), retry);
}

QByteArray RemoteServer::stateFor(const Client &client) const
{
    const RemoteState state = m_show->remoteState();
    return client.kind == Operator ? RemoteStateJson(state) : AudienceStateJson(state, client.language);
}

void RemoteServer::control(Client &client, const HttpRequest &request, int command)
{
    int page = 0;
    if (command == int(RemoteCommand::GoTo) || command == SendPage) {
        bool ok = false;
        page = QUrlQuery(QString::fromLatin1(request.query)).queryItemValue(QStringLiteral("page")).toInt(&ok);
        if (!ok)
            return respondError(client, 400, QStringLiteral("请给出幕号：%1?page=N")
                                                 .arg(QString::fromLatin1(request.path.mid(5))));
    }
    const RemoteOutcome outcome = command == SendPage ? m_show->sendPage(page)
                                                      : m_show->runRemote(RemoteCommand(command), page);
    switch (outcome) {
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

// token: null when none was shown at all.
bool RemoteServer::authorised(Client &client, const QByteArray &token)
{
    const QString &address = client.address;
    const int64_t now = m_clock->nowNs() / 1000000;
    forgetOldGuesses(now);
    Guesses &guesses = m_guesses[address];
    if (now < guesses.refusedUntilMs) {
        respondError(client, 429, QStringLiteral("口令错误次数过多，请一分钟后再试"), "Retry-After: 60\r\n");
        return false;
    }
    if (!token.isNull() && !m_token.isEmpty() && SameSecret(token, m_token)) {
        m_guesses.remove(address);
        return true;
    }
    if (!token.isNull()) {
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
    GiveUpOnSilentPeer(client.socket, StalledStreamMs);
    client.stream = true;
    client.deadline->stop();
    client.progressMs = m_clock->nowNs() / 1000000;
    QTcpSocket *socket = client.socket;
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
        if (const std::shared_ptr<Client> c = m_clients.value(socket))
            c->progressMs = m_clock->nowNs() / 1000000;
    });
    // retry: how soon the browser's EventSource comes back after a break.
    writeToStream(client, StatusLine(200)
                              + "Content-Type: text/event-stream; charset=utf-8\r\n"
                                "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n\r\n"
                                "retry: 1000\n\ndata: "
                              + stateFor(client) + "\n\n");
}

void RemoteServer::publish()
{
    const RemoteState state = m_show->remoteState();
    const QByteArray audience = AudienceStateJson(state);
    const QByteArray operatorState = RemoteStateJson(state);
    // Each kind of stream hears only of a change of its own part.
    const auto event = [](const QByteArray &json, QByteArray &last) {
        if (json == last)
            return QByteArray();
        last = json;
        return "data: " + json + "\n\n";
    };
    const QByteArray toAudience = event(audience, m_lastAudience);
    const QByteArray toOperator = event(operatorState, m_lastOperator);
    if (!toAudience.isNull() || !toOperator.isNull())
        sendToStreams(toAudience, toOperator, &state);
}

void RemoteServer::sendToStreams(const QByteArray &audience, const QByteArray &operatorBytes,
                                 const RemoteState *state)
{
    // One event per language asked for, made once however many phones chose it.
    QHash<QString, QByteArray> byLanguage;
    const auto audienceBytes = [&](const QString &tag) -> QByteArray {
        if (tag.isEmpty() || audience.isNull() || !state)
            return audience;
        auto it = byLanguage.find(tag);
        if (it == byLanguage.end())
            it = byLanguage.insert(tag, "data: " + AudienceStateJson(*state, tag) + "\n\n");
        return *it;
    };
    const auto clients = m_clients.values();
    for (const auto &client : clients) {
        if (!client->stream)
            continue;
        const QByteArray bytes = client->kind == Operator ? operatorBytes : audienceBytes(client->language);
        if (!bytes.isNull())
            writeToStream(*client, bytes);
    }
}

// A reader that stopped reading is not buffered for: its browser
// reconnects and gets the state anew.
void RemoteServer::writeToStream(Client &client, const QByteArray &bytes)
{
    if (client.socket->bytesToWrite() > MaxUnsentStream)
        return drop(client.socket);
    if (client.socket->bytesToWrite() == 0)
        client.progressMs = m_clock->nowNs() / 1000000;
    client.socket->write(bytes);
}

void RemoteServer::dropStalledStreams()
{
    const int64_t now = m_clock->nowNs() / 1000000;
    const auto clients = m_clients.values();
    for (const auto &client : clients)
        if (client->stream && client->socket->bytesToWrite() > 0
            && now - client->progressMs > StalledStreamMs)
            drop(client->socket);
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
