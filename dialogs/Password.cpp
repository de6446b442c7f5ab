#include "dialogs/Password.h"

#include "app/uMain.h"
#include "dialogs/uScreenSetup.h"

TPasswordDlg::TPasswordDlg(TFrm_Main &main)
    : TAccessCodeDlg(&main, *main.prompter()), m_main(main)
{
    setObjectName(QStringLiteral("PasswordDlg"));
}

QDialog *TPasswordDlg::CreateGuarded() { return new TFrm_Screen_Setup(m_main, this); }
