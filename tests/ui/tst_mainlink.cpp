// The main window's link: control commands, what the window shows while a
// transmission runs, dropped requests, failures and closing mid-way.
#include "ShowWindow.h"

#include "app/AppPaths.h"
#include "app/Gbk.h"
#include "app/PageStore.h"
#include "app/Prompter.h"
#include "app/uMain.h"
#include "sim/WireTap.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QInputMethodEvent>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include "dialogs/uTempStr.h"
#include <QLineEdit>

#include <memory>

namespace {
const QStringList ResetBoth{"open COM1 (/dev/ttyS0) 57600", "write mark 0202", "parity space",
                            "write space f1", "write space aa", "parity mark",
                            "write mark 0101", "parity space", "write space f1",
                            "write space aa", "close"};
} // namespace

class TestMainLink : public QObject, ShowCase {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void resetShowsTheTransmission();
    void tempMessageFromItsDialog();
    void brightnessSteps();
    void screenParamsDoubleSidedOnly();
    void clearTempMessage();
    void requestDuringTransmissionDropped();
    void missingPortIsSilent();
    void adapterPulledMidway();
    void closingDuringTransmission();
    void spaceAndEnterSendTheNextPage_data();
    void spaceAndEnterSendTheNextPage();
    void pageFramesGoToTheConfiguredDisplays();
    void clickSendsWithoutMoving();
    void sendButtonSendsTheSelectedPage();
    void autoSendFromTheLastLine();
    void tickWhilePageIsStillSent();
    void intervalChangeDuringAutoSend();
    void clearDisplayAfterControlCommand();
    void clearDisplayTriggers();
    void inputMethodCompositionDoesNotSend();
    void undrawablePageSendsNothing();
    void droppedRequestLeavesTheList();
    void linkStatusAfterEveryTransmission();
    void closingDuringAStall();
    void startStopHandsTheFocusBack();

private:
    bool windowIdle() const;
};

void TestMainLink::init() { beginCase(); }

void TestMainLink::cleanup()
{
    endCase();
    QVERIFY(!QApplication::overrideCursor());
}

bool TestMainLink::windowIdle() const
{
    return m_w->ToolBar->isEnabled() && m_w->N1->isEnabled() && m_w->N14->isEnabled()
        && m_w->N_ClearScreen->isEnabled()
        && m_w->N_Setup->menuAction()->isEnabled() && !m_w->ProgressB_State->isVisible()
        && !QApplication::overrideCursor() && !CurrentSendThread.load();
}

void TestMainLink::resetShowsTheTransmission()
{
    start();
    m_w->PortraitFrame = QByteArray::fromHex("02f6");   // reset leaves the slots alone
    m_w->N8->trigger();
    idle(1);
    QCOMPARE(WithoutStamps(m_log->lines()), ResetBoth);
    QCOMPARE(m_watch->statuses,
             QStringList({"正在连接显示屏...", "正在向显示屏发送复位命令...",
                          "向显示屏发送复位命令完毕！", "正在连接显示屏...",
                          "正在向显示屏发送复位命令...", "向显示屏发送复位命令完毕！"}));
    QVERIFY(m_watch->lockedAtStatus);
    QVERIFY(windowIdle());
    QCOMPARE(m_w->StatusPanel[2]->text(), QStringLiteral("向显示屏发送复位命令完毕！"));
    QCOMPARE(m_w->ProgressB_State->value(), m_w->ProgressB_State->maximum());
    QCOMPARE(m_w->PortraitFrame, QByteArray::fromHex("02f6"));
    QVERIFY(m_w->LandscapeFrame.isEmpty());
    QVERIFY(m_w->Project.ProjectSaved);
    // The LED monitor's tap saw both frames, whatever port the worker used.
    const ControllerSimulator &seen = m_w->Tap->simulator();
    QTRY_VERIFY(seen.display(1) && seen.display(1)->resets == 1);
    QCOMPARE(seen.display(2)->resets, 1);
}

