// The live show state after each kind of transmission and outcome, and the
// show log's lines, file and recovery.
#include "show/ShowLog.h"
#include "show/ShowState.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
ShowTransmission Page(int index, const QString &text)
{
    return {ShowKind::Page, index, text, true, true};
}

ShowTransmission Of(ShowKind kind, const QString &text = QString())
{
    return {kind, -1, text, true, true};
}

void Run(ShowState &state, const ShowTransmission &what, const QString &failure = QString(),
         bool cancelled = false, int payloads = 2)
{
    state.started(what);
    for (int i = 0; i < payloads; ++i)
        state.payloadBegun();
    state.ended(failure, cancelled);
}
} // namespace

class TestShowState : public QObject {
    Q_OBJECT
private slots:
    void pageBlankTempAndPictures();
    void failedAndCancelledLeaveTheScreen();
    void droppedRequestTouchesNothing();
    void nextPage();
    void editedPagesForgetTheMarker();
    void logLines();
    void logFileAndItsFailure();
    void repeatedRequestsFold_data();
    void repeatedRequestsFold();
    void recoveryFindsTheLastOkPage();
};

void TestShowState::pageBlankTempAndPictures()
{
    ShowState state;
    QCOMPARE(state.screen(), ShowState::Unknown);
    state.started(Page(4, QStringLiteral("五")));
    QVERIFY(state.busy());
    QCOMPARE(state.onAirPage(), -1);   // not on air before it went out
    state.ended(QString(), false);
    QVERIFY(!state.busy());
    QCOMPARE(state.onAirPage(), 4);
    QCOMPARE(state.onAirText(), QStringLiteral("五"));
    QCOMPARE(state.last().outcome, ShowEntry::Ok);

    Run(state, Of(ShowKind::Blank));
    QCOMPARE(state.screen(), ShowState::Black);
    QCOMPARE(state.onAirPage(), -1);
    QCOMPARE(state.resendPage(), 4);   // F5 after F4 brings the page back

    Run(state, Of(ShowKind::Brightness));   // control commands keep the picture
    QCOMPARE(state.screen(), ShowState::Black);

    Run(state, Of(ShowKind::Temp, QStringLiteral("暂停")));
    QCOMPARE(state.screen(), ShowState::TempMessage);
    QCOMPARE(state.onAirText(), QStringLiteral("暂停"));
    Run(state, Of(ShowKind::Logo));
    QCOMPARE(state.screen(), ShowState::LogoPicture);
    Run(state, Page(5, QStringLiteral("六")));
    QCOMPARE(state.onAirPage(), 5);
    QCOMPARE(state.resendPage(), 5);
}

void TestShowState::failedAndCancelledLeaveTheScreen()
{
    ShowState state;
    Run(state, Page(1, QStringLiteral("二")));
    QSignalSpy ends(&state, &ShowState::transmissionEnded);
    Run(state, Page(2, QStringLiteral("三")), QStringLiteral("串口写入失败"), false, 1);
    QCOMPARE(state.onAirPage(), 1);
    QCOMPARE(state.last().outcome, ShowEntry::Failed);
    QCOMPARE(state.last().reason, QStringLiteral("串口写入失败"));
    QCOMPARE(state.partialDisplay(), QStringLiteral("竖屏"));

    Run(state, Page(2, QStringLiteral("三")), QStringLiteral("发送已中止"), true, 2);
    QCOMPARE(state.last().outcome, ShowEntry::Cancelled);
    QCOMPARE(state.partialDisplay(), QStringLiteral("横屏"));
    QCOMPARE(state.onAirPage(), 1);

    // A landscape-only transmission cut in its first frame: the landscape display.
    state.started({ShowKind::Page, 2, QStringLiteral("三"), false, true});
    state.payloadBegun();
    state.ended(QStringLiteral("发送已中止"), true);
    QCOMPARE(state.partialDisplay(), QStringLiteral("横屏"));

    // Cancelled before any frame began: nothing partial.
    Run(state, Page(2, QStringLiteral("三")), QStringLiteral("发送已中止"), true, 0);
    QVERIFY(state.partialDisplay().isEmpty());
    Run(state, Page(2, QStringLiteral("三")));
    QVERIFY(state.partialDisplay().isEmpty());
    QCOMPARE(ends.size(), 5);
}

