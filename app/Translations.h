// Qt's own texts (standard buttons, file dialogs, its error messages) in
// Simplified Chinese, whatever the system's language is: the operators read
// Chinese.
#pragma once

#include <QString>

class QCoreApplication;

// Installs the translations from folder (empty: Qt's own translation folder)
// on app. When they are missing the program goes on with Qt's English texts;
// that is said on stderr and false returned.
bool InstallChineseQtTexts(QCoreApplication &app, const QString &folder = QString());
