#include "dialogs/Password2.h"

#include "app/uMain.h"
#include "dialogs/uSpecial.h"

#include <QPushButton>

TPasswordDlg2::TPasswordDlg2(TFrm_Main &main)
    : TAccessCodeDlg(&main, *main.prompter()), m_main(main)
{
    setObjectName(QStringLiteral("PasswordDlg2"));
}

QDialog *TPasswordDlg2::CreateGuarded()
{
    auto *dialog = new TFrm_Special(m_main.Project, m_main.prompter(), m_main.SpecialCommands(), this);
    // Its owner is this hidden code dialog, which sits in the screen's centre.
    dialog->move(m_main.frameGeometry().center() - dialog->rect().center());
    return dialog;
}
