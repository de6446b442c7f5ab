// The operator's cockpit in the main window: on-air mark and now/next lines,
// go to, find, PageUp/PageDown, resend, cancel, show log, recovery and lock.
#include "ShowWindow.h"

#include "app/AppPaths.h"
#include "app/Gbk.h"
#include "app/PageListModel.h"
#include "app/PageStore.h"
#include "app/ProjectFile.h"
#include "app/uMain.h"
#include "link/SpecialFrames.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestCockpit : public QObject, ShowCase {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void onAirMarkNowNextAndResendAfterBlank();
    void resendRepeatsTheTemporaryMessage();
    void goToThenSpaceSendsThePageAfterIt();
    void findSelectsOnly();
    void pageUpAndPageDown();
    void failedTransmission();
    void gestureDuringATransmission_data();
    void gestureDuringATransmission();
    void closingMidPageLogsCancelled();
    void escapeMidFrameAndDroppedRequest();
    void showLogViewerAndRecovery();
    void recoveryAtStart();
    void unwritableLogIsReportedOnce();
    void showLockDisablesExactlyTheSetUp();

private:
    enum Gesture { ClickRow, ClickRowInControlCommand, ArrowUp, ArrowDownTwice, CtrlHome, CtrlG,
                   DigitInList, InputMethodDigit, SpaceAgain, PageUpKey, F5Key, EscInGoToBox,
                   EscInList, F4Key };
    void perform(Gesture gesture);
    // A saved show on the recording port, the window active.
    void startShow(std::shared_ptr<LinkClock> clock = std::make_shared<VirtualClock>(),
                   RecordingOptions options = {});
};

void TestCockpit::init() { beginCase(); }

void TestCockpit::cleanup() { endCase(); }

void TestCockpit::startShow(std::shared_ptr<LinkClock> clock, RecordingOptions options)
{
    start(clock, options);
    QApplication::setActiveWindow(m_w.get());
    QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
    m_w->Record().LandscapeOn = 0;
    m_w->Project.CurFileName = projectFile();
    m_w->Project.ProjectUntitled = false;
}

void TestCockpit::onAirMarkNowNextAndResendAfterBlank()
{
    startShow();
    showPages({"序幕", "第一场", "第二场"}, 0);
    QCOMPARE(m_w->Lbl_Now->text(), QStringLiteral("当前：—"));
    QCOMPARE(m_w->Lbl_Next->text(), QStringLiteral("下一幕：第2幕 第一场"));
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(1);
    QCOMPARE(m_w->PageList->onAir(), 1);
    QCOMPARE(m_w->PageList->data(m_w->PageList->index(1, 0), Qt::DisplayRole).toString(), QStringLiteral("▶ 2"));
    QVERIFY(m_w->PageList->data(m_w->PageList->index(1, 1), Qt::BackgroundRole)
            != m_w->PageList->data(m_w->PageList->index(0, 1), Qt::BackgroundRole));
    QCOMPARE(m_w->Lbl_Now->text(), QStringLiteral("当前：第2幕 第一场"));
    QCOMPARE(m_w->Lbl_Next->text(), QStringLiteral("下一幕：第3幕 第二场"));

    // The mark stays on air while the selection moves, until a blank replaces it.
    m_w->SelectPage(0);
    QCOMPARE(m_w->PageList->onAir(), 1);
    m_w->N_ClearScreen->trigger();
    idle(2);
    QCOMPARE(m_w->PageList->onAir(), -1);
    QCOMPARE(m_w->Lbl_Now->text(), QStringLiteral("当前：黑屏"));

    // F5 after F4: the page before the blank, and the list stays where it is.
    m_log->clear();
    m_w->N_Resend->trigger();
    idle(3);
    QCOMPARE(m_w->PageList->onAir(), 1);
    QCOMPARE(m_w->SelectedIndex(), 0);
    QCOMPARE(logLines(), QStringList({"page\t2\tok\t第一场", "blank\t-\tok\t", "page\t2\tok\t第一场"}));
}

