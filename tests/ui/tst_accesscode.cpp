// The access-code form in front of the screen parameter dialog: what it
// refuses, how it recovers from a refusal, and that the guarded dialog and
// the form close together.
#include "TestWindow.h"

#include "dialogs/Password.h"
#include "dialogs/Password2.h"
#include "dialogs/uSpecial.h"
#include "dialogs/uScreenSetup.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QtTest>
#include <memory>

namespace {
const QString Code = QString::number(AccessCode);
} // namespace

class TestAccessCode : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void form();
    void refusals_data();
    void refusals();
    void enterAfterRefusalOpensGuardedDialog();
    void guardedDialogClosesBoth_data();
    void guardedDialogClosesBoth();
    void logoDialogBehindTheCode();
    void cancelOpensNothing();

private:
    std::unique_ptr<TestWindow> m_window;
    TFrm_Main *m_main = nullptr;
    ScriptedPrompter *m_prompter = nullptr;
};

void TestAccessCode::init()
{
    m_window = std::make_unique<TestWindow>();
    m_main = m_window->main.get();
    m_prompter = &m_window->prompter;
}

void TestAccessCode::cleanup() { m_window.reset(); }

void TestAccessCode::form()
{
    QCOMPARE(Code.size(), 3);
    TPasswordDlg dialog(*m_main);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("密码对话框"));
    QCOMPARE(dialog.Password->echoMode(), QLineEdit::Password);
    QCOMPARE(dialog.Password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                 dialog.Password),
             int('*'));
    QVERIFY(dialog.OKBtn->isDefault());
    QCOMPARE(dialog.OKBtn->text(), QStringLiteral("确定(&O)"));
    QCOMPARE(dialog.CancelBtn->text(), QStringLiteral("关闭(&C)"));
    QVERIFY(m_main->N6->isEnabled());
}

void TestAccessCode::refusals_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("code and a blank") << Code + QLatin1Char(' ');
    QTest::newRow("blank and code") << QLatin1Char(' ') + Code;
    QTest::newRow("empty") << QString();
    QTest::newRow("other number") << QString::number(AccessCode + 1);
    QTest::newRow("leading zero") << QLatin1Char('0') + Code;
    QTest::newRow("full-width digits") << QString(Code).replace(QLatin1Char('1'), QChar(0xFF11));
}

void TestAccessCode::refusals()
{
    QFETCH(QString, typed);
    if (typed == Code)
        QSKIP("the substitution left the code unchanged");
    TPasswordDlg dialog(*m_main);
    dialog.show();
    m_main->Project.ProjectSaved = true;
    dialog.Password->setText(typed);
    dialog.OKBtn->click();

    QCOMPARE(m_prompter->messages.size(), 1);
    const ScriptedPrompter::Message &m = m_prompter->messages.first();
    QCOMPARE(m.text, QStringLiteral("输入密码错误！ "));
    QCOMPARE(m.caption, QStringLiteral("提示"));
    QCOMPARE(m.icon, Prompter::Question);
    QCOMPARE(m.buttons, int(Prompter::Ok));
    QVERIFY(dialog.Password->text().isEmpty());
    QCOMPARE(dialog.focusWidget(), static_cast<QWidget *>(dialog.Password));
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.findChildren<TFrm_Screen_Setup *>().isEmpty());
    QVERIFY(m_main->Project.ProjectSaved);   // no screen dialog has run
}

void TestAccessCode::enterAfterRefusalOpensGuardedDialog()
{
    TPasswordDlg dialog(*m_main);
    dialog.show();
    QTest::keyClicks(dialog.Password, QStringLiteral("000"));
    QTest::keyClick(dialog.Password, Qt::Key_Return);
    QCOMPARE(m_prompter->messages.size(), 1);
    QVERIFY(dialog.Password->text().isEmpty());

    bool guardedOpened = false;
    WhenModal([&](QWidget *modal) {
        auto *setup = qobject_cast<TFrm_Screen_Setup *>(modal);
        guardedOpened = setup != nullptr;
        QVERIFY(!dialog.isVisible());   // the form hides behind the guarded dialog
        if (setup)
            setup->close();
    });
    QTest::keyClicks(dialog.Password, Code);
    QTest::keyClick(dialog.Password, Qt::Key_Return);
    QVERIFY(guardedOpened);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(m_prompter->messages.size(), 1);
}

