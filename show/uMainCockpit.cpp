// The operator's cockpit: what is on air and what comes next, go to and find,
// previous page, resend, cancel, the show log with its recovery, and the
// show lock.
#include "app/uMain.h"

#include "app/PageListModel.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QString OneLine(const QString &text)
{
    return QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
}

QLabel *LargeLine(const char *name)
{
    auto *label = new QLabel;
    label->setObjectName(QLatin1String(name));
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.6);
    font.setBold(true);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    // A long page must not widen the window: the line is cut at its edge.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

QLineEdit *HiddenBox(const char *name, const QString &placeholder)
{
    auto *box = new QLineEdit;
    box->setObjectName(QLatin1String(name));
    box->setPlaceholderText(placeholder);
    box->hide();
    return box;
}
} // namespace

QWidget *TFrm_Main::BuildCockpit()
{
    auto *panel = new QWidget;
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    Lbl_Now = LargeLine("Lbl_Now");
    Lbl_Next = LargeLine("Lbl_Next");
    Edt_GoTo = HiddenBox("Edt_GoTo", QStringLiteral("转到第几幕（回车）"));
    Edt_GoTo->setValidator(new QIntValidator(1, 999999, Edt_GoTo));
    Edt_Find = HiddenBox("Edt_Find", QStringLiteral("查找文字（回车，F3 下一个）"));
    for (QWidget *w : {static_cast<QWidget *>(Lbl_Now), static_cast<QWidget *>(Lbl_Next),
                       static_cast<QWidget *>(Edt_GoTo), static_cast<QWidget *>(Edt_Find)})
        layout->addWidget(w);
    connect(Edt_GoTo, &QLineEdit::returnPressed, this, &TFrm_Main::GoToPage);
    connect(Edt_Find, &QLineEdit::returnPressed, this, [this] {
        m_findText = Edt_Find->text();
        Edt_Find->hide();
        FindNext();
    });
    return panel;
}

namespace {
// Its keys come from the window's key table (SetupHelp).
} // namespace

QAction *TFrm_Main::WindowAction(const char *name, const QString &text)
{
    auto *action = new QAction(text, this);
    action->setObjectName(QLatin1String(name));
    addAction(action);   // the keys work wherever the focus is
    return action;
}

void TFrm_Main::SetupCockpit()
{
    N_GoTo = WindowAction("N_GoTo", QStringLiteral("转到幕"));
    N_Find = WindowAction("N_Find", QStringLiteral("查找"));
    N_FindNext = WindowAction("N_FindNext", QStringLiteral("查找下一个"));
    N_Resend = WindowAction("N_Resend", QStringLiteral("重发当前画面(&R)"));
    N_Cancel = WindowAction("N_Cancel", QStringLiteral("取消发送"));
    N_ShowLog = WindowAction("N_ShowLog", QStringLiteral("演出记录(&L)"));
    N_ShowLock = WindowAction("N_ShowLock", QStringLiteral("演出锁定(&K)"));
    N_ShowLock->setCheckable(true);
    N_Send->addActions({N_Resend, N_ShowLog});
    N_Setup->addAction(N_ShowLock);
    connect(N_GoTo, &QAction::triggered, this, [this] { OpenBox(Edt_GoTo); });
    connect(N_Find, &QAction::triggered, this, [this] { OpenBox(Edt_Find); });
    connect(N_FindNext, &QAction::triggered, this, [this] {
        if (m_findText.isEmpty())
            OpenBox(Edt_Find);
        else
            FindNext();
    });
    connect(N_Resend, &QAction::triggered, this, &TFrm_Main::ResendClick);
    connect(N_Cancel, &QAction::triggered, this, &TFrm_Main::EscapeClick);
    connect(N_ShowLog, &QAction::triggered, this, &TFrm_Main::ShowLogClick);
    connect(N_ShowLock, &QAction::toggled, this, &TFrm_Main::SetShowLocked);

    Btn_Cancel = new QPushButton(QStringLiteral("取消(&Z)"));
    Btn_Cancel->setObjectName(QStringLiteral("Btn_Cancel"));
    Btn_Cancel->setEnabled(false);
    statusBar()->insertWidget(2, Btn_Cancel);
    connect(Btn_Cancel, &QPushButton::clicked, this, &TFrm_Main::CancelClick);

    connect(Show, &ShowState::changed, this, &TFrm_Main::UpdateNowNext);
    connect(Show, &ShowState::transmissionEnded, this, &TFrm_Main::LogTransmission);
    m_repeatFlush = new QTimer(this);
    m_repeatFlush->setSingleShot(true);
    m_repeatFlush->setInterval(1000);
    connect(m_repeatFlush, &QTimer::timeout, this, [this] { ReportLogFailure(m_showLog.flushRepeats()); });
    connect(LstView_Page->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TFrm_Main::UpdateNowNext);
    UpdateNowNext();
}

