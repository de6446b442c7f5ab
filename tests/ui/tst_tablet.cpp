// The scenario editor: files and their questions, the close query, the
// format bar and its synchronisation with the caret.
#include "ScriptedPrompter.h"
#include "TestFiles.h"

#include "app/AppPaths.h"
#include "app/Gbk.h"
#include "app/uMain.h"
#include "editor/LineSpacing.h"
#include "editor/tablet.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>
#include <QTextCursor>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>
#include <memory>

namespace {
QString Title(const QString &name) { return name + QStringLiteral(" - 剧本编辑"); }

// Types into the editor as the operator would (also characters without a key).
void Type(TFrm_Tablet &w, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w.RichEdit1, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void SelectAll(TFrm_Tablet &w)
{
    QTextCursor c = w.RichEdit1->textCursor();
    c.select(QTextCursor::Document);
    w.RichEdit1->setTextCursor(c);
}

void Select(TFrm_Tablet &w, int from, int to)
{
    QTextCursor c = w.RichEdit1->textCursor();
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    w.RichEdit1->setTextCursor(c);
}

QTextCharFormat CharAt(TFrm_Tablet &w, int position)
{
    QTextCursor c(w.RichEdit1->document());
    c.setPosition(position + 1);
    return c.charFormat();
}

int FirstTwentieths(TFrm_Tablet &w)
{
    return LineSpacing::Twentieths(w.RichEdit1->document()->firstBlock().blockFormat());
}

// Types over the size box's whole text; an empty text erases it.
void TypeSize(TFrm_Tablet &w, const QString &text)
{
    w.ComboBox2->lineEdit()->selectAll();
    if (text.isEmpty())
        QTest::keyClick(w.ComboBox2->lineEdit(), Qt::Key_Backspace);
    else
        QTest::keyClicks(w.ComboBox2->lineEdit(), text);
}
} // namespace

class TestTablet : public QObject {
    Q_OBJECT
private slots:
    void init();
    void utf8FileSavedAsUtf8WithTitleMark();
    void cleanup();
    void startingState();
    void saveOnNewDocumentGoesToSaveAs();
    void formatsAreNotSaved();
    void rtfContentOpensFormattedWhateverTheName();
    void failedOpenAndSaveKeepTheName();
    void largeFilesOpenWithoutFreezing();
    void charactersGbkCannotHoldAreAskedAbout();
    void newAndOpenAskAboutChanges();
    void redo();
    void damagedUtf8WrittenOnYes();
    void closeQuery();
    void sizeBox();
    void lineSpacingSteps();
    void lineSpacingFromFiles();
    void faceAndColour();
    void stylesAndAlignment();
    void barFollowsTheCaret();
    void editEntries();
    void colourSwatches();
    void mainWindowOpensEditor();

private:
    std::unique_ptr<TFrm_Tablet> start();
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
};

void TestTablet::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    AppPaths::setRegistryFile(path(QStringLiteral("Velmora.ini")));
    AppPaths::setSysSetupFile(path(QStringLiteral("SysSetup")));
    AppPaths::setProgramDir(m_dir->path());
    QDir(m_dir->path()).mkdir(QStringLiteral("Documents"));
    m_prompter = ScriptedPrompter();
    QApplication::clipboard()->clear();
}

void TestTablet::cleanup() { m_dir.reset(); }

std::unique_ptr<TFrm_Tablet> TestTablet::start()
{
    auto w = std::make_unique<TFrm_Tablet>(&m_prompter);
    w->show();
    return w;
}

void TestTablet::startingState()
{
    auto w = start();
    QCOMPARE(w->windowTitle(), Title(QStringLiteral("未命名")));
    QCOMPARE(w->DocumentName(), QStringLiteral("未命名"));
    QCOMPARE(w->ComboBox1->currentText(), QStringLiteral("宋体"));
    QCOMPARE(w->ComboBox1->itemText(w->ComboBox1->count() - 1), QString());
    QCOMPARE(w->ComboBox2->currentText(), QStringLiteral("12"));
    QCOMPARE(w->ComboBox3->currentText(), QStringLiteral("红"));
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("0.75"));
    QCOMPARE(FirstTwentieths(*w), 15);
    for (QAction *a : {w->BtnLeft, w->BtnCenter, w->BtnRight, w->BtnBold})
        QVERIFY(!a->isChecked());
    for (QAction *a : {w->X1, w->C1, w->D1, w->N2, w->N3, w->N4, w->P1, w->N5})
        QVERIFY(!a->isEnabled());

    // Typed text takes the default format.
    Type(*w, QStringLiteral("ab"));
    const QTextCharFormat f = CharAt(*w, 0);
    QCOMPARE(f.fontFamilies().toStringList().value(0), QStringLiteral("宋体"));
    QCOMPARE(f.fontPointSize(), 12.0);
    QCOMPARE(f.foreground().color(), QColor(255, 0, 0));

    // An untouched new document closes without a question.
    auto untouched = start();
    QVERIFY(untouched->close());
    QVERIFY(m_prompter.messages.isEmpty());
}

