// The two small page dialogs: a label, one edit field that takes at most 28
// bytes of GBK while typing, OK and Cancel.
#pragma once

#include <QDialog>
#include <QValidator>

class QLineEdit;
class QPushButton;

// Refuses typing that makes the text longer than the limit in GBK bytes; a
// longer text put there by the program can still be shortened.
class GbkLengthValidator : public QValidator {
public:
    GbkLengthValidator(int maxBytes, QLineEdit *edit);
    State validate(QString &input, int &pos) const override;

private:
    int m_maxBytes;
    int m_acceptedBytes = 0;   // length of the text the field last held
};

class TPageTextDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int MaxBytes = 28;

    TPageTextDialog(const QString &caption, const char *editName, QWidget *parent);

    QLineEdit *edit() const { return m_edit; }
    int pageIndex = -1;   // the page that was current when the dialog opened

    QPushButton *Btn_OK, *Btn_Cancel;

private:
    QLineEdit *m_edit;
};
