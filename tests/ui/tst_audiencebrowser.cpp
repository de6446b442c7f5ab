// End to end: Debian's headless chromium opens the audience page while the
// window sends pages, and shows each one soon after its transmission ends;
// then the operator page steps the show with the token.
// The browser is driven over its DevTools protocol on a pipe (fds 3 and 4,
// NUL-terminated JSON), so no driver library is needed.
#include "TestWindow.h"

#include "app/Gbk.h"
#include "app/PageStore.h"
#include "link/SpecialFrames.h"
#include "tests/TestFiles.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStatusBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTableView>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {
// One headless chromium with a fresh profile, spoken to over its pipe.
class Chromium {
public:
    ~Chromium() { stop(); }

    // Empty when it started, else why not.
    QString start()
    {
        const QString exe = QStandardPaths::findExecutable(QStringLiteral("chromium"));
        if (exe.isEmpty())
            return QStringLiteral("chromium is not installed (scripts/install-deps.sh installs it)");
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0)
            return QStringLiteral("no pipe");
        // Out of the way of 3 and 4, where the browser expects them.
        m_toBrowser = fcntl(in[1], F_DUPFD_CLOEXEC, 10);
        m_fromBrowser = fcntl(out[0], F_DUPFD_CLOEXEC, 10);
        const int childIn = fcntl(in[0], F_DUPFD_CLOEXEC, 10);
        const int childOut = fcntl(out[1], F_DUPFD_CLOEXEC, 10);
        for (int fd : {in[0], in[1], out[0], out[1]})
            close(fd);
        fcntl(m_fromBrowser, F_SETFL, O_NONBLOCK);

        QList<QByteArray> args = {exe.toLocal8Bit(), "--headless", "--no-sandbox", "--disable-gpu",
                                  "--disable-quic", "--no-first-run", "--disable-background-networking",
                                  "--disable-component-update", "--disable-sync",
                                  "--user-data-dir=" + m_profile.path().toLocal8Bit(),
                                  "--remote-debugging-pipe", "about:blank"};
        std::vector<char *> argv;
        for (QByteArray &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, childIn, 3);
        posix_spawn_file_actions_adddup2(&actions, childOut, 4);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int failed = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(childIn);
        close(childOut);
        return failed ? QStringLiteral("chromium did not start: %1").arg(strerror(failed)) : QString();
    }

    // Sends a command and waits for its answer, serving the window meanwhile.
    QJsonObject call(const QString &method, const QJsonObject &params = {},
                     const QString &session = QString(), int timeoutMs = 20000)
    {
        const int id = ++m_lastId;
        QJsonObject message{{QStringLiteral("id"), id}, {QStringLiteral("method"), method},
                            {QStringLiteral("params"), params}};
        if (!session.isEmpty())
            message[QStringLiteral("sessionId")] = session;
        const QByteArray bytes = QJsonDocument(message).toJson(QJsonDocument::Compact) + '\0';
        if (write(m_toBrowser, bytes.constData(), size_t(bytes.size())) != bytes.size())
            return {{QStringLiteral("error"), QStringLiteral("pipe closed")}};
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            const QJsonObject answer = take(id);
            if (!answer.isEmpty())
                return answer;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return {{QStringLiteral("error"), QStringLiteral("no answer to %1").arg(method)}};
    }

    void stop()
    {
        if (m_pid <= 0)
            return;
        call(QStringLiteral("Browser.close"), {}, QString(), 3000);
        for (int i = 0; i < 300 && waitpid(m_pid, nullptr, WNOHANG) == 0; ++i)
            usleep(10000);
        if (waitpid(m_pid, nullptr, WNOHANG) == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        m_pid = 0;
        close(m_toBrowser);
        close(m_fromBrowser);
    }

private:
    // The answer with this id when it has come; events are passed over.
    QJsonObject take(int id)
    {
        char buffer[65536];
        ssize_t n;
        while ((n = read(m_fromBrowser, buffer, sizeof buffer)) > 0)
            m_pending.append(buffer, int(n));
        int end;
        while ((end = m_pending.indexOf('\0')) >= 0) {
            const QJsonObject message = QJsonDocument::fromJson(m_pending.left(end)).object();
            m_pending.remove(0, end + 1);
            if (message.value(QStringLiteral("id")).toInt() == id)
                return message;
        }
        return {};
    }

    QTemporaryDir m_profile;
    pid_t m_pid = 0;
    int m_toBrowser = -1, m_fromBrowser = -1;
    int m_lastId = 0;
    QByteArray m_pending;
};
} // namespace

