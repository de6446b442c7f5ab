// Remote control through the main window: the settings it applies, commands
// through the same entry points as the keys (goto + next on COM0, dropped
// while sending, the show lock) and a window that stays responsive whatever
// the clients send.
#include "HttpSupport.h"
#include "LinkSupport.h"
#include "ScriptedPrompter.h"
#include "TestWindow.h"

#include "app/Gbk.h"
#include "app/PageStore.h"
#include "link/RecordingPort.h"
#include "remote/OscReceiver.h"
#include "remote/RemoteServer.h"

#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QTableView>
#include <QTcpServer>
#include <QUdpSocket>
#include <QtTest>

namespace {
const QByteArray Token = "0123456789abcdefGHJK";

TRemoteSettings Enabled(int port = 0)
{
    TRemoteSettings settings;
    settings.Enabled = true;
    settings.Port = port;
    settings.Token = QString::fromLatin1(Token);
    return settings;
}
} // namespace

class TestRemote : public QObject {
    Q_OBJECT
private slots:
    void settingsStartRebindAndStop();
    void startUpAppliesTheSettings();
    void gotoAndNextOnCom0();
    void oscStepsTheShowFromAllowedSenders();
    void droppedWhileSendingLockedAndNoPage();
    void gotoWhileTheEndIsHandledStays();
    void dialogsThatChangeTheSetUpRefuseCues();
    void hostileClientsLeaveTheWindowResponsive();

private:
    // An OSC message with an optional int32 argument, padded as OSC wants.
    static QByteArray osc(const QByteArray &address, int page = 0)
    {
        auto padded = [](QByteArray text) {
            text.append('\0');
            while (text.size() % 4)
                text.append('\0');
            return text;
        };
        QByteArray packet = padded(address) + padded(page ? ",i" : ",");
        if (page)
            for (int shift = 24; shift >= 0; shift -= 8)
                packet.append(char((page >> shift) & 0xFF));
        return packet;
    }
    static void showPages(TFrm_Main &w, const QStringList &texts, int selected)
    {
        w.Richedt_Screen->load(ToGbk(texts.join(QStringLiteral("\r\n"))));
        w.RebuildPageList();
        w.SelectPage(selected);
    }
};

void TestRemote::settingsStartRebindAndStop()
{
    TestWindow t;
    TFrm_Main &w = *t.main;
    QCOMPARE(w.RemotePort(), quint16(0));
    QCOMPARE(w.RemoteStatus(), QStringLiteral("远程与观众：未开启；OSC：未开启"));

    // Enabling without a token makes one and keeps it in the settings file.
    TRemoteSettings settings = Enabled();
    settings.Token.clear();
    w.ApplyRemoteSettings(settings);
    const quint16 port = w.RemotePort();
    QVERIFY(port != 0);
    QCOMPARE(w.RemoteStatus(), QStringLiteral("远程与观众：已开启，端口 %1；OSC：未开启").arg(port));
    const QString token = ReadRemoteSettings().Token;
    QVERIFY(token.size() >= MinRemoteTokenLength);
    QCOMPARE(Http(port, "POST", "/api/goto?page=1", token.toLatin1()).status, 404);   // no pages

    // A new token on the same port applies without rebinding.
    w.ApplyRemoteSettings(Enabled(port));
    QCOMPARE(w.RemotePort(), port);
    QCOMPARE(Http(port, "POST", "/api/goto?page=1", token.toLatin1()).status, 401);

    // A port another program holds: the status bar says so, and the port
    // is tried again until it is free.
    QTcpServer other;
    QVERIFY(other.listen(QHostAddress::Any));
    const quint16 taken = other.serverPort();
    w.findChild<RemoteServer *>()->setRetryInterval(20);
    w.ApplyRemoteSettings(Enabled(taken));
    QCOMPARE(w.RemotePort(), quint16(0));
    const QString failed = QStringLiteral("远程与观众：未能开启，端口 %1 已被占用，每 5 秒重试；OSC：未开启").arg(taken);
    QCOMPARE(w.RemoteStatus(), failed);
    QCOMPARE(w.StatusPanel[2]->text(), failed);
    other.close();
    QTRY_COMPARE(w.RemotePort(), taken);
    QCOMPARE(w.StatusPanel[2]->text(), QStringLiteral("远程与观众：已开启，端口 %1；OSC：未开启").arg(taken));

    w.ApplyRemoteSettings(Enabled());
    QVERIFY(w.RemotePort() != 0);
    const quint16 last = w.RemotePort();
    w.ApplyRemoteSettings(TRemoteSettings());
    QCOMPARE(w.RemotePort(), quint16(0));
    QCOMPARE(w.RemoteStatus(), QStringLiteral("远程与观众：未开启；OSC：未开启"));
    QCOMPARE(Http(last, "GET", "/api/state").status, 0);   // nobody listens
}

