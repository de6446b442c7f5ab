// The temporary-message dialog and the LOGO/welcome dialog: what they show
// from the record, what their buttons hand on, and the project flag.
#include "ScriptedPrompter.h"
#include "TestFiles.h"

#include "app/Gbk.h"
#include "app/ProjectFile.h"
#include "dialogs/uSpecial.h"
#include "dialogs/uTempStr.h"
#include "render/Faces.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTabBar>
#include <QWheelEvent>
#include <QtTest>

namespace {
TProjectRecord NewProjectRecord()
{
    TProjectRecord r{};
    SetStartupDefaults(r);
    SetNewDefaults(r);
    return r;
}

// The commands of the temporary-message dialog, recording their calls.
struct TempCalls {
    QList<TTempMessage> sent;
    int cleared = 0;
    bool accept = true;
    TTempStrCommands commands()
    {
        return {[this](const TTempMessage &m) {
                    sent << m;
                    return accept;
                },
                [this] { ++cleared; }};
    }
};

QString WriteFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    WriteRaw(path, bytes);
    return path;
}
} // namespace

class TestTempDialogs : public QObject {
    Q_OBJECT
private slots:
    void newProjectFilling()
    {
        TProjectRecord r = NewProjectRecord();
        r.TempRunSpeed = 0;
        r.TempShowTime = 0;
        r.TempStunt = 0;
        ScriptedPrompter prompter;
        TempCalls calls;
        TFrm_TempStr dialog(r, &prompter, calls.commands());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("临时信息"));
        QCOMPARE(dialog.SpnEdt_TempRunSpeed->value(), 1);
        QCOMPARE(dialog.SpnEdt_TempShowTime->value(), 0);
        QCOMPARE(dialog.Comb_TempStunt->currentText(), QStringLiteral("快速打出"));
        QCOMPARE(dialog.Comb_TempStunt->count(), 5);
        QCOMPARE(dialog.Comb_TempStunt->itemText(4), QStringLiteral("向右移动"));
        QVERIFY(dialog.Edt_TempStr->text().isEmpty());
        dialog.Btn_OK->click();
        QCOMPARE(calls.sent.size(), 1);
        QCOMPARE(int(calls.sent[0].RunSpeed), 1);
        QCOMPARE(int(calls.sent[0].ShowTime), 0);
        QCOMPARE(int(calls.sent[0].Stunt), 0);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void heightBoundedByTheDisplay()
    {
        TProjectRecord r = NewProjectRecord();
        r.ScreenHeight = 32;
        r.TempFontHeight = 48;
        ScriptedPrompter prompter;
        TempCalls calls;
        TFrm_TempStr dialog(r, &prompter, calls.commands());
        QCOMPARE(dialog.Edt_FontHeight->value(), 32);
        dialog.Edt_FontHeight->setValue(40);
        QCOMPARE(dialog.Edt_FontHeight->value(), 32);
        r.TempFontHeight = 20;
        TFrm_TempStr lower(r, &prompter, calls.commands());
        QCOMPARE(lower.Edt_FontHeight->value(), 20);
        QCOMPARE(lower.Message().FontHeight, 20);
    }

    void colourListFollowsTheColourMode()
    {
        ScriptedPrompter prompter;
        TempCalls calls;
        TProjectRecord r = NewProjectRecord();
        r.ColorMode = 2;
        const struct {
            int32_t stored;
            QString shown;
            int32_t passed;
        } cases[] = {{0xFF00, QStringLiteral("红"), 255},   {255, QStringLiteral("红"), 255},
                     {0x8000, QStringLiteral("绿"), 0x8000}, {0xFFFF, QStringLiteral("黄"), 0xFFFF},
                     {-1, QStringLiteral("红"), 255}};
        for (const auto &c : cases) {
            r.TempFontColor = c.stored;
            TFrm_TempStr dialog(r, &prompter, calls.commands());
            QCOMPARE(dialog.Comb_FontColor->count(), 3);
            QCOMPARE(dialog.Comb_FontColor->currentText(), c.shown);
            QCOMPARE(dialog.Message().FontColor, c.passed);
        }
        // Single colour: red alone, also when green was stored.
        r.ColorMode = 1;
        r.TempFontColor = 0x8000;
        TFrm_TempStr single(r, &prompter, calls.commands());
        QCOMPARE(single.Comb_FontColor->count(), 1);
        QCOMPARE(single.Comb_FontColor->itemText(0), QStringLiteral("红"));
        QCOMPARE(single.Message().FontColor, 255);
    }

