// The access-code form in front of the screen parameter dialog.
#pragma once

#include "dialogs/AccessCodeDlg.h"

class TFrm_Main;

class TPasswordDlg : public TAccessCodeDlg {
    Q_OBJECT
public:
    explicit TPasswordDlg(TFrm_Main &main);

protected:
    QDialog *CreateGuarded() override;

private:
    TFrm_Main &m_main;
};
