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
    return new TFrm_Special(m_main.Project, m_main.prompter(), m_main.SpecialCommands(), this);
}
