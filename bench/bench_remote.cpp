// The web server under the load of a performance: a request of each kind the
// phones and the tablet make (state, audience page, operator page, a command)
// timed from connect to the whole answer, and one state pushed to 60 open
// event streams, timed until every stream has it. Then a full house: 1,000
// phones on 63 devices hold their streams while pages are sent, timed from
// the end of a transmission until the last phone has the page, with the
// memory each stream costs and the operator's commands meanwhile, and the
// same with three translations, the phones split among the languages. Last, OSC
// under a flood: datagrams handled per second, and how late the event loop
// answers meanwhile. Captions vary in length from a word to a long line, as
// a scenario's pages do.
#include "BenchStats.h"
#include "tests/HttpSupport.h"

#include "remote/OpenFiles.h"
#include "remote/OscReceiver.h"
#include "remote/RemoteServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>
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

void WaitFor(const std::function<bool()> &done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// 100 pages, each timed from the end of its transmission (the server is
// told) until every stream has had it: allHave(n) says whether each has had n events.
void TimePages(const char *name, RemoteServer &server, BenchShow &show,
               const std::function<bool(int)> &allHave)
{
    std::vector<double> ms;
    for (int i = 0; i < 100; ++i) {
        show.state.onAirText = Caption(i);
        show.state.onAirPage = i + 1;
        for (size_t k = 0; k < show.state.languages.size(); ++k)
            show.state.languages[k].text = Caption(i + 17 * int(k + 1));
        QElapsedTimer timer;
        timer.start();
        server.publish();
        WaitFor([&] { return allHave(i + 2); });
        ms.push_back(timer.nsecsElapsed() / 1e6);
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
    TimePages("remote_push_60_streams", server, show, allHave);
}

// The process's resident memory, in KB.
long ResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// Phones as plain sockets read on a thread of their own, so that neither
// their memory nor their reading is the server's.
class House {
public:
    ~House()
    {
        m_stop = true;
        if (m_reader.joinable())
            m_reader.join();
        for (int fd : m_fds)
            ::close(fd);
    }

    // count more phones, each opening its stream.
    bool add(quint16 port, int count)
    {
        for (int n = 0; n < count; ++n) {
            const int i = int(m_fds.size());
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in from{}, to{};
            from.sin_family = to.sin_family = AF_INET;
            from.sin_addr.s_addr = htonl(0x7F000000u + 10 + i / RemoteServer::MaxConnectionsPerAddress);
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            to.sin_port = htons(port);
            if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from) != 0
                || ::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0)
                return false;
            // A quarter follow the original, the rest one translation each.
            static const QByteArray targets[] = {"/api/events", "/api/events?lang=en",
                                                 "/api/events?lang=ja", "/api/events?lang=fr"};
            const QByteArray request = "GET " + targets[i % 4] + " HTTP/1.1\r\nHost: x\r\n\r\n";
            if (::write(fd, request.constData(), size_t(request.size())) != ssize_t(request.size()))
                return false;
            m_fds.push_back(fd);
        }
        return true;
    }
    void startReading()
    {
        m_events.assign(m_fds.size(), 0);
        m_tails.assign(m_fds.size(), QByteArray());
        m_reader = std::thread([this] { read(); });
    }
    // Every phone has had at least this many events.
    int leastEvents() const { return m_least; }

private:
    void read()
    {
        std::vector<pollfd> polled;
        for (int fd : m_fds)
            polled.push_back({fd, POLLIN, 0});
        char buffer[65536];
        while (!m_stop) {
            if (::poll(polled.data(), polled.size(), 10) <= 0)
                continue;
            for (size_t i = 0; i < polled.size(); ++i) {
                if (!(polled[i].revents & POLLIN))
                    continue;
                const ssize_t got = ::read(polled[i].fd, buffer, sizeof buffer);
                if (got <= 0)
                    continue;
                // An event's "data: " may arrive split over two reads.
                const QByteArray bytes = m_tails[i] + QByteArray(buffer, int(got));
                m_events[i] += int(bytes.count("data: ")) - int(m_tails[i].count("data: "));
                m_tails[i] = bytes.right(5);
            }
            m_least = *std::min_element(m_events.begin(), m_events.end());
        }
    }

    std::vector<int> m_fds;
    std::vector<int> m_events;
    std::vector<QByteArray> m_tails;
    std::atomic<int> m_least{0};
    std::atomic<bool> m_stop{false};
    std::thread m_reader;
};

