// The page list of the main window: import, the three editing commands with
// their dialogs and messages, and the scenario saved with the project.
#include "TestFiles.h"
#include "ScriptedPrompter.h"

#include "app/AppPaths.h"
#include "app/Gbk.h"
#include "app/PageListModel.h"
#include "app/PageStore.h"
#include "app/ProjectFile.h"
#include "app/uAdd.h"
#include "app/uMain.h"
#include "app/uModify.h"
#include "editor/tablet.h"
#include "TestWindow.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTextCursor>
#include <QTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace {
// Answers the next modal page dialog: types text (when given) and presses a button.
void AnswerDialog(std::function<void(TPageTextDialog *)> answer)
{
    QTimer::singleShot(0, [answer] {
        if (auto *d = qobject_cast<TPageTextDialog *>(QApplication::activeModalWidget()))
            answer(d);
    });
}
// Types text character by character, as a keyboard or input method would.
void Type(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}
} // namespace

class TestPageList : public QObject, WindowCase {
    Q_OBJECT
private slots:
    void init();
    void importShowsNumberedPages();
    void noSelectionMessages();
    void modifyOkAndCancel();
    void insertAfterThirdOfFive();
    void deleteFirstAndFourth();
    void typingStopsAt28Bytes();
    void saveRewritesScenario();
    void openWithMissingScenarioEmptiesList();
    void relativeScenarioFromProjectFolder();
    void scenarioChangedOnDiskAsks();
    void editorSaveOffersReimport();
    void failedSaveAtExitKeepsWindow();
    void saveAsAsksBeforeReplacing();
    void titleMarksUnsavedChanges();
    void insertAfterFirstPartOfWrappedLine();
    void utf8ScenarioWrittenBackAsUtf8();
    void importDialogTakesNewName();
    void startupReloadsScenario();
    void unstorablePathRefused();
    void unreadableScenarioNotOverwritten();
    void widthChangeRenumbersShownList();
    void projectWithoutScenarioShowsNoPages();
    void damagedUtf8AskedBeforeWriting();
    void saveAsIntoFolderWithSameNamedScenario();
    void reimportReplacesUnsavedEditsAndRefreshes();
    void pageDialogsRefuseWhatTheEncodingCannotHold();
    void encodingRememberedAcrossStarts();

private:
    std::unique_ptr<TFrm_Main> start();
    void import(TFrm_Main &w, const QByteArray &bytes);

    QString m_scenario;
};

void TestPageList::init()
{
    beginCase();
    m_scenario = m_dir->filePath(QStringLiteral("show.txt"));
}

std::unique_ptr<TFrm_Main> TestPageList::start()
{
    auto w = newWindow();
    w->AwaitScenario();   // these cases start from a filled list
    return w;
}

void TestPageList::import(TFrm_Main &w, const QByteArray &bytes)
{
    WriteRaw(m_scenario, bytes);
    m_prompter.openPaths = {m_scenario};
    w.Btn_LoadScenarioClick();
}

void TestPageList::importShowsNumberedPages()
{
    auto w = start();
    QVERIFY(w->Btn_LoadScenario->isEnabled());
    import(*w, "A\r\n\r\nB\r\n");
    QCOMPARE(m_prompter.openRequests.first().filter,
             QStringLiteral("txt文档(*.txt)|*.txt|Rtf文档(*.rtf)|*.rtf|剧本文档(*.jb)|*.jb"));
    QCOMPARE(w->PageCount(), 3);
    QCOMPARE(w->PageText(0), QStringLiteral("A"));
    QCOMPARE(w->PageText(1), QString());
    QCOMPARE(w->PageList->data(w->PageList->index(2, 0), Qt::DisplayRole).toString(), QStringLiteral("3"));
    QCOMPARE(w->Record().ScenarioFile.text(), m_scenario);
    QVERIFY(!w->Project.ProjectSaved);

    // A name that does not exist: an empty store, the name recorded.
    m_prompter.openPaths = {m_dir->filePath(QStringLiteral("new.txt"))};
    w->Btn_LoadScenarioClick();
    QCOMPARE(w->PageCount(), 0);
    QCOMPARE(w->Record().ScenarioFile.text(), m_dir->filePath(QStringLiteral("new.txt")));
}

