// The main window's side of the controller link: starting transmissions, the
// control commands and the worker's messages.
#include "app/uMain.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTableView>
#include <QToolBar>

bool TFrm_Main::StartTransmission(const QByteArray &frame1, const QByteArray &frame2,
                                  const QString &caption)
{
    // The end of the previous transmission is still being handled: its
    // selection move must not be taken by a new request.
    if (CurrentSendThread.load() || m_finishingSend)
        return false;
    m_sendThread = new TSendThread(ComPortName(Record().ComPort), Record().BaudRate, frame1,
                                   frame2, caption, this, LinkEnvironment);
    PauseAtLeast(10);
    return true;
}

bool TFrm_Main::StartTransmission(const TTransmission &transmission)
{
    return StartTransmission(transmission.frame1, transmission.frame2, transmission.caption);
}

void TFrm_Main::StopTransmission()
{
    if (m_sendThread) {
        m_sendThread->requestInterruption();
        delete m_sendThread.data();   // waits for the worker's clean-up
    }
    SetWaitCursor(false);
}

void TFrm_Main::StoreAndStart(const TTransmission &transmission)
{
    PortraitFrame = transmission.frame1;
    LandscapeFrame = transmission.frame2;
    StartTransmission(transmission);
}

void TFrm_Main::N8Click()
{
    StartTransmission(ResetTransmission(Record()));
}

void TFrm_Main::SendScreenParams()
{
    Project.AdvanceAfterSend = false;
    StoreAndStart(ScreenParamsTransmission(Record()));
}

void TFrm_Main::StepBrightness()
{
    const TTransmission t = BrightnessStepTransmission(Record());
    Project.ProjectSaved = false;
    StoreAndStart(t);
}

void TFrm_Main::ClearTempMessage()
{
    const TTransmission t = ClearTempTransmission(Record());
    Project.ProjectSaved = false;
    StoreAndStart(t);
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
        SendProgress(m->wParam, m->lParam);
        break;
    case WM_SENDDONE:
        SendDone();
        break;
    default:
        QMainWindow::customEvent(event);
    }
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
    N_Send->menuAction()->setEnabled(enabled);
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
    Project.SentByClick = false;
    Project.AdvanceAfterSend = false;
    LstView_Page->setFocus();
}
