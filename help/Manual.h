// The operator's manual: where it is, which section belongs to which window,
// and its text with the key table of the window filled in.
#pragma once

#include <QString>
#include <QStringList>

// Folders searched for index.html, in order: the installed one beside the
// program (../share/doc/velmora/manual), then the source tree of this build.
QStringList ManualFolders();
// The first of them that holds the manual; empty when none does.
QString ManualFolder();

// The manual's section for a window, by its class or object name
// ("TFrm_Font" → "font"); empty for a window it has no section for.
QString ManualSection(const QString &className, const QString &objectName);

// index.html of folder with the key table in place of its marker; empty when
// it cannot be read.
QString ManualHtml(const QString &folder);

// The marker in index.html that the key table replaces.
extern const char *const KeyTableMarker;
