// The set-up the tests of a running show share: a fresh folder for the
// registry and settings files, a prompter that answers, and a main window
// whose transmissions go to a wire log, watched for its status texts and for
// the end of each transmission.
#pragma once

#include "LinkSupport.h"
#include "ScriptedPrompter.h"
#include "TestWindow.h"

#include "app/Gbk.h"
#include "app/PageStore.h"
#include "app/uMain.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QProgressBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <memory>

// What the window showed at each status text, and how many transmissions
// have been handled to their end.
class WindowWatch : public QObject {
public:
    explicit WindowWatch(TFrm_Main *w) : m_w(w) { w->installEventFilter(this); }
    int dones = 0;
    QStringList statuses;
    // Controls disabled but for F4, F5 and the monitor, hourglass, bar shown at every status.
    bool lockedAtStatus = true;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == WM_SENDDONE)
            ++dones;
        if (event->type() == WM_SENDSTATUS) {
            statuses << static_cast<TSendMessage *>(event)->text;
            const QCursor *cursor = QApplication::overrideCursor();
            lockedAtStatus = lockedAtStatus && !m_w->ToolBar->isEnabled()
                && !m_w->N1->isEnabled() && !m_w->N14->isEnabled()
                && m_w->N_ClearScreen->isEnabled() && m_w->N_Resend->isEnabled()
                && m_w->N_Monitor->isEnabled()
                && !m_w->N_Setup->menuAction()->isEnabled() && cursor
                && cursor->shape() == Qt::WaitCursor && m_w->ProgressB_State->isVisible();
        }
        return false;
    }

private:
    TFrm_Main *m_w;
};

class ShowCase : protected WindowCase {
protected:
    // From the test's init() and cleanup().
    void beginCase()
    {
        WindowCase::beginCase();
        m_log = std::make_shared<WireLog>();
    }
    void endCase()
    {
        m_watch.reset();
        m_w.reset();
        m_dir.reset();
    }

    void start(std::shared_ptr<LinkClock> clock = std::make_shared<VirtualClock>(),
               RecordingOptions options = {})
    {
        m_w = newWindow();
        m_w->LinkEnvironment = {RecordingPorts(m_log, clock, options), clock};
        m_watch = std::make_unique<WindowWatch>(m_w.get());
    }

    // The line carries bytes and then takes nothing for an hour: a
    // transmission stays open until it is cancelled or the window goes.
    void stallLineAfter(int bytes)
    {
        const std::shared_ptr<WireLog> log = m_log;
        m_w->LinkEnvironment.ports = [log, bytes](const QString &name) {
            RecordingOptions options;
            options.stallAfterBytes = bytes;
            auto port = std::make_unique<RecordingPort>(name, log, SystemClock(), options);
            port->setStallLimitMs(3600 * 1000);
            return port;
        };
    }

    // The list holds texts, with selected chosen (-1: none) and the focus.
    void showPages(const QStringList &texts, int selected)
    {
        m_w->Richedt_Screen->load(ToGbk(texts.join(QStringLiteral("\r\n"))));
        m_w->RebuildPageList();
        if (selected >= 0)
            m_w->SelectPage(selected);
        m_w->LstView_Page->setFocus();
    }

    void idle(int dones) { QTRY_COMPARE(m_watch->dones, dones); }

    // The pages whose transmission reached its end, once per display.
    QStringList sentPages() const
    {
        QStringList out;
        for (const QString &s : m_watch->statuses)
            if (s.startsWith(QStringLiteral("向显示屏发送“")) && s.endsWith(QStringLiteral("”完毕！")))
                out << s.mid(7, s.size() - 7 - 4);
        return out;
    }

    QString projectFile() const { return m_dir->filePath(QStringLiteral("show.prj")); }

    // The show log without its time stamps: kind, page, result, text.
    QStringList logLines() const
    {
        QFile file(m_dir->filePath(QStringLiteral("show.log")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList out;
        for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            out << line.section(QLatin1Char('\t'), 1);
        return out;
    }

    std::shared_ptr<WireLog> m_log;
    std::unique_ptr<TFrm_Main> m_w;
    std::unique_ptr<WindowWatch> m_watch;
};