void TestMainLink::brightnessSteps()
{
    start();
    m_w->Record().BrightnessLevel = 3;
    m_w->TolBtn_Light->trigger();
    idle(1);
    QCOMPARE(m_w->Record().BrightnessLevel, uint8_t(0));
    QVERIFY(!m_w->Project.ProjectSaved);
    QCOMPARE(m_w->PortraitFrame.toHex(), QByteArray("02f600aa"));
    QCOMPARE(m_w->LandscapeFrame.toHex(), QByteArray("01f600aa"));
    QCOMPARE(m_w->StatusPanel[2]->text(), QStringLiteral("向显示屏设置显示屏亮度(1 级亮度)完毕！"));

    // The menu item does the same; the portrait display only now.
    m_w->Record().LandscapeOn = 0;
    m_log->clear();
    m_w->N1->trigger();
    idle(2);
    QCOMPARE(m_w->Record().BrightnessLevel, uint8_t(1));
    QVERIFY(m_w->LandscapeFrame.isEmpty());
    QCOMPARE(WithoutStamps(m_log->lines()),
             QStringList({"open COM1 (/dev/ttyS0) 57600", "write mark 0202", "parity space",
                          "write space f6", "write space 01aa", "close"}));
}

void TestMainLink::screenParamsDoubleSidedOnly()
{
    start();
    TProjectRecord &r = m_w->Record();
    r.PortraitOn = 0;
    r.LandscapeOn = 0;
    r.LandscapeDouble = 1;
    r.ScreenWidth = 256;
    m_w->PortraitFrame = QByteArray::fromHex("02f1aa");
    m_w->Project.AdvanceAfterSend = true;
    m_w->SendScreenParams();
    QVERIFY(!m_w->Project.AdvanceAfterSend);
    idle(1);
    QVERIFY(m_w->PortraitFrame.isEmpty());
    QCOMPARE(m_w->LandscapeFrame.toHex(), QByteArray("01f20200002001000000aa"));
    const QStringList wire = m_log->lines();
    QCOMPARE(WithoutStamps(wire), QStringList({"open COM1 (/dev/ttyS0) 57600", "write mark 0101",
                                        "parity space", "write space f2",
                                        "write space 0200002001000000aa", "close"}));
    // Slot 2 alone: the command byte at once, the payload after the 200 ms settle.
    QCOMPARE(StampOf(wire.at(3)), StampOf(wire.at(2)));
    QCOMPARE(StampOf(wire.at(4)) - StampOf(wire.at(3)), 200.0);
}

void TestMainLink::clearTempMessage()
{
    start();
    m_w->Record().TempText.setText(QStringLiteral("中场休息十五分钟"));
    m_w->ClearTempMessage();
    idle(1);
    QCOMPARE(m_w->Record().TempText.text(), QString());
    QVERIFY(!m_w->Project.ProjectSaved);
    QCOMPARE(m_w->PortraitFrame.toHex(), QByteArray("02f800aa"));
    QCOMPARE(m_w->LandscapeFrame.toHex(), QByteArray("01f800aa"));
    QCOMPARE(m_w->StatusPanel[2]->text(), QStringLiteral("向显示屏清除显示屏临时信息完毕！"));
}

void TestMainLink::requestDuringTransmissionDropped()
{
    start(SystemClock());
    m_w->N8->trigger();
    // The worker takes 170 ms of pauses; these come well inside them.
    m_w->StepBrightness();
    m_w->ClearTempMessage();
    QCOMPARE(m_w->Record().BrightnessLevel, uint8_t(0));   // the step itself stays
    idle(1);
    QCOMPARE(WithoutStamps(m_log->lines()), ResetBoth);
    QVERIFY(windowIdle());

    m_w->N8->trigger();   // accepted again once the link is idle
    idle(2);
    QCOMPARE(m_log->lines().filter(QStringLiteral("open ")).size(), 2);
}