void TestTablet::utf8FileSavedAsUtf8WithTitleMark()
{
    // A UTF-8 file without a byte-order mark opens as UTF-8 and is written
    // back in UTF-8; the title carries "*" while the document is changed.
    const QString file = path(QStringLiteral("u.txt"));
    WriteRaw(file, QStringLiteral("第一行\r\n第二行").toUtf8());
    auto w = start();
    QVERIFY(w->OpenDocument(file));
    QCOMPARE(w->RichEdit1->toPlainText(), QStringLiteral("第一行\n第二行"));
    QCOMPARE(w->windowTitle(), Title(QStringLiteral("u.txt")));
    QTextCursor end(w->RichEdit1->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral("😀"));   // UTF-8 holds it: no question
    QCOMPARE(w->windowTitle(), Title(QStringLiteral("u.txt*")));
    QVERIFY(w->N11Click());
    QVERIFY(m_prompter.messages.isEmpty());
    QCOMPARE(w->windowTitle(), Title(QStringLiteral("u.txt")));
    QCOMPARE(ReadRaw(file), QStringLiteral("第一行\r\n第二行😀").toUtf8());

    // New starts a GBK document again.
    w->N1Click();
    Type(*w, QStringLiteral("幕"));
    m_prompter.savePaths << path(QStringLiteral("g.txt"));
    QVERIFY(w->N11Click());
    QCOMPARE(ReadRaw(path(QStringLiteral("g.txt"))), ToGbk(QStringLiteral("幕")));
}

void TestTablet::saveOnNewDocumentGoesToSaveAs()
{
    auto w = start();
    Type(*w, QStringLiteral("第一幕"));
    m_prompter.savePaths << path(QStringLiteral("Documents/a.txt"));
    QVERIFY(w->N11Click());
    QCOMPARE(m_prompter.saveRequests.size(), 1);
    const Prompter::FileRequest &r = m_prompter.saveRequests.first();
    QCOMPARE(r.directory, path(QStringLiteral("Documents")));
    QCOMPARE(r.filter, QStringLiteral("Txt文档(*.txt)|*.txt|Rtf文档(*.rtf)|*.rtf"));
    QVERIFY(r.confirmOverwrite);
    QCOMPARE(w->windowTitle(), Title(QStringLiteral("a.txt")));
    QVERIFY(!w->RichEdit1->document()->isModified());
    QCOMPARE(ReadRaw(path(QStringLiteral("Documents/a.txt"))), ToGbk(QStringLiteral("第一幕")));

    // The next Save writes the bound file without a dialog; CR LF between lines.
    QTest::keyClick(w->RichEdit1, Qt::Key_Return);
    Type(*w, QStringLiteral("第二幕"));
    QVERIFY(w->BtnSave->isEnabled());
    w->BtnSave->trigger();
    QCOMPARE(m_prompter.saveRequests.size(), 1);
    QCOMPARE(ReadRaw(path(QStringLiteral("Documents/a.txt"))),
             ToGbk(QStringLiteral("第一幕\r\n第二幕")));
    QVERIFY(w->BtnSave->isChecked() && !w->BtnNew->isChecked());
    QVERIFY(w->close());
    QVERIFY(m_prompter.messages.isEmpty());

    // Without a Documents folder the dialog opens where the platform opens it;
    // the name box keeps the last name.
    QDir(path(QStringLiteral("Documents"))).removeRecursively();
    auto second = start();
    Type(*second, QStringLiteral("x"));
    QVERIFY(!second->S1Click());
    QCOMPARE(m_prompter.saveRequests.last().directory, QString());
}