void TestPageList::noSelectionMessages()
{
    auto w = start();
    import(*w, "A\r\nB\r\n");
    w->Project.ProjectSaved = true;
    w->Btn_ModifyClick();
    w->Btn_InputStrClick();
    w->Btn_DeleteClick();
    QCOMPARE(m_prompter.messages.size(), 3);
    QCOMPARE(m_prompter.messages[0].text, QStringLiteral("请先选择一幕数据再进行修改"));
    QCOMPARE(m_prompter.messages[1].text, QStringLiteral("请先选择一幕数据再进行插入"));
    QCOMPARE(m_prompter.messages[2].text, QStringLiteral("请先选择一幕数据再进行删除"));
    QCOMPARE(m_prompter.messages[2].icon, Prompter::Warning);
    QCOMPARE(m_prompter.messages[2].caption, QStringLiteral("提示"));
    QVERIFY(w->Project.ProjectSaved);
    QCOMPARE(w->PageCount(), 2);
}

void TestPageList::modifyOkAndCancel()
{
    auto w = start();
    import(*w, "A\r\nB\r\nC\r\n");
    w->SelectPage(1);
    QString shown;
    AnswerDialog([&](TPageTextDialog *d) {
        shown = d->edit()->text();
        d->edit()->setText(QStringLiteral("乙"));
        d->Btn_OK->click();
    });
    w->Btn_ModifyClick();
    QCOMPARE(shown, QStringLiteral("B"));
    QCOMPARE(w->PageText(1), QStringLiteral("乙"));
    QCOMPARE(w->SelectedIndex(), 1);

    w->Project.ProjectSaved = true;
    AnswerDialog([](TPageTextDialog *d) {
        d->edit()->setText(QStringLiteral("丙"));
        d->Btn_Cancel->click();
    });
    w->Btn_ModifyClick();
    QCOMPARE(w->PageText(1), QStringLiteral("乙"));
    QVERIFY(!w->Project.ProjectSaved);   // cancel still counts as a change
}

void TestPageList::insertAfterThirdOfFive()
{
    auto w = start();
    import(*w, "1\r\n2\r\n3\r\n4\r\n5\r\n");
    w->SelectPage(2);
    AnswerDialog([](TPageTextDialog *d) {
        QVERIFY(d->edit()->text().isEmpty());
        QCOMPARE(d->windowTitle(), QStringLiteral("插入一幕"));
        d->edit()->setText(QStringLiteral("new"));
        d->Btn_OK->click();
    });
    w->Btn_InputStrClick();
    QCOMPARE(w->PageCount(), 6);
    QCOMPARE(w->PageText(3), QStringLiteral("new"));
    QCOMPARE(w->PageText(4), QStringLiteral("4"));
    QCOMPARE(w->SelectedIndex(), 3);
}

void TestPageList::deleteFirstAndFourth()
{
    auto w = start();
    import(*w, "1\r\n2\r\n3\r\n4\r\n5\r\n");
    w->SelectPage(0);
    w->Btn_DeleteClick();
    QCOMPARE(w->PageCount(), 4);
    QCOMPARE(w->SelectedIndex(), -1);
    w->SelectPage(3);
    w->Btn_DeleteClick();
    QCOMPARE(w->PageCount(), 3);
    QCOMPARE(w->SelectedIndex(), 2);
    QCOMPARE(w->PageText(2), QStringLiteral("4"));
    QVERIFY(m_prompter.messages.isEmpty());   // no question before a delete
}

