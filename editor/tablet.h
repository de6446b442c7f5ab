// The scenario editor: a modal rich-text editor for scenario files with its
// format bar. Files are read as RTF or GBK text and written as GBK text.
#pragma once

#include "app/Prompter.h"
#include "app/ScenarioFile.h"

#include <QDialog>
#include <QTextCharFormat>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QTextEdit;
class QToolBar;
class QToolButton;

class TFrm_Tablet : public QDialog {
    Q_OBJECT
public:
    // The prompter answers every message box and file dialog; not owned.
    explicit TFrm_Tablet(Prompter *prompter, QWidget *parent = nullptr);

    // "未命名" while the document has no file, else the file's full path.
    QString DocumentName() const { return m_documentName; }
    void SetDocumentName(const QString &name);
    // False when the file could not be read (the error has been shown).
    bool OpenDocument(const QString &path);

    // Commands. The saving ones return false when nothing was written.
    void N1Click();            // New
    void O1Click();            // Open
    bool N11Click();           // Save
    bool S1Click();            // Save As
    // true when the window may close (or New and Open may replace the text)
    bool FormCloseQuery();

    // The format bar.
    void ComboBox1Change(int index);   // face chosen
    void ComboBox2Change();            // size typed or chosen
    void ComboBox3Change(int index);   // colour chosen
    void BtnBoldClick(bool pressed);
    void BtnItalicClick(bool pressed);
    void BtnUnderLineClick(bool pressed);
    void AlignClick();
    void SpinBtn_LineSpacUpClick();
    void SpinBtn_LineSpacDownClick();
    void Edt_LineSpaceChange();
    // Line spacing of the paragraphs the selection touches, in twentieths
    // of a line.
    void SetLineSpacing(int twentieths);
    // Brings the format bar and the Cut, Copy and Delete entries up to date
    // from the selection; runs whenever the selection or the caret moves.
    void RichEdit1SelectionChange();

signals:
    // The document was written to path (Save, Save As or the close query).
    void documentSaved(const QString &path);

public:
    // Colours of ComboBox3, 0x00BBGGRR: "红", "黄", "绿".
    static const unsigned EntryColours[3];

    // Controls, named as the operators' manual names them.
    QMenuBar *MainMenu1;
    QAction *N1, *O1, *N11, *S1, *E1;          // 文件
    QAction *A1, *U1, *R1, *X1, *C1, *P1, *D1;   // 编辑 (R1 "重做", Ctrl+Y)
    QMenu *PopupMenu1;
    QAction *N6, *N2, *N3, *N4, *N5, *A2;
    QToolBar *ToolBar1;
    QAction *BtnNew, *BtnOpen, *BtnSave;
    QAction *BtnBold, *BtnItalic, *BtnUnderLine, *BtnLeft, *BtnCenter, *BtnRight;
    QFrame *Panel2;
    QComboBox *ComboBox1, *ComboBox2, *ComboBox3;
    QLabel *Label2;
    QLineEdit *Edt_LineSpace;
    QWidget *SpinBtn_LineSpac;
    QToolButton *SpinBtn_LineSpacUp, *SpinBtn_LineSpacDown;
    QFrame *ScrollBox1;
    QTextEdit *RichEdit1;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void BuildMenus();
    void BuildToolBar();
    void BuildFormatBar();
    void BuildDocumentArea();
    void SetStartingValues();
    void UpdateTitle();   // the file name, "*" while the document is modified
    void UpdatePasteEntries();
    void MergeFormat(const QTextCharFormat &format);
    bool WriteDocument(const QString &path);
    bool AcceptStrayBytes(const QString &text, const QString &path);
    QString DocumentsFolder() const;
    int ShownTwentieths() const;
    void ShowTwentieths(int twentieths);

    Prompter *m_prompter;
    QString m_documentName;
    QString m_defaultSaveName;
    TextEncoding m_encoding = TextEncoding::Gbk;   // of the text file opened
    QTextCharFormat m_defaultCharFormat;   // plain text files open in it
    Prompter::FileRequest m_saveDialog;    // keeps its title and name between uses
    bool m_centred = false;
    bool m_strayBytesAccepted = false;   // the operator said yes to writing a damaged UTF-8 file
};
