#include "dialogs/AccessCodeDlg.h"

#include "app/Prompter.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <memory>

TAccessCodeDlg::TAccessCodeDlg(QWidget *owner, Prompter &prompter)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                         | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_prompter(prompter)
{
    setWindowTitle(QStringLiteral("密码对话框"));
    Password = new QLineEdit;
    Password->setObjectName(QStringLiteral("Password"));
    Password->setEchoMode(QLineEdit::Password);
    Password->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));   // '*'
    OKBtn = new QPushButton(QStringLiteral("确定(&O)"));
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("关闭(&C)"));
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("键入密码")), 0, 0);
    grid->addWidget(Password, 1, 0);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    grid->addLayout(buttons, 2, 0);
    setFixedSize(sizeHint());

    connect(OKBtn, &QPushButton::clicked, this, &TAccessCodeDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TAccessCodeDlg::OKBtnClick()
{
    if (Password->text() != QString::number(AccessCode)) {
        m_prompter.message(this, QStringLiteral("输入密码错误！ "), QStringLiteral("提示"),
                           Prompter::Question, Prompter::Ok);
        Password->clear();
        Password->setFocus();
        return;
    }
    hide();
    const std::unique_ptr<QDialog> guarded(CreateGuarded());
    guarded->exec();
    accept();
}
