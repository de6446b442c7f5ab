// Timed playback in the main window, driven by its keys and buttons on a
// show clock the test moves by hand: cues at their times, pause, nudge,
// Space sending early, blanking at a cue's end, a failure stopping it.
#include "ShowWindow.h"

#include "show/TimedPlayback.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace {
class ManualClock : public PlaybackClock {
public:
    qint64 nowMs() const override { return now; }
    qint64 now = 100000;
};

// Cues at 1, 3, 6 and 10 s; the second ends a second before the third.
const QByteArray Cues = "1\r\n00:00:01,000 --> 00:00:03,000\r\n甲\r\n\r\n"
                        "2\r\n00:00:03,000 --> 00:00:05,000\r\n乙\r\n\r\n"
                        "3\r\n00:00:06,000 --> 00:00:10,000\r\n丙\r\n\r\n"
                        "4\r\n00:00:10,000 --> 00:00:12,000\r\n丁\r\n\r\n";
} // namespace

class TestTimedPlayback : public QObject, ShowCase {
    Q_OBJECT
private slots:
    void init() { beginCase(); }
    void cleanup() { endCase(); }
    void cuesPauseNudgeAndSpace();
    void blankAtCueEnd();
    void failureStopsPlayback();
    void plainScenarioCannotPlay();
    void unreadableSubtitlesAreNotOverwritten();
    void exportedLogIsTheNextTimedScenario();

private:
    void startTimedShow(const QByteArray &scenario, RecordingOptions options = {})
    {
        start(std::make_shared<VirtualClock>(), options);
        QApplication::setActiveWindow(m_w.get());
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        m_w->Record().LandscapeOn = 0;
        m_w->Project.CurFileName = projectFile();
        m_w->Project.ProjectUntitled = false;
        m_w->Richedt_Screen->load(scenario);
        m_w->RebuildPageList();
        m_w->SelectPage(0);
        m_w->LstView_Page->setFocus();
        m_w->Playback->useClock(&m_clock);
    }
    // The show clock moves on and the playback's timer fires.
    void pass(qint64 ms)
    {
        m_clock.now += ms;
        m_w->Playback->tick();
    }
    ManualClock m_clock;
};

