// The web server on its own: the strict request reader, the routes and the
// pages, the token with its refusal of guessers, the event stream and the
// limits on clients. The show behind it is a fake.
#include "HttpSupport.h"
#include "LinkSupport.h"

#include "remote/HttpRequest.h"
#include "remote/RemoteServer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

namespace {
class FakeShow : public RemoteShow {
public:
    RemoteState state;
    RemoteOutcome outcome = RemoteOutcome::Done;
    QList<QPair<RemoteCommand, int>> commands;
    QList<int> sent;   // pages of /api/send

    RemoteState remoteState() const override { return state; }
    RemoteOutcome runRemote(RemoteCommand command, int page) override
    {
        commands.append({command, page});
        return outcome;
    }
    RemoteOutcome sendPage(int page) override
    {
        sent.append(page);
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
    void audienceChoosesALanguage();
    void fullHouseKeepsTheOperator();
    void streamsThatDoNotReadAreClosed();
    void failedStartIsRetried();
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
             QStringLiteral(R"({"blank":false,"link":{"message":"线路停滞","ok":false},"locked":false,"next":{"page":1,"text":"序幕 \"引\""},"onAir":{"page":null,"text":""},"sending":false})")
                 .toUtf8());
    state.onAirPage = 7;
    state.onAirText = QStringLiteral("第七");
    state.nextPage = 0;
    state.sending = true;
    const QJsonObject json = QJsonDocument::fromJson(RemoteStateJson(state)).object();
    QCOMPARE(json[QStringLiteral("onAir")].toObject()[QStringLiteral("page")].toInt(), 7);
    QVERIFY(json[QStringLiteral("next")].toObject()[QStringLiteral("page")].isNull());
    QCOMPARE(json[QStringLiteral("sending")].toBool(), true);
    // The audience learns what the displays show, and nothing of what comes next.
    QCOMPARE(AudienceStateJson(state), QStringLiteral(R"({"blank":false,"onAir":{"text":"第七"}})").toUtf8());
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

    // The state without the token is the audience's; with it, the operator's.
    m_show->state.nextPage = 4;
    m_show->state.nextText = QStringLiteral("第四场：剧透");
    const HttpReply state = get("/api/state?x=1");
    QCOMPARE(state.status, 200);
    QCOMPARE(state.body, AudienceStateJson(m_show->state));
    QVERIFY(!state.body.contains("next") && !state.body.contains("剧透") && !state.body.contains("link"));
    QCOMPARE(Http(m_server->port(), "GET", "/api/state", Token).body, RemoteStateJson(m_show->state));
    QCOMPARE(Http(m_server->port(), "GET", "/api/state", "wrong").status, 401);

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
    QCOMPARE(post("/api/send?page=1").status, 200);
    QCOMPARE(post("/api/send").status, 400);
    QCOMPARE(post("/api/send?page=1", QByteArray()).status, 401);
    QCOMPARE(m_show->sent, QList<int>{1});
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

namespace {
// Event streams opened from the test's own thread, each from one of the
// loopback addresses given; every byte each one receives is kept.
struct Streams {
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    std::vector<QByteArray> got;

    void open(quint16 port, const QHostAddress &from, const QByteArray &target = "/api/events")
    {
        sockets.push_back(std::make_unique<QTcpSocket>());
        got.emplace_back();
        QTcpSocket *socket = sockets.back().get();
        const size_t i = got.size() - 1;
        QObject::connect(socket, &QTcpSocket::readyRead, [this, socket, i] { got[i] += socket->readAll(); });
        QObject::connect(socket, &QTcpSocket::connected, [socket, target] {
            socket->write("GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n");
        });
        socket->bind(from);
        socket->connectToHost(QHostAddress::LocalHost, port);
    }
    int events(size_t i) const { return int(got[i].count("data: ")); }
    bool allHave(int count) const
    {
        for (size_t i = 0; i < got.size(); ++i)
            if (events(i) < count)
                return false;
        return true;
    }
};

QHostAddress Device(int i)
{
    return QHostAddress(QStringLiteral("127.0.0.%1").arg(10 + i));
}
} // namespace