void TestPageList::typingStopsAt28Bytes()
{
    TFrm_Add add(nullptr);
    QTest::keyClicks(add.Edt_Add, QString(40, QLatin1Char('x')));
    QCOMPARE(add.Edt_Add->text().size(), 28);

    TFrm_Modify modify(nullptr);
    modify.Edt_Modify->setText(QString(20, QChar(0x4E2D)));   // 40 bytes put there by the program
    QCOMPARE(modify.Edt_Modify->text().size(), 20);
    QTest::keyClick(modify.Edt_Modify, Qt::Key_Backspace);
    QCOMPARE(modify.Edt_Modify->text().size(), 19);   // still shortened
    Type(modify.Edt_Modify, QStringLiteral("中"));
    QCOMPARE(modify.Edt_Modify->text().size(), 19);   // but not lengthened
    modify.Edt_Modify->clear();
    Type(modify.Edt_Modify, QString(20, QChar(0x4E2D)));
    QCOMPARE(ToGbk(modify.Edt_Modify->text()).size(), 28);
}

void TestPageList::saveRewritesScenario()
{
    auto w = start();
    import(*w, QByteArray("keep\xff\r\nb\nc"));
    w->SelectPage(1);
    AnswerDialog([](TPageTextDialog *d) {
        d->edit()->setText(QStringLiteral("第二"));
        d->Btn_OK->click();
    });
    w->Btn_ModifyClick();
    w->SaveClick();   // the start-up project is titled "未命名": saved without a dialog
    QCOMPARE(ReadRaw(m_scenario), QByteArray("keep\xff\r\n") + ToGbk(QStringLiteral("第二\r\nc")));
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("未命名"))));
}

void TestPageList::openWithMissingScenarioEmptiesList()
{
    // The previous project's pages must not go under a project whose
    // scenario is missing, nor be saved to its path.
    const QString gone = m_dir->filePath(QStringLiteral("gone.txt"));
    const QString windows = QStringLiteral("D:\\演出\\剧本.txt");
    for (const QString &missing : {gone, windows}) {
        auto w = start();
        import(*w, "A\r\nB\r\n");
        TProjectRecord other{};
        SetStartupDefaults(other);
        other.ScenarioFile.setText(missing);
        const QString path = m_dir->filePath(missing == gone ? QStringLiteral("other.prj")
                                                             : QStringLiteral("windows.prj"));
        WriteProjectFile(path, other);
        m_prompter.openPaths = {path};
        m_prompter.messages.clear();
        w->OpenClick();
        QCOMPARE(w->PageCount(), 0);
        QCOMPARE(w->Richedt_Screen->textLineCount(), 0);
        QCOMPARE(w->Record().ScenarioFile.text(), missing);
        QCOMPARE(m_prompter.messages.size(), 1);
        QVERIFY(m_prompter.messages.first().text.contains(missing));
        QVERIFY(w->StatusPanel[2]->text().contains(missing));
        w->Project.ProjectSaved = false;
        w->SaveClick();
        QVERIFY(m_prompter.errors.isEmpty());
        QVERIFY(w->Project.ProjectSaved);
        QVERIFY(!QFile::exists(gone));
        QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("*演出*")}, QDir::AllEntries), QStringList());
    }
}

void TestPageList::relativeScenarioFromProjectFolder()
{
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("show")));
    WriteRaw(m_dir->filePath(QStringLiteral("show/s.txt")), "one\r\ntwo\r\n");
    rememberProject(QStringLiteral("s.txt"), QStringLiteral("show/show.prj"));
    auto w = start();
    QCOMPARE(w->PageCount(), 2);
    w->SelectPage(1);
    w->Btn_DeleteClick();
    w->SaveClick();
    QCOMPARE(ReadRaw(m_dir->filePath(QStringLiteral("show/s.txt"))), QByteArray("one\r\n"));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("s.txt"))));
}