void TestShowState::droppedRequestTouchesNothing()
{
    ShowState state;
    state.started(Page(0, QStringLiteral("一")));
    QSignalSpy ends(&state, &ShowState::transmissionEnded);
    state.dropped(Page(1, QStringLiteral("二")));
    QCOMPARE(ends.size(), 1);
    QCOMPARE(ends[0][0].value<ShowEntry>().outcome, ShowEntry::Dropped);
    QVERIFY(state.busy());
    state.ended(QString(), false);
    QCOMPARE(state.onAirPage(), 0);   // the running one, not the dropped one
    QCOMPARE(ends.size(), 2);
    state.ended(QString(), false);    // a second end without a start is no transmission
    QCOMPARE(ends.size(), 2);
}

void TestShowState::nextPage()
{
    QCOMPARE(ShowState::NextPage(0, 3), 1);
    QCOMPARE(ShowState::NextPage(2, 3), -1);
    QCOMPARE(ShowState::NextPage(-1, 3), -1);
    QCOMPARE(ShowState::NextPage(0, 0), -1);
}

void TestShowState::editedPagesForgetTheMarker()
{
    ShowState state;
    Run(state, Page(3, QStringLiteral("四")));
    state.forgetPages();
    QCOMPARE(state.onAirPage(), -1);
    QCOMPARE(state.resendPage(), -1);
}

void TestShowState::logLines()
{
    const QDateTime at(QDate(2026, 3, 4), QTime(19, 30, 5, 42));
    ShowEntry entry;
    entry.what = Page(41, QStringLiteral("甲\t乙\r\n丙"));
    QCOMPARE(ShowLogLine(at, entry),
             QStringLiteral("2026-03-04 19:30:05.042\tpage\t42\tok\t甲 乙  丙"));
    entry.outcome = ShowEntry::Failed;
    entry.reason = QStringLiteral("写入失败\n串口 COM1");
    QCOMPARE(ShowLogLine(at, entry).section(QLatin1Char('\t'), 3, 3),
             QStringLiteral("failed: 写入失败 串口 COM1"));
    entry.outcome = ShowEntry::Dropped;
    QCOMPARE(ShowLogLine(at, entry).section(QLatin1Char('\t'), 3, 3), QStringLiteral("dropped"));
    entry.outcome = ShowEntry::Cancelled;
    QCOMPARE(ShowLogLine(at, entry).section(QLatin1Char('\t'), 3, 3), QStringLiteral("cancelled"));

    const QList<QPair<ShowKind, QString>> kinds{
        {ShowKind::Blank, "blank"},   {ShowKind::Temp, "temp"},
        {ShowKind::Logo, "logo"},     {ShowKind::Welcome, "welcome"},
        {ShowKind::Params, "params"}, {ShowKind::Brightness, "brightness"},
        {ShowKind::Reset, "reset"},   {ShowKind::ClearTemp, "clear-temp"}};
    for (const auto &kind : kinds) {
        ShowEntry e;
        e.what = Of(kind.first);
        const QStringList fields = ShowLogLine(at, e).split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 5);
        QCOMPARE(fields[1], kind.second);
        QCOMPARE(fields[2], QStringLiteral("-"));
    }
}

