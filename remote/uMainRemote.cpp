// The main window's side of remote control: the web server it owns, what the
// pages read of the live show, and the commands they run.
#include "app/uMain.h"

#include "app/PageListModel.h"
#include "remote/uLanguages.h"
#include "remote/uRemote.h"
#include "remote/OscReceiver.h"
#include "remote/RemoteServer.h"
#include "remote/ShowLanguages.h"

#include <QAction>
#include <QDateTime>
#include <QFileInfo>
#include <QMenu>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStatusBar>
#include <QTableView>

namespace {
// The live show as the server sees it: the window's state and entry points.
class WindowShow : public RemoteShow {
public:
    explicit WindowShow(TFrm_Main *window) : m_window(window) {}

    RemoteState remoteState() const override
    {
        const ShowState *show = m_window->Show;
        RemoteState state;
        state.onAirPage = show->onAirPage() + 1;
        const ShowState::Screen screen = show->screen();
        if (screen == ShowState::OnPage || screen == ShowState::TempMessage)
            state.onAirText = show->onAirText();
        const int next = ShowState::NextPage(m_window->SelectedIndex(), m_window->PageCount());
        state.nextPage = next + 1;
        if (next >= 0)
            state.nextText = m_window->PageText(next);
        state.blank = screen == ShowState::Black;
        // A temporary message has no translation; a page has its line's.
        const int page = screen == ShowState::OnPage ? show->onAirPage() : -1;
        for (const Translation &t : languages().translations())
            state.languages.push_back({t.tag, t.name, ShowLanguages::lineOfPage(t, *m_window->Richedt_Screen, page)});
        state.sending = show->busy();
        state.linkOk = !m_window->LinkFailed;
        state.linkMessage = m_window->LinkStatus->text();
        state.locked = m_window->ShowLocked();
        return state;
    }

    RemoteOutcome runRemote(RemoteCommand command, int page) override
    {
        return m_window->RunRemoteCommand(command, page);
    }

    // The page is chosen under the rules of every remote command, then sent
    // as a click on it; while a page goes out nothing changes.
    RemoteOutcome sendPage(int page) override
    {
        if (m_window->Show->busy() && !m_window->ShowLocked())
            return RemoteOutcome::Dropped;
        const RemoteOutcome chosen = m_window->RunRemoteCommand(RemoteCommand::GoTo, page);
        if (chosen != RemoteOutcome::Done)
            return chosen;
        m_window->LstView_PageClick();
        return m_window->Show->busy() ? RemoteOutcome::Done : RemoteOutcome::Dropped;
    }

private:
    // The project's translations, read again when another project is open
    // or its list was written (by 远程与观众 or by hand).
    const ShowLanguages &languages() const
    {
        const QString project = m_window->Project.CurFileName;
        QString key;
        if (!project.isEmpty()) {
            const QFileInfo list(ShowLanguages::listFile(project));
            key = project + QLatin1Char('|') + QString::number(list.lastModified().toMSecsSinceEpoch())
                  + QLatin1Char('|') + QString::number(list.size());
        }
        if (key != m_languagesOf) {
            m_languagesOf = key;
            m_languages = project.isEmpty() ? ShowLanguages() : ShowLanguages::read(project);
            const QStringList errors = m_languages.errors();
            if (!errors.isEmpty())
                m_window->statusBar()->showMessage(errors.join(QStringLiteral("；")));
        }
        return m_languages;
    }

    TFrm_Main *m_window;
    mutable QString m_languagesOf;
    mutable ShowLanguages m_languages;
};
} // namespace

void TFrm_Main::SetupRemote()
{
    m_remoteServer = new RemoteServer(std::make_unique<WindowShow>(this), SystemClock(), this);
    // Every change of what the pages show reaches the event streams.
    connect(Show, &ShowState::changed, m_remoteServer, &RemoteServer::publish);
    connect(Show, &ShowState::transmissionEnded, m_remoteServer, &RemoteServer::publish);
    connect(LstView_Page->selectionModel(), &QItemSelectionModel::currentRowChanged, m_remoteServer,
            &RemoteServer::publish);
    connect(PageList, &QAbstractItemModel::modelReset, m_remoteServer, &RemoteServer::publish);
    connect(PageList, &QAbstractItemModel::dataChanged, m_remoteServer, &RemoteServer::publish);
    connect(N_ShowLock, &QAction::toggled, m_remoteServer, &RemoteServer::publish);
    // The technician sees at a glance whether phones can reach the show.
    connect(m_remoteServer, &RemoteServer::statusChanged, this,
            [this] { StatusPanel[2]->setText(RemoteStatus()); });
    m_osc = new OscReceiver(this);
    connect(m_osc, &OscReceiver::command, this, [this](RemoteCommand command, int page) {
        if (RunRemoteCommand(command, page) == RemoteOutcome::Done)
            m_osc->noteCarriedOut();
    });
    auto *remote = N_Send->addAction(QStringLiteral("远程与观众(&W)"));
    remote->setObjectName(QStringLiteral("N_Remote"));
    connect(remote, &QAction::triggered, this, &TFrm_Main::N_RemoteClick);
    ApplyRemoteSettings(ReadRemoteSettings());
    if (m_remoteSettings.OscEnabled && !m_osc->isListening())
        StatusPanel[2]->setText(RemoteStatus());
}