void TestRemote::startUpAppliesTheSettings()
{
    QTemporaryDir dir;
    UseTestFolder(dir);
    TRemoteSettings settings = Enabled();
    settings.Token.clear();
    WriteRemoteSettings(settings);
    ScriptedPrompter prompter;
    TFrm_Main w(&prompter);
    QVERIFY(w.RemotePort() != 0);
    QVERIFY(ReadRemoteSettings().Token.size() >= MinRemoteTokenLength);
    const HttpReply state = Http(w.RemotePort(), "GET", "/api/state");
    QCOMPARE(state.status, 200);
    QVERIFY(state.json()[QStringLiteral("onAir")].toObject()[QStringLiteral("page")].isNull());
}

void TestRemote::gotoAndNextOnCom0()
{
    TestWindow t;
    TFrm_Main &w = *t.main;
    w.Record().ComPort = 0;   // the simulated display: no hardware
    w.ApplyRemoteSettings(Enabled());
    const quint16 port = w.RemotePort();
    showPages(w, {QStringLiteral("序幕"), QStringLiteral("第一场"), QStringLiteral("第二场"),
                  QStringLiteral("第三场")},
              0);

    // goto selects and sends nothing, as Ctrl+G.
    const HttpReply selected = Http(port, "POST", "/api/goto?page=2", Token);
    QCOMPARE(selected.status, 200);
    QCOMPARE(w.SelectedIndex(), 1);
    QVERIFY(!w.Show->busy());
    QCOMPARE(selected.json()[QStringLiteral("next")].toObject()[QStringLiteral("page")].toInt(), 3);

    // next sends the page after the selected one, as Space.
    const HttpReply next = Http(port, "POST", "/api/next", Token);
    QCOMPARE(next.status, 200);
    QCOMPARE(next.json()[QStringLiteral("sending")].toBool(), true);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 10000);
    QCOMPARE(w.Show->onAirPage(), 2);
    QCOMPARE(w.Show->last().outcome, ShowEntry::Ok);
    QTRY_COMPARE(w.SelectedIndex(), 2);   // the list follows, as after Space
    // The audience sees the caption only; the operator what comes next too.
    const QByteArray audience = Http(port, "GET", "/api/state").body;
    QVERIFY(audience.contains("第二场") && !audience.contains("第三场") && !audience.contains("\"link\""));
    QJsonObject state = Http(port, "GET", "/api/state", Token).json();
    QCOMPARE(state[QStringLiteral("onAir")].toObject()[QStringLiteral("page")].toInt(), 3);
    QCOMPARE(state[QStringLiteral("onAir")].toObject()[QStringLiteral("text")].toString(), QStringLiteral("第二场"));
    QCOMPARE(state[QStringLiteral("next")].toObject()[QStringLiteral("text")].toString(), QStringLiteral("第三场"));

    // A goto while a page goes out wins over the list's move at its end.
    QCOMPARE(Http(port, "POST", "/api/next", Token).status, 200);
    const HttpReply during = Http(port, "POST", "/api/goto?page=1", Token);
    QCOMPARE(during.status, 200);
    QCOMPARE(during.json()[QStringLiteral("sending")].toBool(), true);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 10000);
    QCOMPARE(w.Show->onAirPage(), 3);
    QTest::qWait(20);   // the end of the transmission is handled in full
    QCOMPARE(w.SelectedIndex(), 0);
    state = Http(port, "GET", "/api/state", Token).json();
    QCOMPARE(state[QStringLiteral("next")].toObject()[QStringLiteral("text")].toString(), QStringLiteral("第一场"));
    QCOMPARE(state[QStringLiteral("link")].toObject()[QStringLiteral("ok")].toBool(), true);

    // Blank, then resend the page that was on air.
    QCOMPARE(Http(port, "POST", "/api/blank", Token).status, 200);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 10000);
    QCOMPARE(Http(port, "GET", "/api/state").json()[QStringLiteral("blank")].toBool(), true);
    QCOMPARE(Http(port, "POST", "/api/resend", Token).status, 200);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 10000);
    QCOMPARE(w.Show->onAirPage(), 3);

    // 发送此幕: the first page, straight from the remote, as its click in the list.
    QCOMPARE(Http(port, "POST", "/api/send?page=1", Token).status, 200);
    QVERIFY(w.Show->busy());
    QCOMPARE(Http(port, "POST", "/api/send?page=2", Token).status, 409);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 10000);
    QCOMPARE(w.Show->onAirPage(), 0);
    QCOMPARE(Http(port, "POST", "/api/send?page=9", Token).status, 404);
    QVERIFY(t.prompter.errors.isEmpty());
}