class TestAudienceBrowser : public QObject {
    Q_OBJECT
private slots:
    void pagesAppearInTheBrowser();
    void spectatorChoosesALanguage();

private:
    QJsonValue evaluate(const QString &expression)
    {
        const QJsonObject answer = m_browser->call(
            QStringLiteral("Runtime.evaluate"),
            {{QStringLiteral("expression"), expression}, {QStringLiteral("returnByValue"), true}}, m_session);
        return answer[QStringLiteral("result")].toObject()[QStringLiteral("result")].toObject()[QStringLiteral("value")];
    }
    // A new tab on url; evaluate() runs in it from then on.
    void openPage(const QString &url)
    {
        const QJsonObject target = m_browser->call(QStringLiteral("Target.createTarget"), {{QStringLiteral("url"), url}});
        const QString targetId = target[QStringLiteral("result")].toObject()[QStringLiteral("targetId")].toString();
        QVERIFY2(!targetId.isEmpty(), QJsonDocument(target).toJson().constData());
        const QJsonObject attached = m_browser->call(
            QStringLiteral("Target.attachToTarget"),
            {{QStringLiteral("targetId"), targetId}, {QStringLiteral("flatten"), true}});
        m_session = attached[QStringLiteral("result")].toObject()[QStringLiteral("sessionId")].toString();
        QVERIFY2(!m_session.isEmpty(), QJsonDocument(attached).toJson().constData());
    }
    // The window serves a three-page show on the simulated display (no
    // hardware), and a fresh browser opens its audience page.
    void serveAndOpen(TFrm_Main &w)
    {
        w.Record().ComPort = 0;
        TRemoteSettings settings;
        settings.Enabled = true;
        settings.Port = 0;
        w.ApplyRemoteSettings(settings);
        QVERIFY(w.RemotePort() != 0);
        w.Richedt_Screen->load(ToGbk(QStringLiteral("序幕\r\n第一场：风起\r\n第二场")));
        w.RebuildPageList();
        w.SelectPage(0);
        m_browser = std::make_unique<Chromium>();
        const QString failure = m_browser->start();
        if (!failure.isEmpty())
            QFAIL(qPrintable(failure));
        openPage(QStringLiteral("http://127.0.0.1:%1/").arg(w.RemotePort()));
    }
    // How long after the transmission's end the caption showed text; -1: not within 1 s.
    qint64 shownAfterEnd(const QString &text, const QElapsedTimer &sinceEnd)
    {
        while (sinceEnd.elapsed() <= 1000) {
            if (evaluate(QStringLiteral("document.getElementById('caption').textContent")).toString() == text)
                return sinceEnd.elapsed();
            QTest::qWait(10);
        }
        return -1;
    }

    std::unique_ptr<Chromium> m_browser;
    QString m_session;
};