void TestTablet::formatsAreNotSaved()
{
    auto w = start();
    Type(*w, QStringLiteral("红字"));
    SelectAll(*w);
    w->BtnBold->trigger();
    w->ComboBox3Change(2);
    w->BtnCenter->trigger();
    m_prompter.savePaths << path(QStringLiteral("x.rtf"));
    QVERIFY(w->S1Click());
    QCOMPARE(ReadRaw(path(QStringLiteral("x.rtf"))), ToGbk(QStringLiteral("红字")));

    // Reopened, the text shows in the default format.
    m_prompter.openPaths << path(QStringLiteral("x.rtf"));
    w->O1Click();
    QCOMPARE(w->RichEdit1->toPlainText(), QStringLiteral("红字"));
    const QTextCharFormat f = CharAt(*w, 0);
    QCOMPARE(f.fontWeight(), int(QFont::Normal));
    QCOMPARE(f.foreground().color(), QColor(255, 0, 0));
    QCOMPARE(w->RichEdit1->document()->firstBlock().blockFormat().alignment(), Qt::AlignLeft);
    QVERIFY(w->BtnLeft->isChecked() && !w->BtnBold->isChecked());
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("0.75"));
}

void TestTablet::rtfContentOpensFormattedWhateverTheName()
{
    WriteRaw(path(QStringLiteral("scene.txt")), ReadTestData("wordpad.rtf"));
    auto w = start();
    m_prompter.openPaths << path(QStringLiteral("scene.txt"));
    w->BtnOpen->trigger();
    const Prompter::FileRequest &r = m_prompter.openRequests.first();
    QCOMPARE(r.directory, path(QStringLiteral("Documents")));
    QCOMPARE(r.fileName, QString());
    QCOMPARE(w->windowTitle(), Title(QStringLiteral("scene.txt")));
    QCOMPARE(w->RichEdit1->document()->firstBlock().text(), QStringLiteral("第一幕"));
    // The bar shows the first paragraph: right-aligned, bold, red, 16 points.
    QVERIFY(w->BtnRight->isChecked());
    QVERIFY(w->BtnBold->isChecked());
    QCOMPARE(w->ComboBox1->currentText(), QStringLiteral("宋体"));
    QCOMPARE(w->ComboBox2->currentText(), QStringLiteral("16"));
    QCOMPARE(w->ComboBox3->currentText(), QStringLiteral("红"));
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("1.25"));
    QVERIFY(!w->RichEdit1->document()->isModified());
    QVERIFY(w->close());
    QVERIFY(m_prompter.messages.isEmpty());
}