    void fontListAndStoredFace()
    {
        const QStringList names = ScreenFontNames();
        QVERIFY(!names.isEmpty());
        QVERIFY(names.contains(QStringLiteral("宋体")));
        QVERIFY(!names.first().startsWith(QLatin1Char('@')));
        ScriptedPrompter prompter;
        TempCalls calls;
        TProjectRecord r = NewProjectRecord();
        r.TempFontName.setText(QStringLiteral("  黑体 "));
        TFrm_TempStr known(r, &prompter, calls.commands());
        QCOMPARE(known.Comb_Font->currentText(), QStringLiteral("黑体"));
        QCOMPARE(known.Message().FontName, QStringLiteral("黑体"));
        r.TempFontName.setText(QStringLiteral("No Such Face 123"));
        TFrm_TempStr unknown(r, &prompter, calls.commands());
        QCOMPARE(unknown.Comb_Font->currentIndex(), -1);
        QVERIFY(unknown.Message().FontName.isEmpty());
    }

    void okPassesEveryValueAndStaysOpenWhenRefused()
    {
        ScriptedPrompter prompter;
        TempCalls calls;
        TProjectRecord r = NewProjectRecord();
        r.ColorMode = 2;
        r.ScreenHeight = 32;
        TFrm_TempStr dialog(r, &prompter, calls.commands());
        dialog.Edt_TempStr->setText(QStringLiteral("演出即将开始"));
        dialog.Comb_Font->setCurrentText(QStringLiteral("楷体"));
        dialog.Comb_FontColor->setCurrentIndex(2);
        dialog.Edt_FontHeight->setValue(16);
        dialog.Comb_TempStunt->setCurrentIndex(3);
        dialog.SpnEdt_TempRunSpeed->setValue(8);
        dialog.SpnEdt_TempShowTime->setValue(255);
        calls.accept = false;
        dialog.Btn_OK->click();
        QCOMPARE(dialog.result(), 0);   // refused: still open
        calls.accept = true;
        dialog.Btn_OK->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(calls.sent.size(), 2);
        const TTempMessage &m = calls.sent.last();
        QCOMPARE(m.Text, QStringLiteral("演出即将开始"));
        QCOMPARE(m.FontName, QStringLiteral("楷体"));
        QCOMPARE(m.FontColor, 0xFFFF);
        QCOMPARE(m.FontHeight, 16);
        QCOMPARE(int(m.Stunt), 3);
        QCOMPARE(int(m.RunSpeed), 8);
        QCOMPARE(int(m.ShowTime), 255);
    }

    void clearEmptiesTheBoxAndStaysOpen()
    {
        ScriptedPrompter prompter;
        TempCalls calls;
        TFrm_TempStr dialog(NewProjectRecord(), &prompter, calls.commands());
        dialog.Edt_TempStr->setText(QStringLiteral("abc"));
        dialog.RzButton1->click();
        QCOMPARE(calls.cleared, 1);
        QVERIFY(dialog.Edt_TempStr->text().isEmpty());
        QCOMPARE(dialog.result(), 0);
        dialog.Btn_Cancel->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(calls.sent.isEmpty());
    }