QString TFrm_Main::NowLine() const
{
    switch (Show->screen()) {
    case ShowState::OnPage:
        return QStringLiteral("当前：第%1幕 %2").arg(Show->onAirPage() + 1).arg(OneLine(Show->onAirText()));
    case ShowState::Black:
        return QStringLiteral("当前：黑屏");
    case ShowState::TempMessage:
        return QStringLiteral("当前：临时信息 %1").arg(OneLine(Show->onAirText()));
    case ShowState::LogoPicture:
        return QStringLiteral("当前：LOGO");
    case ShowState::WelcomePicture:
        return QStringLiteral("当前：欢迎画面");
    case ShowState::Unknown:
        break;
    }
    return QStringLiteral("当前：—");
}

void TFrm_Main::UpdateNowNext()
{
    Lbl_Now->setText(NowLine());
    const int next = ShowState::NextPage(SelectedIndex(), PageCount());
    Lbl_Next->setText(next < 0 ? QStringLiteral("下一幕：—")
                               : QStringLiteral("下一幕：第%1幕 %2").arg(next + 1).arg(OneLine(PageText(next))));
    PageList->setOnAir(Show->onAirPage());
    Btn_Cancel->setEnabled(Show->busy());
}

void TFrm_Main::OpenBox(QLineEdit *box, const QString &typed)
{
    (box == Edt_GoTo ? Edt_Find : Edt_GoTo)->hide();
    box->setText(typed);
    box->show();
    box->setFocus();
}

void TFrm_Main::GoToPage()
{
    Edt_GoTo->hide();
    GoToPageNumber(Edt_GoTo->text().toInt());
    LstView_Page->setFocus();
}

RemoteOutcome TFrm_Main::GoToPageNumber(int page)
{
    if (page < 1 || page > PageCount()) {
        StatusPanel[2]->setText(QStringLiteral("没有第%1幕").arg(page));
        return RemoteOutcome::NoPage;
    }
    SelectPage(page - 1);   // selection only: the next Space sends the page after it
    LstView_Page->scrollTo(PageList->index(page - 1, 0));
    // The operator's choice wins over the move at the end of a running transmission.
    Project.AdvanceAfterSend = false;
    return RemoteOutcome::Done;
}

bool TFrm_Main::FindNext()
{
    const int count = PageCount();
    const int from = SelectedIndex() + 1;
    for (int step = 0; step < count; ++step) {
        const int i = (from + step) % count;
        if (PageText(i).contains(m_findText, Qt::CaseInsensitive)) {
            SelectPage(i);
            LstView_Page->scrollTo(PageList->index(i, 0));
            LstView_Page->setFocus();
            return true;
        }
    }
    StatusPanel[2]->setText(QStringLiteral("未找到“%1”").arg(m_findText));
    LstView_Page->setFocus();
    return false;
}

RemoteOutcome TFrm_Main::SendPreviousPage()
{
    const int i = SelectedIndex();
    if (i <= 0) {
        StatusPanel[2]->setText(QStringLiteral("已经是第一幕"));
        return RemoteOutcome::NoPage;
    }
    if (!SendPage(i - 1, PageText(i - 1)))
        return RemoteOutcome::Dropped;
    Project.AdvanceAfterSend = false;   // the list stays on the page sent
    SelectPage(i - 1);
    m_rowAfterRequest = i - 1;
    return RemoteOutcome::Done;
}