// A 1 MB line of letters (no word boundary) and a paragraph of thousands of
// format changes once took minutes to lay out; ctest's time limit catches a
// return of that. Only the first wraps anywhere.
void TestTablet::largeFilesOpenWithoutFreezing()
{
    const QByteArray letters(1 << 20, 'a');
    WriteRaw(path(QStringLiteral("letters.txt")), letters + "\r\nnext line");
    QByteArray runs = "{\\rtf1\\ansi\\ansicpg936 ";
    for (int i = 0; i < 3000; ++i)
        runs += "{\\b \\'d5\\'c5\\'c9\\'fa\\'a3\\'ba}words " + QByteArray::number(i) + "\\line\n";
    WriteRaw(path(QStringLiteral("runs.rtf")), runs + "}");

    auto w = start();
    QVERIFY(w->OpenDocument(path(QStringLiteral("letters.txt"))));
    QCOMPARE(w->RichEdit1->wordWrapMode(), QTextOption::WrapAnywhere);
    QCOMPARE(w->RichEdit1->document()->blockCount(), 2);
    QCOMPARE(w->RichEdit1->document()->firstBlock().length(), letters.size() + 1);
    QScrollBar *bar = w->RichEdit1->verticalScrollBar();
    bar->setValue(bar->maximum());
    QVERIFY(w->RichEdit1->document()->lastBlock().layout()->lineCount() > 0);

    QVERIFY(w->OpenDocument(path(QStringLiteral("runs.rtf"))));
    QCOMPARE(w->RichEdit1->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
    const QString text = w->RichEdit1->document()->firstBlock().text();
    QCOMPARE(text.count(QChar(QChar::LineSeparator)), 3000);
    QVERIFY(text.startsWith(QStringLiteral("张生：words 0")));
    bar->setValue(bar->maximum());
    QVERIFY(w->close());
}

void TestTablet::failedOpenAndSaveKeepTheName()
{
    auto w = start();
    Type(*w, QStringLiteral("kept"));
    m_prompter.openPaths << path(QStringLiteral("missing.rtf"));
    m_prompter.answers << Prompter::No;   // not saved
    w->O1Click();
    QCOMPARE(m_prompter.errors.size(), 1);
    QCOMPARE(w->DocumentName(), QStringLiteral("未命名"));
    QCOMPARE(w->RichEdit1->toPlainText(), QStringLiteral("kept"));

    m_prompter.savePaths << path(QStringLiteral("no/such/folder/a.txt"));
    QVERIFY(!w->S1Click());
    QCOMPARE(m_prompter.errors.size(), 2);
    QCOMPARE(w->windowTitle(), Title(QStringLiteral("未命名*")));   // still unsaved
    QVERIFY(w->RichEdit1->document()->isModified());
}

void TestTablet::charactersGbkCannotHoldAreAskedAbout()
{
    auto w = start();
    Type(*w, QStringLiteral("幕한"));
    m_prompter.answers << Prompter::No;
    m_prompter.savePaths << path(QStringLiteral("k.txt"));
    QVERIFY(!w->S1Click());
    QCOMPARE(m_prompter.messages.size(), 1);
    QCOMPARE(m_prompter.messages.first().caption, QStringLiteral("提示"));
    QVERIFY(!QFile::exists(path(QStringLiteral("k.txt"))));
    QCOMPARE(w->DocumentName(), QStringLiteral("未命名"));
    QVERIFY(w->RichEdit1->document()->isModified());

    m_prompter.answers << Prompter::Yes;
    m_prompter.savePaths << path(QStringLiteral("k.txt"));
    QVERIFY(w->S1Click());
    QCOMPARE(ReadRaw(path(QStringLiteral("k.txt"))), ToGbk(QStringLiteral("幕")) + "?");
}

void TestTablet::newAndOpenAskAboutChanges()
{
    WriteRaw(path(QStringLiteral("b.txt")), ToGbk(QStringLiteral("旧")));
    auto w = start();
    m_prompter.openPaths << path(QStringLiteral("b.txt"));
    w->O1Click();
    QVERIFY(m_prompter.messages.isEmpty());   // nothing changed yet
    Type(*w, QStringLiteral("改"));
    w->BtnBold->trigger();
    // Cancel keeps the text.
    m_prompter.answers << Prompter::Cancel;
    w->N1Click();
    QCOMPARE(m_prompter.messages.size(), 1);
    QCOMPARE(m_prompter.messages.last().text, QStringLiteral("是否保存对文档“b.txt”的修改？"));
    QCOMPARE(w->RichEdit1->toPlainText(), QStringLiteral("改旧"));
    // No replaces it.
    m_prompter.answers << Prompter::No;
    w->N1Click();
    QCOMPARE(w->RichEdit1->toPlainText(), QString());
    QCOMPARE(w->windowTitle(), Title(QStringLiteral("未命名")));
    QVERIFY(!w->RichEdit1->document()->isModified());
    // The formats in use stay.
    QVERIFY(w->BtnBold->isChecked());
    Type(*w, QStringLiteral("n"));
    QCOMPARE(CharAt(*w, 0).fontWeight(), int(QFont::Bold));
    // Open on changes asks as well; Yes saves them first.
    m_prompter.openPaths << path(QStringLiteral("b.txt"));
    m_prompter.answers << Prompter::Yes;
    m_prompter.savePaths << path(QStringLiteral("n.txt"));
    w->O1Click();
    QCOMPARE(m_prompter.messages.size(), 3);
    QCOMPARE(m_prompter.messages.last().text, QStringLiteral("是否保存对文档的修改？"));
    QCOMPARE(ReadRaw(path(QStringLiteral("n.txt"))), QByteArray("n"));
    QCOMPARE(w->RichEdit1->toPlainText(), QStringLiteral("旧"));
}

// Ctrl+Y redoes what was undone; 重做 sits in the 编辑 menu.
void TestTablet::redo()
{
    auto w = start();
    QVERIFY(!w->R1->isEnabled());
    Type(*w, QStringLiteral("ab"));
    QTest::keyClick(w->RichEdit1, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w->RichEdit1->toPlainText(), QString());
    QVERIFY(w->R1->isEnabled());
    QTest::keyClick(w->RichEdit1, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(w->RichEdit1->toPlainText(), QStringLiteral("ab"));
    QCOMPARE(w->R1->text(), QStringLiteral("重做(&R)"));
    QVERIFY(w->MainMenu1->actions().at(1)->menu()->actions().contains(w->R1));
}

// A UTF-8 file with a Latin-1 byte keeps it, and is written over only on yes.
void TestTablet::damagedUtf8WrittenOnYes()
{
    const QByteArray bytes = QStringLiteral("第一行：好\r\n").toUtf8() + "Caf\xE9";
    WriteRaw(path(QStringLiteral("d.txt")), bytes);
    auto w = start();
    QVERIFY(w->OpenDocument(path(QStringLiteral("d.txt"))));
    Type(*w, QStringLiteral("甲"));
    m_prompter.answers << Prompter::No;
    QVERIFY(!w->N11Click());
    QVERIFY(m_prompter.messages.last().text.contains(QStringLiteral("第2行不是有效的UTF-8")));
    QCOMPARE(ReadRaw(path(QStringLiteral("d.txt"))), bytes);
    m_prompter.answers << Prompter::Yes;
    QVERIFY(w->N11Click());
    QCOMPARE(ReadRaw(path(QStringLiteral("d.txt"))), QStringLiteral("甲").toUtf8() + bytes);
}

void TestTablet::closeQuery()
{
    WriteRaw(path(QStringLiteral("b.rtf")), ToGbk(QStringLiteral("剧本")));
    auto w = start();
    m_prompter.openPaths << path(QStringLiteral("b.rtf"));
    w->O1Click();
    Type(*w, QStringLiteral("改"));

    // Yes, then cancelling the dialog: the window stays with its document.
    m_prompter.answers << Prompter::Yes;
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());
    QCOMPARE(m_prompter.messages.size(), 1);
    const ScriptedPrompter::Message &m = m_prompter.messages.first();
    QCOMPARE(m.text, QStringLiteral("是否保存对文档“b.rtf”的修改？"));
    QCOMPARE(m.caption, QStringLiteral("存盘信息"));
    QCOMPARE(m.icon, Prompter::Question);
    QCOMPARE(m.buttons, Prompter::Yes | Prompter::No | Prompter::Cancel);
    QCOMPARE(m_prompter.saveRequests.last().fileName, path(QStringLiteral("b.rtf")));
    QCOMPARE(m_prompter.saveRequests.last().title, QStringLiteral("保存"));
    QCOMPARE(w->RichEdit1->toPlainText(), QStringLiteral("改剧本"));

    // Cancel keeps it open.
    m_prompter.answers << Prompter::Cancel;
    QVERIFY(!w->close());

    // Yes with a folder that cannot be written: the error, the window stays.
    m_prompter.answers << Prompter::Yes;
    m_prompter.savePaths << path(QStringLiteral("no/such/c.txt"));
    QVERIFY(!w->close());
    QCOMPARE(m_prompter.errors.size(), 1);

    // Yes and a file: written, then closed; b.rtf is untouched.
    m_prompter.answers << Prompter::Yes;
    m_prompter.savePaths << path(QStringLiteral("c.txt"));
    QVERIFY(w->close());
    QCOMPARE(m_prompter.saveRequests.last().fileName, path(QStringLiteral("b.rtf")));
    QCOMPARE(ReadRaw(path(QStringLiteral("c.txt"))), ToGbk(QStringLiteral("改剧本")));
    QCOMPARE(ReadRaw(path(QStringLiteral("b.rtf"))), ToGbk(QStringLiteral("剧本")));

    // No closes without saving; Escape does not close past the query.
    auto other = start();
    Type(*other, QStringLiteral("x"));
    QTest::keyClick(other.get(), Qt::Key_Escape);
    QVERIFY(other->isVisible());
    m_prompter.answers << Prompter::No;
    QVERIFY(other->close());
    QCOMPARE(m_prompter.saveRequests.size(), 3);
}

void TestTablet::sizeBox()
{
    auto w = start();
    Type(*w, QStringLiteral("字号"));
    SelectAll(*w);
    TypeSize(*w, QStringLiteral("abc"));
    QCOMPARE(w->ComboBox2->currentText(), QStringLiteral("12"));
    QCOMPARE(CharAt(*w, 1).fontPointSize(), 12.0);

    TypeSize(*w, QStringLiteral("14 "));
    QCOMPARE(CharAt(*w, 1).fontPointSize(), 14.0);
    QCOMPARE(w->ComboBox2->currentText(), QStringLiteral("14 "));

    TypeSize(*w, QStringLiteral("100"));   // not in the list
    QCOMPARE(CharAt(*w, 0).fontPointSize(), 100.0);
    QCOMPARE(w->ComboBox2->currentText(), QStringLiteral("100"));

    TypeSize(*w, QString());                // emptied: "12"
    QCOMPARE(w->ComboBox2->currentText(), QStringLiteral("12"));
    QCOMPARE(CharAt(*w, 0).fontPointSize(), 12.0);

    // Sizes no font can have are held within 1 to 1638 points.
    TypeSize(*w, QStringLiteral("99999"));
    QCOMPARE(CharAt(*w, 0).fontPointSize(), 1638.0);
    TypeSize(*w, QStringLiteral("0"));
    QCOMPARE(CharAt(*w, 0).fontPointSize(), 1.0);
    // A sign alone is no number: "-3" typed becomes "12", then "123".
    TypeSize(*w, QStringLiteral("-3"));
    QCOMPARE(w->ComboBox2->currentText(), QStringLiteral("123"));

    // Choosing from the list counts as well.
    w->ComboBox2->setCurrentIndex(w->ComboBox2->findText(QStringLiteral("36")));
    w->ComboBox2Change();
    QCOMPARE(CharAt(*w, 1).fontPointSize(), 36.0);
}

void TestTablet::lineSpacingSteps()
{
    auto w = start();
    Type(*w, QStringLiteral("行"));
    w->RichEdit1->document()->setModified(false);
    QTest::mouseClick(w->SpinBtn_LineSpacUp, Qt::LeftButton);
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("0.8"));
    QCOMPARE(FirstTwentieths(*w), 16);
    QCOMPARE(w->RichEdit1->document()->firstBlock().blockFormat().lineHeight(), 80.0);
    w->SpinBtn_LineSpacUpClick();
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("0.85"));
    w->SpinBtn_LineSpacDownClick();
    w->SpinBtn_LineSpacDownClick();
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("0.75"));
    QCOMPARE(FirstTwentieths(*w), 15);
    w->SpinBtn_LineSpacDownClick();   // never below 0.75
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("0.75"));
    QVERIFY(w->RichEdit1->document()->isModified());

    // Applied to every paragraph the selection touches.
    QTest::keyClick(w->RichEdit1, Qt::Key_Return);
    Type(*w, QStringLiteral("二"));
    SelectAll(*w);
    for (int i = 0; i < 5; ++i)
        w->SpinBtn_LineSpacUpClick();
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("1"));
    for (QTextBlock b = w->RichEdit1->document()->begin(); b.isValid(); b = b.next())
        QCOMPARE(LineSpacing::Twentieths(b.blockFormat()), 20);

    // The value travels in one byte: the up button stops at 12.75 lines.
    for (int i = 0; i < 300; ++i)
        w->SpinBtn_LineSpacUpClick();
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("12.75"));
    QCOMPARE(FirstTwentieths(*w), 255);
}