void TestRemoteServer::eventStreamFollowsTheState()
{
    const quint16 port = m_server->port();
    m_show->state.nextText = QStringLiteral("第五场：剧透");
    Streams streams;
    streams.open(port, QHostAddress::LocalHost);
    streams.open(port, QHostAddress::LocalHost, "/api/events?token=" + Token);
    QTRY_VERIFY(streams.allHave(1));
    const QByteArray &audience = streams.got[0], &operatorStream = streams.got[1];
    QVERIFY(audience.startsWith("HTTP/1.1 200 OK\r\n"));
    QVERIFY(audience.contains("Content-Type: text/event-stream"));
    QVERIFY(audience.contains("data: " + AudienceStateJson(m_show->state) + "\n\n"));
    QVERIFY(!audience.contains("剧透"));
    QVERIFY(operatorStream.contains("data: " + RemoteStateJson(m_show->state) + "\n\n"));
    QCOMPARE(m_server->streamCount(), 2);

    m_show->state.onAirPage = 4;
    m_show->state.onAirText = QStringLiteral("第四场");
    m_server->publish();
    QTRY_VERIFY(streams.allHave(2));
    QVERIFY(audience.endsWith("data: " + AudienceStateJson(m_show->state) + "\n\n"));
    QVERIFY(operatorStream.endsWith("data: " + RemoteStateJson(m_show->state) + "\n\n"));
    // What only the operator sees changes: the audience hears nothing of it.
    m_show->state.locked = true;
    m_server->publish();
    QTRY_COMPARE(streams.events(1), 3);
    QCOMPARE(streams.events(0), 2);

    // A wrong token in the query is a wrong token.
    const HttpReply wrong = get("/api/events?token=guess");
    QCOMPARE(wrong.status, 401);

    // A stream is exempt from the request time-out; closing the server ends it.
    m_server->setRequestTimeout(50);
    QTest::qWait(200);
    QCOMPARE(streams.sockets[0]->state(), QAbstractSocket::ConnectedState);
    m_server->close();
    QTRY_COMPARE(streams.sockets[0]->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(m_server->connectionCount(), 0);
}

// Each phone gets the on-air line in every translation, or in the one it
// asked for, by state and by stream; nothing of the next page in any.
void TestRemoteServer::audienceChoosesALanguage()
{
    const quint16 port = m_server->port();
    m_show->state.onAirText = QStringLiteral("第一场");
    m_show->state.nextText = QStringLiteral("第二场：剧透");
    m_show->state.languages = {{"en", "English", "Scene one"}, {"ja", QStringLiteral("日本語"), QStringLiteral("第一幕")}};
    const QJsonObject all = QJsonDocument::fromJson(get("/api/state").body).object();
    const QJsonObject translations = all["onAir"].toObject()["translations"].toObject();
    QCOMPARE(translations["en"].toString(), QStringLiteral("Scene one"));
    QCOMPARE(translations["ja"].toString(), QStringLiteral("第一幕"));
    QCOMPARE(all["languages"].toArray().size(), 2);
    QCOMPARE(all["languages"].toArray()[1].toObject()["name"].toString(), QStringLiteral("日本語"));
    QCOMPARE(get("/api/state?lang=ja").body, AudienceStateJson(m_show->state, "ja"));
    const QJsonObject one = QJsonDocument::fromJson(get("/api/state?lang=ja").body).object();
    QCOMPARE(one["onAir"].toObject()["translations"].toObject().keys(), QStringList{"ja"});
    QCOMPARE(one["languages"].toArray().size(), 2);   // the picker still lists them all
    QVERIFY(QJsonDocument::fromJson(get("/api/state?lang=xx").body)
                .object()["onAir"].toObject()["translations"].toObject().isEmpty());

    Streams streams;
    streams.open(port, QHostAddress::LocalHost, "/api/events?lang=en");
    streams.open(port, QHostAddress::LocalHost, "/api/events");
    QTRY_VERIFY(streams.allHave(1));
    QVERIFY(streams.got[0].contains("data: " + AudienceStateJson(m_show->state, "en") + "\n\n"));
    m_show->state.onAirText = QStringLiteral("第二场");
    m_show->state.languages[0].text = QStringLiteral("Scene two");
    m_show->state.languages[1].text = QStringLiteral("第二幕");
    m_server->publish();
    QTRY_VERIFY(streams.allHave(2));
    QVERIFY(streams.got[0].endsWith("data: " + AudienceStateJson(m_show->state, "en") + "\n\n"));
    QVERIFY(!streams.got[0].contains("第二幕"));
    QVERIFY(streams.got[1].endsWith("data: " + AudienceStateJson(m_show->state) + "\n\n"));
    for (const QByteArray &got : streams.got)
        QVERIFY(!got.contains("剧透"));
}

// A full house: a thousand phones on 63 devices follow the captions, while
// the operator's page, state, stream and commands are served all the same;
// the phone after the last place gets a page that says so and tries again.
void TestRemoteServer::fullHouseKeepsTheOperator()
{
    const quint16 port = m_server->port();
    const int phones = 1000;
    QVERIFY2(m_server->audienceCapacity() >= phones, "the process may not open enough files");
    m_server->setAudienceCapacity(phones);
    Streams house;
    for (int i = 0; i < phones; ++i) {
        house.open(port, Device(i / RemoteServer::MaxConnectionsPerAddress));
        if (i % 100 == 99)   // phones come in waves, not all in one instant
            QTRY_COMPARE_WITH_TIMEOUT(m_server->streamCount(), i + 1, 20000);
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_server->streamCount(), phones, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(house.allHave(1), 20000);

    // Full: the next phone gets the dark page that retries by itself, and
    // a stream gets 503 for its page to retry.
    const HttpReply full = Http(port, "GET", "/", QByteArray(), Device(70));
    QCOMPARE(full.status, 503);
    QCOMPARE(full.header("Retry-After"), QByteArray("10"));
    QVERIFY(full.body.contains("<meta http-equiv=\"refresh\" content=\"10\">"));
    QVERIFY(full.body.contains("background: #000"));
    QVERIFY(QString::fromUtf8(full.body).contains(QStringLiteral("人数已满")));
    QCOMPARE(Http(port, "GET", "/api/events", QByteArray(), Device(70)).status, 503);

    // The operator: page, state and commands with the token, from any device.
    QCOMPARE(get("/remote").status, 200);
    QCOMPARE(Http(port, "GET", "/api/state", Token).status, 200);
    QCOMPARE(post("/api/next").status, 200);
    Streams desk;
    desk.open(port, QHostAddress::LocalHost, "/api/events?token=" + Token);
    QTRY_VERIFY(desk.allHave(1));
    QVERIFY(desk.got[0].contains("\"next\""));

    m_show->state.onAirText = QStringLiteral("第二场");
    m_server->publish();
    QTRY_VERIFY_WITH_TIMEOUT(house.allHave(2), 20000);
    QTRY_VERIFY(desk.allHave(2));

    // A phone that leaves frees its place.
    house.sockets[0]->abort();
    QTRY_COMPARE(m_server->streamCount(), phones);   // the desk's took none of the house
    QCOMPARE(Http(port, "GET", "/", QByteArray(), Device(70)).status, 200);
}

// A stream whose client does not read is closed, by the queue it leaves
// (64 KB) or by the time it takes nothing (30 s); the readers stay.
void TestRemoteServer::streamsThatDoNotReadAreClosed()
{
    const quint16 port = m_server->port();
    for (const bool byTime : {false, true}) {
        Streams streams;
        streams.open(port, QHostAddress::LocalHost);
        streams.open(port, QHostAddress::LocalHost);
        QTRY_VERIFY(streams.allHave(1));
        QTcpSocket *deaf = streams.sockets[1].get();
        deaf->disconnect();   // reads no more
        deaf->setReadBufferSize(1);
        m_server->setHeartbeatInterval(byTime ? 10 : 1000000);
        // The server's end of the deaf stream.
        const QTcpSocket *serverEnd = nullptr;
        for (const QTcpSocket *socket : m_server->findChildren<QTcpSocket *>())
            if (socket->peerPort() == deaf->localPort())
                serverEnd = socket;
        QVERIFY(serverEnd);
        // Long captions, each new: the system's buffers fill first, then the
        // server's. By time: no more once the server keeps bytes unsent.
        const auto held = [&] {
            return serverEnd->bytesToWrite() > 0 && (QTest::qWait(5), serverEnd->bytesToWrite() > 0);
        };
        for (int i = 0; i < 20000 && m_server->streamCount() == 2 && !(byTime && held()); ++i) {
            m_show->state.onAirText = QString::number(i) + QString(1000, QChar(0x5B57));
            m_server->publish();
            QCoreApplication::processEvents();
        }
        if (byTime) {
            // Far below the size that closes a stream: only the time does.
            QVERIFY(serverEnd->bytesToWrite() < RemoteServer::MaxUnsentStream / 2);
            m_clock->pause(RemoteServer::StalledStreamMs - 1000);
            QTest::qWait(50);
            QCOMPARE(m_server->streamCount(), 2);
            // Nothing more is sent, so only the time can close it, once the
            // system has taken all it will (the receiver's buffer may grow for
            // seconds first).
            QTRY_VERIFY_WITH_TIMEOUT((m_clock->pause(2000), m_server->streamCount() == 1), 60000);
        }
        QCOMPARE(m_server->streamCount(), 1);
        QCOMPARE(streams.sockets[0]->state(), QAbstractSocket::ConnectedState);
        m_server->publish();
        QTRY_VERIFY(streams.got[0].contains(AudienceStateJson(m_show->state)));
        streams.sockets.clear();
        QTRY_COMPARE(m_server->connectionCount(), 0);
    }
}

// A taken port is tried again until it is free; the status says so each time.
void TestRemoteServer::failedStartIsRetried()
{
    QTcpServer other;
    QVERIFY(other.listen(QHostAddress::Any));
    const quint16 taken = other.serverPort();
    m_server->close();
    QSignalSpy changed(m_server.get(), &RemoteServer::statusChanged);
    m_server->setRetryInterval(20);
    m_server->start(taken);
    QVERIFY(!m_server->isListening());
    QVERIFY(m_server->isRetrying());
    QCOMPARE(m_server->statusText(), QStringLiteral("远程与观众：未能开启，端口 %1 已被占用，每 5 秒重试").arg(taken));
    QCOMPARE(changed.size(), 1);
    QTest::qWait(100);   // several tries, nothing new to tell
    QCOMPARE(changed.size(), 1);

    other.close();
    QTRY_VERIFY(m_server->isListening());
    QCOMPARE(m_server->port(), taken);
    QVERIFY(!m_server->isRetrying());
    QCOMPARE(m_server->statusText(), QStringLiteral("远程与观众：已开启，端口 %1").arg(taken));
    QCOMPARE(changed.size(), 2);
    QCOMPARE(get("/api/state").status, 200);

    // Stopped while it waits for the port: it stops trying.
    QVERIFY(other.listen(QHostAddress::Any));
    m_server->start(other.serverPort());
    QVERIFY(m_server->isRetrying());
    m_server->close();
    QVERIFY(!m_server->isRetrying());
    QCOMPARE(m_server->statusText(), QStringLiteral("远程与观众：未开启"));
}

void TestRemoteServer::limitsOnClients()
{
    const quint16 port = m_server->port();
    const auto device = Device;
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

    // Every place for a request is taken by idle clients: the next one is closed at once.
    for (int i = RemoteServer::MaxConnectionsPerAddress; i < RemoteServer::MaxPending; ++i)
        connectIdle(device(i / RemoteServer::MaxConnectionsPerAddress));
    QTRY_COMPARE(m_server->connectionCount(), RemoteServer::MaxPending);
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
