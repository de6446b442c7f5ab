// The web server on its own: the strict request reader, the routes and the
// pages, the token with its refusal of guessers, the event stream and the
// limits on clients. The show behind it is a fake.
#include "HttpSupport.h"
#include "LinkSupport.h"

#include "remote/HttpRequest.h"
#include "remote/RemoteServer.h"

#include <QElapsedTimer>
#include <QtTest>

namespace {
class FakeShow : public RemoteShow {
public:
    RemoteState state;
    RemoteOutcome outcome = RemoteOutcome::Done;
    QList<QPair<RemoteCommand, int>> commands;

    RemoteState remoteState() const override { return state; }
    RemoteOutcome runRemote(RemoteCommand command, int page) override
    {
        commands.append({command, page});
        return outcome;
    }
};

const QByteArray Token = "abcdefghijkmnpqrstuvwxyz";
} // namespace

class TestRemoteServer : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void readerTakesValidRequests();
    void readerRefusesMalformed_data();
    void readerRefusesMalformed();
    void stateJson();
    void routesAndPages();
    void controlNeedsTheToken();
    void outcomesGiveTheirStatus();
    void guessersAreRefusedForAMinute();
    void eventStreamFollowsTheState();
    void limitsOnClients();

private:
    HttpReply get(const QByteArray &target) { return Http(m_server->port(), "GET", target); }
    HttpReply post(const QByteArray &target, const QByteArray &token = Token)
    {
        return Http(m_server->port(), "POST", target, token);
    }

    FakeShow *m_show = nullptr;
    std::shared_ptr<VirtualClock> m_clock;
    std::unique_ptr<RemoteServer> m_server;
};

void TestRemoteServer::init()
{
    auto show = std::make_unique<FakeShow>();
    m_show = show.get();
    m_clock = std::make_shared<VirtualClock>();
    m_server = std::make_unique<RemoteServer>(std::move(show), m_clock);
    QVERIFY(m_server->listen(0));
    m_server->setToken(QString::fromLatin1(Token));
}

void TestRemoteServer::cleanup()
{
    m_server.reset();
}

void TestRemoteServer::readerTakesValidRequests()
{
    // Byte by byte, as a slow network delivers it, with a body.
    const QByteArray raw = "\r\nPOST /api/goto?page=12 HTTP/1.1\r\nHost: x\r\nAuthorization:  Bearer t \r\n"
                           "Content-Length: 5\r\n\r\nhello";
    HttpRequestReader reader;
    for (int i = 0; i < raw.size() - 1; ++i)
        QCOMPARE(reader.feed(raw.mid(i, 1)), HttpRequestReader::Incomplete);
    QCOMPARE(reader.feed(raw.right(1)), HttpRequestReader::Complete);
    const HttpRequest &r = reader.request();
    QCOMPARE(r.method, QByteArray("POST"));
    QCOMPARE(r.path, QByteArray("/api/goto"));
    QCOMPARE(r.query, QByteArray("page=12"));
    QCOMPARE(r.header("authorization"), QByteArray("Bearer t"));
    QCOMPARE(r.body, QByteArray("hello"));

    // HTTP/1.0 needs no Host; the limits themselves are allowed.
    HttpRequestReader old;
    const QByteArray longTarget = "/" + QByteArray(HttpRequestReader::MaxRequestLine - 16, 'a');
    QCOMPARE(old.feed("GET " + longTarget + " HTTP/1.0\r\n\r\n"), HttpRequestReader::Complete);
    HttpRequestReader full;
    QCOMPARE(full.feed("POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 1024\r\n\r\n"
                       + QByteArray(1024, 'b')),
             HttpRequestReader::Complete);
}

