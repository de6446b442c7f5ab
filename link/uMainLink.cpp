// The main window's side of the controller link: starting transmissions, the
// control commands, page sending and auto-send, and the worker's messages.
#include "app/uMain.h"

#include "app/Prompter.h"
#include "help/KeyTable.h"
#include "sim/WireTap.h"

#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>

namespace {
// Space and Enter in the page list send pages, except while an input method
// is composing text there: then they belong to the composition. A digit opens
// 转到. Watches the list's viewport too, for the selection before a press.
class PageListWatch : public QObject {
public:
    explicit PageListWatch(TFrm_Main *window) : QObject(window), m_window(window) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::InputMethod:
            m_composing = !static_cast<QInputMethodEvent *>(event)->preeditString().isEmpty();
            break;
        case QEvent::FocusOut:
            m_composing = false;
            break;
        case QEvent::KeyPress:
            if (!m_composing) {
                const auto *key = static_cast<QKeyEvent *>(event);
                return m_window->LstView_PageKeyPress(key->key()) || m_window->PageListTyped(key->text());
            }
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            m_window->LstView_PageMouseDown();
            break;
        default:
            break;
        }
        return false;
    }

private:
    TFrm_Main *m_window;
    bool m_composing = false;
};

const QString AutoStart = QStringLiteral("开始(&G)");
const QString AutoStop = QStringLiteral("停止(&G)");
} // namespace

void TFrm_Main::WatchPageList()
{
    auto *watch = new PageListWatch(this);
    LstView_Page->installEventFilter(watch);
    LstView_Page->viewport()->installEventFilter(watch);
    connect(LstView_Page, &QAbstractItemView::clicked, this, [this] { LstView_PageClick(); });
}

void TFrm_Main::SetupLinkStatus()
{
    Show = new ShowState(this);
    LinkStatus = new QLabel;
    LinkStatus->setObjectName(QStringLiteral("LinkStatus"));
    LinkStatus->setFrameShape(QFrame::Panel);
    LinkStatus->setFrameShadow(QFrame::Sunken);
    statusBar()->addPermanentWidget(LinkStatus);
}

void TFrm_Main::ShowLinkResult(const QString &failure)
{
    LinkFailed = !failure.isEmpty();
    LinkStatus->setText(LinkFailed ? failure : QStringLiteral("发送正常：") + m_linkPort);
    LinkStatus->setToolTip(LinkStatus->text());
    LinkStatus->setStyleSheet(LinkFailed ? QStringLiteral("color: red;") : QString());
}

bool TFrm_Main::StartTransmission(const QByteArray &frame1, const QByteArray &frame2,
                                  const QString &caption, ShowTransmission what)
{
    what.portrait = !frame1.isEmpty();
    what.landscape = !frame2.isEmpty();
    if (LinkBusy()) {
        StatusPanel[2]->setText(QStringLiteral("正在发送，本次未发送"));
        Show->dropped(what);
        return false;
    }
    TLinkEnvironment environment = LinkEnvironment;
    environment.observer = Tap;   // the LED monitor follows every transmission
    const QString portName = ComPortName(Record().ComPort);
    m_linkPort = PortLabel(portName);
    Show->started(what);
    m_rowBeforeRequest = m_rowAfterRequest = SelectedIndex();
    if (what.kind == ShowKind::Temp || what.kind == ShowKind::Logo || what.kind == ShowKind::Welcome)
        m_lastPicture = {frame1, frame2, caption, what};
    m_sendThread = new TSendThread(portName, Record().BaudRate, frame1, frame2, caption, this,
                                   environment);
    PauseAtLeast(10);
    return true;
}

bool TFrm_Main::StartTransmission(const TTransmission &transmission, ShowKind kind)
{
    return StartTransmission(transmission.frame1, transmission.frame2, transmission.caption, {kind});
}

// A transmission runs, or the end of the last one is still being handled:
// its selection move must not be taken by a new request.
bool TFrm_Main::LinkBusy() const
{
    return CurrentSendThread.load() || m_finishingSend;
}

void TFrm_Main::StopTransmission()
{
    if (m_sendThread) {
        m_cancelRequested = true;
        m_sendThread->requestInterruption();
        delete m_sendThread.data();   // waits for the worker's clean-up
    }
    // The worker's last message is taken now, so that its end is in the show
    // log before the program ends; the window itself no longer follows it.
    m_closing = true;
    QCoreApplication::sendPostedEvents(this, WM_SENDDONE);
    m_showLog.flushRepeats();
    SetWaitCursor(false);
}

bool TFrm_Main::StoreAndStart(const TTransmission &transmission, ShowKind kind)
{
    PortraitFrame = transmission.frame1;
    LandscapeFrame = transmission.frame2;
    return StartTransmission(transmission, kind);
}

void TFrm_Main::N8Click()
{
    StartTransmission(ResetTransmission(Record()), ShowKind::Reset);
}

