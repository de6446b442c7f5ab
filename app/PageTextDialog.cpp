#include "app/PageTextDialog.h"

#include "app/Gbk.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

GbkLengthValidator::GbkLengthValidator(int maxBytes, QLineEdit *edit)
    : QValidator(edit), m_maxBytes(maxBytes)
{
    connect(edit, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_acceptedBytes = ToGbk(text).size(); });
}

QValidator::State GbkLengthValidator::validate(QString &input, int &) const
{
    // A character GBK cannot hold would be stored as '?': it is not taken.
    if (!IsGbkEncodable(input))
        return Invalid;
    const int bytes = ToGbk(input).size();
    return (bytes <= m_maxBytes || bytes <= m_acceptedBytes) ? Acceptable : Invalid;
}

TPageTextDialog::TPageTextDialog(const QString &caption, const char *editName, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(caption);
    m_edit = new QLineEdit;
    m_edit->setObjectName(QLatin1String(editName));
    m_edit->setValidator(new GbkLengthValidator(MaxBytes, m_edit));
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
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_edit->setMinimumWidth(260);
}
