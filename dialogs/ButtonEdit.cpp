#include "dialogs/ButtonEdit.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QStyle>

QLineEdit *MakeButtonEdit(const char *name, QAction **button, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    *button = edit->addAction(QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon),
                              QLineEdit::TrailingPosition);
    (*button)->setObjectName(QLatin1String(name) + QStringLiteral("Button"));
    (*button)->setToolTip(QStringLiteral("浏览"));
    return edit;
}