void TestAudienceBrowser::pagesAppearInTheBrowser()
{
    TestWindow t;
    TFrm_Main &w = *t.main;
    QElapsedTimer sinceEnd;
    connect(w.Show, &ShowState::transmissionEnded, [&sinceEnd] { sinceEnd.start(); });
    serveAndOpen(w);
    if (QTest::currentTestFailed())
        return;

    // The page follows the show, and offers nothing to press but the size of its text.
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(QStringLiteral("document.body.dataset.state")).toString(),
                              QStringLiteral("live"), 15000);
    QCOMPARE(evaluate(QStringLiteral("document.querySelectorAll('input,a,form,select').length")).toInt(), 0);
    QCOMPARE(evaluate(QStringLiteral("[...document.querySelectorAll('button')].map(b => b.textContent).join()")).toString(),
             QStringLiteral("字号 100%"));
    QCOMPARE(evaluate(QStringLiteral("getComputedStyle(document.body).backgroundColor")).toString(),
             QStringLiteral("rgb(0, 0, 0)"));

    // Space in the page list: the next page goes out on COM0 and appears.
    QTest::keyClick(w.LstView_Page, Qt::Key_Space);
    QVERIFY(w.Show->busy());
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 20000);
    QCOMPARE(w.Show->onAirPage(), 1);
    const qint64 shown = shownAfterEnd(QStringLiteral("第一场：风起"), sinceEnd);
    QVERIFY2(shown >= 0, "the page did not appear within 1 s of the transmission's end");
    qInfo("page shown %lld ms after the end of its transmission", shown);

    // Blank: the caption goes.
    w.ClearDisplay();
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 20000);
    QVERIFY2(shownAfterEnd(QString(), sinceEnd) >= 0, "the caption stayed after the blank");

    // A long temporary message fits: smaller type, never below a legible
    // size, its top not cut off and its newest end in sight.
    TTempMessage message;
    for (int i = 0; message.Text.size() < 288; ++i)
        message.Text += QStringLiteral("第%1位观众请注意：演出将在片刻之后继续，请勿离座。").arg(i);
    message.Text.truncate(288);
    message.FontName = QStringLiteral("宋体");
    message.FontHeight = 16;
    QVERIFY(w.SendTempMessage(message));
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(QStringLiteral("document.getElementById('caption').textContent")).toString(),
                              message.Text, 5000);
    const QString fits = QStringLiteral(
        "(() => { const c = document.getElementById('caption'); const r = c.getBoundingClientRect();"
        " return [r.top >= 0, r.bottom <= innerHeight, c.scrollTop + c.clientHeight >= c.scrollHeight - 1,"
        " parseFloat(getComputedStyle(c).fontSize) >= 18].join(); })()");
    QCOMPARE(evaluate(fits).toString(), QStringLiteral("true,true,true,true"));
    // The larger text the spectator chose is kept in the browser.
    evaluate(QStringLiteral("document.getElementById('bigger').click()"));
    QCOMPARE(evaluate(QStringLiteral("localStorage.getItem('velmoraTextScale')")).toString(), QStringLiteral("1.25"));
    QCOMPARE(evaluate(fits).toString(), QStringLiteral("true,true,true,true"));

    // Server gone and back: the page reconnects by itself.
    const quint16 port = w.RemotePort();
    w.ApplyRemoteSettings(TRemoteSettings());
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(QStringLiteral("document.body.dataset.state")).toString(),
                              QStringLiteral("connecting"), 5000);
    // Paused: the old caption is dimmed and a marker says so.
    QTRY_VERIFY(evaluate(QStringLiteral("getComputedStyle(document.getElementById('caption')).opacity")).toString().toDouble() < 0.5);
    QVERIFY(evaluate(QStringLiteral("document.getElementById('status').textContent")).toString().startsWith(QStringLiteral("字幕已暂停")));
    QVERIFY(evaluate(QStringLiteral("document.querySelector('#status span').getBoundingClientRect().height")).toDouble() > 0);
    TRemoteSettings settings;
    settings.Enabled = true;
    settings.Port = port;
    w.ApplyRemoteSettings(settings);
    QCOMPARE(w.RemotePort(), port);
    w.ResendClick();
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(QStringLiteral("document.getElementById('caption').textContent")).toString(),
                              message.Text, 20000);
    QTRY_COMPARE(evaluate(QStringLiteral("document.body.dataset.state")).toString(), QStringLiteral("live"));
    QCOMPARE(evaluate(QStringLiteral("getComputedStyle(document.getElementById('caption')).opacity")).toString(), QStringLiteral("1"));

    // The operator page: without the token nothing of what comes next; a
    // wrong token is told in Chinese, the right one steps the show.
    openPage(QStringLiteral("http://127.0.0.1:%1/remote").arg(port));
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(QStringLiteral("document.getElementById('info').textContent")).toString(),
                              QStringLiteral("已连接"), 15000);
    QCOMPARE(evaluate(QStringLiteral("document.getElementById('following').textContent")).toString(),
             QStringLiteral("下一幕：—"));
    const auto login = [this](const QString &token) {
        evaluate(QStringLiteral("document.getElementById('secret').value = '%1';"
                                "document.getElementById('login').requestSubmit();"
                                "document.getElementById('next').click();").arg(token));
    };
    login(QStringLiteral("wrong-token"));
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(QStringLiteral("document.getElementById('error').textContent")).toString(),
                              QStringLiteral("口令错误，请重新输入"), 5000);
    QVERIFY(!evaluate(QStringLiteral("document.getElementById('login').hidden")).toBool());
    QCOMPARE(w.Show->screen(), ShowState::TempMessage);   // nothing went out
    login(ReadRemoteSettings().Token);
    QTRY_COMPARE_WITH_TIMEOUT(w.Show->onAirPage(), 2, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(QStringLiteral("document.getElementById('now').textContent")).toString(),
                              QStringLiteral("当前：第3幕 第二场"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 20000);

    // The lock, which only the operator's stream carries, shows and rests the buttons.
    const QString resting = QStringLiteral("[document.getElementById('lock').hidden, document.getElementById('next').disabled].join()");
    w.SetShowLocked(true);
    QTRY_COMPARE(evaluate(resting).toString(), QStringLiteral("false,true"));
    w.SetShowLocked(false);
    QTRY_COMPARE(evaluate(resting).toString(), QStringLiteral("true,false"));

    // 发送此幕: page 1 straight away; the buttons rest while it goes out,
    // which takes seconds at 9600 baud, so the browser has time to show it.
    w.Record().BaudRate = 9600;
    evaluate(QStringLiteral("document.getElementById('page').value = '1';"
                            "document.getElementById('sendPage').click();"));
    QTRY_VERIFY_WITH_TIMEOUT(w.Show->busy(), 20000);
    QTRY_COMPARE(evaluate(QStringLiteral("document.getElementById('sendPage').disabled")).toBool(), true);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 20000);
    QCOMPARE(w.Show->onAirPage(), 0);
    QTRY_COMPARE(evaluate(QStringLiteral("document.getElementById('sendPage').disabled")).toBool(), false);
    m_browser.reset();
}

