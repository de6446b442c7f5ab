// "插入一幕": the text of a new page.
#pragma once

#include "app/PageTextDialog.h"

class TFrm_Add : public TPageTextDialog {
    Q_OBJECT
public:
    explicit TFrm_Add(QWidget *parent)
        : TPageTextDialog(QStringLiteral("插入一幕"), "Edt_Add", parent), Edt_Add(edit()) {}
    QLineEdit *Edt_Add;
};
