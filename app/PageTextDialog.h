// The two small page dialogs: a label, one edit field that takes at most 28
// bytes of GBK while typing, OK and Cancel.
#pragma once

#include <QDialog>
#include <QValidator>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// Why a text cannot be stored in the scenario; empty when it can.
using PageTextRefusal = std::function<QString(const QString &)>;

// Refuses typing that makes the text longer than the limit in GBK bytes (a
// character GBK has not counts as two), or that the scenario cannot store;
// the reason is handed to report. A longer text put there by the program
// can still be shortened.
class PageTextValidator : public QValidator {
public:
    PageTextValidator(int maxBytes, QLineEdit *edit, std::function<void(const QString &)> report);
    State validate(QString &input, int &pos) const override;
    void setRefusal(PageTextRefusal refusal) { m_refusal = std::move(refusal); }
    static int TypedBytes(const QString &text);

private:
    int m_maxBytes;
    int m_acceptedBytes = 0;   // length of the text the field last held
    PageTextRefusal m_refusal;
    std::function<void(const QString &)> m_report;
};

class TPageTextDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int MaxBytes = 28;

    TPageTextDialog(const QString &caption, const char *editName, QWidget *parent);

    QLineEdit *edit() const { return m_edit; }
    // What the scenario's encoding cannot store is refused with its reason.
    void setRefusal(PageTextRefusal refusal) { m_validator->setRefusal(std::move(refusal)); }
    int pageIndex = -1;   // the page that was current when the dialog opened

    QPushButton *Btn_OK, *Btn_Cancel;
    QLabel *Lbl_Refused;   // why the last typing was not taken

private:
    QLineEdit *m_edit;
    PageTextValidator *m_validator;
};
