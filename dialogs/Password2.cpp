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
    auto *special = new TFrm_Special(m_main.Project, m_main.prompter(), TSpecialCommands(), this);
    // The LOGO and welcome transmissions are not built yet: choosing the
    // pictures works, sending them does not.
    special->Btn_SendLOGO->setEnabled(false);
    special->Btn_SendWelCome->setEnabled(false);
    return special;
}