void TestPageList::scenarioChangedOnDiskAsks()
{
    const QByteArray outside("A\r\nB\r\nfrom the editor\r\n");
    struct Case {
        int answer;
        QStringList pages;       // the list after the save
        QByteArray file;         // the scenario after the save
        bool saved;
    };
    const QList<Case> cases = {
        {Prompter::Yes, {"A", "B", "from the editor"}, outside, true},   // reload
        {Prompter::No, {"A", "x"}, "A\r\nx\r\n", true},                  // overwrite
        {Prompter::Cancel, {"A", "x"}, outside, false},                   // no save
    };
    for (const Case &c : cases) {
        auto w = start();
        import(*w, "A\r\nB\r\n");
        w->SaveClick();
        w->SelectPage(1);
        AnswerDialog([](TPageTextDialog *d) {
            d->edit()->setText(QStringLiteral("x"));
            d->Btn_OK->click();
        });
        w->Btn_ModifyClick();
        WriteRaw(m_scenario, outside);   // another program writes the file
        m_prompter.messages.clear();
        m_prompter.answers = {c.answer};
        w->SaveClick();
        QCOMPARE(m_prompter.messages.size(), 1);
        QVERIFY(m_prompter.messages.first().text.contains(m_scenario));
        QCOMPARE(m_prompter.messages.first().buttons, Prompter::Yes | Prompter::No | Prompter::Cancel);
        QStringList pages;
        for (int i = 0; i < w->PageCount(); ++i)
            pages << w->PageText(i);
        QCOMPARE(pages, c.pages);
        QCOMPARE(ReadRaw(m_scenario), c.file);
        QCOMPARE(bool(w->Project.ProjectSaved), c.saved);
        // Once settled, the next save asks nothing.
        if (c.saved) {
            w->SaveClick();
            QCOMPARE(m_prompter.messages.size(), 1);
        }
        w->Project.ProjectSaved = true;   // the window closes without a question
    }
}

void TestPageList::editorSaveOffersReimport()
{
    auto w = start();
    import(*w, "A\r\nB\r\n");
    w->SaveClick();
    QString question;
    WhenModal([&](QWidget *modal) {
        auto *tablet = qobject_cast<TFrm_Tablet *>(modal);
        QVERIFY(tablet);
        QVERIFY(tablet->OpenDocument(m_scenario));
        QTextCursor end(tablet->RichEdit1->document());
        end.movePosition(QTextCursor::End);
        end.insertText(QStringLiteral("C"));
        QVERIFY(tablet->windowTitle().startsWith(QStringLiteral("show.txt* - ")));
        m_prompter.answers = {Prompter::Yes};
        QVERIFY(tablet->N11Click());
        question = m_prompter.messages.last().text;
        tablet->close();
    });
    w->ToolButton3Click();
    QVERIFY(question.contains(m_scenario));
    QCOMPARE(w->PageCount(), 3);
    QCOMPARE(w->PageText(2), QStringLiteral("C"));
    // The pages now are the file: saving asks nothing and writes it unchanged.
    const int asked = m_prompter.messages.size();
    w->Project.ProjectSaved = false;
    w->SaveClick();
    QCOMPARE(m_prompter.messages.size(), asked);
    QCOMPARE(ReadRaw(m_scenario), QByteArray("A\r\nB\r\nC"));
}

void TestPageList::failedSaveAtExitKeepsWindow()
{
    auto w = start();
    import(*w, "A\r\nB\r\n");
    w->SelectPage(1);
    w->Btn_DeleteClick();
    // The project file cannot be written: a folder stands where it goes.
    QVERIFY(QDir(m_dir->path()).mkdir(QString::fromUtf8(UntitledName)));
    w->ExitClick();   // "是否将改动保存到文件？" answered OK
    QCOMPARE(m_prompter.errors.size(), 1);
    QVERIFY(m_prompter.errors.first().contains(QString::fromUtf8(UntitledName)));
    QVERIFY(w->isVisible());
    QCOMPARE(w->PageCount(), 1);
    QVERIFY(!w->close());   // the close box: the same
    QCOMPARE(m_prompter.errors.size(), 2);
    QVERIFY(w->isVisible());

    // Once the save succeeds, the window closes.
    QVERIFY(QDir(m_dir->path()).rmdir(QString::fromUtf8(UntitledName)));
    w->ExitClick();
    QVERIFY(!w->isVisible());
    QCOMPARE(ReadRaw(m_scenario), QByteArray("A\r\n"));
}

