#include "dialogs/ButtonEdit.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

QWidget *MakeButtonEdit(const char *name, QLineEdit **edit, QAction **button)
{
    auto *row = new QWidget;
    *edit = new QLineEdit;
    (*edit)->setObjectName(QLatin1String(name));
    *button = new QAction(QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon),
                          QStringLiteral("浏览"), row);
    (*button)->setObjectName(QLatin1String(name) + QStringLiteral("Button"));
    auto *tool = new QToolButton;
    tool->setObjectName(QLatin1String(name) + QStringLiteral("Tool"));
    tool->setDefaultAction(*button);
    tool->setFocusPolicy(Qt::StrongFocus);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(*edit, 1);
    layout->addWidget(tool);
    return row;
}
