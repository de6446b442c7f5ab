// The access-code form in front of the settings dialogs an operator must not
// open by accident during a show. The named forms derive from it and say
// which dialog they guard.
#pragma once

#include <QDialog>

class Prompter;
class QLineEdit;
class QPushButton;

// The access code of both forms; operators find it in the README.
constexpr int AccessCode = 168;
static_assert(AccessCode >= 100 && AccessCode <= 999, "the access code has three digits");

class TAccessCodeDlg : public QDialog {
    Q_OBJECT
public:
    // Opens the guarded dialog when the typed text is the code, byte for
    // byte; otherwise says so and empties the field for another attempt.
    void OKBtnClick();

    QLineEdit *Password;
    QPushButton *OKBtn, *CancelBtn;

protected:
    TAccessCodeDlg(QWidget *owner, Prompter &prompter);
    // The guarded dialog, owned by this one.
    virtual QDialog *CreateGuarded() = 0;

private:
    Prompter &m_prompter;
};
