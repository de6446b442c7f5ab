// The window's part of timed playback: the 按时间播放 box beside 自动发送,
// its keys, the show clock, and subtitles exported from the show log.
#include "app/uMain.h"

#include "app/Errors.h"
#include "app/PageListModel.h"
#include "app/PageStore.h"
#include "app/ProjectFile.h"
#include "app/Prompter.h"
#include "show/LogSubtitles.h"
#include "show/TimedPlayback.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace {
const QString PlayStart = QStringLiteral("按时间播放(&Y)");
const QString PlayStop = QStringLiteral("停止播放(&Y)");
const QString Pause = QStringLiteral("暂停(&U)");
const QString Resume = QStringLiteral("继续(&U)");
const qint64 NudgeMs = 500;
const int ClockRefreshMs = 100;

// 1:02:03.4, to the tenth of a second the operator can act on.
QString ClockText(qint64 ms)
{
    return QStringLiteral("%1:%2:%3.%4")
        .arg(ms / 3600000)
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 100 % 10);
}
} // namespace

QWidget *TFrm_Main::BuildPlaybackBox()
{
    Grp_Play = new QGroupBox(QStringLiteral("按时间播放"));
    Grp_Play->setObjectName(QStringLiteral("Grp_Play"));
    auto *layout = new QGridLayout(Grp_Play);
    Btn_Play = new QPushButton(PlayStart);
    Btn_Play->setObjectName(QStringLiteral("Btn_Play"));
    Btn_PlayPause = new QPushButton(Pause);
    Btn_PlayPause->setObjectName(QStringLiteral("Btn_PlayPause"));
    Chk_BlankAtEnd = new QCheckBox(QStringLiteral("字幕结束时黑屏(&B)"));
    Chk_BlankAtEnd->setObjectName(QStringLiteral("Chk_BlankAtEnd"));
    Lbl_PlayClock = new QLabel;
    Lbl_PlayClock->setObjectName(QStringLiteral("Lbl_PlayClock"));
    Lbl_PlayClock->setWordWrap(true);
    layout->addWidget(Btn_Play, 0, 0);
    layout->addWidget(Btn_PlayPause, 0, 1);
    layout->addWidget(Chk_BlankAtEnd, 1, 0, 1, 2);
    layout->addWidget(Lbl_PlayClock, 2, 0, 1, 2);
    return Grp_Play;
}

void TFrm_Main::SetupPlayback()
{
    // One monotonic clock for the run; a test hands the playback its own.
    static SteadyPlaybackClock clock;
    Playback = new TimedPlayback(&clock, {[this](int page) { return SendCue(page); },
                                          [this] {
                                              return !CurrentSendThread.load() && !m_finishingSend
                                                     && ClearDisplay() == RemoteOutcome::Done;
                                          }},
                                 this);
    N_Play = WindowAction("N_Play", PlayStart);
    N_PlayPause = WindowAction("N_PlayPause", QStringLiteral("暂停/继续播放(&U)"));
    N_NudgeBack = WindowAction("N_NudgeBack", QStringLiteral("播放时钟退后0.5秒"));
    N_NudgeOn = WindowAction("N_NudgeOn", QStringLiteral("播放时钟提前0.5秒"));
    N_ExportSubtitles = new QAction(QStringLiteral("导出字幕(&E)"), this);
    N_ExportSubtitles->setObjectName(QStringLiteral("N_ExportSubtitles"));
    N_File->insertAction(N4, N_ExportSubtitles);
    N_Send->addActions({N_Play, N_PlayPause});

    connect(Btn_Play, &QPushButton::clicked, this, &TFrm_Main::PlayClick);
    connect(N_Play, &QAction::triggered, this, &TFrm_Main::PlayClick);
    connect(Btn_PlayPause, &QPushButton::clicked, this, &TFrm_Main::PlayPauseClick);
    connect(N_PlayPause, &QAction::triggered, this, &TFrm_Main::PlayPauseClick);
    connect(N_NudgeBack, &QAction::triggered, this, [this] { Playback->nudge(-NudgeMs); });
    connect(N_NudgeOn, &QAction::triggered, this, [this] { Playback->nudge(NudgeMs); });
    connect(Chk_BlankAtEnd, &QCheckBox::toggled, this, [this](bool on) { Playback->setBlankAtEnd(on); });
    connect(N_ExportSubtitles, &QAction::triggered, this, &TFrm_Main::N_ExportSubtitlesClick);

    // A page sent by hand moves the clock to its cue; a failure stops playback.
    connect(Show, &ShowState::transmissionStarted, this, [this](const ShowTransmission &what) {
        if (what.kind == ShowKind::Page)
            Playback->pageSentByHand(what.page);
    });
    connect(Show, &ShowState::transmissionEnded, this, &TFrm_Main::PlaybackTransmissionEnded);
    // Edited pages no longer have the numbers playback goes by.
    connect(PageList, &QAbstractItemModel::modelReset, this, [this] {
        Playback->stop(QStringLiteral("幕列表已改变，按时间播放已停止"));
        UpdatePlayback();
    });
    connect(Playback, &TimedPlayback::changed, this, &TFrm_Main::UpdatePlayback);
    auto *refresh = new QTimer(this);
    refresh->setInterval(ClockRefreshMs);
    connect(refresh, &QTimer::timeout, this, &TFrm_Main::UpdatePlayback);
    connect(Playback, &TimedPlayback::changed, refresh, [this, refresh] {
        if (Playback->active())
            refresh->start();
        else
            refresh->stop();
    });
    UpdatePlayback();
}