void TestTablet::lineSpacingFromFiles()
{
    // Single spacing in the first paragraph shows 0 and is not re-applied:
    // the caret moving over the paragraphs changes nothing.
    WriteRaw(path(QStringLiteral("s.rtf")),
             "{\\rtf1 single\\par\\sl480\\slmult1 double\\par\\sl-240\\slmult0 exact}");
    auto w = start();
    m_prompter.openPaths << path(QStringLiteral("s.rtf"));
    w->O1Click();
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("0"));
    QTextDocument *doc = w->RichEdit1->document();
    QCOMPARE(doc->firstBlock().blockFormat().lineHeightType(), int(QTextBlockFormat::SingleHeight));
    QTest::keyClick(w->RichEdit1, Qt::Key_Down);
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("2"));
    QTest::keyClick(w->RichEdit1, Qt::Key_Down);
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("1"));
    QCOMPARE(doc->lastBlock().blockFormat().lineHeightType(), int(QTextBlockFormat::FixedHeight));
    SelectAll(*w);
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("0"));
    QCOMPARE(LineSpacing::Twentieths(doc->findBlockByNumber(1).blockFormat()), 40);
    QVERIFY(!doc->isModified());
    // The up button from a value below 0.75 steps from it.
    w->SpinBtn_LineSpacUpClick();
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("0.05"));
    QCOMPARE(LineSpacing::Twentieths(doc->lastBlock().blockFormat()), 1);
}