void TestMainLink::missingPortIsSilent()
{
    RecordingOptions refused;
    refused.refuseOpen = true;
    start(std::make_shared<VirtualClock>(), refused);
    m_w->N8->trigger();
    idle(1);
    QVERIFY(m_log->lines().isEmpty());
    QVERIFY(m_prompter.messages.isEmpty());
    QVERIFY(m_prompter.errors.isEmpty());
    QCOMPARE(m_w->StatusPanel[2]->text(), QString());
    QVERIFY(windowIdle());
}

void TestMainLink::adapterPulledMidway()
{
    start();
    // The first port dies at its fourth write; the next one works again.
    auto clock = std::make_shared<VirtualClock>();
    auto made = std::make_shared<int>(0);
    const std::shared_ptr<WireLog> log = m_log;
    m_w->LinkEnvironment.ports = [log, clock, made](const QString &name) {
        RecordingOptions options;
        options.failAtWrite = ++*made == 1 ? 4 : 0;
        return std::make_unique<RecordingPort>(name, log, clock, options);
    };
    m_w->N8->trigger();
    idle(1);
    QCOMPARE(WithoutStamps(m_log->lines()), ResetBoth.mid(0, 5) + QStringList({"parity mark", "close"}));
    QCOMPARE(m_w->StatusPanel[2]->text(), QStringLiteral("正在连接显示屏..."));
    QVERIFY(windowIdle());

    m_log->clear();
    m_w->N8->trigger();
    idle(2);
    QCOMPARE(WithoutStamps(m_log->lines()), ResetBoth);
}

void TestMainLink::closingDuringTransmission()
{
    start(SystemClock());
    // Five chunks, 250 ms of chunk pauses: the window goes in the middle.
    QVERIFY(m_w->StartTransmission(QByteArray::fromHex("02f3") + QByteArray(20000, '\x33') + '\xaa',
                                   QByteArray(), QStringLiteral("X")));
    QTest::qWait(80);
    m_w->close();
    m_watch.reset();
    m_w.reset();
    QVERIFY(!CurrentSendThread.load());
    QVERIFY(!PortBusy.load());
    const QStringList wire = m_log->lines();
    QCOMPARE(WithoutStamps(wire).constLast(), QStringLiteral("close"));
    QVERIFY(Writes(wire).size() < 7);   // stopped before the last chunk
}

void TestMainLink::spaceAndEnterSendTheNextPage_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Space") << int(Qt::Key_Space);
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
}

void TestMainLink::spaceAndEnterSendTheNextPage()
{
    QFETCH(int, key);
    start();
    m_w->Record().LandscapeOn = 0;
    showPages({"序幕", "第一场", "第二场"}, 1);
    // On the second-to-last line: the last page goes, the selection follows it.
    QTest::keyClick(m_w->LstView_Page, Qt::Key(key));
    QCOMPARE(m_w->SelectedIndex(), 1);   // moves only when the transmission ends
    idle(1);
    QCOMPARE(sentPages(), QStringList({"第二场"}));
    QCOMPARE(m_w->SelectedIndex(), 2);
    QVERIFY(!m_w->Project.AdvanceAfterSend);
    QVERIFY(m_w->LstView_Page->hasFocus());
    // On the last line: the end-of-list box, nothing sent.
    m_log->clear();
    QTest::keyClick(m_w->LstView_Page, Qt::Key(key));
    QCOMPARE(m_prompter.messages.size(), 1);
    QCOMPARE(m_prompter.messages.at(0).text, QStringLiteral("已经到达最后一行！"));
    QCOMPARE(m_prompter.messages.at(0).caption, QStringLiteral("提示"));
    QCOMPARE(m_prompter.messages.at(0).icon, Prompter::Information);
    QCOMPARE(m_prompter.messages.at(0).buttons, int(Prompter::Ok));
    QTest::qWait(20);
    QVERIFY(m_log->lines().isEmpty());
    QCOMPARE(m_w->SelectedIndex(), 2);
}

