#include "app/PageTextDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PageTextValidator::PageTextValidator(int maxBytes, QLineEdit *edit,
                                     std::function<void(const QString &)> report)
    : QValidator(edit), m_maxBytes(maxBytes), m_report(std::move(report))
{
    connect(edit, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_acceptedBytes = TypedBytes(text); });
}

int PageTextValidator::TypedBytes(const QString &text)
{
    int bytes = 0;
    for (const char32_t cp : text.toUcs4())
        bytes += cp < 0x80 ? 1 : 2;
    return bytes;
}

QValidator::State PageTextValidator::validate(QString &input, int &) const
{
    const QString refused = m_refusal ? m_refusal(input) : QString();
    m_report(refused);
    if (!refused.isEmpty())
        return Invalid;
    const int bytes = TypedBytes(input);
    return (bytes <= m_maxBytes || bytes <= m_acceptedBytes) ? Acceptable : Invalid;
}

TPageTextDialog::TPageTextDialog(const QString &caption, const char *editName, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(caption);
    m_edit = new QLineEdit;
    m_edit->setObjectName(QLatin1String(editName));
    Lbl_Refused = new QLabel;
    Lbl_Refused->setObjectName(QStringLiteral("Lbl_Refused"));
    Lbl_Refused->setStyleSheet(QStringLiteral("color: red"));
    Lbl_Refused->setWordWrap(true);
    Lbl_Refused->hide();
    m_validator = new PageTextValidator(MaxBytes, m_edit, [this](const QString &reason) {
        Lbl_Refused->setText(reason);
        Lbl_Refused->setVisible(!reason.isEmpty());
    });
    m_edit->setValidator(m_validator);
    Btn_OK = new QPushButton(QStringLiteral("确定(&O)"));
    Btn_OK->setObjectName(QStringLiteral("Btn_OK"));
    Btn_OK->setDefault(true);
    Btn_Cancel = new QPushButton(QStringLiteral("取消(&C)"));
    Btn_Cancel->setObjectName(QStringLiteral("Btn_Cancel"));
    connect(Btn_OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(Btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Btn_OK);
    buttons->addWidget(Btn_Cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("请输入新的内容")));
    layout->addWidget(m_edit);
    layout->addWidget(Lbl_Refused);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_edit->setMinimumWidth(260);
}