void TestTablet::faceAndColour()
{
    auto w = start();
    Type(*w, QStringLiteral("字体"));
    SelectAll(*w);
    const int empty = w->ComboBox1->count() - 1;
    w->ComboBox1Change(empty);
    QCOMPARE(CharAt(*w, 0).fontFamilies().toStringList().value(0), QStringLiteral("宋体"));
    const int hei = w->ComboBox1->findText(QStringLiteral("黑体"));
    QVERIFY(hei >= 0);
    w->ComboBox1Change(hei);
    QCOMPARE(CharAt(*w, 1).fontFamilies().toStringList().value(0), QStringLiteral("黑体"));
    QVERIFY(w->RichEdit1->hasFocus() || !QApplication::focusWidget());

    const QColor expected[] = {QColor(255, 0, 0), QColor(255, 255, 0), QColor(0, 255, 0)};
    for (int i = 2; i >= 0; --i) {
        w->ComboBox3Change(i);
        QCOMPARE(CharAt(*w, 0).foreground().color(), expected[i]);
    }
}

void TestTablet::stylesAndAlignment()
{
    auto w = start();
    Type(*w, QStringLiteral("abc"));
    Select(*w, 1, 2);
    w->BtnItalic->trigger();
    SelectAll(*w);
    w->BtnBold->trigger();
    w->BtnUnderLine->trigger();
    // Adding bold and underline kept the italic of "b".
    QVERIFY(CharAt(*w, 1).fontItalic());
    QVERIFY(!CharAt(*w, 0).fontItalic());
    for (int i = 0; i < 3; ++i)
        QVERIFY(CharAt(*w, i).fontWeight() == QFont::Bold && CharAt(*w, i).fontUnderline());
    QVERIFY(!w->BtnItalic->isChecked());   // not all of the selection is italic
    w->BtnBold->trigger();                 // released: bold removed, the rest stays
    QCOMPARE(CharAt(*w, 2).fontWeight(), int(QFont::Normal));
    QVERIFY(CharAt(*w, 2).fontUnderline());

    w->BtnRight->trigger();
    QCOMPARE(w->RichEdit1->document()->firstBlock().blockFormat().alignment(), Qt::AlignRight);
    QVERIFY(!w->BtnLeft->isChecked());
    w->BtnCenter->trigger();
    QCOMPARE(w->RichEdit1->document()->firstBlock().blockFormat().alignment(), Qt::AlignHCenter);
    QVERIFY(!w->BtnRight->isChecked());
    w->BtnLeft->trigger();
    QCOMPARE(w->RichEdit1->document()->firstBlock().blockFormat().alignment(), Qt::AlignLeft);
}