    void textFromAFile()
    {
        QTemporaryDir dir;
        ScriptedPrompter prompter;
        TempCalls calls;
        TFrm_TempStr dialog(NewProjectRecord(), &prompter, calls.commands());
        dialog.Edt_TempStr->setText(QStringLiteral("old"));
        // Lines joined without their ends, whatever the ends are; GBK decoded.
        prompter.openPaths << WriteFile(dir, "t.txt", QByteArray("ab\r\ncd\nef") + ToGbk(QStringLiteral("中文")) + "\r\n");
        dialog.Edt_TempStrButton->trigger();
        QCOMPARE(dialog.Edt_TempStr->text(), QStringLiteral("abcdef中文"));
        QCOMPARE(prompter.openRequests.last().filter, QStringLiteral("txt文档(*.txt)|*.txt"));
        // Bytes that are no GBK show as replacement characters.
        // A lead byte without its trail byte, also at the very end of the file.
        prompter.openPaths << WriteFile(dir, "bad.txt", QByteArray("x\x81 y\x80z\x81"));
        dialog.Edt_TempStrButton->trigger();
        QCOMPARE(dialog.Edt_TempStr->text(), QStringLiteral("x\uFFFD y\u20ACz\uFFFD"));
        // UTF-8 without a byte-order mark is read as UTF-8.
        prompter.openPaths << WriteFile(dir, "u.txt", QStringLiteral("临时\r\n信息").toUtf8());
        dialog.Edt_TempStrButton->trigger();
        QCOMPARE(dialog.Edt_TempStr->text(), QStringLiteral("临时信息"));
        // Cancel, a missing file and a too large file keep the text.
        dialog.Edt_TempStr->setText(QStringLiteral("kept"));
        prompter.openPaths << QString() << dir.filePath("missing.txt")
                           << WriteFile(dir, "big.txt", QByteArray(MaxTempTextFileBytes + 1, 'a'));
        for (int i = 0; i < 3; ++i)
            dialog.Edt_TempStrButton->trigger();
        QCOMPARE(dialog.Edt_TempStr->text(), QStringLiteral("kept"));
        QCOMPARE(prompter.errors.size(), 2);
        // The largest file taken is not cut by the box.
        prompter.openPaths << WriteFile(dir, "max.txt", QByteArray(MaxTempTextFileBytes, 'b'));
        dialog.Edt_TempStrButton->trigger();
        QCOMPARE(dialog.Edt_TempStr->text().size(), int(MaxTempTextFileBytes));
    }

    void logoDialogFillingMarksTheProject()
    {
        ScriptedPrompter prompter;
        QList<QStringList> logos;
        TSpecialCommands commands{[&](const QString &l, const QString &p) { logos << QStringList{l, p}; },
                                  [](const QString &) {}};
        TProjectState project;
        project.ProjectRecord = NewProjectRecord();
        project.ProjectSaved = true;
        {
            TFrm_Special empty(project, &prompter, commands);
            QVERIFY(project.ProjectSaved);
            QCOMPARE(empty.windowTitle(), QStringLiteral("特殊信息"));
            QCOMPARE(empty.PageControl1->currentWidget(), empty.TabSheet1);
            QVERIFY(!empty.PageControl1->isTabVisible(1));
        }
        project.ProjectRecord.LogoLandFile.setText(QStringLiteral("/shows/land.bmp"));
        project.ProjectRecord.WelcomeFile.setText(QStringLiteral("/shows/welcome.bmp"));
        TFrm_Special dialog(project, &prompter, commands);
        QVERIFY(!project.ProjectSaved);
        QCOMPARE(dialog.BtnEdt_LOGO->text(), QStringLiteral("/shows/land.bmp"));
        QCOMPARE(dialog.BtnEdt_WelCome->text(), QStringLiteral("/shows/welcome.bmp"));

        // Typing marks the project; "发送" hands on both paths.
        project.ProjectSaved = true;
        dialog.BtnEdt_LOGO2->setText(QStringLiteral("/shows/port.bmp"));
        QVERIFY(!project.ProjectSaved);
        dialog.Btn_SendLOGO->click();
        QCOMPARE(logos, (QList<QStringList>{{QStringLiteral("/shows/land.bmp"), QStringLiteral("/shows/port.bmp")}}));
        QVERIFY(dialog.isVisible() || dialog.result() == 0);   // stays open
    }

