// "检查剧本" in the main window: the result window lists the pages that will
// not read well, a click on a row selects that page, and nothing changes.
#include "TestWindow.h"

#include "app/Gbk.h"
#include "app/PageStore.h"
#include "app/ProjectFile.h"
#include "render/uCheck.h"

#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTableWidget>
#include <QtTest>

namespace {
// The record's file image.
QByteArray RecordBytes(const TProjectRecord &record)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.prj"));
    WriteProjectFile(path, record);
    return ReadWholeFile(path);
}
} // namespace

class TestCheckWindow : public QObject {
    Q_OBJECT
private slots:
    void listsPagesAndSelectsOnClick();
    void cleanScenarioAndBadDisplays();

private:
    TFrm_Check *runCheck(TestWindow &w);
};

TFrm_Check *TestCheckWindow::runCheck(TestWindow &w)
{
    QAction *action = w.main->findChild<QAction *>(QStringLiteral("N_Check"));
    if (!action || !w.main->N_Setup->actions().contains(action))
        return nullptr;
    action->trigger();
    const QList<TFrm_Check *> windows = w.main->findChildren<TFrm_Check *>();
    return windows.isEmpty() ? nullptr : windows.last();
}

void TestCheckWindow::listsPagesAndSelectsOnClick()
{
    TestWindow w;
    TProjectRecord &r = w.main->Record();
    r.ColorMode = 2;
    // The long line wraps into pages of 23 characters, drawn 11 high.
    w.main->Richedt_Screen->load(
        ToGbk(QStringLiteral("第一幕\r\n%1\r\n第三幕\r\n").arg(QString(115, QChar(0x4E2D)))));
    w.main->RebuildPageList();
    const int pages = w.main->PageCount();
    QCOMPARE(pages, 7);
    const QByteArray before = RecordBytes(r);
    w.main->Project.ProjectSaved = true;

    // A blue font lights nothing on a dual-colour display: said once, above.
    r.FontColor = 0xFF0000;
    TFrm_Check *window = runCheck(w);
    QVERIFY(window);
    QVERIFY(window->isVisible() && !window->isModal());
    QVERIFY(window->Lbl_Project->isVisible());
    QCOMPARE(window->Lbl_Project->text(), QStringLiteral("所有幕：所选颜色在双基色屏上不亮"));
    QCOMPARE(window->LstView_Problems->rowCount(), 5);
    QCOMPARE(window->LstView_Problems->item(0, 0)->text(), QStringLiteral("2"));
    QCOMPARE(window->LstView_Problems->item(0, 1)->text(), w.main->PageText(1));
    QCOMPARE(window->LstView_Problems->item(0, 2)->text(),
             QStringLiteral("竖屏字高11像素，小于12；横屏字高11像素，小于12"));

    const QRect cell = window->LstView_Problems->visualItemRect(window->LstView_Problems->item(2, 1));
    QTest::mouseClick(window->LstView_Problems->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(w.main->SelectedIndex(), 3);
    // Selecting shows the page; it sends nothing and changes nothing.
    QVERIFY(w.main->PortraitFrame.isEmpty() && w.main->LandscapeFrame.isEmpty());

    // The rows by keyboard: the arrows choose, Enter goes to the page.
    QCOMPARE(window->focusWidget(), window->LstView_Problems);
    QTest::keyClick(window->LstView_Problems, Qt::Key_Down);
    QTest::keyClick(window->LstView_Problems, Qt::Key_Return);
    QCOMPARE(w.main->SelectedIndex(), 4);
    QTest::keyClick(window->LstView_Problems, Qt::Key_Up);
    QTest::keyClick(window->LstView_Problems, Qt::Key_Up);
    QTest::keyClick(window->LstView_Problems, Qt::Key_Enter);
    QCOMPARE(w.main->SelectedIndex(), 2);

    // A smaller least height, typed and confirmed: checked again, and kept
    // for the next check.
    window->SpnEdt_MinHeight->selectAll();
    QTest::keyClicks(window->SpnEdt_MinHeight, QStringLiteral("11"));
    QCOMPARE(window->LstView_Problems->rowCount(), 5);   // not while typing
    QTest::keyClick(window->SpnEdt_MinHeight, Qt::Key_Return);
    QCOMPARE(window->LstView_Problems->rowCount(), 0);
    QCOMPARE(window->Lbl_Summary->text(), QStringLiteral("共7幕，没有单独一幕的问题。"));
    window->close();
    window = runCheck(w);
    QCOMPARE(window->SpnEdt_MinHeight->value(), 11);
    QCOMPARE(window->LstView_Problems->rowCount(), 0);
    window->close();

    r.FontColor = 255;
    QCOMPARE(RecordBytes(r), before);
    QVERIFY(w.main->Project.ProjectSaved);
    QCOMPARE(w.main->PageCount(), pages);
    QCOMPARE(w.main->PageText(0), QStringLiteral("第一幕"));
}

void TestCheckWindow::cleanScenarioAndBadDisplays()
{
    TestWindow w;
    w.main->Richedt_Screen->load(ToGbk(QStringLiteral("第一幕\r\n你好\r\n")));
    w.main->RebuildPageList();
    TFrm_Check *window = runCheck(w);
    QVERIFY(window);
    QCOMPARE(window->LstView_Problems->rowCount(), 0);
    QCOMPARE(window->Lbl_Summary->text(), QStringLiteral("共2幕，没有发现问题。"));
    QVERIFY(window->Lbl_Project->isHidden());
    window->close();

    w.main->Record().ScreenWidth = 250;
    const int windows = int(w.main->findChildren<TFrm_Check *>().size());
    w.main->N_CheckClick();
    QCOMPARE(int(w.main->findChildren<TFrm_Check *>().size()), windows);
    QCOMPARE(w.prompter.messages.size(), 1);
    QVERIFY(w.prompter.messages[0].text.contains(QStringLiteral("屏宽")));
    QCOMPARE(w.prompter.messages[0].caption, QStringLiteral("提示"));
}

QTEST_MAIN(TestCheckWindow)
#include "tst_checkwindow.moc"
