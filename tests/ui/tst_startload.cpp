// The remembered project's scenario read on a worker at start-up: the window
// is shown before its list is filled; the list, the recovery of the show and
// any error come when the worker is done, and commands that use the pages
// wait for it instead of acting on an empty list.
#include "TestFiles.h"
#include "ScriptedPrompter.h"
#include "TestWindow.h"

#include "app/Gbk.h"
#include "app/ProjectFile.h"
#include "app/Prompter.h"
#include "app/ScenarioPreload.h"
#include "app/WrapWidths.h"
#include "app/uMain.h"

#include <QDir>
#include <QLabel>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <memory>

namespace {
const QByteArray Pages = ToGbk(QStringLiteral("一\r\n二\r\n三\r\n四\r\n"));
} // namespace

class TestStartLoad : public QObject, WindowCase {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void listFilledAndShowRecoveredAfterTheWorker();
    void workerDoneBeforeTheWindowIsShown();
    void commandsBeforeTheEndWait();
    void importBeforeTheEndIsNotUndone();
    void unreadableScenarioReportedAfterTheWorker();
    void endlessScenarioRefusedAsByTheCli();
    void rememberedWidthsCheckedAfterTheList();
    void closingBeforeTheCheckKeepsMeasuredWidths();

private:
    // The window shown while its worker is held at the gate.
    std::unique_ptr<TFrm_Main> startHeld();

    QSemaphore m_gate;
    QString m_scenario;
};

void TestStartLoad::init()
{
    beginCase();
    m_gate.acquire(m_gate.available());   // closed: each case opens it
    m_scenario = m_dir->filePath(QStringLiteral("show.txt"));
    WriteRaw(m_scenario, Pages);
}

void TestStartLoad::cleanup()
{
    ScenarioPreload::setStartGate(nullptr);
    m_dir.reset();
}

std::unique_ptr<TFrm_Main> TestStartLoad::startHeld()
{
    ScenarioPreload::setStartGate(&m_gate);
    auto w = std::make_unique<TFrm_Main>(&m_prompter);
    ScenarioPreload::setStartGate(nullptr);
    w->show();
    return w;
}

void TestStartLoad::listFilledAndShowRecoveredAfterTheWorker()
{
    rememberProject(m_scenario);
    WriteRaw(m_dir->filePath(QStringLiteral("show.log")),
             "2026-03-04 19:30:05.042\tpage\t3\tok\t\xe4\xb8\x89\n"
             "2026-03-04 19:30:06.000\tpage\t4\tfailed: x\t\xe5\x9b\x9b\n");
    auto w = startHeld();
    QVERIFY(w->isVisible());
    QCOMPARE(w->PageCount(), 0);
    QCOMPARE(w->StatusPanel[2]->text(), QStringLiteral("正在读入剧本……"));

    m_gate.release();
    QTRY_COMPARE(w->PageCount(), 4);
    QCOMPARE(w->PageText(3), QStringLiteral("四"));
    QCOMPARE(w->SelectedIndex(), 2);
    QCOMPARE(w->StatusPanel[2]->text(), QStringLiteral("上次播出至第3幕"));
    QVERIFY(w->Project.ProjectSaved);
    QVERIFY(m_prompter.errors.isEmpty());
    QVERIFY(m_prompter.messages.isEmpty());
}

void TestStartLoad::workerDoneBeforeTheWindowIsShown()
{
    rememberProject(m_scenario);
    TFrm_Main w(&m_prompter);
    auto *preload = w.findChild<ScenarioPreload *>();
    QVERIFY(preload);
    preload->waitLoaded();
    QCoreApplication::sendPostedEvents();   // its end, before the window is shown
    // The file changes after the worker read it: the list shows what the
    // worker read, and a save knows the file is no longer that.
    WriteRaw(m_scenario, "changed\r\n");
    w.show();
    QCOMPARE(w.PageCount(), 4);
    QCOMPARE(w.PageText(0), QStringLiteral("一"));
    m_prompter.answers = {Prompter::Cancel};
    w.SaveClick();
    QCOMPARE(m_prompter.messages.size(), 1);
    QVERIFY(m_prompter.messages.first().text.contains(QStringLiteral("已被修改")));
    QCOMPARE(ReadRaw(m_scenario), QByteArray("changed\r\n"));
    preload->startCheck();
    preload->wait();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!w.findChild<ScenarioPreload *>());   // its copy is not kept
}

void TestStartLoad::commandsBeforeTheEndWait()
{
    rememberProject(m_scenario);
    auto w = startHeld();
    // Nothing is selected yet: an edit is refused, not applied to a page
    // the list does not show.
    w->Btn_DeleteClick();
    QCOMPARE(m_prompter.messages.size(), 1);
    QVERIFY(m_prompter.messages.first().text.contains(QStringLiteral("删除")));

    // A save before the list is filled must not write an empty scenario:
    // it waits for the pages (no events run in between).
    m_gate.release();
    w->SaveClick();
    QCOMPARE(w->PageCount(), 4);
    QCOMPARE(ReadRaw(m_scenario), Pages);
    QVERIFY(m_prompter.errors.isEmpty());
    QCoreApplication::sendPostedEvents();   // the worker's end, already handled
    QCOMPARE(w->PageCount(), 4);
}

