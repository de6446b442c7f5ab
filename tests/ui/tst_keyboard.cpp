// The dialogs used from the keyboard alone: Tab reaches every button, Enter
// and Space do what the operator expects, and what the status bar says fits.
#include "ScriptedPrompter.h"
#include "TestWindow.h"

#include "app/ProjectFile.h"
#include "app/Translations.h"
#include "dialogs/uScreenSetup.h"
#include "dialogs/uSpecial.h"
#include "dialogs/uTempStr.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

namespace {
TProjectRecord NewProjectRecord()
{
    TProjectRecord r{};
    SetStartupDefaults(r);
    return r;
}

// The widgets Tab visits from start until it comes back or count presses.
QList<QWidget *> TabWalk(QWidget *start, int count)
{
    QList<QWidget *> visited;
    start->setFocus();
    for (int i = 0; i < count; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *now = QApplication::focusWidget();
        if (now == start)
            break;
        visited << now;
    }
    return visited;
}

void ShowActive(QDialog &dialog)
{
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

QToolButton *BrowseButton(QWidget *dialog, const char *editName)
{
    return dialog->findChild<QToolButton *>(QLatin1String(editName) + QStringLiteral("Tool"));
}
} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    // As the program runs: Chinese standard texts, Chinese default locale.
    void initTestCase() { QVERIFY(InstallChineseQtTexts(*qApp)); }

    void tempDialogTabReachesFileButton()
    {
        TProjectRecord r = NewProjectRecord();
        ScriptedPrompter prompter;
        TFrm_TempStr dialog(r, &prompter, {[](const TTempMessage &) { return true; }, [] {}});
        ShowActive(dialog);
        QToolButton *browse = BrowseButton(&dialog, "Edt_TempStr");
        QVERIFY(browse);
        const QList<QWidget *> walk = TabWalk(dialog.Edt_TempStr, 20);
        QCOMPARE(walk.value(0), static_cast<QWidget *>(browse));
        for (QWidget *button : {static_cast<QWidget *>(dialog.RzButton1),
                                static_cast<QWidget *>(dialog.Btn_OK),
                                static_cast<QWidget *>(dialog.Btn_Cancel)})
            QVERIFY2(walk.contains(button), qPrintable(button->objectName()));

        // Space on the file button opens the file dialog.
        browse->setFocus();
        QTest::keyClick(browse, Qt::Key_Space);
        QCOMPARE(prompter.openRequests.size(), 1);
    }

    void tempDialogEnter()
    {
        TProjectRecord r = NewProjectRecord();
        ScriptedPrompter prompter;
        QList<TTempMessage> sent;
        int cleared = 0;
        const TTempStrCommands commands{[&](const TTempMessage &m) {
                                            sent << m;
                                            return true;
                                        },
                                        [&] { ++cleared; }};
        {
            // Enter in the text box sends and closes.
            TFrm_TempStr dialog(r, &prompter, commands);
            ShowActive(dialog);
            dialog.Edt_TempStr->setFocus();
            QTest::keyClicks(dialog.Edt_TempStr, QStringLiteral("abc"));
            QTest::keyClick(dialog.Edt_TempStr, Qt::Key_Return);
            QCOMPARE(sent.size(), 1);
            QCOMPARE(sent[0].Text, QStringLiteral("abc"));
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QVERIFY(!dialog.isVisible());
        }
        {
            // Enter on a focused button is that button: "取消" sends nothing,
            // "清除" clears and stays open.
            TFrm_TempStr dialog(r, &prompter, commands);
            ShowActive(dialog);
            dialog.RzButton1->setFocus();
            QTest::keyClick(dialog.RzButton1, Qt::Key_Return);
            QCOMPARE(cleared, 1);
            QVERIFY(dialog.isVisible());
            dialog.Btn_Cancel->setFocus();
            QTest::keyClick(dialog.Btn_Cancel, Qt::Key_Return);
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QCOMPARE(sent.size(), 1);
        }
    }

    void specialDialogTabAndClose()
    {
        TProjectState project;
        SetStartupDefaults(project.ProjectRecord);
        ScriptedPrompter prompter;
        int logos = 0;
        TFrm_Special dialog(project, &prompter,
                            {[&](const QString &, const QString &) { ++logos; }, [](const QString &) {}});
        ShowActive(dialog);
        QToolButton *land = BrowseButton(&dialog, "BtnEdt_LOGO");
        QToolButton *portrait = BrowseButton(&dialog, "BtnEdt_LOGO2");
        QVERIFY(land && portrait);
        const QList<QWidget *> walk = TabWalk(dialog.BtnEdt_LOGO, 20);
        const QList<QWidget *> expected{land, dialog.BtnEdt_LOGO2, portrait, dialog.Btn_SendLOGO,
                                        dialog.Btn_Close};
        // In this order, the file buttons right after their boxes.
        QCOMPARE(walk.value(0), static_cast<QWidget *>(land));
        int previous = -1;
        for (QWidget *w : expected) {
            QVERIFY2(walk.indexOf(w) > previous, qPrintable(w->objectName()));
            previous = walk.indexOf(w);
        }
        QCOMPARE(walk.indexOf(portrait), walk.indexOf(dialog.BtnEdt_LOGO2) + 1);

        // Each picture button picks the file of its own box.
        prompter.openPaths = {QStringLiteral("/shows/land.bmp"), QStringLiteral("/shows/port.bmp")};
        land->setFocus();
        QTest::keyClick(land, Qt::Key_Space);
        portrait->setFocus();
        QTest::keyClick(portrait, Qt::Key_Space);
        QCOMPARE(dialog.BtnEdt_LOGO->text(), QStringLiteral("/shows/land.bmp"));
        QCOMPARE(dialog.BtnEdt_LOGO2->text(), QStringLiteral("/shows/port.bmp"));

        dialog.Btn_SendLOGO->setFocus();
        QTest::keyClick(dialog.Btn_SendLOGO, Qt::Key_Space);
        QCOMPARE(logos, 1);
        QCOMPARE(dialog.Btn_Close->text(), QStringLiteral("关闭(&C)"));
        dialog.Btn_Close->setFocus();
        QTest::keyClick(dialog.Btn_Close, Qt::Key_Space);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(logos, 1);
    }

    void screenDialogTabReachesThePortAndClose()
    {
        TestWindow window;
        TFrm_Screen_Setup dialog(*window.main);
        ShowActive(dialog);
        const QList<QWidget *> walk = TabWalk(dialog.SpnEdt_Width, 40);
        QVERIFY(walk.contains(dialog.Comb_Comm) || walk.contains(dialog.Comb_Comm->lineEdit()));
        QVERIFY(walk.contains(dialog.Btn_Close));
        dialog.Btn_Close->setFocus();
        QTest::keyClick(dialog.Btn_Close, Qt::Key_Space);
        QVERIFY(!dialog.isVisible());
    }

    void statusBarShowsTheWholeHint()
    {
        TestWindow window;
        QLabel *hint = window.main->StatusPanel[0];
        QCOMPARE(hint->text(), QStringLiteral("Space/Enter=发送;F4=清屏"));
        QVERIFY(hint->width() >= 160);
        QVERIFY(hint->contentsRect().width() >= hint->fontMetrics().horizontalAdvance(hint->text()));
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