RemoteOutcome TFrm_Main::ResendClick()
{
    const ShowState::Screen screen = Show->screen();
    bool started = false;
    if (screen == ShowState::TempMessage || screen == ShowState::LogoPicture
        || screen == ShowState::WelcomePicture) {
        // The message or picture goes out again exactly as it was built.
        started = StartTransmission(m_lastPicture.frame1, m_lastPicture.frame2,
                                    m_lastPicture.caption, m_lastPicture.what);
    } else {
        const int page = Show->resendPage();
        if (page < 0 || page >= PageCount()) {
            StatusPanel[2]->setText(QStringLiteral("没有可重发的画面"));
            return RemoteOutcome::NoPage;
        }
        started = SendPage(page, PageText(page));
    }
    if (!started)
        return RemoteOutcome::Dropped;
    Project.AdvanceAfterSend = false;
    return RemoteOutcome::Done;
}

void TFrm_Main::CancelClick()
{
    if (!m_sendThread || !Show->busy())
        return;
    m_cancelRequested = true;
    m_sendThread->requestInterruption();   // the worker stops after the write in progress
}

// An open box takes Esc for itself: closing it must not cut a page short.
void TFrm_Main::EscapeClick()
{
    if (!Edt_GoTo->isVisible() && !Edt_Find->isVisible()) {
        CancelClick();
        return;
    }
    Edt_GoTo->hide();
    Edt_Find->hide();
    LstView_Page->setFocus();
}

QString TFrm_Main::ShowLogFile() const
{
    return ShowLogPath(Project.CurFileName, Project.ProjectUntitled, QDir::currentPath());
}

void TFrm_Main::LogTransmission(const ShowEntry &entry)
{
    if (entry.outcome == ShowEntry::Cancelled) {
        const QString partial = Show->partialDisplay();
        StatusPanel[2]->setText(partial.isEmpty()
                                    ? QStringLiteral("发送已取消")
                                    : QStringLiteral("发送已取消，%1可能显示不完整的画面").arg(partial));
    }
    m_showLog.setPath(ShowLogFile());
    ReportLogFailure(m_showLog.add(QDateTime::currentDateTime(), entry));
    if (m_showLog.hasRepeats() && !m_repeatFlush->isActive())
        m_repeatFlush->start();
}

void TFrm_Main::ReportLogFailure(const QString &failure)
{
    if (!failure.isEmpty())
        StatusPanel[2]->setText(failure);
}

void TFrm_Main::ShowLogClick()
{
    delete m_showLogView.data();
    auto *view = new QDialog(this);
    m_showLogView = view;
    view->setObjectName(QStringLiteral("Frm_ShowLog"));
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setWindowTitle(QStringLiteral("演出记录 - %1").arg(ShowLogFile()));
    auto *text = new QPlainTextEdit(view);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFile file(ShowLogFile());
    text->setPlainText(file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                      : QStringLiteral("还没有演出记录"));
    text->moveCursor(QTextCursor::End);   // the latest lines first in view
    (new QVBoxLayout(view))->addWidget(text);
    view->resize(800, 400);
    view->show();
}

void TFrm_Main::RecoverShow()
{
    QFile file(ShowLogFile());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const int page = LastOkPage(file.readAll());
    if (page < 0 || page >= PageCount())
        return;
    SelectPage(page);   // nothing is sent: the operator decides
    LstView_Page->scrollTo(PageList->index(page, 0));
    StatusPanel[2]->setText(QStringLiteral("上次播出至第%1幕").arg(page + 1));
}

QList<QObject *> TFrm_Main::LockedCommands() const
{
    return {Btn_LoadScenario, Btn_InputStr, Btn_Modify, Btn_Delete, N6, N_Font, TolBtn_Font,
            ToolButton3, N_New, TolBtn_New, N2, TolBtn_Open};
}

void TFrm_Main::SetShowLocked(bool locked)
{
    if (locked == m_showLocked)
        return;
    m_showLocked = locked;
    for (QObject *command : LockedCommands()) {
        if (locked)
            m_enabledBeforeLock[command] = command->property("enabled").toBool();
        command->setProperty("enabled", locked ? false : m_enabledBeforeLock.value(command, true));
    }
    N_ShowLock->setChecked(locked);
    UpdateTitle();
}