void TestTablet::barFollowsTheCaret()
{
    WriteRaw(path(QStringLiteral("mixed.rtf")), ReadTestData("libreoffice.rtf"));
    auto w = start();
    m_prompter.openPaths << path(QStringLiteral("mixed.rtf"));
    w->O1Click();
    // First paragraph: centred, bold, yellow, 14 points, 黑体.
    QVERIFY(w->BtnCenter->isChecked() && w->BtnBold->isChecked());
    QCOMPARE(w->ComboBox3->currentText(), QStringLiteral("黄"));
    QCOMPARE(w->ComboBox2->currentText(), QStringLiteral("14"));
    QCOMPARE(w->ComboBox1->currentText(), QStringLiteral("黑体"));
    QCOMPARE(w->Edt_LineSpace->text(), QStringLiteral("1.5"));
    QVERIFY(!w->X1->isEnabled());

    // The caret in "caption": left, italic, underlined, a face not listed.
    const QTextBlock second = w->RichEdit1->document()->findBlockByNumber(1);
    QTextCursor c(second);
    c.setPosition(second.position() + 12);
    w->RichEdit1->setTextCursor(c);
    QVERIFY(w->BtnLeft->isChecked() && !w->BtnBold->isChecked());
    QVERIFY(w->BtnItalic->isChecked() && w->BtnUnderLine->isChecked());
    // Automatic colour: the box keeps what it showed.
    QCOMPARE(w->ComboBox3->currentText(), QStringLiteral("黄"));
    QCOMPARE(w->ComboBox2->currentText(), QStringLiteral("12"));

    // A selection over two faces and two colours: the empty entries.
    Select(*w, second.position() + 1, second.position() + 19);
    QVERIFY(w->ComboBox1->currentText().isEmpty());
    QCOMPARE(w->ComboBox3->currentIndex(), -1);
    QVERIFY(!w->BtnItalic->isChecked());
    for (QAction *a : {w->X1, w->C1, w->D1, w->N2, w->N3, w->N4})
        QVERIFY(a->isEnabled());
    // Only "“Go”": red, 10 points, a size not in the list.
    Select(*w, second.position() + 16, second.position() + 20);
    QCOMPARE(w->ComboBox3->currentText(), QStringLiteral("红"));
    QCOMPARE(w->ComboBox2->currentText(), QStringLiteral("10"));

    w->RichEdit1->moveCursor(QTextCursor::End);
    QVERIFY(w->BtnRight->isChecked());
    QVERIFY(!w->C1->isEnabled());
    QVERIFY(!w->RichEdit1->document()->isModified());
}