void TestCockpit::resendRepeatsTheTemporaryMessage()
{
    // The bytes written, without their times.
    const auto writes = [this] {
        QStringList out;
        for (const QString &line : m_log->lines())
            if (line.contains(QStringLiteral(" write ")))
                out << line.section(QLatin1Char(' '), 1);
        return out;
    };
    startShow();
    showPages({"序幕", "第一场"}, 0);
    TTempMessage message;
    message.Text = QStringLiteral("演出暂停片刻");
    message.FontName = QStringLiteral("宋体");
    message.FontHeight = 16;
    QVERIFY(m_w->SendTempMessage(message));
    idle(1);
    const QStringList first = writes();
    QCOMPARE(first.value(1), QStringLiteral("write space f7"));   // a temporary message went out

    m_log->clear();
    m_w->N_Resend->trigger();
    idle(2);
    QCOMPARE(writes(), first);
    QCOMPARE(m_w->SelectedIndex(), 0);   // the list stays where it is
    QCOMPARE(logLines().last(), QStringLiteral("temp\t-\tok\t演出暂停片刻"));
}

void TestCockpit::goToThenSpaceSendsThePageAfterIt()
{
    startShow();
    showPages({"一", "二", "三", "四", "五"}, 0);
    m_w->N_GoTo->trigger();
    QVERIFY(m_w->Edt_GoTo->isVisible());
    QTest::keyClicks(m_w->Edt_GoTo, QStringLiteral("3"));
    QTest::keyClick(m_w->Edt_GoTo, Qt::Key_Return);
    QCOMPARE(m_w->SelectedIndex(), 2);
    QVERIFY(!m_w->Edt_GoTo->isVisible());
    QVERIFY(m_w->LstView_Page->hasFocus());
    QTest::qWait(20);
    QVERIFY(m_log->lines().isEmpty());   // going there sends nothing
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(1);
    QCOMPARE(m_w->PageList->onAir(), 3);
    QCOMPARE(m_w->SelectedIndex(), 3);

    m_w->N_GoTo->trigger();
    QTest::keyClicks(m_w->Edt_GoTo, QStringLiteral("99"));
    QTest::keyClick(m_w->Edt_GoTo, Qt::Key_Return);
    QCOMPARE(m_w->SelectedIndex(), 3);
    QCOMPARE(m_w->StatusPanel[2]->text(), QStringLiteral("没有第99幕"));
}

void TestCockpit::findSelectsOnly()
{
    startShow();
    showPages({"开场白", "甲上场", "乙独白", "甲下场"}, 0);
    m_w->N_Find->trigger();
    m_w->Edt_Find->setText(QStringLiteral("甲"));
    QTest::keyClick(m_w->Edt_Find, Qt::Key_Return);
    QCOMPARE(m_w->SelectedIndex(), 1);
    m_w->N_FindNext->trigger();
    QCOMPARE(m_w->SelectedIndex(), 3);
    m_w->N_FindNext->trigger();   // from the end round to the start
    QCOMPARE(m_w->SelectedIndex(), 1);
    QVERIFY(m_w->LstView_Page->hasFocus());

    m_w->N_Find->trigger();
    m_w->Edt_Find->setText(QStringLiteral("丙"));
    QTest::keyClick(m_w->Edt_Find, Qt::Key_Return);
    QCOMPARE(m_w->SelectedIndex(), 1);
    QCOMPARE(m_w->StatusPanel[2]->text(), QStringLiteral("未找到“丙”"));
    QTest::qWait(20);
    QVERIFY(m_log->lines().isEmpty());
}

void TestCockpit::pageUpAndPageDown()
{
    startShow();
    showPages({"一", "二", "三"}, 0);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_PageUp);   // at the first page: nothing
    QCOMPARE(m_w->StatusPanel[2]->text(), QStringLiteral("已经是第一幕"));
    QTest::qWait(20);
    QVERIFY(m_log->lines().isEmpty());
    QCOMPARE(m_w->SelectedIndex(), 0);

    QTest::keyClick(m_w->LstView_Page, Qt::Key_PageDown);   // as Space
    idle(1);
    QCOMPARE(m_w->SelectedIndex(), 1);
    QCOMPARE(m_w->PageList->onAir(), 1);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_PageDown);
    idle(2);
    QCOMPARE(m_w->SelectedIndex(), 2);

    QTest::keyClick(m_w->LstView_Page, Qt::Key_PageUp);   // the page before, selected
    QCOMPARE(m_w->SelectedIndex(), 1);
    idle(3);
    QCOMPARE(m_w->SelectedIndex(), 1);
    QCOMPARE(m_w->PageList->onAir(), 1);
}

