// F1 in any of the program's dialogs opens the manual at that dialog's
// section, in a window owned by the dialog so that a modal dialog does not
// block it. In the main window F1 is the shortcut of 使用说明.
#pragma once

#include <QObject>

class QWidget;

class HelpKey : public QObject {
    Q_OBJECT
public:
    // Watches the application's key presses for as long as mainWindow lives.
    explicit HelpKey(QWidget *mainWindow);

    // Opens the manual at the section of window, owned by it.
    static void OpenFor(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_mainWindow;
};
