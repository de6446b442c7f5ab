// The web server under the load of a performance: a request of each kind the
// phones and the tablet make (state, audience page, operator page, a command)
// timed from connect to the whole answer, and one state pushed to 60 open
// event streams, timed until every stream has it. Captions vary in length
// from a word to a long line, as a scenario's pages do.
#include "BenchStats.h"
#include "tests/HttpSupport.h"

#include "remote/RemoteServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {
class BenchShow : public RemoteShow {
public:
    RemoteState state;
    RemoteState remoteState() const override { return state; }
    RemoteOutcome runRemote(RemoteCommand, int) override
    {
        ++state.onAirPage;
        return RemoteOutcome::Done;
    }
    RemoteOutcome sendPage(int page) override
    {
        state.onAirPage = page;
        return RemoteOutcome::Done;
    }
};

const QByteArray Token = "benchbenchbenchbench";

QString Caption(int i)
{
    static const QString words = QStringLiteral("第%1场：风起云涌，众人登场，台上灯光渐亮，远处传来钟声");
    return words.arg(i).left(4 + (i * 7) % 28);
}

void Requests(quint16 port, BenchShow &show, const char *name, const QByteArray &method,
              const QByteArray &target)
{
    std::vector<double> ms;
    for (int run = 0; run < 5; ++run) {
        const std::vector<double> times = OffThread([&] {
            std::vector<double> out;
            for (int i = 0; i < 100; ++i) {
                QElapsedTimer timer;
                timer.start();
                const QByteArray answer = Exchange(port, RequestBytes(method, target, Token));
                out.push_back(timer.nsecsElapsed() / 1e6);
                if (ParseReply(answer).status != 200)
                    std::fprintf(stderr, "%s: no answer\n", name);
            }
            return out;
        });
        ms.insert(ms.end(), times.begin(), times.end());
        show.state.onAirText = Caption(run);
    }
    Report(name, ms);
}

void Push(quint16 port, RemoteServer &server, BenchShow &show)
{
    std::vector<std::unique_ptr<QTcpSocket>> streams;
    std::vector<int> events(60, 0);
    for (size_t i = 0; i < events.size(); ++i) {
        streams.push_back(std::make_unique<QTcpSocket>());
        // Phones are devices of their own: a few streams from each address.
        streams.back()->bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(10 + int(i) / 4)));
        streams.back()->connectToHost(QHostAddress::LocalHost, port);
        streams.back()->write("GET /api/events HTTP/1.1\r\nHost: x\r\n\r\n");
        QObject::connect(streams.back().get(), &QTcpSocket::readyRead, [&, i] {
            events[i] += streams[i]->readAll().count("data: ");
        });
    }
    const auto allHave = [&](int count) {
        return std::all_of(events.begin(), events.end(), [count](int n) { return n >= count; });
    };
    while (!allHave(1)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        for (const auto &stream : streams)
            if (stream->state() == QAbstractSocket::UnconnectedState) {
                std::fprintf(stderr, "remote_push: a stream was refused\n");
                std::exit(1);
            }
    }
    std::vector<double> ms;
    for (int i = 0; i < 100; ++i) {
        show.state.onAirText = Caption(i);
        show.state.onAirPage = i + 1;
        QElapsedTimer timer;
        timer.start();
        server.publish();
        while (!allHave(i + 2))
            QCoreApplication::processEvents();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    Report("remote_push_60_streams", ms);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    auto owned = std::make_unique<BenchShow>();
    BenchShow &show = *owned;
    show.state.onAirText = Caption(1);
    show.state.nextText = Caption(2);
    RemoteServer server(std::move(owned));
    server.setToken(QString::fromLatin1(Token));
    if (!server.listen(0))
        return 1;
    const quint16 port = server.port();
    Requests(port, show, "remote_get_state", "GET", "/api/state");
    Requests(port, show, "remote_get_audience_page", "GET", "/");
    Requests(port, show, "remote_get_operator_page", "GET", "/remote");
    Requests(port, show, "remote_post_next", "POST", "/api/next");
    Push(port, server, show);
    return 0;
}