// A failed page stays the next one to send, whatever sent it; auto-send on
// a dead line stops at its first failure instead of walking to the end.
void TestCockpit::failedTransmission()
{
    const auto failing = std::make_shared<bool>(false);
    const std::shared_ptr<WireLog> log = m_log;
    const auto clock = std::make_shared<VirtualClock>();
    startShow(clock);
    m_w->LinkEnvironment.ports = [log, clock, failing](const QString &name) {
        RecordingOptions options;
        options.failAtWrite = *failing ? 1 : 0;
        return std::make_unique<RecordingPort>(name, log, clock, options);
    };
    showPages({"一", "二", "三"}, 0);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(1);
    *failing = true;
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(2);
    QCOMPARE(m_w->Show->last().outcome, ShowEntry::Failed);
    QCOMPARE(m_w->SelectedIndex(), 1);
    QCOMPARE(m_w->PageList->onAir(), 1);
    QCOMPARE(m_w->Lbl_Now->text(), QStringLiteral("当前：第2幕 二"));
    QCOMPARE(m_w->Lbl_Next->text(), QStringLiteral("下一幕：第3幕 三"));

    QTest::mouseClick(m_w->Button2, Qt::LeftButton);
    QVERIFY(m_w->Timer1->isActive());
    m_w->Timer1Timer();
    idle(3);
    QVERIFY(!m_w->Timer1->isActive());
    QCOMPARE(m_w->Button2->text(), QStringLiteral("开始(&G)"));
    QVERIFY2(m_w->StatusPanel[2]->text().startsWith(QStringLiteral("自动发送已停止：串口 COM1")),
             qPrintable(m_w->StatusPanel[2]->text()));
    QCOMPARE(m_w->SelectedIndex(), 1);

    // PageUp selects the page it sends; a failure puts the selection back.
    QTest::keyClick(m_w->LstView_Page, Qt::Key_PageUp);
    QCOMPARE(m_w->SelectedIndex(), 0);
    idle(4);
    QCOMPARE(m_w->SelectedIndex(), 1);

    *failing = false;
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);   // the failed page, again
    idle(5);
    QCOMPARE(sentPages(), QStringList({"二", "三"}));
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 5);
    for (int i : {1, 2})
        QVERIFY(lines[i].startsWith(QStringLiteral("page\t3\tfailed: 串口 COM1")) && lines[i].endsWith(QStringLiteral("\t三")));
    QVERIFY(lines[3].startsWith(QStringLiteral("page\t1\tfailed: ")));
    QCOMPARE(lines[4], QStringLiteral("page\t3\tok\t三"));
}