void TestRemote::oscStepsTheShowFromAllowedSenders()
{
    TestWindow t;
    TFrm_Main &w = *t.main;
    w.Record().ComPort = 0;
    TRemoteSettings settings;   // OSC alone: the web server stays off
    settings.OscEnabled = true;
    settings.OscPort = 0;
    settings.OscAllowFrom = QStringLiteral("10.9.8.7");
    w.ApplyRemoteSettings(settings);
    QCOMPARE(w.RemotePort(), quint16(0));
    QVERIFY(w.OscPort() != 0);
    QCOMPARE(w.RemoteStatus(), QStringLiteral("远程与观众：未开启；OSC：已开启，端口 %1").arg(w.OscPort()));
    showPages(w, {QStringLiteral("序幕"), QStringLiteral("第一场"), QStringLiteral("第二场")}, 0);
    QUdpSocket cue;
    auto send = [&](const QByteArray &packet) {
        QCOMPARE(cue.writeDatagram(packet, QHostAddress::LocalHost, w.OscPort()), qint64(packet.size()));
    };

    send(osc("/velmora/goto", 3));   // 127.0.0.1 is not allowed: nothing happens
    QTest::qWait(100);
    QCOMPARE(w.SelectedIndex(), 0);

    settings.OscAllowFrom = QStringLiteral("127.0.0.1");
    w.ApplyRemoteSettings(settings);
    send(osc("/velmora/goto", 2));
    QTRY_COMPARE(w.SelectedIndex(), 1);
    QVERIFY(!w.Show->busy());   // goto selects only
    send(osc("/velmora/next"));
    QTRY_VERIFY_WITH_TIMEOUT(w.Show->busy() || w.Show->onAirPage() == 2, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 10000);
    QCOMPARE(w.Show->onAirPage(), 2);

    // A burst of 10,000 next from the cue system: pages go out while the
    // burst lasts, and the command after it is still carried out.
    const OscReceiver *receiver = w.findChild<OscReceiver *>();
    send(osc("/velmora/goto", 1));
    QTRY_COMPARE(w.SelectedIndex(), 0);
    const int carriedOut = receiver->carriedOutCount();
    QCOMPARE(carriedOut, 3);
    for (int round = 0; round < 50; ++round) {
        for (int i = 0; i < 200; ++i)
            send(osc("/velmora/next"));
        QTest::qWait(1);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 10000);
    QVERIFY(receiver->carriedOutCount() > carriedOut);
    send(osc("/velmora/goto", 2));
    QTRY_COMPARE(w.SelectedIndex(), 1);

    // The show lock locks the cue system too.
    w.SetShowLocked(true);
    send(osc("/velmora/blank"));
    QTest::qWait(100);
    QVERIFY(!w.Show->busy());
    QCOMPARE(w.Show->screen(), ShowState::OnPage);

    settings.OscAllowFrom = QStringLiteral("no address");   // refused: OSC closes, says why
    w.ApplyRemoteSettings(settings);
    QCOMPARE(w.OscPort(), quint16(0));
    QVERIFY(w.RemoteStatus().contains(QStringLiteral("OSC：未能开启")));
}

