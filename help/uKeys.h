// 帮助 › 快捷键一览: every key of the main window, drawn from the table the
// window takes its keys from.
#pragma once

#include <QDialog>

class QPushButton;
class QTextBrowser;

class TFrm_Keys : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Keys(QWidget *parent = nullptr);

    QTextBrowser *Txt_Keys;
    QPushButton *Btn_Close;
};
