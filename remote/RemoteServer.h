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
// client costs the window nothing. Connections have places of three kinds:
// requests still being read, the audience's, and the operator's (the
// operator page and whatever shows the token), so that a full house of
// phones never shuts out the operator.
#pragma once

#include "remote/HttpRequest.h"
#include "remote/RemoteCommand.h"
#include "link/LinkClock.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QTimer;

// The on-air page's scenario line in one translation; text is empty for a
// temporary message, a black screen or a line the translation lacks.
struct AudienceLanguage {
    QString tag;
    QString name;
    QString text;
};

// What the pages show: page numbers as the operator sees them (1-based),
// 0 for none.
struct RemoteState {
    // The audience's part: what the displays show.
    int onAirPage = 0;
    QString onAirText;     // the page or temporary message on the displays
    int nextPage = 0;      // what the next "下一幕" sends
    QString nextText;
    bool blank = false;    // the displays are black
    std::vector<AudienceLanguage> languages;   // the translations, in their order
    // The operator's part (with nextPage, nextText and onAirPage).
    bool sending = false;  // a transmission runs
    bool linkOk = true;
    QString linkMessage;
    bool locked = false;   // the show lock: control is refused
};

// The operator's state: {"onAir":{"page":N,"text":"…"},"next":{...},"blank":…,
// "sending":…,"link":{"ok":…,"message":"…"},"locked":…}
QByteArray RemoteStateJson(const RemoteState &state);
// What the audience may see: {"onAir":{"text":"…"},"blank":…}; a show with
// translations adds "onAir":{"translations":{"en":"…"}} and
// "languages":[{"tag":"en","name":"English"}]. With a tag, the translations
// hold that language alone (none for a tag not offered).
QByteArray AudienceStateJson(const RemoteState &state, const QString &tag = QString());

// The show the server reads and steps: the main window, or a fake in tests.
class RemoteShow {
public:
    virtual ~RemoteShow() = default;
    virtual RemoteState remoteState() const = 0;
    // page: the page number of GoTo (1-based), ignored otherwise.
    virtual RemoteOutcome runRemote(RemoteCommand command, int page) = 0;
    // Sends page (1-based) as a click on it in the page list does.
    virtual RemoteOutcome sendPage(int page) = 0;
};

class RemoteServer : public QObject {
    Q_OBJECT
public:
    // Requests not yet read whole; each lasts at most the request time-out.
    static constexpr int MaxPending = 256;
    // Audience pages and streams; fewer when the process may not open as many files.
    static constexpr int MaxAudience = 2000;
    static constexpr int MaxOperator = 32;
    // One device cannot take every place: the phones of the audience still
    // get in. Holds for requests being read and for the audience's places.
    static constexpr int MaxConnectionsPerAddress = 16;
    static constexpr int RequestTimeoutMs = 5000;
    static constexpr int MaxWrongTokens = 10;     // within a minute, from one address
    static constexpr int RefusalMs = 60000;       // then the address is refused this long
    static constexpr int MaxUnsentStream = 65536; // an event stream that falls this far behind is closed
    static constexpr int StalledStreamMs = 30000; // as is one whose client took nothing for this long
    static constexpr int RetryMs = 5000;          // a port that was taken is tried again this often

    // The clock times the wrong-token refusals.
    explicit RemoteServer(std::unique_ptr<RemoteShow> show,
                          std::shared_ptr<LinkClock> clock = SystemClock(),
                          QObject *parent = nullptr);
    ~RemoteServer() override;

    // Port 0 takes any free port. False when the port cannot be bound.
    bool listen(quint16 port);
    // Listens, or keeps trying every RetryMs until the port is free or
    // close() is called; statusChanged() tells each change.
    void start(quint16 port);
    void close();   // stops listening and trying, and drops every client
    bool isListening() const;
    bool isRetrying() const;
    quint16 port() const;   // the bound port, 0 when not listening
    // "远程与观众：已开启，端口 N", "…未开启" or why it is not listening.
    QString statusText() const;

    void setToken(const QString &token);   // empty: no control at all
    void setRequestTimeout(int ms);        // for tests of slow clients
    void setRetryInterval(int ms);         // for tests of the retry
    void setHeartbeatInterval(int ms);     // for tests of stalled streams
    // At most this many audience places (never more than MaxAudience).
    void setAudienceCapacity(int places);
    int audienceCapacity() const { return m_capacity[Audience]; }
    int connectionCount() const { return int(m_clients.size()); }
    int streamCount() const;

public slots:
    // The state may have changed: every event stream gets it when it did.
    void publish();

signals:
    void statusChanged();

private:
    enum Kind { Pending, Audience, Operator, KindCount };
    enum class Access { None, Granted, Refused };
    struct Client;
    void accept();
    bool bind(quint16 port);
    void retry();
    void shut();   // close() without telling
    bool hasPlace(const QString &address, Kind kind) const;
    void place(Client &client, Kind kind);
    void refuseForCapacity(Client &client, const QByteArray &path);
    Access access(Client &client, const HttpRequest &request);
    QByteArray stateFor(const Client &client) const;
    void readFrom(QTcpSocket *socket);
    void drop(QTcpSocket *socket);
    void answer(Client &client, const HttpRequest &request);
    // command: a RemoteCommand, or -1 for sending the page given.
    void control(Client &client, const HttpRequest &request, int command);
    bool authorised(Client &client, const QByteArray &token);
    void startStream(Client &client);
    void writeToStream(Client &client, const QByteArray &bytes);
    void dropStalledStreams();
    void respond(Client &client, int status, const QByteArray &type, const QByteArray &body,
                 const QByteArray &extraHeaders = QByteArray());
    void respondError(Client &client, int status, const QString &message,
                      const QByteArray &extraHeaders = QByteArray());
    // bytes for the streams of each kind; a null one sends nothing to that
    // kind. With the state, an audience stream that chose a language gets
    // that language's event (the heartbeat is the same for all).
    void sendToStreams(const QByteArray &audience, const QByteArray &operatorBytes,
                       const RemoteState *state = nullptr);
    QString addressKey(const QTcpSocket *socket) const;
    void forgetOldGuesses(int64_t now);   // keeps the table of addresses small

    std::unique_ptr<RemoteShow> m_show;
    std::shared_ptr<LinkClock> m_clock;
    QTcpServer *m_server;
    QTimer *m_heartbeat;
    QTimer *m_retry;
    QTimer *m_resumeAccepting;   // after running out of file descriptors
    quint16 m_wantedPort = 0;
    QHash<QTcpSocket *, std::shared_ptr<Client>> m_clients;
    int m_count[KindCount] = {};
    int m_capacity[KindCount] = {MaxPending, MaxAudience, MaxOperator};
    QHash<QString, int> m_perAddress[KindCount];   // only Pending and Audience are limited
    QByteArray m_token;
    int m_timeoutMs = RequestTimeoutMs;
    QString m_error;
    QByteArray m_lastAudience, m_lastOperator;   // the states the streams have
    QByteArray m_audiencePage, m_operatorPage, m_fullPage;
    struct Guesses {
        QList<int64_t> wrongAtMs;   // within the last minute
        int64_t refusedUntilMs = 0;
    };
    QHash<QString, Guesses> m_guesses;
};