void FullHouse(quint16 port, RemoteServer &server, BenchShow &show)
{
    const int phones = 1000;
    const long before = ResidentKb();
    House house;
    // The phones come in waves, as an audience scanning the code does.
    for (int wave = 1; wave <= phones / 100; ++wave) {
        if (!OffThread([&] { return house.add(port, 100); })) {
            std::fprintf(stderr, "remote_full_house: a phone could not connect\n");
            std::exit(1);
        }
        WaitFor([&] { return server.streamCount() == wave * 100; });
    }
    house.startReading();
    WaitFor([&] { return house.leastEvents() >= 1; });
    std::printf("remote_memory_per_stream: %.1f KB over %d streams\n",
                double(ResidentKb() - before) / phones, phones);

    TimePages("remote_push_1000_streams", server, show,
              [&house](int events) { return house.leastEvents() >= events; });
    // Three translations: each phone gets its own language's event.
    show.state.languages = {{"en", "English", {}}, {"ja", "日本語", {}}, {"fr", "Français", {}}};
    const int sent = house.leastEvents();
    TimePages("remote_push_1000_streams_3_languages", server, show,
              [&house, sent](int events) { return house.leastEvents() >= sent - 1 + events; });
    show.state.languages.clear();
    Requests(port, show, "remote_post_next_with_1000_streams", "POST", "/api/next");
}
QByteArray OscNext()
{
    return QByteArray("/velmora/next\0\0\0,\0\0\0", 20);
}

// A cue system gone wild: 10,000 datagrams a run from a thread of its own,
// as fast as the receiver takes them. A timer of 5 ms stands for the window:
// how late it fires is how long the window would not answer.
void Flood()
{
    OscReceiver receiver;
    QString error;
    if (!receiver.listen(0, QString(), &error, QHostAddress::LocalHost)) {
        std::fprintf(stderr, "osc: %s\n", qPrintable(error));
        std::exit(1);
    }
    std::atomic<int> handled{0};
    QObject::connect(&receiver, &OscReceiver::command, [&handled] { ++handled; });
    std::vector<double> lateness;
    QElapsedTimer since;
    QTimer window;
    window.setInterval(5);
    QObject::connect(&window, &QTimer::timeout, [&] {
        lateness.push_back(std::max(0.0, since.nsecsElapsed() / 1e6 - 5));
        since.restart();
    });
    std::vector<double> perThousand;
    const quint16 port = receiver.port();
    for (int run = 0; run < 5; ++run) {
        handled = 0;
        since.start();
        window.start();
        QElapsedTimer timer;
        timer.start();
        OffThread([&] {
            QUdpSocket cue;
            const QByteArray next = OscNext();
            // In rounds the system's queue holds, so that none is lost unread.
            for (int sent = 0; sent < 10000;) {
                for (int i = 0; i < 200; ++i, ++sent)
                    cue.writeDatagram(next, QHostAddress::LocalHost, port);
                while (handled < sent)
                    std::this_thread::yield();
            }
            return 0;
        });
        perThousand.push_back(timer.nsecsElapsed() / 1e6 / 10);
        window.stop();
    }
    Report("osc_1000_datagrams", perThousand);
    std::printf("osc_datagrams_per_second: %.0f\n", 1000.0 / Median(perThousand) * 1000.0);
    Report("osc_window_answer_delay", lateness);
}
} // namespace

int main(int argc, char **argv)
{
    RaiseOpenFileLimit();
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
    FullHouse(port, server, show);
    Flood();
    return 0;
}
