// The main window's side of remote control: the web server it owns, what the
// pages read of the live show, and the commands they run.
#include "app/uMain.h"

#include "app/PageListModel.h"
#include "remote/uRemote.h"
#include "remote/OscReceiver.h"
#include "remote/RemoteServer.h"

#include <QAction>
#include <QApplication>
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
        state.sending = show->busy();
        state.linkOk = !m_window->LinkFailed;
        state.linkMessage = m_window->LinkStatus->text();
        return state;
    }

    RemoteOutcome runRemote(RemoteCommand command, int page) override
    {
        return m_window->RunRemoteCommand(command, page);
    }

private:
    TFrm_Main *m_window;
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
    m_osc = new OscReceiver(this);
    connect(m_osc, &OscReceiver::command, this,
            [this](RemoteCommand command, int page) { RunRemoteCommand(command, page); });
    auto *remote = N_Send->addAction(QStringLiteral("远程与观众"));
    remote->setObjectName(QStringLiteral("N_Remote"));
    connect(remote, &QAction::triggered, this, &TFrm_Main::N_RemoteClick);
    ApplyRemoteSettings(ReadRemoteSettings());
    if ((m_remoteSettings.Enabled && !m_remoteServer->isListening())
        || (m_remoteSettings.OscEnabled && !m_osc->isListening()))
        StatusPanel[2]->setText(RemoteStatus());
}

void TFrm_Main::N_RemoteClick()
{
    TFrm_Remote dialog(ReadRemoteSettings(), [this](const TRemoteSettings &settings) {
        ApplyRemoteSettings(settings);
        return RemoteStatus();
    }, this);
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
    const bool rebind = applied.Port != m_remoteSettings.Port || !m_remoteServer->isListening();
    m_remoteSettings = applied;
    m_remoteServer->setToken(applied.Enabled ? applied.Token : QString());
    if (!applied.Enabled) {
        m_remoteServer->close();
        m_remoteStatus = QStringLiteral("远程与观众：未开启");
    } else if (!rebind) {
        return;   // same port: the clients stay connected, the new token applies
    } else if (m_remoteServer->listen(quint16(applied.Port))) {
        m_remoteStatus = QStringLiteral("远程与观众：已开启，端口 %1").arg(m_remoteServer->port());
    } else {
        m_remoteStatus = QStringLiteral("远程与观众：未能开启，%1").arg(m_remoteServer->errorText());
    }
}

QString TFrm_Main::RemoteStatus() const
{
    return m_remoteStatus + QStringLiteral("；") + m_oscStatus;
}

quint16 TFrm_Main::RemotePort() const
{
    return m_remoteServer->port();
}

RemoteOutcome TFrm_Main::RunRemoteCommand(RemoteCommand command, int page)
{
    if (ShowLocked())
        return RemoteOutcome::Locked;
    // While a dialog holds the window its keys do not work either.
    if (QApplication::activeModalWidget())
        return RemoteOutcome::Dropped;
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
