// The window from the keyboard and the operator's manual: mnemonics that do
// not clash, the keys the window installs against the key table and
// 快捷键一览, the manual's pictures and commands, its contents and search,
// F1 in a dialog, the font dialog's tab order, 临时信息's first focus.
#include "TestWindow.h"

#include "app/ProjectFile.h"
#include "app/Translations.h"
#include "app/uAbout.h"
#include "app/uAdd.h"
#include "dialogs/Password.h"
#include "dialogs/uScreenSetup.h"
#include "dialogs/uSpecial.h"
#include "dialogs/uTempStr.h"
#include "editor/tablet.h"
#include "help/KeyTable.h"
#include "help/Manual.h"
#include "help/uKeys.h"
#include "help/uManual.h"
#include "remote/uRemote.h"
#include "render/uFont.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

namespace {
// The letter after '&', upper case; empty when the caption has none.
QString Mnemonic(const QString &caption)
{
    const QKeySequence key = QKeySequence::mnemonic(caption);
    return key.isEmpty() ? QString() : key.toString(QKeySequence::PortableText).toUpper();
}

QString Plain(QString caption)
{
    return caption.remove(QRegularExpression(QStringLiteral("\\(&.\\)|\\[&.\\]|&")));
}

// What Alt reaches at once in window: the menu bar's titles and the visible
// buttons (tool buttons take no mnemonic). Each has one letter, none twice.
void CheckWindowMnemonics(QWidget *window)
{
    QStringList seen;
    const auto take = [&](const QString &caption) {
        const QString letter = Mnemonic(caption);
        QVERIFY2(!letter.isEmpty(), qPrintable(window->objectName() + QStringLiteral(": ") + caption));
        QVERIFY2(!seen.contains(letter), qPrintable(window->objectName() + QStringLiteral(": ") + caption));
        seen << letter;
    };
    for (QMenuBar *bar : window->findChildren<QMenuBar *>())
        for (QAction *menu : bar->actions())
            take(menu->text());
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>())
        if (!qobject_cast<QToolButton *>(button) && button->isVisibleTo(window)
            && !button->text().isEmpty() && !button->text().contains(QLatin1String("(F4)")))
            take(button->text());
    // Inside each menu the items have letters of their own.
    for (QMenu *menu : window->findChildren<QMenu *>()) {
        QStringList items;
        for (QAction *item : menu->actions()) {
            if (item->isSeparator())
                continue;
            const QString letter = Mnemonic(item->text());
            QVERIFY2(!letter.isEmpty() && !items.contains(letter), qPrintable(item->text()));
            items << letter;
        }
    }
}

QString ManualText()
{
    QTextDocument document;
    document.setHtml(ManualHtml(ManualFolder()));
    return document.toPlainText();
}
} // namespace