void TestTimedPlayback::cuesPauseNudgeAndSpace()
{
    startTimedShow(Cues);
    QVERIFY(m_w->Btn_Play->isEnabled());
    QTest::keyClick(m_w.get(), Qt::Key_F6);   // the selected cue goes out at once
    idle(1);
    QCOMPARE(sentPages(), QStringList{"甲"});
    QCOMPARE(m_w->Btn_Play->text(), QStringLiteral("停止播放(&Y)"));
    QCOMPARE(m_w->Lbl_PlayClock->text(), QStringLiteral("时钟 0:00:01.0　第2幕 2.0 秒后"));

    pass(1999);
    QCOMPARE(sentPages().size(), 1);
    pass(1);
    idle(2);
    QCOMPARE(sentPages().last(), QStringLiteral("乙"));
    QCOMPARE(m_w->SelectedIndex(), 1);

    // Paused, the clock stands however long the pause lasts.
    QTest::keyClick(m_w.get(), Qt::Key_F7);
    pass(60000);
    QCOMPARE(sentPages().size(), 2);
    QCOMPARE(m_w->Playback->showClockMs(), 3000);
    QVERIFY(m_w->Lbl_PlayClock->text().contains(QStringLiteral("已暂停")));
    QTest::mouseClick(m_w->Btn_PlayPause, Qt::LeftButton);
    QCOMPARE(m_w->Playback->state(), TimedPlayback::Playing);

    // Two nudges on and one back: the third cue is due half a second sooner.
    QTest::keyClick(m_w.get(), Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(m_w.get(), Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(m_w.get(), Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(m_w->Playback->showClockMs(), 3500);
    pass(2499);
    QCOMPARE(sentPages().size(), 2);
    pass(1);
    idle(3);
    QCOMPARE(sentPages().last(), QStringLiteral("丙"));

    // Space sends the last cue early; the clock jumps to it and playback ends.
    pass(1000);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(4);
    QCOMPARE(sentPages().last(), QStringLiteral("丁"));
    QCOMPARE(m_w->Playback->state(), TimedPlayback::Stopped);
    QCOMPARE(m_w->Playback->showClockMs(), 10000);
    QCOMPARE(m_w->Btn_Play->text(), QStringLiteral("按时间播放(&Y)"));
    QCOMPARE(logLines().size(), 4);   // no refused retries in the log
}

void TestTimedPlayback::blankAtCueEnd()
{
    startTimedShow(Cues);
    m_w->SelectPage(1);
    QTest::mouseClick(m_w->Chk_BlankAtEnd, Qt::LeftButton, {}, QPoint(4, m_w->Chk_BlankAtEnd->height() / 2));
    QVERIFY(m_w->Chk_BlankAtEnd->isChecked());
    QTest::mouseClick(m_w->Btn_Play, Qt::LeftButton);
    idle(1);
    pass(1999);
    QCOMPARE(logLines().size(), 1);
    pass(1);   // the second cue ends at 5 s, the third starts at 6 s
    idle(2);
    QVERIFY(logLines().last().startsWith(QStringLiteral("blank\t")));
    pass(1000);
    idle(3);
    QCOMPARE(sentPages().last(), QStringLiteral("丙"));
    pass(4000);   // the fourth follows the third at once: no blank between
    idle(4);
    QCOMPARE(sentPages().last(), QStringLiteral("丁"));
    QCOMPARE(m_w->Playback->state(), TimedPlayback::Playing);   // the last cue's end is still to blank
    pass(2000);
    idle(5);
    QVERIFY(logLines().last().startsWith(QStringLiteral("blank\t")));
    QCOMPARE(m_w->Playback->state(), TimedPlayback::Stopped);
}

void TestTimedPlayback::failureStopsPlayback()
{
    RecordingOptions options;
    options.failAtWrite = 1;
    startTimedShow(Cues, options);
    QTest::keyClick(m_w.get(), Qt::Key_F6);
    idle(1);
    QCOMPARE(m_w->Playback->state(), TimedPlayback::Stopped);
    QVERIFY(m_w->Playback->stopReason().startsWith(QStringLiteral("按时间播放已停止：")));
    QCOMPARE(m_w->Lbl_PlayClock->text(), m_w->Playback->stopReason());
    pass(5000);
    QCOMPARE(logLines().size(), 1);
}

void TestTimedPlayback::plainScenarioCannotPlay()
{
    startTimedShow(ToGbk(QStringLiteral("第一幕\r\n第二幕")));
    QVERIFY(!m_w->Btn_Play->isEnabled());
    QTest::keyClick(m_w.get(), Qt::Key_F6);
    QCOMPARE(m_w->Playback->state(), TimedPlayback::Stopped);
    QCOMPARE(logLines().size(), 0);
}

// Imported, the file is named with its faulty line and listed line by line;
// a save then leaves it as it was.
void TestTimedPlayback::unreadableSubtitlesAreNotOverwritten()
{
    startTimedShow(Cues);
    const QString path = m_dir->filePath(QStringLiteral("show.srt"));
    const QByteArray bytes = "1\r\n00:00:01,000 --> 00:00:02,000\r\n甲\r\n\r\n2\r\n乙\r\n";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    m_prompter.openPaths = {path};
    m_w->Btn_LoadScenarioClick();
    QCOMPARE(m_w->PageCount(), 6);
    QVERIFY(!m_prompter.messages.isEmpty());
    QVERIFY(m_prompter.messages.last().text.contains(QStringLiteral("第5行：字幕没有时间")));
    QVERIFY(!m_w->Btn_Play->isEnabled());
    m_w->SaveClick();
    QVERIFY(!m_prompter.errors.isEmpty());
    QVERIFY(m_prompter.errors.last().contains(QStringLiteral("没有覆盖它")));
    QFile again(path);
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), bytes);
}

// A rehearsal by hand, exported from the show log, reads back as the same
// pages in a WebVTT file.
void TestTimedPlayback::exportedLogIsTheNextTimedScenario()
{
    startTimedShow(Cues);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(1);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(2);
    QTest::keyClick(m_w.get(), Qt::Key_F4);
    idle(3);
    const QString path = m_dir->filePath(QStringLiteral("rehearsal.vtt"));
    m_prompter.savePaths = {path};
    m_w->N_ExportSubtitles->trigger();
    QVERIFY2(m_prompter.errors.isEmpty(), qPrintable(m_prompter.errors.join(QLatin1Char('\n'))));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    PageStore store;
    store.load(file.readAll());
    QVERIFY(store.timed());
    QCOMPARE(store.pageCount(), 2);
    QCOMPARE(store.page(0), QStringLiteral("乙"));
    QCOMPARE(store.page(1), QStringLiteral("丙"));
    QVERIFY(store.pageTime(0).startMs <= store.pageTime(1).startMs);
}

QTEST_MAIN(TestTimedPlayback)
#include "tst_timedplayback.moc"
