// Every key of the main window in one table. The window gives its actions
// their keys from it and 快捷键一览 is drawn from it, so what the operator
// reads is what the window does.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

class QObject;

struct KeyBinding {
    enum Scope {
        Window,     // a shortcut of the window's action named `command`
        PageList,   // handled by the page list while it has the focus
        System      // the system-wide hot key, registered by HotKey
    };
    Scope scope;
    const char *command;   // action object name, or the page list's own command
    QKeySequence key;
    QString text;          // what the key does, as 快捷键一览 says it
};

// The page list's own commands (scope PageList).
extern const char *const PageListNext;       // "next": sends the page after the selected one
extern const char *const PageListPrevious;   // "previous": sends the page before it

const QList<KeyBinding> &MainWindowKeys();

// Gives each action below window named in the table its keys; an action with
// several rows gets them all, the first one shown in the menu.
void InstallWindowKeys(QObject *window);

// The page list's command for key (PageListNext, PageListPrevious), or nullptr.
const char *PageListCommand(int key);

// The key as the operator reads it ("Ctrl+Shift+S", "空格").
QString KeyName(const QKeySequence &key);

// The table as HTML rows for 快捷键一览 and the manual: key, what it does, where.
QString KeyTableHtml();