// Page "3" is on air and row 3 selected; Space sends "4" on a line held
// open while the operator makes a gesture. Then: the selection right after
// the gesture and after the end, the show log after the first line, the
// status right after the gesture when it was dropped, the page the next
// Space sends.
void TestCockpit::gestureDuringATransmission_data()
{
    const QString dropped = QStringLiteral("正在发送，本次未发送");
    const QString ok4 = QStringLiteral("page\t4\tok\t4");
    QTest::addColumn<int>("gesture");
    QTest::addColumn<int>("during");
    QTest::addColumn<int>("after");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QString>("feedback");
    QTest::addColumn<QString>("next");
    QTest::newRow("click on row 8") << int(ClickRow) << 2 << 3
                                    << QStringList({"page\t8\tdropped\t8", ok4}) << dropped << "5";
    QTest::newRow("click during a control command")
        << int(ClickRowInControlCommand) << 2 << 2
        << QStringList({"page\t8\tdropped\t8", "brightness\t-\tok\t"}) << dropped << "4";
    QTest::newRow("arrow up") << int(ArrowUp) << 1 << 1 << QStringList({ok4}) << QString() << "3";
    QTest::newRow("arrow down twice") << int(ArrowDownTwice) << 4 << 4 << QStringList({ok4}) << QString() << "6";
    QTest::newRow("Ctrl+Home") << int(CtrlHome) << 0 << 0 << QStringList({ok4}) << QString() << "2";
    QTest::newRow("Ctrl+G 7") << int(CtrlG) << 6 << 6 << QStringList({ok4}) << QString() << "8";
    QTest::newRow("7 typed in the list") << int(DigitInList) << 6 << 6 << QStringList({ok4}) << QString() << "8";
    QTest::newRow("7 from an input method") << int(InputMethodDigit) << 2 << 3 << QStringList({ok4}) << QString() << "5";
    QTest::newRow("Space again") << int(SpaceAgain) << 2 << 3
                                 << QStringList({"page\t4\tdropped\t4", ok4}) << dropped << "5";
    QTest::newRow("PageUp") << int(PageUpKey) << 2 << 3
                            << QStringList({"page\t2\tdropped\t2", ok4}) << dropped << "5";
    QTest::newRow("F5") << int(F5Key) << 2 << 3 << QStringList({"page\t3\tdropped\t3", ok4}) << dropped << "5";
    QTest::newRow("Esc in the go-to box") << int(EscInGoToBox) << 2 << 3 << QStringList({ok4}) << QString() << "5";
    QTest::newRow("Esc in the list") << int(EscInList) << 2 << 2
                                     << QStringList({"page\t4\tcancelled\t4"}) << QString() << "4";
    QTest::newRow("F4") << int(F4Key) << 2 << 2
                        << QStringList({"page\t4\tcancelled\t4", "blank\t-\tok\t"}) << QString() << "4";
}

void TestCockpit::perform(Gesture gesture)
{
    QTableView *list = m_w->LstView_Page;
    switch (gesture) {
    case ClickRow:
    case ClickRowInControlCommand:
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(m_w->PageList->index(7, 1)).center());
        break;
    case ArrowUp:
        QTest::keyClick(list, Qt::Key_Up);
        break;
    case ArrowDownTwice:
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        break;
    case CtrlHome:
        QTest::keyClick(list, Qt::Key_Home, Qt::ControlModifier);
        break;
    case CtrlG:
        QTest::keyClick(list, Qt::Key_G, Qt::ControlModifier);
        QTest::keyClicks(m_w->Edt_GoTo, QStringLiteral("7"));
        QTest::keyClick(m_w->Edt_GoTo, Qt::Key_Return);
        break;
    case DigitInList:
        QTest::keyClicks(list, QStringLiteral("7"));
        QVERIFY(m_w->Edt_GoTo->hasFocus());
        QCOMPARE(m_w->Edt_GoTo->text(), QStringLiteral("7"));
        QTest::keyClick(m_w->Edt_GoTo, Qt::Key_Return);
        break;
    case InputMethodDigit: {
        QInputMethodEvent committed;
        committed.setCommitString(QStringLiteral("7"));
        QCoreApplication::sendEvent(list, &committed);
        break;
    }
    case SpaceAgain:
        QTest::keyClick(list, Qt::Key_Space);
        break;
    case PageUpKey:
        QTest::keyClick(list, Qt::Key_PageUp);
        break;
    case F5Key:
        QTest::keyClick(list, Qt::Key_F5);
        break;
    case EscInGoToBox:
        QTest::keyClick(list, Qt::Key_G, Qt::ControlModifier);
        QTest::keyClick(m_w->Edt_GoTo, Qt::Key_Escape);
        QVERIFY(!m_w->Edt_GoTo->isVisible());
        QVERIFY(list->hasFocus());
        break;
    case EscInList:
        QTest::keyClick(list, Qt::Key_Escape);
        break;
    case F4Key:
        QTest::keyClick(list, Qt::Key_F4);
        break;
    }
}