void TestStartLoad::importBeforeTheEndIsNotUndone()
{
    rememberProject(m_scenario);
    auto w = startHeld();
    const QString other = m_dir->filePath(QStringLiteral("other.txt"));
    WriteRaw(other, "A\r\nB\r\n");
    m_prompter.openPaths = {other};
    m_gate.release();
    w->Btn_LoadScenarioClick();
    QCOMPARE(w->PageCount(), 2);
    // The worker's end reaches the window after the import.
    if (auto *preload = w->findChild<ScenarioPreload *>())
        preload->waitLoaded();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(w->PageCount(), 2);
    QCOMPARE(w->PageText(1), QStringLiteral("B"));
    QCOMPARE(w->Record().ScenarioFile.text(), other);
}

void TestStartLoad::unreadableScenarioReportedAfterTheWorker()
{
    const QString folder = m_dir->filePath(QStringLiteral("folder.txt"));
    QVERIFY(QDir().mkpath(folder));
    rememberProject(folder);
    auto w = startHeld();
    QVERIFY(m_prompter.errors.isEmpty());
    m_gate.release();
    QTRY_COMPARE(m_prompter.errors.size(), 1);
    QVERIFY(m_prompter.errors.first().contains(folder));
    QCOMPARE(w->PageCount(), 0);
    w->SaveClick();   // the folder is not replaced by a save
    QVERIFY(QFileInfo(folder).isDir());
}

// A scenario without end is not read into memory by the worker nor by the
// window, which reports the message velmora-cli gives.
void TestStartLoad::endlessScenarioRefusedAsByTheCli()
{
    rememberProject(QStringLiteral("/dev/zero"));
    auto w = startHeld();
    m_gate.release();
    QTRY_COMPARE(m_prompter.errors.size(), 1);
    QVERIFY2(m_prompter.errors.first().contains(QStringLiteral("文件“/dev/zero”超过256 MB，未读入")),
             qPrintable(m_prompter.errors.first()));
    QCOMPARE(w->PageCount(), 0);
}

// A remembered width that measures otherwise now (the fonts changed since
// it was written) wraps the list as remembered at first, then, after the
// check, as measured; the file is put right.
void TestStartLoad::rememberedWidthsCheckedAfterTheList()
{
    WriteRaw(m_scenario, ToGbk(QStringLiteral("一二\r\n三\r\n")));
    rememberProject(m_scenario);
    const PageStore measure;
    const int yi = measure.characterWidth(QChar(u'一'));
    WriteWrapWidths({{u'一', 300}, {u'二', measure.characterWidth(QChar(u'二'))}});

    TFrm_Main w(&m_prompter);
    w.show();
    QTRY_COMPARE(w.PageCount(), 3);
    QCOMPARE(w.PageText(0), QStringLiteral("一"));
    auto *preload = w.findChild<ScenarioPreload *>();
    QVERIFY(preload);
    w.SelectPage(1);
    preload->startCheck();   // without waiting for the window's delay
    QTRY_COMPARE(w.PageCount(), 2);
    QCOMPARE(w.PageText(0), QStringLiteral("一二"));
    QCOMPARE(w.StatusPanel[2]->text(), QStringLiteral("字体已变化，幕列表已重新分幕"));
    QCOMPARE(w.SelectedIndex(), -1);   // page 2 is another line now: Space must not send it
    QTRY_VERIFY(!w.findChild<ScenarioPreload *>());

    std::vector<CharWidth> remembered = ReadWrapWidths();
    const auto width = [&](char16_t unit) {
        const auto it = std::find_if(remembered.begin(), remembered.end(),
                                     [&](const CharWidth &c) { return c.unit == unit; });
        return it == remembered.end() ? -1 : it->width;
    };
    QCOMPARE(width(u'一'), yi);
    QCOMPARE(width(u'三'), measure.characterWidth(QChar(u'三')));
    QVERIFY(m_prompter.errors.isEmpty());
}

// A window closed before the check still leaves the widths it measured for
// the next start, and does not wait for a check.
void TestStartLoad::closingBeforeTheCheckKeepsMeasuredWidths()
{
    rememberProject(m_scenario);
    QVERIFY(ReadWrapWidths().empty());
    {
        TFrm_Main w(&m_prompter);
        w.show();
        QTRY_COMPARE(w.PageCount(), 4);
    }
    const std::vector<CharWidth> remembered = ReadWrapWidths();
    QVERIFY(std::any_of(remembered.begin(), remembered.end(), [](const CharWidth &c) { return c.unit == u'四'; }));
}

QTEST_MAIN(TestStartLoad)
#include "tst_startload.moc"
