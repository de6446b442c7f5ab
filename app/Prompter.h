// Message boxes and file dialogs behind one small interface, so that tests
// can answer them. The real one uses QMessageBox and QFileDialog.
#pragma once

#include <QString>

class QWidget;

class Prompter {
public:
    enum Icon { NoIcon, Information, Warning, Question, Critical };
    // Save and Discard are "保存" and "不保存" of a question before closing.
    enum Button { Ok = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8, Save = 0x10, Discard = 0x20 };

    struct FileRequest {
        QString title;           // empty: the platform's default title
        QString filter;          // "name(*.x)|*.x|..." pairs
        QString defaultSuffix;   // without the dot
        QString directory;       // starting folder, may be empty
        QString fileName;        // preset file name, may be empty
        bool confirmOverwrite = false;
        bool mustExist = true;   // open: only an existing file can be chosen
    };

    virtual ~Prompter() = default;
    // Shows a message box; returns the Button pressed.
    virtual int message(QWidget *owner, const QString &text, const QString &caption,
                        Icon icon, int buttons) = 0;
    // The application's error display: the error's text in a message box.
    virtual void error(QWidget *owner, const QString &text) = 0;
    // Return the chosen path, or an empty text when the user cancels.
    virtual QString openFile(QWidget *owner, const FileRequest &request) = 0;
    virtual QString saveFile(QWidget *owner, const FileRequest &request) = 0;
};

class DialogPrompter : public Prompter {
public:
    int message(QWidget *owner, const QString &text, const QString &caption, Icon icon,
                int buttons) override;
    void error(QWidget *owner, const QString &text) override;
    QString openFile(QWidget *owner, const FileRequest &request) override;
    QString saveFile(QWidget *owner, const FileRequest &request) override;
};

// "a(*.x)|*.x|b(*.y)|*.y" as a QFileDialog name filter list.
QString QtNameFilters(const QString &filter);