void TestPageList::saveAsAsksBeforeReplacing()
{
    auto w = start();
    const QString other = m_dir->filePath(QStringLiteral("other.prj"));
    WriteRaw(other, "someone else's project");
    m_prompter.savePaths = {other};
    m_prompter.answers = {Prompter::No};
    w->SaveAsClick();
    QCOMPARE(m_prompter.messages.size(), 1);
    QVERIFY(m_prompter.messages.first().text.contains(other));
    QCOMPARE(ReadRaw(other), QByteArray("someone else's project"));
    QCOMPARE(w->Project.CurFileName, QString::fromUtf8(UntitledName));

    m_prompter.savePaths = {other};
    m_prompter.answers = {Prompter::Yes};
    w->SaveAsClick();
    QCOMPARE(ReadRaw(other).size(), int(sizeof(TProjectRecord)));
    QCOMPARE(w->Project.CurFileName, other);

    // A new name asks nothing.
    m_prompter.savePaths = {m_dir->filePath(QStringLiteral("new.prj"))};
    w->SaveAsClick();
    QCOMPARE(m_prompter.messages.size(), 2);
}

void TestPageList::titleMarksUnsavedChanges()
{
    auto w = start();
    const QString title = w->windowTitle();
    QVERIFY(title.endsWith(QString::fromUtf8(UntitledName) + QStringLiteral("]")));
    import(*w, "A\r\n");
    QCOMPARE(w->windowTitle(), title.chopped(1) + QStringLiteral("*]"));
    w->SaveClick();
    QCOMPARE(w->windowTitle(), title);
}

void TestPageList::insertAfterFirstPartOfWrappedLine()
{
    auto w = start();
    import(*w, ToGbk(QString(60, QChar(0x5B57)) + QStringLiteral("\r\n尾")));
    const int before = w->PageCount();
    QVERIFY(before > 2);
    const QString second = w->PageText(1);
    w->SelectPage(0);
    AnswerDialog([](TPageTextDialog *d) {
        d->edit()->setText(QStringLiteral("新"));
        d->Btn_OK->click();
    });
    w->Btn_InputStrClick();
    QCOMPARE(w->PageCount(), before + 1);
    QCOMPARE(w->PageText(1), QStringLiteral("新"));
    QCOMPARE(w->PageText(2), second);
    QCOMPARE(w->SelectedIndex(), 1);
    // The saved file gives back the list.
    QStringList shown;
    for (int i = 0; i < w->PageCount(); ++i)
        shown << w->PageText(i);
    w->SaveClick();
    PageStore reopened;
    reopened.setWrapWidth(w->Richedt_Screen->wrapWidth());
    reopened.load(ReadRaw(m_scenario));
    QStringList pages;
    for (int i = 0; i < reopened.pageCount(); ++i)
        pages << reopened.page(i);
    QCOMPARE(pages, shown);
}

void TestPageList::utf8ScenarioWrittenBackAsUtf8()
{
    auto w = start();
    import(*w, QStringLiteral("第一行\r\n第二行\r\n").toUtf8());
    QCOMPARE(w->PageText(0), QStringLiteral("第一行"));
    QVERIFY(!m_prompter.openRequests.last().mustExist);   // a new name may be typed
    w->SelectPage(0);
    w->Btn_DeleteClick();
    w->SaveClick();
    QCOMPARE(ReadRaw(m_scenario), QStringLiteral("第二行\r\n").toUtf8());
}

void TestPageList::startupReloadsScenario()
{
    WriteRaw(m_scenario, "one\r\ntwo\r\nthree\r\n");
    rememberProject(m_scenario);
    auto w = start();
    QCOMPARE(w->PageCount(), 3);
    QCOMPARE(w->PageText(2), QStringLiteral("three"));
    QCOMPARE(w->Richedt_Screen->wrapWidth(), 263);
}

void TestPageList::unstorablePathRefused()
{
    auto w = start();
    import(*w, "A\r\n");
    const QString longPath = m_dir->filePath(QString(300, QLatin1Char('x')) + QStringLiteral(".txt"));
    m_prompter.openPaths = {longPath};
    w->Btn_LoadScenarioClick();
    QCOMPARE(m_prompter.errors.size(), 1);
    QCOMPARE(w->Record().ScenarioFile.text(), m_scenario);
    QCOMPARE(w->PageCount(), 1);
}