    // The welcome page is hidden: no key, wheel or click on the tabs reaches
    // it, so its "发送" can never be pressed.
    void welcomePageUnreachable()
    {
        ScriptedPrompter prompter;
        QStringList welcomes;
        TSpecialCommands commands{[](const QString &, const QString &) {},
                                  [&](const QString &f) { welcomes << f; }};
        TProjectState project;
        project.ProjectRecord = NewProjectRecord();
        TFrm_Special dialog(project, &prompter, commands);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(dialog.PageControl1, Qt::Key_Tab, Qt::ControlModifier);
            QTest::keyClick(dialog.PageControl1, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
            QTest::keyClick(dialog.PageControl1, Qt::Key_PageDown, Qt::ControlModifier);
            QCOMPARE(dialog.PageControl1->currentWidget(), dialog.TabSheet1);
        }
        QTabBar *tabs = dialog.PageControl1->tabBar();
        QWheelEvent wheel(QPointF(5, 5), tabs->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(tabs, &wheel);
        QCOMPARE(dialog.PageControl1->currentWidget(), dialog.TabSheet1);
        QVERIFY(!dialog.Btn_SendWelCome->isVisible());
        QVERIFY(welcomes.isEmpty());
    }

    void logoDialogFilePicking()
    {
        ScriptedPrompter prompter;
        QStringList welcomes;
        TSpecialCommands commands{[](const QString &, const QString &) {},
                                  [&](const QString &f) { welcomes << f; }};
        TProjectState project;
        project.ProjectRecord = NewProjectRecord();
        TFrm_Special dialog(project, &prompter, commands);
        project.ProjectSaved = true;
        prompter.openPaths << QString();
        dialog.BtnEdt_LOGOButton->trigger();
        QVERIFY(dialog.BtnEdt_LOGO->text().isEmpty());
        QVERIFY(project.ProjectSaved);   // cancelled: nothing changed
        prompter.openPaths << QStringLiteral("/pics/a.bmp") << QStringLiteral("/pics/b.bmp")
                           << QStringLiteral("/pics/w.rtf");
        dialog.BtnEdt_LOGOButton->trigger();
        dialog.BtnEdt_LOGO2Button->trigger();
        dialog.BtnEdt_WelComeButton->trigger();
        QCOMPARE(dialog.BtnEdt_LOGO->text(), QStringLiteral("/pics/a.bmp"));
        QCOMPARE(dialog.BtnEdt_LOGO2->text(), QStringLiteral("/pics/b.bmp"));
        QCOMPARE(dialog.BtnEdt_WelCome->text(), QStringLiteral("/pics/w.rtf"));
        QVERIFY(!project.ProjectSaved);
        QCOMPARE(prompter.openRequests[1].filter, QStringLiteral("图片文件(*.bmp)|*.bmp"));
        QCOMPARE(prompter.openRequests[2].filter, QStringLiteral("图片文件(*.bmp)|*.bmp"));
        QCOMPARE(prompter.openRequests[3].filter,
                 QStringLiteral("图片文件(*.bmp)|*.bmp|RTF文档(*.rtf)|*.rtf"));
        dialog.Btn_SendWelCome->click();
        QCOMPARE(welcomes, QStringList{QStringLiteral("/pics/w.rtf")});
        // The record takes paths only through the transmissions.
        QVERIFY(project.ProjectRecord.LogoLandFile.text().isEmpty());
    }
};

QTEST_MAIN(TestTempDialogs)
#include "tst_tempdialogs.moc"
