// remote/: captions on phones and remote control. The HTTP request reader,
// this server with its embedded pages, the OSC receiver, the [Remote]
// settings, the addresses and QR code shown to the technician and the
// 远程与观众 dialog. It follows the live show (show/) and steps it through the
// window's entry points (RemoteCommand); it never includes link/'s port or
// worker, and nothing in link/ includes it. Widgets: uRemote, QrCode,
// uMainRemote.
//
// The built-in web server: the audience page, the operator page and the API
// of remote control, with the live state pushed as server-sent events.
// It serves only its embedded pages and touches no file. Every client is
// bounded: request sizes, the number of connections, the time a request may
// take and the stream a slow reader may leave unread, so a broken or hostile
// client costs the window nothing.
#pragma once

#include "remote/HttpRequest.h"
#include "remote/RemoteCommand.h"
#include "link/LinkClock.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <memory>

class QTcpServer;
class QTcpSocket;
class QTimer;

// What the pages show: page numbers as the operator sees them (1-based),
// 0 for none.
struct RemoteState {
    int onAirPage = 0;
    QString onAirText;     // the page or temporary message on the displays
    int nextPage = 0;      // what the next "下一幕" sends
    QString nextText;
    bool blank = false;    // the displays are black
    bool sending = false;  // a transmission runs
    bool linkOk = true;
    QString linkMessage;
};

// {"onAir":{"page":N,"text":"…"},"next":{...},"blank":…,"sending":…,"link":{"ok":…,"message":"…"}}
QByteArray RemoteStateJson(const RemoteState &state);

// The show the server reads and steps: the main window, or a fake in tests.
class RemoteShow {
public:
    virtual ~RemoteShow() = default;
    virtual RemoteState remoteState() const = 0;
    // page: the page number of GoTo (1-based), ignored otherwise.
    virtual RemoteOutcome runRemote(RemoteCommand command, int page) = 0;
};

class RemoteServer : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxConnections = 64;
    // One device cannot take every place: the phones of the audience still get in.
    static constexpr int MaxConnectionsPerAddress = 16;
    static constexpr int RequestTimeoutMs = 5000;
    static constexpr int MaxWrongTokens = 10;     // within a minute, from one address
    static constexpr int RefusalMs = 60000;       // then the address is refused this long
    static constexpr int MaxUnsentStream = 65536; // an event stream that falls this far behind is closed

    // The clock times the wrong-token refusals.
    explicit RemoteServer(std::unique_ptr<RemoteShow> show,
                          std::shared_ptr<LinkClock> clock = SystemClock(),
                          QObject *parent = nullptr);
    ~RemoteServer() override;

    // Port 0 takes any free port. False when the port cannot be bound.
    bool listen(quint16 port);
    void close();   // stops listening and drops every client
    bool isListening() const;
    quint16 port() const;   // the bound port, 0 when not listening
    // Why listen failed, in Chinese.
    QString errorText() const { return m_error; }

    void setToken(const QString &token);   // empty: no control at all
    void setRequestTimeout(int ms);        // for tests of slow clients
    int connectionCount() const { return int(m_clients.size()); }
    int streamCount() const;

public slots:
    // The state may have changed: every event stream gets it when it did.
    void publish();

private:
    struct Client;
    void accept();
    void readFrom(QTcpSocket *socket);
    void drop(QTcpSocket *socket);
    void answer(Client &client, const HttpRequest &request);
    void control(Client &client, const HttpRequest &request, RemoteCommand command);
    bool authorised(Client &client, const HttpRequest &request);
    void startStream(Client &client);
    void respond(Client &client, int status, const QByteArray &type, const QByteArray &body,
                 const QByteArray &extraHeaders = QByteArray());
    void respondError(Client &client, int status, const QString &message,
                      const QByteArray &extraHeaders = QByteArray());
    void sendToStreams(const QByteArray &bytes);
    QString addressKey(const QTcpSocket *socket) const;
    int connectionsFrom(const QString &address) const;
    void forgetOldGuesses(int64_t now);   // keeps the table of addresses small

    std::unique_ptr<RemoteShow> m_show;
    std::shared_ptr<LinkClock> m_clock;
    QTcpServer *m_server;
    QTimer *m_heartbeat;
    QHash<QTcpSocket *, std::shared_ptr<Client>> m_clients;
    QByteArray m_token;
    int m_timeoutMs = RequestTimeoutMs;
    QString m_error;
    QByteArray m_lastState;   // the state the streams have
    QByteArray m_audiencePage, m_operatorPage;
    struct Guesses {
        QList<int64_t> wrongAtMs;   // within the last minute
        int64_t refusedUntilMs = 0;
    };
    QHash<QString, Guesses> m_guesses;
};