// The spectator picks English: the page on air shows in English, a reload
// keeps the choice, and "both" shows the original with the translation.
void TestAudienceBrowser::spectatorChoosesALanguage()
{
    QTemporaryDir dir;
    WriteRaw(dir.filePath("en.txt"), "Prologue\r\nScene one: the wind\r\nScene two\r\n");
    {
        QSettings ini(dir.filePath("show.languages"), QSettings::IniFormat);
        ini.setValue("Languages/en", "en.txt");
        ini.setValue("Languages/Name.en", "English");
        ini.setValue("Languages/fr", "absent.txt");
    }
    TestWindow t;
    TFrm_Main &w = *t.main;
    w.Project.CurFileName = dir.filePath("show.prj");
    serveAndOpen(w);
    if (QTest::currentTestFailed())
        return;
    const QString options = QStringLiteral("[...document.querySelectorAll('#language option')].map(o => o.textContent).join()");
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(options).toString(),
                              QStringLiteral("原文,English,fr,原文 + English,原文 + fr"), 15000);
    evaluate(QStringLiteral("const p = document.getElementById('language'); p.value = 'en';"
                            "p.dispatchEvent(new Event('change'));"));

    const QString caption = QStringLiteral("document.getElementById('caption').textContent");
    QTest::keyClick(w.LstView_Page, Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Show->busy(), 10000);
    QCOMPARE(w.Show->onAirPage(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(caption).toString(), QStringLiteral("Scene one: the wind"), 5000);
    // The missing French file leaves English working and is told in the window.
    QVERIFY(w.statusBar()->currentMessage().contains(QStringLiteral("absent.txt")));

    evaluate(QStringLiteral("location.reload()"));
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(QStringLiteral("document.getElementById('language') && document.getElementById('language').value")).toString(),
                              QStringLiteral("en"), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(caption).toString(), QStringLiteral("Scene one: the wind"), 5000);

    evaluate(QStringLiteral("const q = document.getElementById('language'); q.value = 'both:en';"
                            "q.dispatchEvent(new Event('change'));"));
    QCOMPARE(evaluate(caption).toString(), QStringLiteral("第一场：风起Scene one: the wind"));
    QCOMPARE(evaluate(QStringLiteral("localStorage.getItem('velmoraLanguage')")).toString(), QStringLiteral("both:en"));
    m_browser.reset();
}

QTEST_MAIN(TestAudienceBrowser)
#include "tst_audiencebrowser.moc"