void TestMainLink::pageFramesGoToTheConfiguredDisplays()
{
    start();
    TProjectRecord &r = m_w->Record();
    r.Stunt = 3;
    r.RunSpeed = 5;
    r.ShowTime = 10;
    showPages({"序幕", "第一场"}, 0);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(1);
    const QVector<WireEvent> writes = Writes(m_log->lines());
    QCOMPARE(writes.size(), 6);
    QCOMPARE(writes.at(0).bytes.toHex(), QByteArray("0202"));
    QCOMPARE(writes.at(1).bytes.toHex(), QByteArray("f3"));
    QCOMPARE(writes.at(2).bytes.left(4).toHex(), QByteArray("02000" "50a"));   // effect 3 -> 2
    QCOMPARE(writes.at(2).bytes, m_w->PortraitFrame.mid(2));
    QCOMPARE(writes.at(3).bytes.toHex(), QByteArray("0101"));
    QCOMPARE(writes.at(5).bytes.left(4).toHex(), QByteArray("0300050a"));
    QCOMPARE(writes.at(5).bytes, m_w->LandscapeFrame.mid(2));
    QCOMPARE(m_w->PortraitFrame.size(), 7 + 256 * 32 / 8);
    QCOMPARE(sentPages(), QStringList({"第一场", "第一场"}));

    // A display no longer configured keeps its old frame but gets nothing.
    r.PortraitOn = 0;
    m_log->clear();
    const QByteArray stale = m_w->PortraitFrame;
    m_w->SelectPage(0);
    m_w->TlBtn_Main->trigger();
    idle(2);
    QCOMPARE(m_w->PortraitFrame, stale);
    QCOMPARE(WithoutStamps(m_log->lines()).at(1), QStringLiteral("write mark 0101"));
    QCOMPARE(Writes(m_log->lines()).size(), 3);
}