// The page goes out as a click would, and the list follows it, so that
// Space sends the cue after it. A busy link is not asked: a refused request
// would be logged at every retry.
bool TFrm_Main::SendCue(int page)
{
    if (CurrentSendThread.load() || m_finishingSend || !SendPage(page, PageText(page)))
        return false;
    Project.AdvanceAfterSend = false;
    SelectPage(page);
    return true;
}

void TFrm_Main::PlaybackTransmissionEnded(const ShowEntry &entry)
{
    if (entry.outcome == ShowEntry::Failed)
        Playback->stop(QStringLiteral("按时间播放已停止：") + entry.reason);
    else if (entry.outcome == ShowEntry::Cancelled)
        Playback->stop(QStringLiteral("按时间播放已停止：发送已取消"));
}

void TFrm_Main::UpdatePlayback()
{
    const bool active = Playback->active();
    Btn_Play->setText(active ? PlayStop : PlayStart);
    Btn_Play->setEnabled(active || (Richedt_Screen->timed() && PageCount() > 0));
    Btn_Play->setToolTip(Btn_Play->isEnabled() ? QString()
                                               : QStringLiteral("剧本没有时间：请导入 .srt 或 .vtt 字幕文件"));
    N_Play->setEnabled(Btn_Play->isEnabled());
    Btn_PlayPause->setEnabled(active);
    N_PlayPause->setEnabled(active);
    Btn_PlayPause->setText(Playback->state() == TimedPlayback::Paused ? Resume : Pause);
    if (!active) {
        Lbl_PlayClock->setText(Playback->stopReason());
        if (!Playback->stopReason().isEmpty())
            StatusPanel[2]->setText(Playback->stopReason());
        return;
    }
    QString text = QStringLiteral("时钟 ") + ClockText(Playback->showClockMs());
    if (Playback->state() == TimedPlayback::Paused)
        text += QStringLiteral("（已暂停）");
    const int next = Playback->nextPage();
    if (next >= 0)
        text += QStringLiteral("　第%1幕 %2 秒后").arg(next + 1).arg(double(Playback->msToNext()) / 1000, 0, 'f', 1);
    Lbl_PlayClock->setText(text);
}

void TFrm_Main::PlayClick()
{
    if (Playback->active()) {
        Playback->stop();
        return;
    }
    AwaitScenario();
    if (!Richedt_Screen->timed() || PageCount() == 0)
        return;
    Playback->setBlankAtEnd(Chk_BlankAtEnd->isChecked());
    Playback->start(Richedt_Screen->pageTimes(), std::max(SelectedIndex(), 0));
}

void TFrm_Main::PlayPauseClick()
{
    if (Playback->state() == TimedPlayback::Paused)
        Playback->resume();
    else
        Playback->pause();
}

RemoteOutcome TFrm_Main::RunPlaybackCommand(RemoteCommand command)
{
    if (command == RemoteCommand::Pause) {
        if (Playback->state() != TimedPlayback::Playing)
            return RemoteOutcome::NoPage;
        Playback->pause();
    } else if (Playback->state() == TimedPlayback::Paused) {
        Playback->resume();
    } else if (!Playback->active()) {
        PlayClick();
        if (!Playback->active())
            return RemoteOutcome::NoPage;
    }
    return RemoteOutcome::Done;
}

void TFrm_Main::N_ExportSubtitlesClick()
{
    Guarded([this] {
        const QString logPath = ShowLogFile();
        if (!QFile::exists(logPath))
            throw VelmoraError(QStringLiteral("还没有演出记录：") + logPath);
        Prompter::FileRequest request;
        request.filter = QStringLiteral("SubRip字幕(*.srt)|*.srt|WebVTT字幕(*.vtt)|*.vtt");
        request.defaultSuffix = QStringLiteral("srt");
        request.mustExist = false;
        const QString path = m_prompter->saveFile(this, request);
        if (path.isEmpty())
            return;
        const SubtitleFormat format = path.endsWith(QLatin1String(".vtt"), Qt::CaseInsensitive)
                                          ? SubtitleFormat::WebVtt
                                          : SubtitleFormat::Srt;
        const SubtitleDocument doc = LogSubtitles(ReadWholeFile(logPath), format);
        if (doc.cues.empty())
            throw VelmoraError(QStringLiteral("演出记录中没有发出的幕：") + logPath);
        WriteFileSafely(path, WriteSubtitles(doc).toUtf8());
        StatusPanel[2]->setText(QStringLiteral("已导出%1条字幕：%2").arg(doc.cues.size()).arg(path));
    });
}