void TestRemoteServer::readerRefusesMalformed_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("status");
    const QByteArray host = "Host: x\r\n";
    QTest::newRow("request line too long") << "GET /" + QByteArray(3000, 'a') << 414;
    QTest::newRow("headers too large") << "GET / HTTP/1.1\r\nX: " + QByteArray(9000, 'a') << 431;
    QByteArray many = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 500; ++i)
        many += "X-" + QByteArray::number(i) + ": 12345678\r\n";
    QTest::newRow("too many headers") << many << 431;
    QTest::newRow("body too large") << "POST / HTTP/1.1\r\n" + host + "Content-Length: 1025\r\n\r\n" << 413;
    QTest::newRow("huge length") << "POST / HTTP/1.1\r\n" + host + "Content-Length: 99999999999999999999\r\n\r\n" << 413;
    QTest::newRow("length not a number") << "POST / HTTP/1.1\r\n" + host + "Content-Length: -1\r\n\r\n" << 400;
    QTest::newRow("two lengths") << "POST / HTTP/1.1\r\n" + host + "Content-Length: 1\r\nContent-Length: 2\r\n\r\n" << 400;
    QTest::newRow("chunked") << "POST / HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked\r\n\r\n" << 501;
    QTest::newRow("no host") << QByteArray("GET / HTTP/1.1\r\n\r\n") << 400;
    QTest::newRow("bare LF") << QByteArray("GET / HTTP/1.1\nHost: x\n\n") << 400;
    QTest::newRow("folded header") << "GET / HTTP/1.1\r\n" + host + " folded\r\n\r\n" << 400;
    QTest::newRow("header without colon") << "GET / HTTP/1.1\r\n" + host + "oops\r\n\r\n" << 400;
    QTest::newRow("control in value") << QByteArray("GET / HTTP/1.1\r\nHost: a\x01" "b\r\n\r\n") << 400;
    QTest::newRow("absolute target") << QByteArray("GET http://x/ HTTP/1.1\r\n") << 400;
    QTest::newRow("space in target") << QByteArray("GET /a b HTTP/1.1\r\n") << 400;
    QTest::newRow("other version") << QByteArray("GET / HTTP/2.0\r\n") << 505;
    QTest::newRow("not http") << QByteArray("SSH-2.0-OpenSSH_9.2\r\n") << 400;
    QByteArray binary;
    for (int i = 0; i < 600; ++i)
        binary += char((i * 131 + 7) & 0xFF);
    QTest::newRow("binary garbage") << binary << 400;
}

void TestRemoteServer::readerRefusesMalformed()
{
    QFETCH(QByteArray, raw);
    QFETCH(int, status);
    HttpRequestReader reader;
    QCOMPARE(reader.feed(raw), HttpRequestReader::Failed);
    QCOMPARE(reader.failure(), status);
    QCOMPARE(reader.feed("GET / HTTP/1.1\r\nHost: x\r\n\r\n"), HttpRequestReader::Failed);
}

void TestRemoteServer::stateJson()
{
    RemoteState state;
    state.nextPage = 1;
    state.nextText = QStringLiteral("序幕 \"引\"");
    state.linkOk = false;
    state.linkMessage = QStringLiteral("线路停滞");
    QCOMPARE(RemoteStateJson(state),
             QStringLiteral(R"({"blank":false,"link":{"message":"线路停滞","ok":false},"next":{"page":1,"text":"序幕 \"引\""},"onAir":{"page":null,"text":""},"sending":false})")
                 .toUtf8());
    state.onAirPage = 7;
    state.onAirText = QStringLiteral("第七");
    state.nextPage = 0;
    state.sending = true;
    const QJsonObject json = QJsonDocument::fromJson(RemoteStateJson(state)).object();
    QCOMPARE(json[QStringLiteral("onAir")].toObject()[QStringLiteral("page")].toInt(), 7);
    QVERIFY(json[QStringLiteral("next")].toObject()[QStringLiteral("page")].isNull());
    QCOMPARE(json[QStringLiteral("sending")].toBool(), true);
}

void TestRemoteServer::routesAndPages()
{
    m_show->state.onAirPage = 3;
    m_show->state.onAirText = QStringLiteral("第三场");

    const HttpReply audience = get("/");
    QCOMPARE(audience.status, 200);
    QCOMPARE(audience.header("Content-Type"), QByteArray("text/html; charset=utf-8"));
    QVERIFY(audience.body.contains("EventSource(\"/api/events\")"));
    const HttpReply remote = get("/remote");
    QCOMPARE(remote.status, 200);
    for (const char *label : {"下一幕", "上一幕", "黑屏", "重发", "localStorage"})
        QVERIFY2(remote.body.contains(label), label);
    // Self-contained: nothing loaded from anywhere else.
    for (const HttpReply *page : {&audience, &remote}) {
        QVERIFY(!page->body.contains("http://") && !page->body.contains("https://"));
        QVERIFY(page->header("Content-Security-Policy").startsWith("default-src 'none'"));
    }

    const HttpReply state = get("/api/state?x=1");
    QCOMPARE(state.status, 200);
    QCOMPARE(state.body, RemoteStateJson(m_show->state));

    QCOMPARE(get("/missing").status, 404);
    QCOMPARE(get("/../../etc/passwd").status, 404);
    QCOMPARE(get("/remote/").status, 404);
    const HttpReply wrongMethod = post("/api/state");
    QCOMPARE(wrongMethod.status, 405);
    QCOMPARE(wrongMethod.header("Allow"), QByteArray("GET"));
    QCOMPARE(get("/api/next").status, 405);
    QVERIFY(m_show->commands.isEmpty());
    QCOMPARE(ParseReply(OffThread([&] { return Exchange(m_server->port(), "DELETE / HTTP/1.1\r\nHost: x\r\n\r\n"); })).status, 405);
}