void TestShowState::logFileAndItsFailure()
{
    QCOMPARE(ShowLogPath(QStringLiteral("/a/show.prj"), false, QStringLiteral("/x")),
             QStringLiteral("/a/show.log"));
    QCOMPARE(ShowLogPath(QStringLiteral("/a/show.PRJ"), false, QStringLiteral("/x")),
             QStringLiteral("/a/show.log"));
    QCOMPARE(ShowLogPath(QStringLiteral("/a/未命名.prj"), true, QStringLiteral("/x")),
             QStringLiteral("/x/未命名.log"));

    QTemporaryDir dir;
    ShowLog log;
    log.setPath(dir.filePath(QStringLiteral("show.log")));
    QVERIFY(log.append(QStringLiteral("一")).isEmpty());
    QVERIFY(log.append(QStringLiteral("二")).isEmpty());
    QFile file(log.path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), QStringLiteral("一\n二\n"));

    log.setPath(dir.filePath(QStringLiteral("missing/show.log")));
    const QString first = log.append(QStringLiteral("三"));
    QVERIFY(first.contains(QStringLiteral("演出记录无法写入")));
    QVERIFY(first.contains(log.path()));
    QVERIFY(log.append(QStringLiteral("四")).isEmpty());   // reported once only
}

// Steps "ms outcome page" (d dropped, r refused, o ok) or F (flushRepeats);
// the log's page and result fields after them.
void TestShowState::repeatedRequestsFold_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("a flood, a second long at a time")
        << "0 d 1, 100 d 1, 900 d 1, 1300 d 1, 1400 o 2"
        << QStringList({"1 dropped", "1 dropped ×2", "1 dropped", "2 ok"});
    QTest::newRow("other pages break the run") << "0 d 1, 100 d 2, 200 d 1"
                                               << QStringList({"1 dropped", "2 dropped", "1 dropped"});
    QTest::newRow("refused folds apart from dropped")
        << "0 r 3, 10 r 3, 20 d 3" << QStringList({"3 refused", "3 refused ×1", "3 dropped"});
    QTest::newRow("transmissions never fold") << "0 o 1, 10 o 1" << QStringList({"1 ok", "1 ok"});
    QTest::newRow("flushed, then a new run") << "0 d 1, 10 d 1, 20 d 1, F, 30 d 1, F"
                                             << QStringList({"1 dropped", "1 dropped ×2", "1 dropped"});
}

void TestShowState::repeatedRequestsFold()
{
    QFETCH(QString, steps);
    QFETCH(QStringList, lines);
    QTemporaryDir dir;
    ShowLog log;
    log.setPath(dir.filePath(QStringLiteral("show.log")));
    const QDateTime start(QDate(2026, 3, 4), QTime(19, 30));
    for (const QString &step : steps.split(QStringLiteral(", "))) {
        if (step == QLatin1String("F")) {
            QVERIFY(log.flushRepeats().isEmpty());
            QVERIFY(!log.hasRepeats());
            continue;
        }
        const QStringList parts = step.split(QLatin1Char(' '));
        ShowEntry entry;
        entry.what = Page(parts[2].toInt() - 1, parts[2]);
        entry.outcome = parts[1] == QLatin1String("d") ? ShowEntry::Dropped
                        : parts[1] == QLatin1String("r") ? ShowEntry::Refused : ShowEntry::Ok;
        QVERIFY(log.add(start.addMSecs(parts[0].toInt()), entry).isEmpty());
    }
    QFile file(log.path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList written;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        written << line.section(QLatin1Char('\t'), 2, 2) + QLatin1Char(' ') + line.section(QLatin1Char('\t'), 3, 3);
    QCOMPARE(written, lines);
}

void TestShowState::recoveryFindsTheLastOkPage()
{
    const QByteArray log = "2026-03-04 19:30:05.042\tpage\t7\tok\t七\n"
                           "2026-03-04 19:30:06.000\tpage\t8\tok\t八\n"
                           "2026-03-04 19:30:07.000\tpage\t9\tfailed: x\t九\n"
                           "2026-03-04 19:30:08.000\tblank\t-\tok\t\n"
                           "2026-03-04 19:30:09.000\tpage\t10\tdropped\t十\n"
                           "garbage\n";
    QCOMPARE(LastOkPage(log), 7);
    QCOMPARE(LastOkPage("2026-03-04 19:30:08.000\tblank\t-\tok\t\n"), -1);
    QCOMPARE(LastOkPage(QByteArray()), -1);
}

QTEST_GUILESS_MAIN(TestShowState)
#include "tst_showstate.moc"