void TFrm_Main::SendScreenParams()
{
    Guarded([this] {   // a damaged project's sizes are refused with a message
        if (StoreAndStart(ScreenParamsTransmission(Record()), ShowKind::Params))
            Project.AdvanceAfterSend = false;   // the list stays when this one ends
    });
}

void TFrm_Main::StepBrightness()
{
    const TTransmission t = BrightnessStepTransmission(Record());
    Project.ProjectSaved = false;
    StoreAndStart(t, ShowKind::Brightness);
}

void TFrm_Main::ClearTempMessage()
{
    const TTransmission t = ClearTempTransmission(Record());
    Project.ProjectSaved = false;
    StoreAndStart(t, ShowKind::ClearTemp);
}

bool TFrm_Main::SendRendered(const QString &text, uint8_t effect, uint8_t runSpeed,
                             uint8_t showTime, const QString &caption,
                             const ShowTransmission &what)
{
    const TProjectRecord &r = Record();
    if (!RenderPage(r.ScreenWidth, r.ScreenHeight, r.ColorMode, r.PortraitOn == 1,
                    r.LandscapeOn == 1, r.LandscapeDouble == 1, text, effect, runSpeed, showTime))
        return false;
    // Only the configured displays get a frame: a slot a display no longer
    // configured still holds a frame from before.
    return StartTransmission(PortraitConfigured(r) ? PortraitFrame : QByteArray(),
                             LandscapeConfigured(r) ? LandscapeFrame : QByteArray(), caption, what);
}

bool TFrm_Main::SendPage(int index, const QString &caption)
{
    const TProjectRecord &r = Record();
    const QString text = PageText(index);
    return SendRendered(text, r.Stunt, r.RunSpeed, r.ShowTime, PageCaption(caption),
                        {ShowKind::Page, index, text});
}

RemoteOutcome TFrm_Main::ClearDisplay()
{
    // The emergency blank is never dropped: what is going out is cut short
    // and the blank follows it (a blank already under way is left to run).
    if (Show->busy() || m_finishingSend) {
        if (!Show->busy() || Show->running().kind != ShowKind::Blank) {
            m_blankAfterSend = true;
            CancelClick();
        }
        return RemoteOutcome::Done;
    }
    if (!SendRendered(QString(), 0, 0, 0, ClearDisplayCaption(), {ShowKind::Blank}))
        return RemoteOutcome::Dropped;
    Project.AdvanceAfterSend = false;
    return RemoteOutcome::Done;
}

void TFrm_Main::TlBtn_MainClick()
{
    const int i = SelectedIndex();
    if (!LstView_Page->isEnabled() || i < 0)
        return;
    // The flags belong to the transmission that carries them: a dropped
    // request must not move the list at the end of the running one.
    if (SendPage(i, PageText(i)))
        Project.AdvanceAfterSend = true;
}

void TFrm_Main::LstView_PageMouseDown()
{
    m_rowBeforeClick = SelectedIndex();
}

void TFrm_Main::LstView_PageClick()
{
    const int i = SelectedIndex();
    if (i < 0)
        return;
    if (SendPage(i, PageText(i))) {
        Project.SentByClick = true;
        Project.AdvanceAfterSend = true;
    } else {
        // Nothing went out: the next Space must go on from the row the show had.
        SelectPage(m_rowBeforeClick);
    }
}

bool TFrm_Main::LstView_PageKeyPress(int key)
{
    // The keys are the page list's rows of the key table (presenter clickers
    // send PageDown and PageUp).
    const char *command = PageListCommand(key);
    if (!command || !LstView_Page->isEnabled())
        return false;
    if (command == PageListPrevious) {
        SendPreviousPage();
        return true;
    }
    if (SendNextPage() == RemoteOutcome::NoPage && SelectedIndex() >= 0)
        EndOfList();
    return true;
}

// The list has no type-ahead search (PageListModel finds nothing): a number
// typed into it is a page to go to, and the selection Space sends from stays.
bool TFrm_Main::PageListTyped(const QString &text)
{
    if (text.size() != 1 || text.at(0) < QLatin1Char('0') || text.at(0) > QLatin1Char('9'))
        return false;
    OpenBox(Edt_GoTo, text);
    return true;
}

RemoteOutcome TFrm_Main::SendNextPage()
{
    const int next = ShowState::NextPage(SelectedIndex(), PageCount());
    if (next < 0)
        return RemoteOutcome::NoPage;
    if (!SendPage(next, PageText(next)))
        return RemoteOutcome::Dropped;
    Project.AdvanceAfterSend = true;
    return RemoteOutcome::Done;
}

void TFrm_Main::EndOfList()
{
    m_prompter->message(this, QStringLiteral("已经到达最后一行！"), QStringLiteral("提示"),
                        Prompter::Information, Prompter::Ok);
}