void TestRemoteServer::controlNeedsTheToken()
{
    QCOMPARE(post("/api/next", QByteArray()).status, 401);
    QCOMPARE(post("/api/next", "wrong").status, 401);
    QCOMPARE(post("/api/next", Token.left(Token.size() - 1)).status, 401);
    QCOMPARE(post("/api/next", Token + "x").status, 401);
    const HttpReply basic = ParseReply(OffThread([&] {
        return Exchange(m_server->port(), "POST /api/next HTTP/1.1\r\nHost: x\r\nAuthorization: Basic " + Token + "\r\n\r\n");
    }));
    QCOMPARE(basic.status, 401);
    QCOMPARE(basic.header("WWW-Authenticate"), QByteArray("Bearer"));
    QVERIFY(m_show->commands.isEmpty());

    m_show->state.onAirPage = 2;
    const HttpReply done = post("/api/next");
    QCOMPARE(done.status, 200);
    QCOMPARE(done.body, RemoteStateJson(m_show->state));
    QCOMPARE(post("/api/previous").status, 200);
    QCOMPARE(post("/api/blank").status, 200);
    QCOMPARE(post("/api/resend").status, 200);
    QCOMPARE(post("/api/goto?page=12").status, 200);
    QCOMPARE(post("/api/goto?page=x").status, 400);
    QCOMPARE(post("/api/goto").status, 400);
    const QList<QPair<RemoteCommand, int>> expected = {
        {RemoteCommand::Next, 0}, {RemoteCommand::Previous, 0}, {RemoteCommand::Blank, 0},
        {RemoteCommand::Resend, 0}, {RemoteCommand::GoTo, 12}};
    QCOMPARE(m_show->commands, expected);

    // Without a token set, nothing is controlled at all.
    m_server->setToken(QString());
    QCOMPARE(post("/api/next", QByteArray()).status, 401);
    QCOMPARE(post("/api/next", "").status, 401);
    QCOMPARE(m_show->commands.size(), expected.size());
}

void TestRemoteServer::outcomesGiveTheirStatus()
{
    const QList<QPair<RemoteOutcome, int>> cases = {
        {RemoteOutcome::Dropped, 409}, {RemoteOutcome::Locked, 423}, {RemoteOutcome::NoPage, 404},
        {RemoteOutcome::Refused, 409}};
    for (const auto &c : cases) {
        m_show->outcome = c.first;
        const HttpReply reply = post("/api/goto?page=99");
        QCOMPARE(reply.status, c.second);
        QVERIFY(!reply.json()[QStringLiteral("error")].toString().isEmpty());
    }
    // State stays readable whatever control says.
    QCOMPARE(get("/api/state").status, 200);
}

void TestRemoteServer::guessersAreRefusedForAMinute()
{
    const QHostAddress other(QStringLiteral("127.0.0.2"));
    // Ten wrong tokens in a minute are allowed; older ones do not count.
    for (int i = 0; i < 10; ++i)
        QCOMPARE(post("/api/next", "guess" + QByteArray::number(i)).status, 401);
    m_clock->pause(60001);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(post("/api/next", "guess" + QByteArray::number(i)).status, 401);
    QCOMPARE(post("/api/next").status, 200);   // the right one resets the count
    for (int i = 0; i < 11; ++i)
        QCOMPARE(post("/api/next", "guess" + QByteArray::number(i)).status, 401);

    // The eleventh: the address is refused, even with the right token.
    const HttpReply refused = post("/api/next");
    QCOMPARE(refused.status, 429);
    QCOMPARE(refused.header("Retry-After"), QByteArray("60"));
    QCOMPARE(m_show->commands.size(), 1);
    QCOMPARE(get("/api/state").status, 200);   // reading is not control
    // Another address is not concerned.
    QCOMPARE(Http(m_server->port(), "POST", "/api/next", Token, other).status, 200);

    m_clock->pause(59000);
    QCOMPARE(post("/api/next").status, 429);
    m_clock->pause(1001);
    QCOMPARE(post("/api/next").status, 200);
    QCOMPARE(m_show->commands.size(), 3);
}