void TestRemote::droppedWhileSendingLockedAndNoPage()
{
    TestWindow t;
    TFrm_Main &w = *t.main;
    // A line that takes 40 bytes and then stalls keeps the first page going out.
    auto log = std::make_shared<WireLog>();
    w.LinkEnvironment.ports = [log](const QString &name) {
        RecordingOptions options;
        options.stallAfterBytes = 40;
        auto port = std::make_unique<RecordingPort>(name, log, SystemClock(), options);
        port->setStallLimitMs(3600 * 1000);
        return port;
    };
    w.ApplyRemoteSettings(Enabled());
    const quint16 port = w.RemotePort();
    showPages(w, {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")}, 0);

    QCOMPARE(Http(port, "POST", "/api/resend", Token).status, 404);   // nothing on air yet
    QCOMPARE(Http(port, "POST", "/api/previous", Token).status, 404); // already the first
    QCOMPARE(Http(port, "POST", "/api/goto?page=4", Token).status, 404);
    QCOMPARE(w.StatusPanel[2]->text(), QStringLiteral("没有第4幕"));

    QCOMPARE(Http(port, "POST", "/api/next", Token).status, 200);
    QVERIFY(w.Show->busy());
    const HttpReply dropped = Http(port, "POST", "/api/next", Token);
    QCOMPARE(dropped.status, 409);
    QCOMPARE(w.StatusPanel[2]->text(), QStringLiteral("正在发送，本次未发送"));
    // blank is obeyed as F4 is: the page is cut short and the blank follows.
    QCOMPARE(Http(port, "POST", "/api/blank", Token).status, 200);
    QTRY_VERIFY_WITH_TIMEOUT(w.Show->busy() && w.Show->running().kind == ShowKind::Blank, 10000);
    QCOMPARE(w.Show->last().outcome, ShowEntry::Cancelled);
    w.CancelClick();
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 10000);

    // The show lock locks remote control; reading stays open.
    w.SetShowLocked(true);
    QCOMPARE(Http(port, "POST", "/api/goto?page=3", Token).status, 423);
    QCOMPARE(Http(port, "POST", "/api/next", Token).status, 423);
    QCOMPARE(Http(port, "GET", "/api/state").status, 200);
    QCOMPARE(Http(port, "GET", "/api/state", Token).json()[QStringLiteral("locked")].toBool(), true);
    QCOMPARE(w.SelectedIndex(), 0);
    QVERIFY(!w.Show->busy());
    w.SetShowLocked(false);
    QCOMPARE(Http(port, "POST", "/api/goto?page=3", Token).status, 200);
    QCOMPARE(w.SelectedIndex(), 2);
}

namespace {
// Runs a command the moment the window starts handling the end of a transmission.
class AtSendDone : public QObject {
public:
    explicit AtSendDone(std::function<void()> command) : m_command(std::move(command)) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == WM_SENDDONE)
            QMetaObject::invokeMethod(this, m_command, Qt::QueuedConnection);
        return false;
    }

private:
    std::function<void()> m_command;
};
} // namespace