void TestMainLink::clickSendsWithoutMoving()
{
    start();
    m_w->Record().LandscapeOn = 0;
    showPages({"序幕", "第一场", "第二场"}, 0);
    const QRect row = m_w->LstView_Page->visualRect(m_w->LstView_Page->model()->index(1, 1));
    QTest::mouseClick(m_w->LstView_Page->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(m_w->SelectedIndex(), 1);
    idle(1);
    QCOMPARE(sentPages(), QStringList({"第一场"}));
    QCOMPARE(m_w->SelectedIndex(), 1);
    QVERIFY(!m_w->Project.SentByClick);
    QVERIFY(!m_w->Project.AdvanceAfterSend);
}

void TestMainLink::sendButtonSendsTheSelectedPage()
{
    start();
    m_w->Record().LandscapeOn = 0;
    showPages({"序幕", "第一场", "第二场"}, -1);
    m_w->TlBtn_Main->trigger();   // nothing selected: nothing happens
    QTest::qWait(20);
    QVERIFY(m_log->lines().isEmpty());

    m_w->SelectPage(0);
    m_w->N14->trigger();
    idle(1);
    QCOMPARE(sentPages(), QStringList({"序幕"}));
    QCOMPARE(m_w->SelectedIndex(), 1);
}

void TestMainLink::autoSendFromTheLastLine()
{
    start();
    m_w->Record().LandscapeOn = 0;
    m_w->SpinEdit1->setValue(3);
    showPages({"序幕", "第一场", "第二场"}, 2);
    m_w->Button2->click();
    // From the last line it starts at the top; nothing goes out before a tick.
    QCOMPARE(m_w->SelectedIndex(), 0);
    QCOMPARE(m_w->Button2->text(), QStringLiteral("停止(&G)"));
    QVERIFY(m_w->Timer1->isActive());
    QCOMPARE(m_w->Timer1->interval(), 3000);
    QVERIFY(m_log->lines().isEmpty());

    m_w->Timer1Timer();
    idle(1);
    m_w->Timer1Timer();
    idle(2);
    QCOMPARE(sentPages(), QStringList({"第一场", "第二场"}));
    QCOMPARE(m_w->SelectedIndex(), 2);
    m_w->Timer1Timer();   // the end: the timer stops first, then one box
    QVERIFY(!m_w->Timer1->isActive());
    QCOMPARE(m_w->Button2->text(), QStringLiteral("开始(&G)"));
    QCOMPARE(m_prompter.messages.size(), 1);
    QCOMPARE(m_prompter.messages.at(0).text, QStringLiteral("已经到达最后一行！"));
    QCOMPARE(m_w->SelectedIndex(), 2);

    // Start and stop again by the button.
    m_w->SelectPage(1);
    m_w->Button2->click();
    QCOMPARE(m_w->SelectedIndex(), 1);
    m_w->Button2->click();
    QVERIFY(!m_w->Timer1->isActive());
    QCOMPARE(m_w->Button2->text(), QStringLiteral("开始(&G)"));
}

void TestMainLink::tickWhilePageIsStillSent()
{
    start(SystemClock());
    m_w->Record().LandscapeOn = 0;
    showPages({"序幕", "第一场", "第二场"}, 0);
    QApplication::setActiveWindow(m_w.get());
    QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
    m_w->Timer1Timer();
    m_w->Timer1Timer();   // the first page still goes out: asks for it again, dropped
    // F5 stays at hand while sending; with nothing on air yet it sends
    // nothing and must not cancel the advance.
    QTRY_VERIFY(!m_w->N14->isEnabled());
    QTest::keyClick(m_w.get(), Qt::Key_F5);
    QCOMPARE(m_w->StatusPanel[2]->text(), QStringLiteral("没有可重发的画面"));
    QVERIFY(m_w->Project.AdvanceAfterSend);
    idle(1);
    QCOMPARE(m_log->lines().filter(QStringLiteral("open ")).size(), 1);
    QCOMPARE(m_w->SelectedIndex(), 1);
    m_w->Timer1Timer();
    idle(2);
    QCOMPARE(sentPages(), QStringList({"第一场", "第二场"}));
    QCOMPARE(m_w->SelectedIndex(), 2);
}

void TestMainLink::intervalChangeDuringAutoSend()
{
    start();
    showPages({"序幕", "第一场"}, 0);
    m_w->Button2->click();
    m_w->SpinEdit1->setValue(7);
    QCOMPARE(ReadAutoRunInterval(), 7);
    QCOMPARE(m_w->Timer1->interval(), 2000);
    m_w->Button2->click();
}

void TestMainLink::clearDisplayAfterControlCommand()
{
    start();
    m_w->Record().LandscapeOn = 0;
    m_w->StepBrightness();   // leaves an empty landscape slot
    idle(1);
    m_log->clear();
    m_w->Project.AdvanceAfterSend = true;
    m_w->ClearDisplay();
    QVERIFY(!m_w->Project.AdvanceAfterSend);
    idle(2);
    const QVector<WireEvent> writes = Writes(m_log->lines());
    QCOMPARE(writes.size(), 3);
    QCOMPARE(writes.at(0).bytes.toHex(), QByteArray("0202"));
    QCOMPARE(writes.at(2).bytes.left(4).toHex(), QByteArray("00000000"));
    QCOMPARE(writes.at(2).bytes.size(), 256 * 32 / 8 + 5);
    QCOMPARE(m_w->StatusPanel[2]->text(), QStringLiteral("向显示屏发送清除显示屏内容命令完毕！"));
}

void TestMainLink::clearDisplayTriggers()
{
    start();
    QCOMPARE(m_w->N_ClearScreen->shortcut(), QKeySequence(Qt::Key_F4));
    m_w->N_ClearScreen->trigger();
    idle(1);
    m_w->Button1->click();   // hidden behind the auto-send group, same command
    idle(2);
    QCOMPARE(m_log->lines().filter(QStringLiteral("open ")).size(), 2);
}

void TestMainLink::inputMethodCompositionDoesNotSend()
{
    start();
    showPages({"序幕", "第一场"}, 0);
    QInputMethodEvent composing(QStringLiteral("di"), {});
    QCoreApplication::sendEvent(m_w->LstView_Page, &composing);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Return);
    QTest::qWait(20);
    QVERIFY(m_log->lines().isEmpty());

    QInputMethodEvent committed;
    committed.setCommitString(QStringLiteral("第"));
    QCoreApplication::sendEvent(m_w->LstView_Page, &committed);
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(1);
    QCOMPARE(m_log->lines().filter(QStringLiteral("open ")).size(), 1);
}

