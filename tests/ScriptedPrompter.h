// A prompter for tests: answers message boxes and file dialogs from queues
// and records what was asked.
#pragma once

#include "app/Prompter.h"

#include <QList>
#include <QString>
#include <QStringList>

class ScriptedPrompter : public Prompter {
public:
    struct Message {
        QString text, caption;
        Icon icon;
        int buttons;
    };

    QList<int> answers;          // next message box answers; default: Ok, else Save, else Cancel
    QStringList openPaths;       // next open-dialog results ("" = cancel)
    QStringList savePaths;       // next save-dialog results ("" = cancel)
    QList<Message> messages;     // every message box shown
    QStringList errors;          // every error shown
    QList<FileRequest> openRequests, saveRequests;

    int message(QWidget *, const QString &text, const QString &caption, Icon icon,
                int buttons) override
    {
        messages.append({text, caption, icon, buttons});
        if (!answers.isEmpty())
            return answers.takeFirst();
        return (buttons & Ok) ? Ok : (buttons & Save) ? Save : Cancel;
    }
    void error(QWidget *, const QString &text) override { errors.append(text); }
    QString openFile(QWidget *, const FileRequest &request) override
    {
        openRequests.append(request);
        return openPaths.isEmpty() ? QString() : openPaths.takeFirst();
    }
    QString saveFile(QWidget *, const FileRequest &request) override
    {
        saveRequests.append(request);
        return savePaths.isEmpty() ? QString() : savePaths.takeFirst();
    }
};