void TFrm_Main::N_RemoteClick()
{
    TFrm_Remote dialog(ReadRemoteSettings(), [this](const TRemoteSettings &settings) {
        ApplyRemoteSettings(settings);
        return RemoteStatus();
    }, [this] {
        RemoteLive live;
        live.status = RemoteStatus();
        live.port = m_remoteServer->port();
        if (m_osc->isListening())
            live.oscCounts = QStringLiteral("OSC：已执行 %1 条命令，拒绝的发送方 %2 个数据包，无效数据包 %3 个")
                                 .arg(m_osc->carriedOutCount()).arg(m_osc->refusedCount()).arg(m_osc->malformedCount());
        return live;
    }, this);
    auto *languages = new TLanguagesPanel(Project.CurFileName, *m_prompter, &dialog);
    connect(languages, &TLanguagesPanel::changed, m_remoteServer, &RemoteServer::publish);
    dialog.AddSection(languages);
    dialog.exec();
}

QString TFrm_Main::ApplyOscSettings(const TRemoteSettings &settings)
{
    m_osc->close();
    if (!settings.OscEnabled)
        return QStringLiteral("OSC：未开启");
    QString error;
    if (!m_osc->listen(quint16(settings.OscPort), settings.OscAllowFrom, &error))
        return QStringLiteral("OSC：未能开启，%1").arg(error);
    return QStringLiteral("OSC：已开启，端口 %1").arg(m_osc->port());
}

quint16 TFrm_Main::OscPort() const
{
    return m_osc->port();
}

void TFrm_Main::ApplyRemoteSettings(const TRemoteSettings &settings)
{
    TRemoteSettings applied = settings;
    if (applied.Enabled && EnsureRemoteToken(applied))
        Guarded([&applied] { WriteRemoteSettings(applied); });
    m_oscStatus = ApplyOscSettings(applied);
    // A server still waiting for its port keeps waiting: the retry is its own.
    const bool rebind = applied.Port != m_remoteSettings.Port
        || (!m_remoteServer->isListening() && !m_remoteServer->isRetrying());
    m_remoteSettings = applied;
    m_remoteServer->setToken(applied.Enabled ? applied.Token : QString());
    if (!applied.Enabled)
        m_remoteServer->close();
    else if (rebind)
        m_remoteServer->start(quint16(applied.Port));
    // Same port: the clients stay connected, the new token applies.
}

QString TFrm_Main::RemoteStatus() const
{
    return m_remoteServer->statusText() + QStringLiteral("；") + m_oscStatus;
}

quint16 TFrm_Main::RemotePort() const
{
    return m_remoteServer->port();
}

RemoteOutcome TFrm_Main::RunRemoteCommand(RemoteCommand command, int page)
{
    if (ShowLocked()) {
        LogRefusedRemote(command, page, QStringLiteral("演出已锁定"));
        return RemoteOutcome::Locked;
    }
    // A dialog that only shows or sends (临时信息, LOGO, 远程与观众, ...)
    // leaves the show to the cue system; one that changes the pages or the
    // set-up does not.
    if (m_settingUp > 0) {
        LogRefusedRemote(command, page, QStringLiteral("操作员正在修改设置"));
        return RemoteOutcome::Refused;
    }
    switch (command) {
    case RemoteCommand::Next:
        return SendNextPage();
    case RemoteCommand::Previous:
        return SendPreviousPage();
    case RemoteCommand::Blank:
        return ClearDisplay();
    case RemoteCommand::Resend:
        return ResendClick();
    case RemoteCommand::GoTo:
        return GoToPageNumber(page);
    case RemoteCommand::Play:
    case RemoteCommand::Pause:
        return RunPlaybackCommand(command);
    }
    return RemoteOutcome::NoPage;
}

void TFrm_Main::LogRefusedRemote(RemoteCommand command, int page, const QString &reason)
{
    const auto request = [this](ShowKind kind, int index) {
        return ShowTransmission{kind, index, index >= 0 && index < PageCount() ? PageText(index) : QString()};
    };
    ShowTransmission what{ShowKind::Blank};
    switch (command) {
    case RemoteCommand::Next:
        what = request(ShowKind::Page, ShowState::NextPage(SelectedIndex(), PageCount()));
        break;
    case RemoteCommand::Previous:
        what = request(ShowKind::Page, SelectedIndex() - 1);
        break;
    case RemoteCommand::Resend:
        what = request(ShowKind::Page, Show->resendPage());
        break;
    case RemoteCommand::GoTo:
        what = request(ShowKind::GoTo, page - 1);
        break;
    case RemoteCommand::Blank:
        break;
    }
    Show->refused(what);   // the show log keeps every cue that was not carried out
    StatusPanel[2]->setText(QStringLiteral("远程指令未执行：") + reason);
}