void TestMainLink::undrawablePageSendsNothing()
{
    start();
    showPages({"序幕", "第一场"}, 0);
    m_w->Record().ColorMode = 3;
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    QVERIFY(!m_w->Project.AdvanceAfterSend);
    QVERIFY(!m_w->StatusPanel[2]->text().isEmpty());   // the reason
    QTest::qWait(20);
    QVERIFY(m_log->lines().isEmpty());
    // A later command's end does not move the list for the page never sent.
    m_w->N8->trigger();
    idle(1);
    QCOMPARE(m_w->SelectedIndex(), 0);
}

void TestMainLink::tempMessageFromItsDialog()
{
    // The dialog opens with the stored text; OK stores and sends the message
    // as a segmented 0xF7 frame; closing marks the project changed.
    start();
    m_w->Record().TempText.setText(QStringLiteral("旧"));
    m_w->Project.ProjectSaved = true;
    QString shown;
    QTimer::singleShot(0, this, [&] {
        if (auto *d = qobject_cast<TFrm_TempStr *>(QApplication::activeModalWidget())) {
            shown = d->Edt_TempStr->text();
            d->Edt_TempStr->setText(QStringLiteral("你好"));
            d->Btn_OK->click();
        }
    });
    m_w->Btn_TempStrClick();
    idle(1);
    QCOMPARE(shown, QStringLiteral("旧"));
    QCOMPARE(m_w->Record().TempText.text(), QStringLiteral("你好"));
    QVERIFY(!m_w->Project.ProjectSaved);
    const QStringList wire = WithoutStamps(m_log->lines());
    QVERIFY(wire.contains(QStringLiteral("write space f7")));
    QVERIFY(wire.contains(QStringLiteral("write mark 0202")));
    QVERIFY(wire.contains(QStringLiteral("write mark 0101")));
    QVERIFY(windowIdle());
}

// 调亮, then Space while the brightness still goes out: the Space is dropped
// and must not move the list, so the next Space sends the page after the
// selected one instead of skipping it.
void TestMainLink::droppedRequestLeavesTheList()
{
    const auto clock = std::make_shared<HeldClock>();
    start(clock);
    m_w->Record().LandscapeOn = 0;
    showPages({"1", "2", "3", "4", "5", "6", "7", "8"}, 4);
    clock->hold();
    const auto letGo = qScopeGuard([clock] { clock->release(); });
    m_w->TolBtn_Light->trigger();
    QTRY_VERIFY(clock->waiting());   // the brightness is going out
    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    QVERIFY(!m_w->Project.AdvanceAfterSend);
    QCOMPARE(m_w->StatusPanel[2]->text(), QStringLiteral("正在发送，本次未发送"));
    QTableView *list = m_w->LstView_Page;   // a click, dropped as well: the row it pressed is let go
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(6, 1)).center());
    QVERIFY(!m_w->Project.SentByClick && !m_w->Project.AdvanceAfterSend);
    QCOMPARE(m_w->SelectedIndex(), 4);
    clock->release();
    idle(1);
    QCOMPARE(m_w->SelectedIndex(), 4);
    QCOMPARE(m_log->lines().filter(QStringLiteral("open ")).size(), 1);

    QTest::keyClick(m_w->LstView_Page, Qt::Key_Space);
    idle(2);
    QCOMPARE(sentPages(), QStringList({"6"}));
    QCOMPARE(m_w->SelectedIndex(), 5);
}

