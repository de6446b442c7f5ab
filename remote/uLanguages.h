// The translations part of 远程与观众: lists the project's translations with
// their state, adds one (a file chosen, its tag and the name the audience
// sees) and removes one; every change is written to the project's
// .languages file at once.
#pragma once

#include "remote/ShowLanguages.h"

#include <QWidget>

class Prompter;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class TLanguagesPanel : public QWidget {
    Q_OBJECT
public:
    // projectFile empty: no project is open, nothing can be listed.
    TLanguagesPanel(const QString &projectFile, Prompter &prompter, QWidget *parent = nullptr);

    QListWidget *Lst_Languages;
    QLineEdit *Edt_Tag;        // "en", "ja", "zh-Hant" ...
    QLineEdit *Edt_Name;       // "English"; empty: the tag
    QPushButton *Btn_Add;      // "添加译文…": needs a tag
    QPushButton *Btn_Remove;   // needs a selected row
    QLabel *Lbl_Message;       // unreadable files, a refused tag, a failed write

signals:
    void changed();   // the list file was written

private:
    void BuildControls();
    void Fill();
    void UpdateButtons();
    void Add();
    void Remove();
    void Save();
    QString StoredPath(const QString &chosen) const;

    QString m_project;
    Prompter &m_prompter;
    ShowLanguages m_languages;
};