void TestTablet::editEntries()
{
    QApplication::clipboard()->setText(QStringLiteral("剪贴板"));
    auto w = start();
    QVERIFY(w->P1->isEnabled() && w->N5->isEnabled());
    w->P1->trigger();
    QCOMPARE(w->RichEdit1->toPlainText(), QStringLiteral("剪贴板"));
    QApplication::clipboard()->clear();
    QVERIFY(!w->P1->isEnabled());

    w->A1->trigger();
    QVERIFY(w->C1->isEnabled());
    w->C1->trigger();
    QVERIFY(w->P1->isEnabled());
    Select(*w, 0, 1);
    w->N2->trigger();
    QCOMPARE(w->RichEdit1->toPlainText(), QStringLiteral("贴板"));
    w->A2->trigger();
    w->N3->trigger();
    QCOMPARE(w->RichEdit1->toPlainText(), QString());
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("贴板"));
    QVERIFY(!w->X1->isEnabled());
    // The undo entries undo the last edit.
    QVERIFY(w->U1->isEnabled());
    w->U1->trigger();
    QCOMPARE(w->RichEdit1->toPlainText(), QStringLiteral("贴板"));
}

void TestTablet::colourSwatches()
{
    auto w = start();
    w->ComboBox3->resize(90, 22);
    for (int i = 0; i < 3; ++i) {
        w->ComboBox3->setCurrentIndex(i);
        const QImage shot = w->ComboBox3->grab().toImage();
        const unsigned bgr = TFrm_Tablet::EntryColours[i];
        const QColor colour(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
        // The swatch, left in the box, has the colour the entry applies.
        bool found = false;
        for (int x = 0; x < 40 && !found; ++x)
            found = shot.pixelColor(x, shot.height() / 2) == colour;
        QVERIFY2(found, qPrintable(QString::number(i)));
    }
}

// The operator's road: 剧本, write, save, close, import the file as pages.
void TestTablet::mainWindowOpensEditor()
{
    TFrm_Main main(&m_prompter);
    main.show();
    QVERIFY(main.ToolButton3->isEnabled());
    const QString scenario = path(QStringLiteral("Documents/show.rtf"));
    QString title;
    QTimer::singleShot(0, [&] {
        auto *tablet = qobject_cast<TFrm_Tablet *>(QApplication::activeModalWidget());
        if (!tablet)
            return;
        title = tablet->windowTitle();
        Type(*tablet, QStringLiteral("第一幕"));
        QTest::keyClick(tablet->RichEdit1, Qt::Key_Return);
        Type(*tablet, QStringLiteral("第二幕"));
        m_prompter.savePaths << scenario;
        tablet->N11Click();
        tablet->close();
    });
    main.ToolButton3->trigger();
    QCOMPARE(title, Title(QStringLiteral("未命名")));
    QVERIFY(!QApplication::activeModalWidget());

    m_prompter.openPaths << scenario;
    main.Btn_LoadScenarioClick();
    QCOMPARE(main.PageCount(), 2);
    QCOMPARE(main.PageText(0), QStringLiteral("第一幕"));
    QCOMPARE(main.PageText(1), QStringLiteral("第二幕"));
}

QTEST_MAIN(TestTablet)
#include "tst_tablet.moc"