void TestPageList::unreadableScenarioNotOverwritten()
{
    // The project names a scenario that exists but cannot be read (here a
    // folder): the error is shown, and saving does not replace it.
    const QString folder = m_dir->filePath(QStringLiteral("scenario.txt"));
    QVERIFY(QDir().mkpath(folder));
    rememberProject(folder);
    auto w = start();
    QCOMPARE(m_prompter.errors.size(), 1);
    w->SaveClick();
    QCOMPARE(m_prompter.errors.size(), 2);
    QVERIFY(QFileInfo(folder).isDir());
    QVERIFY(!w->Project.ProjectSaved);   // the pages did not reach the disk
}

void TestPageList::widthChangeRenumbersShownList()
{
    auto w = start();
    import(*w, ToGbk(QString(60, QChar(0x5B57)) + QStringLiteral("\r\n尾")));
    const int narrow = w->PageCount();
    QVERIFY(narrow > 2);
    w->ResizePreview(512, 32);
    QVERIFY(w->PageCount() < narrow);
    QCOMPARE(w->PageText(w->PageCount() - 1), QStringLiteral("尾"));
}

void TestPageList::importDialogTakesNewName()
{
    // The real file dialog as the import asks it: a name typed for a file
    // that does not exist yet is taken.
    const QString fresh = m_dir->filePath(QStringLiteral("新剧本.txt"));
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->selectFile(fresh);
        static_cast<QDialog *>(dialog)->accept();   // as the Open button does
        if (dialog->isVisible())
            dialog->reject();
    });
    DialogPrompter real;
    Prompter::FileRequest request;
    request.mustExist = false;
    QCOMPARE(real.openFile(nullptr, request), fresh);
}

// Open replaces the list with the opened project's pages, also when it has
// none; pages without a file ask for one at the save instead of writing nothing.
void TestPageList::projectWithoutScenarioShowsNoPages()
{
    auto w = start();
    import(*w, "A\r\nB\r\nC\r\n");
    TProjectRecord bare{};
    SetStartupDefaults(bare);
    const QString c = m_dir->filePath(QStringLiteral("c.prj"));
    WriteProjectFile(c, bare);
    m_prompter.openPaths = {c};
    w->OpenClick();   // the imported pages are saved first, as Open does
    QCOMPARE(w->Project.CurFileName, c);
    QCOMPARE(w->PageCount(), 0);
    QCOMPARE(w->StatusPanel[2]->text(), QStringLiteral("工程没有剧本文件"));

    // Pages whose project names no file.
    import(*w, "A\r\nB\r\n");
    w->Record().ScenarioFile.setText(QString());
    const QString named = m_dir->filePath(QStringLiteral("named.txt"));
    WriteRaw(named, "replaced, as the dialog asked\r\n");
    m_prompter.savePaths = {QString(), named};
    w->SaveClick();   // the dialog cancelled: nothing saved
    QCOMPARE(m_prompter.saveRequests.last().title, QStringLiteral("保存剧本文件"));
    QVERIFY(!w->Project.ProjectSaved);
    QVERIFY(w->windowTitle().contains(QStringLiteral("c.prj*")));
    const int asked = m_prompter.messages.size();
    w->SaveClick();
    QCOMPARE(m_prompter.messages.size(), asked);
    QVERIFY(w->Project.ProjectSaved);
    QCOMPARE(ReadRaw(named), QByteArray("A\r\nB\r\n"));
    TProjectRecord onDisk{};
    ReadProjectFile(c, onDisk);
    QCOMPARE(onDisk.ScenarioFile.text(), named);
}

