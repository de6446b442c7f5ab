#include "help/HelpKey.h"

#include "help/Manual.h"
#include "help/uManual.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

HelpKey::HelpKey(QWidget *mainWindow) : QObject(mainWindow), m_mainWindow(mainWindow)
{
    qApp->installEventFilter(this);
}

void HelpKey::OpenFor(QWidget *window)
{
    auto *manual = new TFrm_Manual(ManualFolder(), window);
    manual->show();
    manual->ShowSection(ManualSection(QString::fromLatin1(window->metaObject()->className()),
                                      window->objectName()));
}

bool HelpKey::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent *>(event)->key() != Qt::Key_F1
        || static_cast<QKeyEvent *>(event)->modifiers() != Qt::NoModifier || !watched->isWidgetType())
        return false;
    QWidget *window = static_cast<QWidget *>(watched)->window();
    // The manual itself has nothing to open; the main window has its shortcut.
    if (window == m_mainWindow || qobject_cast<TFrm_Manual *>(window))
        return false;
    OpenFor(window);
    return true;
}
