// 帮助 › 使用说明: the operator's manual in a window of its own, with its
// table of contents and a search box.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;

class TFrm_Manual : public QWidget {
    Q_OBJECT
public:
    // folder holds index.html and its pictures; empty: the manual was not found.
    explicit TFrm_Manual(const QString &folder, QWidget *parent = nullptr);

    // Scrolls to the section (an anchor of the manual); empty: the beginning.
    void ShowSection(const QString &section);

    QTreeWidget *Tree_Contents;
    QLineEdit *Edt_Search;
    QTextBrowser *Txt_Manual;
    QLabel *Lbl_Search;

private:
    void LoadManual(const QString &folder);
    void BuildContents();
    void ContentsClick(QTreeWidgetItem *item);
    void SearchNext();
};