// A UTF-8 scenario with a Latin-1 word: UTF-8 with a warning naming the
// line, and written over only after the operator's yes.
void TestPageList::damagedUtf8AskedBeforeWriting()
{
    auto w = start();
    const QByteArray bytes = QStringLiteral("第一行：好\r\n").toUtf8() + "Caf\xE9\r\n";
    import(*w, bytes);
    QCOMPARE(w->PageText(0), QStringLiteral("第一行：好"));
    QCOMPARE(w->PageText(1), QStringLiteral("Caf\uFFFD"));
    QVERIFY(m_prompter.messages.last().text.contains(QStringLiteral("第2行不是有效的UTF-8")));
    QVERIFY(w->StatusPanel[2]->text().contains(QStringLiteral("第2行不是有效的UTF-8")));

    w->SelectPage(1);
    AnswerDialog([](TPageTextDialog *d) {
        d->edit()->end(false);
        Type(d->edit(), QStringLiteral("é!"));
        d->Btn_OK->click();
    });
    w->Btn_ModifyClick();
    m_prompter.answers = {Prompter::No};
    w->SaveClick();
    QVERIFY(m_prompter.messages.last().text.contains(QStringLiteral("第2行不是有效的UTF-8")));
    QCOMPARE(ReadRaw(m_scenario), bytes);
    QVERIFY(!w->Project.ProjectSaved);
    m_prompter.answers = {Prompter::Yes};
    w->SaveClick();
    QCOMPARE(ReadRaw(m_scenario), QStringLiteral("第一行：好\r\n").toUtf8() + "Caf\xE9" + "é!\r\n");
}

// Save As into a folder that holds a file of the scenario's relative name:
// another show's file is asked about and never read into the list.
void TestPageList::saveAsIntoFolderWithSameNamedScenario()
{
    QDir root(m_dir->path());
    for (const char *folder : {"a", "b", "c"})
        QVERIFY(root.mkdir(QLatin1String(folder)));
    WriteRaw(root.filePath(QStringLiteral("a/s.txt")), "A\r\nB\r\n");
    WriteRaw(root.filePath(QStringLiteral("b/s.txt")), "other show\r\n");
    WriteRaw(root.filePath(QStringLiteral("c/s.txt")), "A\r\nB\r\n");
    TProjectRecord r{};
    SetStartupDefaults(r);
    r.ScenarioFile.setText(QStringLiteral("s.txt"));
    WriteProjectFile(root.filePath(QStringLiteral("a/show.prj")), r);
    WriteRegString(QStringLiteral("CurFileName"), root.filePath(QStringLiteral("a/show.prj")));
    auto w = start();
    QCOMPARE(w->PageCount(), 2);

    const QString b = root.filePath(QStringLiteral("b/show.prj"));
    m_prompter.savePaths = {b};
    m_prompter.answers = {Prompter::No};
    w->SaveAsClick();
    QCOMPARE(m_prompter.messages.last().text.section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("目标文件夹已有同名的剧本文件，是否覆盖？"));
    QCOMPARE(m_prompter.messages.last().buttons, Prompter::Yes | Prompter::No);
    QVERIFY(!QFile::exists(b));
    QCOMPARE(ReadRaw(root.filePath(QStringLiteral("b/s.txt"))), QByteArray("other show\r\n"));
    QCOMPARE(w->PageText(0), QStringLiteral("A"));

    m_prompter.savePaths = {b};
    m_prompter.answers = {Prompter::Yes};
    w->SaveAsClick();
    QCOMPARE(ReadRaw(root.filePath(QStringLiteral("b/s.txt"))), QByteArray("A\r\nB\r\n"));
    QCOMPARE(w->PageText(0), QStringLiteral("A"));

    // This show's own scenario there: nothing to ask.
    const int asked = m_prompter.messages.size();
    m_prompter.savePaths = {root.filePath(QStringLiteral("c/show.prj"))};
    w->SaveAsClick();
    QCOMPARE(m_prompter.messages.size(), asked);
    QVERIFY(QFile::exists(root.filePath(QStringLiteral("c/show.prj"))));
}

