#include "help/uKeys.h"

#include "help/KeyTable.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

TFrm_Keys::TFrm_Keys(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Frm_Keys"));
    setWindowTitle(QStringLiteral("快捷键一览"));
    setAttribute(Qt::WA_DeleteOnClose);
    Txt_Keys = new QTextBrowser;
    Txt_Keys->setObjectName(QStringLiteral("Txt_Keys"));
    Txt_Keys->setHtml(KeyTableHtml()
                      + QStringLiteral("<p>菜单还可以用 Alt 加菜单名后括号里的字母打开，"
                                       "例如 Alt+F 打开“文件”菜单。</p>"));
    Btn_Close = new QPushButton(QStringLiteral("关闭(&C)"));
    Btn_Close->setObjectName(QStringLiteral("Btn_Close"));
    Btn_Close->setDefault(true);
    connect(Btn_Close, &QPushButton::clicked, this, &QDialog::close);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Btn_Close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Txt_Keys, 1);
    layout->addLayout(buttons);
    resize(620, 560);
}