// The link panel shows every transmission's result: the port that could not
// be opened and why, then ok again, then a line that stalled; red while the
// last one failed. Failures still show no message box.
void TestMainLink::linkStatusAfterEveryTransmission()
{
    start();
    auto clock = std::make_shared<VirtualClock>();
    auto made = std::make_shared<int>(0);
    const std::shared_ptr<WireLog> log = m_log;
    m_w->LinkEnvironment.ports = [log, clock, made](const QString &name) {
        RecordingOptions options;
        options.refuseOpen = ++*made == 1;
        options.stallAfterBytes = *made == 3 ? 3 : -1;
        return std::make_unique<RecordingPort>(name, log, clock, options);
    };
    m_w->N8->trigger();
    idle(1);
    QCOMPARE(m_w->LinkStatus->text(),
             QStringLiteral("无法打开串口 COM1 (/dev/ttyS0)：串口无法打开"));
    QVERIFY(m_w->LinkFailed);
    QVERIFY(m_w->LinkStatus->styleSheet().contains(QLatin1String("red")));

    m_w->N8->trigger();
    idle(2);
    QCOMPARE(m_w->LinkStatus->text(), QStringLiteral("发送正常：COM1 (/dev/ttyS0)"));
    QVERIFY(!m_w->LinkFailed);
    QVERIFY(!m_w->LinkStatus->styleSheet().contains(QLatin1String("red")));

    m_log->clear();
    m_w->N8->trigger();
    idle(3);
    QVERIFY2(m_w->LinkStatus->text().startsWith(QStringLiteral("线路停滞：COM1 (/dev/ttyS0)")),
             qPrintable(m_w->LinkStatus->text()));
    QVERIFY(m_w->LinkFailed);
    QVERIFY(windowIdle());
    QCOMPARE(m_log->bytesOnWrongParity(), 0);
    QVERIFY(m_prompter.messages.isEmpty() && m_prompter.errors.isEmpty());
}

// The line takes nothing and would be given an hour: closing the window
// stops the worker inside its write, so the program can end at once.
void TestMainLink::closingDuringAStall()
{
    start(SystemClock());
    stallLineAfter(0);
    m_w->N8->trigger();
    QTRY_VERIFY(!m_w->N14->isEnabled());   // the port is open, the write blocked
    m_w->close();
    m_watch.reset();
    m_w.reset();
    QVERIFY(!CurrentSendThread.load());
    QVERIFY(!PortBusy.load());
    QCOMPARE(WithoutStamps(m_log->lines()).constLast(), QStringLiteral("close"));
    QCOMPARE(m_log->bytesOnWrongParity(), 0);
}

// After 开始 or 停止 the list has the focus again, so the next Space sends a
// page instead of pressing the button.
void TestMainLink::startStopHandsTheFocusBack()
{
    start();
    m_w->Record().LandscapeOn = 0;
    showPages({"序幕", "第一场", "第二场"}, 0);
    QApplication::setActiveWindow(m_w.get());
    QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
    m_w->Button2->setFocus();
    QTest::mouseClick(m_w->Button2, Qt::LeftButton);
    QVERIFY(m_w->Timer1->isActive());
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_w->LstView_Page));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    idle(1);
    QCOMPARE(sentPages(), QStringList({"第一场"}));
    QVERIFY(m_w->Timer1->isActive());   // Space did not stop auto-send
    m_w->Button2->setFocus();
    QTest::mouseClick(m_w->Button2, Qt::LeftButton);
    QVERIFY(!m_w->Timer1->isActive());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_w->LstView_Page));
}

QTEST_MAIN(TestMainLink)
#include "tst_mainlink.moc"