// The re-import question says what it replaces; the reload shows the new
// text in the previews and in 下一幕.
void TestPageList::reimportReplacesUnsavedEditsAndRefreshes()
{
    auto w = start();
    import(*w, "A\r\nB\r\n");
    w->SaveClick();
    w->SelectPage(1);
    AnswerDialog([](TPageTextDialog *d) {
        d->edit()->setText(QStringLiteral("unsaved"));
        d->Btn_OK->click();
    });
    w->Btn_ModifyClick();
    w->SelectPage(0);
    QVERIFY(w->Lbl_Next->text().contains(QStringLiteral("unsaved")));
    QString question;
    WhenModal([&](QWidget *modal) {
        auto *tablet = qobject_cast<TFrm_Tablet *>(modal);
        QVERIFY(tablet->OpenDocument(m_scenario));
        tablet->RichEdit1->setPlainText(QStringLiteral("Z\nC"));
        m_prompter.answers = {Prompter::Yes};
        QVERIFY(tablet->N11Click());
        question = m_prompter.messages.last().text;
        tablet->close();
    });
    w->ToolButton3Click();
    QVERIFY(question.contains(QStringLiteral("幕列表中尚未保存的改动将被替换")));
    QCOMPARE(w->PageText(0), QStringLiteral("Z"));
    QCOMPARE(w->SelectedIndex(), 0);
    QCOMPARE(w->Lbl_Next->text(), QStringLiteral("下一幕：第2幕 C"));
    const QImage shown = w->LandImage;
    w->PreviewPage(w->Record(), QStringLiteral("Z"));
    QCOMPARE(shown, w->LandImage);
    w->PreviewPage(w->Record(), QStringLiteral("A"));
    QVERIFY(shown != w->LandImage);
}

// The page dialogs take what the scenario's encoding holds, and refuse the
// rest with the characters named: GBK has no ñ, ™ or Hangul; UTF-8 has all.
void TestPageList::pageDialogsRefuseWhatTheEncodingCannotHold()
{
    struct Case {
        QByteArray file;
        QString typed, page, refusedText;
    };
    const Case cases[] = {
        {"A\r\n", QStringLiteral("Señor™안녕ç"), QStringLiteral("Seor"),
         QStringLiteral("剧本文件是GBK编码，不能保存这些字符：ç")},
        {QStringLiteral("第一行\r\n").toUtf8(), QStringLiteral("Señor™안녕ç"), QStringLiteral("Señor™안녕ç"), QString()},
        // A page holding é in a UTF-8 file takes more typing.
        {"Caf\xC3\xA9\r\n", QStringLiteral("ñ"), QStringLiteral("ñ"), QString()},
    };
    for (const Case &c : cases) {
        auto w = start();
        import(*w, c.file);
        w->SelectPage(0);
        QString refused;
        AnswerDialog([&](TPageTextDialog *d) {
            d->edit()->clear();
            Type(d->edit(), c.typed);
            refused = d->Lbl_Refused->isVisible() ? d->Lbl_Refused->text() : QString();
            d->Btn_OK->click();
        });
        w->Btn_InputStrClick();
        QCOMPARE(w->PageText(1), c.page);
        QCOMPARE(refused, c.refusedText);
        AnswerDialog([&](TPageTextDialog *d) {
            d->edit()->end(false);
            Type(d->edit(), c.typed);
            d->Btn_OK->click();
        });
        w->Btn_ModifyClick();   // the inserted page, typed again at its end
        w->SaveClick();
        PageStore reread;
        reread.load(ReadRaw(m_scenario));
        QCOMPARE(reread.page(1), c.page + c.page);
    }
}

// A GBK scenario whose saved bytes happen to be valid UTF-8 reads back as
// GBK at the next start: the encoding it was read with is remembered.
void TestPageList::encodingRememberedAcrossStarts()
{
    {
        auto w = start();
        import(*w, ToGbk(QStringLiteral("第一行\r\n")));
        w->SelectPage(0);
        AnswerDialog([](TPageTextDialog *d) {
            d->edit()->setText(QStringLiteral("庐陆路"));
            d->Btn_OK->click();
        });
        w->Btn_ModifyClick();
        w->SaveClick();
    }
    QCOMPARE(ReadRaw(m_scenario), ToGbk(QStringLiteral("庐陆路\r\n")));
    auto w = start();
    QCOMPARE(w->PageText(0), QStringLiteral("庐陆路"));
}

QTEST_MAIN(TestPageList)
#include "tst_pagelist.moc"