void TestAccessCode::guardedDialogClosesBoth_data()
{
    QTest::addColumn<bool>("logo");
    QTest::newRow("设置屏参") << false;
    QTest::newRow("特殊信息") << true;
}

void TestAccessCode::guardedDialogClosesBoth()
{
    QFETCH(bool, logo);
    QAction *item = logo ? m_main->N3 : m_main->N6;
    QVERIFY(item->isEnabled());
    const auto isForm = [logo](QWidget *w) {
        return logo ? qobject_cast<TPasswordDlg2 *>(w) != nullptr
                    : qobject_cast<TPasswordDlg *>(w) != nullptr;
    };
    const auto isGuarded = [logo](QWidget *w) {
        return logo ? qobject_cast<TFrm_Special *>(w) != nullptr
                    : qobject_cast<TFrm_Screen_Setup *>(w) != nullptr;
    };
    m_main->move(20, 30);
    for (int use = 0; use < 2; ++use) {
        // Every use of the menu item asks for the code again.
        bool asked = false, guardedOpened = false;
        WhenModal([&](QWidget *modal) {
            auto *form = qobject_cast<TAccessCodeDlg *>(modal);
            asked = isForm(modal) && form->Password->text().isEmpty();
            if (!form)
                return;
            WhenModal([&](QWidget *guarded) {
                // Centred on the main window (to its frame's few pixels), not
                // on the screen as the code dialog is.
                guardedOpened = isGuarded(guarded) && guarded->parentWidget() == form
                                && (guarded->frameGeometry().center()
                                    - m_main->frameGeometry().center()).manhattanLength() <= 8;
                if (guarded)
                    guarded->close();
            });
            form->Password->setText(Code);
            form->OKBtn->click();
        });
        m_main->Project.ProjectSaved = true;
        item->trigger();
        QVERIFY(asked);
        QVERIFY(guardedOpened);
        if (!logo)
            QVERIFY(!m_main->Project.ProjectSaved);   // filling the screen dialog is editing
        QVERIFY(m_main->findChildren<TAccessCodeDlg *>().isEmpty());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }
}

void TestAccessCode::logoDialogBehindTheCode()
{
    m_main->Record().LogoLandFile.setText(QStringLiteral("/shows/land.bmp"));
    bool checked = false;
    WhenModal([&](QWidget *modal) {
        auto *form = qobject_cast<TPasswordDlg2 *>(modal);
        if (!form)
            return;
        WhenModal([&](QWidget *guarded) {
            auto *special = qobject_cast<TFrm_Special *>(guarded);
            if (!special)
                return;
            checked = special->BtnEdt_LOGO->text() == QStringLiteral("/shows/land.bmp");
            // A picture that cannot be opened stops the LOGO before anything is sent.
            special->Btn_SendLOGO->click();
            special->close();
        });
        form->Password->setText(Code);
        form->OKBtn->click();
    });
    m_main->N3Click();
    QVERIFY(checked);
    QCOMPARE(m_prompter->errors.size(), 1);
    QVERIFY(m_prompter->errors.first().startsWith(QStringLiteral("Cannot open file \"")));
    QCOMPARE(m_main->Record().LogoLandFile.text(), QStringLiteral("/shows/land.bmp"));
}

void TestAccessCode::cancelOpensNothing()
{
    bool cancelled = false;
    WhenModal([&](QWidget *modal) {
        auto *form = qobject_cast<TPasswordDlg *>(modal);
        if (!form)
            return;
        form->Password->setText(Code);   // typed, but not confirmed
        form->CancelBtn->click();
        cancelled = true;
    });
    m_main->Project.ProjectSaved = true;
    m_main->N6Click();
    QVERIFY(cancelled);
    QVERIFY(m_main->Project.ProjectSaved);
    QVERIFY(m_prompter->messages.isEmpty());
}

QTEST_MAIN(TestAccessCode)
#include "tst_accesscode.moc"