void TestRemote::gotoWhileTheEndIsHandledStays()
{
    TestWindow t;
    TFrm_Main &w = *t.main;
    auto clock = std::make_shared<VirtualClock>();
    w.LinkEnvironment = {RecordingPorts(std::make_shared<WireLog>(), clock), clock};
    showPages(w, {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"), QStringLiteral("四")}, 0);
    RemoteOutcome outcome = RemoteOutcome::Dropped;
    AtSendDone filter([&] { outcome = w.RunRemoteCommand(RemoteCommand::GoTo, 4); });
    w.installEventFilter(&filter);
    QTest::keyClick(w.LstView_Page, Qt::Key_Space);
    QTRY_VERIFY(!w.Show->busy());
    QTRY_COMPARE(outcome, RemoteOutcome::Done);
    QCOMPARE(w.Show->onAirPage(), 1);
    QCOMPARE(w.SelectedIndex(), 3);   // not the page after the one sent
    w.removeEventFilter(&filter);
}

// A dialog that changes the pages or the set-up refuses a cue, says why and
// logs it; one that only shows or sends lets the cue step the show.
void TestRemote::dialogsThatChangeTheSetUpRefuseCues()
{
    TestWindow t;
    TFrm_Main &w = *t.main;
    auto clock = std::make_shared<VirtualClock>();
    w.LinkEnvironment = {RecordingPorts(std::make_shared<WireLog>(), clock), clock};
    w.Project.CurFileName = t.dir.filePath(QStringLiteral("show.prj"));
    w.Project.ProjectUntitled = false;
    w.ApplyRemoteSettings(Enabled());
    const quint16 port = w.RemotePort();
    showPages(w, {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")}, 0);
    const auto cueInDialog = [&](const std::function<void()> &open) {
        HttpReply reply;
        WhenModal([&](QWidget *dialog) {
            reply = Http(port, "POST", "/api/next", Token);
            qobject_cast<QDialog *>(dialog)->reject();
        });
        open();
        return reply;
    };

    const HttpReply refused = cueInDialog([&] { w.N_FontClick(); });
    QCOMPARE(refused.status, 409);
    QCOMPARE(refused.json()[QStringLiteral("error")].toString(), QStringLiteral("操作员正在修改设置"));
    QVERIFY(!w.Show->busy());
    QCOMPARE(w.StatusPanel[2]->text(), QStringLiteral("远程指令未执行：操作员正在修改设置"));

    QCOMPARE(cueInDialog([&] { w.Btn_TempStrClick(); }).status, 200);
    QTRY_COMPARE(w.Show->onAirPage(), 1);

    QFile log(t.dir.filePath(QStringLiteral("show.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].section(QLatin1Char('\t'), 1), QStringLiteral("page\t2\trefused\t二"));
    QCOMPARE(lines[1].section(QLatin1Char('\t'), 1), QStringLiteral("page\t2\tok\t二"));
}

void TestRemote::hostileClientsLeaveTheWindowResponsive()
{
    TestWindow t;
    TFrm_Main &w = *t.main;
    w.ApplyRemoteSettings(Enabled());
    const quint16 port = w.RemotePort();
    auto *server = w.findChild<RemoteServer *>();
    QVERIFY(server);
    server->setRequestTimeout(500);
    showPages(w, {QStringLiteral("一"), QStringLiteral("二")}, 0);

    // The window's own timers keep firing while the clients hammer it.
    int ticks = 0;
    QTimer heartbeat;
    connect(&heartbeat, &QTimer::timeout, [&ticks] { ++ticks; });
    heartbeat.start(10);

    const QByteArray garbage("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n\0\0\xff", 17);
    const QList<QByteArray> hostile = {
        "GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + QByteArray(16384, 'a') + "\r\n\r\n",
        "GET /" + QByteArray(5000, 'b') + " HTTP/1.1\r\n\r\n",
        "POST /api/next HTTP/1.1\r\nHost: x\r\nContent-Length: 100000\r\n\r\n" + QByteArray(100000, 'c'),
        garbage,
    };
    const QList<int> expected = {431, 414, 413, 400};
    // Slow clients: half a request each, never finished.
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    for (int i = 0; i < 8; ++i) {
        slow.push_back(std::make_unique<QTcpSocket>());
        slow.back()->bind(QHostAddress(QStringLiteral("127.0.0.2")));
        slow.back()->connectToHost(QHostAddress::LocalHost, port);
        slow.back()->write("GET /api/state HTTP/1.1\r\nHo");
    }
    // 1,000 quick requests from four threads (four devices), good ones and bad ones mixed.
    std::atomic<int> answered{0}, wrong{0};
    const bool ok = OffThread([&] {
        std::vector<std::thread> threads;
        for (int k = 0; k < 4; ++k)
            threads.emplace_back([&, k] {
                for (int i = 0; i < 250; ++i) {
                    const int kind = (i + k) % 5;
                    const QByteArray raw = kind == 4 ? RequestBytes("GET", "/api/state") : hostile[kind];
                    const QHostAddress device(QStringLiteral("127.0.0.%1").arg(10 + k));
                    const int status = ParseReply(Exchange(port, raw, 10000, device)).status;
                    ++answered;
                    if (status != (kind == 4 ? 200 : expected[kind]))
                        ++wrong;
                }
            });
        for (std::thread &thread : threads)
            thread.join();
        return true;
    });
    QVERIFY(ok);
    QCOMPARE(answered.load(), 1000);
    QCOMPARE(wrong.load(), 0);
    QVERIFY(ticks > 0);

    // The slow ones were closed; nothing is left over; the next request answers.
    for (const auto &socket : slow)
        QTRY_COMPARE(socket->state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(server->connectionCount(), 0);
    const int before = ticks;
    QCOMPARE(Http(port, "POST", "/api/next", Token).status, 200);
    QTRY_VERIFY(ticks > before);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 10000);
    QCOMPARE(w.Show->onAirPage(), 1);
    QVERIFY(t.prompter.errors.isEmpty());
}

QTEST_MAIN(TestRemote)
#include "tst_remote.moc"