void TestRemoteServer::eventStreamFollowsTheState()
{
    const quint16 port = m_server->port();
    QTcpSocket stream;
    stream.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(stream.waitForConnected(5000));
    stream.write("GET /api/events HTTP/1.1\r\nHost: x\r\nAccept: text/event-stream\r\n\r\n");
    QByteArray got;
    const auto events = [&] { got += stream.readAll(); return got.count("data: "); };
    QTRY_COMPARE(events(), 1);
    QVERIFY(got.startsWith("HTTP/1.1 200 OK\r\n"));
    QVERIFY(got.contains("Content-Type: text/event-stream"));
    QVERIFY(got.contains("data: " + RemoteStateJson(m_show->state) + "\n\n"));
    QCOMPARE(m_server->streamCount(), 1);

    m_show->state.onAirPage = 4;
    m_show->state.onAirText = QStringLiteral("第四场");
    m_server->publish();
    QTRY_COMPARE(events(), 2);
    QVERIFY(got.endsWith("data: " + RemoteStateJson(m_show->state) + "\n\n"));

    // A stream is exempt from the request time-out; closing the server ends it.
    m_server->setRequestTimeout(50);
    QTest::qWait(200);
    QCOMPARE(stream.state(), QAbstractSocket::ConnectedState);
    m_server->close();
    QTRY_COMPARE(stream.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(m_server->connectionCount(), 0);
}

void TestRemoteServer::limitsOnClients()
{
    const quint16 port = m_server->port();
    const auto device = [](int i) { return QHostAddress(QStringLiteral("127.0.0.%1").arg(10 + i)); };
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    const auto connectIdle = [&](const QHostAddress &from) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->bind(from);
        idle.back()->connectToHost(QHostAddress::LocalHost, port);
    };
    // One device takes its share of places, then is refused; others get in.
    for (int i = 0; i < RemoteServer::MaxConnectionsPerAddress; ++i)
        connectIdle(device(0));
    QTRY_COMPARE(m_server->connectionCount(), RemoteServer::MaxConnectionsPerAddress);
    QCOMPARE(Http(port, "GET", "/api/state", QByteArray(), device(0)).status, 0);
    QCOMPARE(Http(port, "GET", "/api/state", QByteArray(), device(1)).status, 200);

    // Every place is taken by idle clients: the next one is closed at once.
    for (int i = RemoteServer::MaxConnectionsPerAddress; i < RemoteServer::MaxConnections; ++i)
        connectIdle(device(i / RemoteServer::MaxConnectionsPerAddress));
    QTRY_COMPARE(m_server->connectionCount(), RemoteServer::MaxConnections);
    for (const auto &socket : idle)
        QTRY_COMPARE(socket->state(), QAbstractSocket::ConnectedState);
    QCOMPARE(get("/api/state").status, 0);
    idle.clear();
    QTRY_COMPARE(m_server->connectionCount(), 0);
    QCOMPARE(get("/api/state").status, 200);

    // A client that sends half a request is answered 408 and closed, while
    // others are served meanwhile.
    m_server->setRequestTimeout(300);
    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(slow.waitForConnected(5000));
    slow.write("GET / HTTP/1.1\r\nHost:");
    QCOMPARE(get("/api/state").status, 200);
    QByteArray answer;
    QTRY_VERIFY((answer += slow.readAll(), slow.state() == QAbstractSocket::UnconnectedState));
    answer += slow.readAll();
    QCOMPARE(ParseReply(answer).status, 408);

    // Oversized and garbage requests get their status and close.
    const HttpReply big = ParseReply(OffThread([&] {
        return Exchange(port, "GET / HTTP/1.1\r\nHost: x\r\nCookie: " + QByteArray(20000, 'c') + "\r\n\r\n");
    }));
    QCOMPARE(big.status, 431);
    QByteArray noise(5000, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char(i * 7919 % 251);
    QCOMPARE(ParseReply(OffThread([&] { return Exchange(port, noise); })).status, 400);
    QTRY_COMPARE(m_server->connectionCount(), 0);
}

QTEST_GUILESS_MAIN(TestRemoteServer)
#include "tst_remoteserver.moc"
