// "修改当前幕": the new text of the current page.
#pragma once

#include "app/PageTextDialog.h"

class TFrm_Modify : public TPageTextDialog {
    Q_OBJECT
public:
    explicit TFrm_Modify(QWidget *parent)
        : TPageTextDialog(QStringLiteral("修改当前幕"), "Edt_Modify", parent), Edt_Modify(edit()) {}
    QLineEdit *Edt_Modify;
};