void TestCockpit::gestureDuringATransmission()
{
    QFETCH(int, gesture);
    QFETCH(int, during);
    QFETCH(int, after);
    QFETCH(QStringList, log);
    QFETCH(QString, feedback);
    QFETCH(QString, next);
    const auto clock = std::make_shared<HeldClock>();
    startShow(clock);
    showPages({"1", "2", "3", "4", "5", "6", "7", "8", "9"}, 1);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(1);
    clock->hold();
    const auto letGo = qScopeGuard([clock] { clock->release(); });   // also when a check fails
    if (gesture == ClickRowInControlCommand)
        m_w->TolBtn_Light->trigger();
    else
        QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    QTRY_VERIFY(clock->waiting());
    perform(Gesture(gesture));
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_w->SelectedIndex(), during);
    if (!feedback.isEmpty())
        QCOMPARE(m_w->StatusPanel[2]->text(), feedback);
    clock->release();
    idle(gesture == F4Key ? 3 : 2);
    QCOMPARE(m_w->SelectedIndex(), after);
    QCOMPARE(logLines().mid(1), log);
    const int ends = m_watch->dones;
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(ends + 1);
    QCOMPARE(sentPages().constLast(), next);
}

// Closing the window cuts the page short; the show log says so.
void TestCockpit::closingMidPageLogsCancelled()
{
    startShow(SystemClock());
    stallLineAfter(0);
    showPages({"一", "二"}, 0);
    m_w->Project.ProjectSaved = true;
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    QTRY_VERIFY(!m_w->N14->isEnabled());   // the port is open, the write blocked
    QVERIFY(m_w->close());
    QCOMPARE(logLines(), QStringList({"page\t2\tcancelled\t二"}));
}

// Esc stops a transmission in the middle of its first frame; a request made
// while it ran was dropped.
void TestCockpit::escapeMidFrameAndDroppedRequest()
{
    startShow(SystemClock());
    m_w->Record().LandscapeOn = 1;
    stallLineAfter(40);   // inside the first frame
    showPages({"一", "二"}, 0);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    QVERIFY(m_w->Btn_Cancel->isEnabled());
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);   // dropped: the page is still going out
    QTRY_COMPARE(m_w->Show->framesBegun(), 1);
    QTest::keyClick(m_w.get(), Qt::Key_Escape);
    idle(1);
    QCOMPARE(m_w->Show->last().outcome, ShowEntry::Cancelled);
    QCOMPARE(m_w->Show->partialDisplay(), QStringLiteral("竖屏"));
    QCOMPARE(m_w->StatusPanel[2]->text(), QStringLiteral("发送已取消，竖屏可能显示不完整的画面"));
    QVERIFY(!m_w->Btn_Cancel->isEnabled());
    QVERIFY(!m_w->LinkFailed);   // a cancel says nothing against the link
    QCOMPARE(m_w->SelectedIndex(), 0);   // nothing went out whole: the list stays
    QCOMPARE(logLines(), QStringList({"page\t2\tdropped\t二", "page\t2\tcancelled\t二"}));
}

void TestCockpit::showLogViewerAndRecovery()
{
    startShow();
    showPages({"一", "二", "三", "四"}, 0);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(1);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(2);
    m_w->N_ClearScreen->trigger();
    idle(3);
    m_w->N_ShowLog->trigger();
    auto *view = m_w->findChild<QDialog *>(QStringLiteral("Frm_ShowLog"));
    QVERIFY(view && view->isVisible());
    const QString shown = view->findChild<QPlainTextEdit *>()->toPlainText();
    QCOMPARE(shown.count(QLatin1Char('\n')), 3);
    QVERIFY(shown.contains(QStringLiteral("\tpage\t3\tok\t三\n")));

    // A restart: the last page that went out is selected, nothing is sent.
    m_log->clear();
    showPages({"一", "二", "三", "四"}, 0);
    m_w->RecoverShow();
    QCOMPARE(m_w->SelectedIndex(), 2);
    QCOMPARE(m_w->StatusPanel[2]->text(), QStringLiteral("上次播出至第3幕"));
    QTest::qWait(20);
    QVERIFY(m_log->lines().isEmpty());
}