void TFrm_Main::Button2Click()
{
    if (PageCount() == 0)
        return;
    const int i = SelectedIndex();
    if (i < 0 || i == PageCount() - 1)
        SelectPage(0);
    if (Button2->text().trimmed() == AutoStart) {
        Button2->setText(AutoStop);
        Timer1->setInterval(SpinEdit1->value() * 1000);
        Timer1->start();
    } else {
        Button2->setText(AutoStart);
        Timer1->stop();
    }
    // Space and Enter must reach the list, not press the button again.
    LstView_Page->setFocus();
}

void TFrm_Main::Timer1Timer()
{
    const int i = SelectedIndex();
    if (i < 0)
        return;
    if (i + 1 > PageCount() - 1) {
        // Stopped first, so a tick during the message box shows no second one.
        Timer1->stop();
        Button2->setText(AutoStart);
        EndOfList();
    } else if (SendPage(i + 1, PageText(i + 1))) {
        Project.AdvanceAfterSend = true;
    }
}

void TFrm_Main::customEvent(QEvent *event)
{
    const auto *m = static_cast<const TSendMessage *>(event);
    switch (event->type()) {
    case WM_SENDCURSOR:
        SetWaitCursor(m->wParam == 1);
        break;
    case WM_SENDSTATUS:
        StatusPanel[2]->setText(m->text);
        break;
    case WM_SENDLOCK:
        SetLinkControlsEnabled(false);
        break;
    case WM_SENDPROGRESS:
        if (m->wParam > 0)
            Show->payloadBegun();
        SendProgress(m->wParam, m->lParam);
        break;
    case WM_SENDDONE:
        TransmissionEnded(m->text);
        if (m_closing)
            break;
        SendDone();
        if (m_blankAfterSend) {
            m_blankAfterSend = false;
            ClearDisplay();
        }
        break;
    default:
        QMainWindow::customEvent(event);
    }
}

void TFrm_Main::TransmissionEnded(const QString &failure)
{
    // A cancelled transmission says nothing about the link.
    const bool cancelled = m_cancelRequested && !failure.isEmpty();
    m_cancelRequested = false;
    if (!cancelled)
        ShowLinkResult(failure);
    if (!failure.isEmpty()) {
        // The page did not go out whole: the list stays, and a failed page
        // is the one the same key sends again.
        Project.AdvanceAfterSend = false;
        if (!cancelled && SelectedIndex() == m_rowAfterRequest)
            SelectPage(m_rowBeforeRequest);
    }
    Show->ended(failure, cancelled);
    if (!failure.isEmpty() && !cancelled)
        StopAutoSend(failure);
}

// A dead line would fail every tick and walk the show to its end.
void TFrm_Main::StopAutoSend(const QString &failure)
{
    if (!Timer1->isActive())
        return;
    Timer1->stop();
    Button2->setText(AutoStart);
    StatusPanel[2]->setText(QStringLiteral("自动发送已停止：") + failure);
}

void TFrm_Main::SetWaitCursor(bool wait)
{
    if (wait == m_waitCursor)
        return;
    m_waitCursor = wait;
    if (wait)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TFrm_Main::SetLinkControlsEnabled(bool enabled)
{
    N_Setup->menuAction()->setEnabled(enabled);
    // At hand while sending: the monitor only shows what goes out, F4 cuts
    // the transmission short for the blank, F5 is told it was dropped.
    for (QAction *action : N_Send->actions())
        if (action != N_Monitor && action != N_ClearScreen && action != N_Resend)
            action->setEnabled(enabled);
    ToolBar->setEnabled(enabled);
}

void TFrm_Main::SendProgress(int wParam, int lParam)
{
    ProgressB_State->setVisible(wParam != -1);
    if (wParam > 0) {
        ProgressB_State->setMaximum(wParam);
        ProgressB_State->setValue(0);
    } else if (wParam == 0) {
        // The worker's position counts the header too and ends above the
        // maximum; QProgressBar would ignore such a value, so it shows full.
        ProgressB_State->setValue(qMin(lParam, ProgressB_State->maximum()));
    }
}

void TFrm_Main::SendDone()
{
    PauseAtLeast(5);
    if (CurrentSendThread.load() || PortBusy.load())
        return;   // another transmission is running
    SetLinkControlsEnabled(true);
    m_finishingSend = true;
    ProcessPendingMessages();
    m_finishingSend = false;
    // The selection moves on only from where the request left it: a row the
    // operator chose meanwhile (arrows, 转到) stays, and the next Space sends
    // the page after it. A go-to also clears the flag, for its own row.
    const int i = SelectedIndex();
    if (i == m_rowAfterRequest && i < PageCount() - 1 && Project.AdvanceAfterSend
        && !Project.SentByClick) {
        LstView_Page->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        SelectPage(i + 1);
    }
    Project.SentByClick = false;
    Project.AdvanceAfterSend = false;
    LstView_Page->setFocus();
}
