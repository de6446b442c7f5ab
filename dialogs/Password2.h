// The access-code form in front of the LOGO and welcome dialog.
#pragma once

#include "dialogs/AccessCodeDlg.h"

class TFrm_Main;

class TPasswordDlg2 : public TAccessCodeDlg {
    Q_OBJECT
public:
    explicit TPasswordDlg2(TFrm_Main &main);

protected:
    QDialog *CreateGuarded() override;

private:
    TFrm_Main &m_main;
};