void TestCockpit::recoveryAtStart()
{
    const QString scenario = m_dir->filePath(QStringLiteral("show.txt"));
    QFile text(scenario);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write(ToGbk(QStringLiteral("一\r\n二\r\n三\r\n四\r\n")));
    text.close();
    TProjectRecord r{};
    SetStartupDefaults(r);
    r.ScenarioFile.setText(scenario);
    WriteProjectFile(projectFile(), r);
    QFile log(m_dir->filePath(QStringLiteral("show.log")));
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("2026-03-04 19:30:05.042\tpage\t3\tok\t\xe4\xb8\x89\n"
              "2026-03-04 19:30:06.000\tpage\t4\tfailed: x\t\xe5\x9b\x9b\n"
              "2026-03-04 19:30:07.000\tblank\t-\tok\t\n");
    log.close();

    m_w = std::make_unique<TFrm_Main>(&m_prompter);
    m_w->SetStartupFile(projectFile());
    m_w->show();
    QCOMPARE(m_w->PageCount(), 4);
    QCOMPARE(m_w->SelectedIndex(), 2);
    QCOMPARE(m_w->StatusPanel[2]->text(), QStringLiteral("上次播出至第3幕"));
    QVERIFY(!m_w->Show->busy());   // nothing is sent by itself
    QCOMPARE(m_w->Lbl_Next->text(), QStringLiteral("下一幕：第4幕 四"));
}

void TestCockpit::unwritableLogIsReportedOnce()
{
    startShow();
    m_w->Project.CurFileName = m_dir->filePath(QStringLiteral("gone/show.prj"));
    showPages({"一", "二", "三"}, 0);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(1);
    QVERIFY(m_w->StatusPanel[2]->text().startsWith(QStringLiteral("演出记录无法写入")));
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);   // still sends
    idle(2);
    QCOMPARE(m_w->PageList->onAir(), 2);
    QVERIFY(!m_w->StatusPanel[2]->text().contains(QStringLiteral("演出记录")));
}

void TestCockpit::showLockDisablesExactlyTheSetUp()
{
    startShow();
    showPages({"一", "二", "三"}, 0);
    const QList<QObject *> locked{m_w->Btn_LoadScenario, m_w->Btn_InputStr, m_w->Btn_Modify,
                                  m_w->Btn_Delete, m_w->N6, m_w->N_Font, m_w->TolBtn_Font,
                                  m_w->ToolButton3, m_w->N_New, m_w->TolBtn_New, m_w->N2,
                                  m_w->TolBtn_Open};
    const QList<QObject *> free{m_w->N_ClearScreen, m_w->N14, m_w->TlBtn_Main, m_w->Button2,
                                m_w->N_Resend, m_w->N_GoTo, m_w->N_Find, m_w->N_FindNext,
                                m_w->N_Cancel, m_w->Btn_TempStr, m_w->N_Save, m_w->N_ShowLog};
    QTest::keyClick(m_w.get(), Qt::Key_L, Qt::ControlModifier);
    QVERIFY(m_w->ShowLocked());
    QVERIFY(m_w->windowTitle().endsWith(QStringLiteral(" [锁定]")));
    for (QObject *o : locked)
        QVERIFY2(!o->property("enabled").toBool(), qPrintable(o->objectName()));
    for (QObject *o : free)
        QVERIFY2(o->property("enabled").toBool(), qPrintable(o->objectName()));
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);   // sending keeps working
    idle(1);
    QCOMPARE(m_w->PageList->onAir(), 1);
    for (QObject *o : locked)   // the end of a transmission does not unlock
        QVERIFY2(!o->property("enabled").toBool(), qPrintable(o->objectName()));

    m_w->N_ShowLock->trigger();
    QVERIFY(!m_w->ShowLocked());
    QVERIFY(!m_w->windowTitle().contains(QStringLiteral("[锁定]")));
    for (QObject *o : locked)
        QVERIFY2(o->property("enabled").toBool(), qPrintable(o->objectName()));
}

QTEST_MAIN(TestCockpit)
#include "tst_cockpit.moc"