class TestHelp : public QObject, private WindowCase {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(InstallChineseQtTexts(*qApp)); }
    void init() { beginCase(); }

    void mnemonicsAreDistinctInEveryWindow()
    {
        auto w = newWindow();
        CheckWindowMnemonics(w.get());
        TProjectState project;
        SetStartupDefaults(project.ProjectRecord);
        const std::vector<std::function<QWidget *()>> dialogs{
            [&] { return new TFrm_Font(w->Project, w.get()); },
            [&] { return new TFrm_TempStr(w->Record(), &m_prompter, {}, w.get()); },
            [&] { return new TFrm_Special(project, &m_prompter, {}, w.get()); },
            [&] { return new TFrm_Screen_Setup(*w, w.get()); },
            [&] { return new TPasswordDlg(*w); },
            [&] { return new TFrm_Add(w.get()); },
            [&] { return new TAboutBox(w.get()); },
            [&] { return new TFrm_Remote(TRemoteSettings{}, {}, [] { return RemoteLive{}; }, w.get()); },
            [&] { return new TFrm_Tablet(&m_prompter, w.get()); },
            [&] { return new TFrm_Keys(w.get()); },
        };
        for (const auto &make : dialogs) {
            QWidget *dialog = make();
            dialog->show();
            CheckWindowMnemonics(dialog);
            delete dialog;
        }
    }

    // Alt + letter opens the menu; the items carry the keys of the table.
    void altOpensTheMenusAndTheProjectKeysAreShown()
    {
        auto w = newWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(w->N_File->isVisible());
        QTest::keyClick(w->N_File, Qt::Key_Escape);
        QTRY_VERIFY(!w->N_File->isVisible());
        const QList<QPair<QAction *, QKeySequence>> expected{
            {w->N_New, QKeySequence(Qt::CTRL | Qt::Key_N)},
            {w->N2, QKeySequence(Qt::CTRL | Qt::Key_O)},
            {w->N_Save, QKeySequence(Qt::CTRL | Qt::Key_S)},
            {w->N_SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
            {w->N_ClearScreen, QKeySequence(Qt::Key_F4)},
            {w->N_Manual, QKeySequence(Qt::Key_F1)},
        };
        for (const auto &[action, key] : expected)
            QCOMPARE(action->shortcut(), key);
        // Ctrl+Shift+S on an untitled project asks where to save it.
        m_prompter.savePaths = {QString()};
        QTest::keyClick(w->LstView_Page, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(m_prompter.saveRequests.size(), 1);
    }

    // Every key an action of the window has is a row of the table and every
    // row of the table is a key of its action, and 快捷键一览 lists them.
    void windowKeysAreTheKeyTable()
    {
        auto w = newWindow();
        int windowRows = 0;
        for (const KeyBinding &binding : MainWindowKeys()) {
            if (binding.scope != KeyBinding::Window)
                continue;
            ++windowRows;
            auto *action = w->findChild<QAction *>(QLatin1String(binding.command));
            QVERIFY2(action, binding.command);
            QVERIFY2(action->shortcuts().contains(binding.key), binding.command);
        }
        int installed = 0;
        for (QAction *action : w->findChildren<QAction *>())
            installed += action->shortcuts().size();
        QCOMPARE(installed, windowRows);

        w->N_Keys->trigger();
        auto *keys = w->findChild<TFrm_Keys *>();
        QVERIFY(keys && keys->isVisible());
        const QString listed = keys->Txt_Keys->toPlainText();
        for (const KeyBinding &binding : MainWindowKeys()) {
            QVERIFY2(listed.contains(KeyName(binding.key)), qPrintable(KeyName(binding.key)));
            QVERIFY2(listed.contains(binding.text), qPrintable(binding.text));
        }
        QVERIFY(listed.contains(QStringLiteral("空格")) && listed.contains(QStringLiteral("Ctrl+Shift+S")));
    }

    void pageListKeysFollowTheTable()
    {
        QCOMPARE(PageListCommand(Qt::Key_Space), PageListNext);
        QCOMPARE(PageListCommand(Qt::Key_PageDown), PageListNext);
        QCOMPARE(PageListCommand(Qt::Key_Enter), PageListNext);
        QCOMPARE(PageListCommand(Qt::Key_PageUp), PageListPrevious);
        QCOMPARE(PageListCommand(Qt::Key_F4), nullptr);   // a window key, not the list's
    }

    void manualNamesItsPicturesAndEveryMenuCommand()
    {
        const QString folder = ManualFolder();
        QVERIFY2(!folder.isEmpty(), qPrintable(ManualFolders().join(QLatin1Char(' '))));
        const QString html = ManualHtml(folder);
        QVERIFY(!html.contains(QString::fromUtf8(KeyTableMarker)));
        QSet<QString> named;
        const QRegularExpression image(QStringLiteral("<img[^>]*src=\"([^\"]+)\""));
        for (const QRegularExpressionMatch &m : image.globalMatch(html)) {
            named << m.captured(1);
            QVERIFY2(QFile::exists(folder + QLatin1Char('/') + m.captured(1)), qPrintable(m.captured(1)));
        }
        QVERIFY(named.size() >= 10);
        // No picture is left over from a window the manual no longer shows.
        for (const QString &file : QDir(folder + QStringLiteral("/images")).entryList(QDir::Files))
            QVERIFY2(named.contains(QStringLiteral("images/") + file), qPrintable(file));

        auto w = newWindow();
        const QString text = ManualText();
        for (QAction *menu : w->menuBar()->actions()) {
            QVERIFY2(text.contains(Plain(menu->text())), qPrintable(menu->text()));
            for (QAction *item : menu->menu()->actions())
                if (!item->isSeparator())
                    QVERIFY2(text.contains(Plain(item->text())), qPrintable(item->text()));
        }
    }

    void manualContentsAndSearch()
    {
        TFrm_Manual manual(ManualFolder());
        manual.show();
        QVERIFY(QTest::qWaitForWindowExposed(&manual));
        QVERIFY(manual.Tree_Contents->topLevelItemCount() >= 8);
        const QList<QTreeWidgetItem *> found =
            manual.Tree_Contents->findItems(QStringLiteral("发送失败怎么办"), Qt::MatchExactly | Qt::MatchRecursive);
        QCOMPARE(found.size(), 1);
        manual.Tree_Contents->scrollToItem(found[0]);
        QTest::mouseClick(manual.Tree_Contents->viewport(), Qt::LeftButton, {},
                          manual.Tree_Contents->visualItemRect(found[0]).center());
        QCOMPARE(manual.Txt_Manual->textCursor().block().text().trimmed(), QStringLiteral("发送失败怎么办"));

        QTest::keyClicks(manual.Edt_Search, QStringLiteral("168"));
        QTest::keyClick(manual.Edt_Search, Qt::Key_Return);
        QCOMPARE(manual.Txt_Manual->textCursor().selectedText(), QStringLiteral("168"));
        QVERIFY(manual.Lbl_Search->text().isEmpty());
        manual.Edt_Search->clear();
        QTest::keyClicks(manual.Edt_Search, QStringLiteral("zzqx"));
        QTest::keyClick(manual.Edt_Search, Qt::Key_Return);
        QCOMPARE(manual.Lbl_Search->text(), QStringLiteral("未找到“zzqx”"));
    }

    // F1 in a modal dialog opens the manual at the dialog's own section.
    void f1InADialogOpensItsSection()
    {
        auto w = newWindow();
        QString top;
        WhenModal([&](QWidget *dialog) {
            QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_F1);
            if (auto *manual = dialog->findChild<TFrm_Manual *>()) {
                QVERIFY(manual->isVisible());
                top = manual->Txt_Manual->cursorForPosition(QPoint(4, 4)).block().text();
            }
            dialog->close();
        });
        w->N_Font->trigger();
        QCOMPARE(top.trimmed(), QStringLiteral("字体设置"));
        QCOMPARE(ManualSection(QStringLiteral("TFrm_TempStr"), QString()), QStringLiteral("temp"));
        QCOMPARE(ManualSection(QStringLiteral("QDialog"), QStringLiteral("Frm_ShowLog")),
                 QStringLiteral("showlog"));
        // Every section a window opens at is an anchor of the manual.
        const QString html = ManualHtml(ManualFolder());
        for (const char *window : {"TFrm_Screen_Setup", "TPasswordDlg", "TFrm_Font", "TFrm_Check",
                                   "TFrm_TempStr", "TFrm_Special", "TFrm_Monitor", "TFrm_Remote",
                                   "TFrm_Tablet", "TFrm_Add", "TFrm_Keys"}) {
            const QString section = ManualSection(QLatin1String(window), QString());
            QVERIFY2(html.contains(QStringLiteral("id=\"%1\"").arg(section)), window);
        }
    }

    void fontDialogTabsInLayoutOrder()
    {
        auto w = newWindow();
        TFrm_Font dialog(w->Project, w.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        dialog.Comb_Font->setFocus();
        QList<QWidget *> walk;
        for (int i = 0; i < 12 && !walk.contains(dialog.Btn_Cancel); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walk << QApplication::focusWidget();
        }
        QWidget *radio = dialog.Radiobtn_AutoHeight->isChecked() ? static_cast<QWidget *>(dialog.Radiobtn_AutoHeight)
                                                                 : dialog.Radiobtn_UserHeight;
        const QList<QWidget *> order{dialog.Comb_FontColor, radio, dialog.Comb_Align,
                                     static_cast<QWidget *>(dialog.Btn_OK),
                                     static_cast<QWidget *>(dialog.Btn_Cancel)};
        for (int i = 1; i < order.size(); ++i)
            QVERIFY2(walk.indexOf(order[i - 1]) >= 0
                         && walk.indexOf(order[i - 1]) < walk.indexOf(order[i]),
                     qPrintable(order[i]->objectName()));
    }

    // Alt+T in the main window: 临时信息 opens ready for the message.
    void tempMessageOpensInItsTextField()
    {
        auto w = newWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        // The mnemonic clicks the button a moment later: the dialog is watched for.
        QString focused;   // the name: the dialog is gone when it is compared
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            QWidget *focus = QApplication::focusWidget();
            if (dialog && focus && focus->window() == dialog) {
                focused = focus->objectName();
                dialog->close();
                poll.stop();
            }
        });
        poll.start(10);
        QTest::keyClick(w.get(), Qt::Key_T, Qt::AltModifier);
        QTRY_VERIFY(!focused.isEmpty());
        QCOMPARE(focused, QStringLiteral("Edt_TempStr"));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
