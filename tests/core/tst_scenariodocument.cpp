// Scenario files in the editor: RTF or GBK text in, GBK text with CR LF out.
#include "TestFiles.h"

#include "app/Errors.h"
#include "app/Gbk.h"
#include "editor/ScenarioDocument.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

#include "TextDocuments.h"

namespace {
} // namespace

class TestScenarioDocument : public QObject {
    Q_OBJECT
private slots:
    void plainTextTakesGivenFormats();
    void rtfContentWhateverTheName();
    void formatsAreNotWritten();
    void picturesAndLineBreaks();
    void textFilesComeBackAsTheyWere();
    void charactersGbkCannotHold();
    void unreadableFileLeavesDocument();
    void unwritablePathThrows();
};

void TestScenarioDocument::plainTextTakesGivenFormats()
{
    QTextDocument doc;
    QTextCharFormat ch;
    ch.setFontPointSize(12);
    ch.setForeground(QColor(255, 0, 0));
    QTextBlockFormat para;
    para.setAlignment(Qt::AlignLeft);
    SetScenarioContent(ToGbk(QStringLiteral("第一幕\r\n第二幕\rthird\n\r\n")), &doc, ch, para);
    QCOMPARE(Paragraphs(doc), (QStringList{QStringLiteral("第一幕"), QStringLiteral("第二幕"),
                                           "third", "", ""}));
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QCOMPARE(QTextCursor(b).blockCharFormat().foreground().color(), QColor(255, 0, 0));
        if (!b.text().isEmpty()) {
            QTextCursor c(b);
            c.movePosition(QTextCursor::EndOfBlock);
            QCOMPARE(c.charFormat().fontPointSize(), 12.0);
        }
    }
    // Lone CR and LF line ends come back as CR LF.
    QCOMPARE(ScenarioFileBytes(doc), ToGbk(QStringLiteral("第一幕\r\n第二幕\r\nthird\r\n\r\n")));
}

void TestScenarioDocument::rtfContentWhateverTheName()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("scene.txt"));
    WriteRaw(path, ReadTestData("wordpad.rtf"));
    QTextDocument doc;
    LoadScenarioDocument(path, &doc, QTextCharFormat(), QTextBlockFormat());
    QCOMPARE(doc.firstBlock().text(), QStringLiteral("第一幕"));
    QCOMPARE(doc.firstBlock().blockFormat().alignment(), Qt::AlignRight);
    QTextCursor c(doc.firstBlock());
    c.movePosition(QTextCursor::EndOfBlock);
    QCOMPARE(c.charFormat().fontWeight(), int(QFont::Bold));

    // "{\rtf" further in is text.
    WriteRaw(path, ToGbk(QStringLiteral("说明 {\\rtf1 \\b x}")));
    LoadScenarioDocument(path, &doc, QTextCharFormat(), QTextBlockFormat());
    QCOMPARE(doc.toPlainText(), QStringLiteral("说明 {\\rtf1 \\b x}"));
}

void TestScenarioDocument::formatsAreNotWritten()
{
    QTemporaryDir dir;
    QTextDocument doc;
    SetScenarioContent(ReadTestData("libreoffice.rtf"), &doc, QTextCharFormat(), QTextBlockFormat());
    const QString path = dir.filePath(QStringLiteral("x.rtf"));
    SaveScenarioDocument(path, doc);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), ToGbk(QStringLiteral("第二幕\r\n欢迎 Stage caption“Go”\r\nExact")));
}

void TestScenarioDocument::picturesAndLineBreaks()
{
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText(QStringLiteral("a"));
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    c.insertImage(image);
    c.insertText(QStringLiteral("b") + QChar(QChar::LineSeparator) + QStringLiteral("c\t"));
    c.insertBlock();
    c.insertText(QStringLiteral("d"));
    QCOMPARE(ScenarioFileBytes(doc), QByteArray("ab\r\nc\t\r\nd"));
}

void TestScenarioDocument::textFilesComeBackAsTheyWere()
{
    // Bytes that are no GBK character survive an open and a save.
    QTextDocument doc;
    const QByteArray damaged = ToGbk(QStringLiteral("好")) + "\xFF" + ToGbk(QStringLiteral("坏")) + "\x81\r\nz";
    SetScenarioContent(damaged, &doc, QTextCharFormat(), QTextBlockFormat());
    QCOMPARE(doc.blockCount(), 2);
    QVERIFY(ScenarioFileKeepsText(doc));
    QCOMPARE(ScenarioFileBytes(doc), damaged);

    // UTF-8 after a byte-order mark, as the page list reads it; written as GBK.
    SetScenarioContent("\xEF\xBB\xBF" + QStringLiteral("第一幕\r\n").toUtf8(), &doc,
                       QTextCharFormat(), QTextBlockFormat());
    QCOMPARE(doc.firstBlock().text(), QStringLiteral("第一幕"));
    QCOMPARE(ScenarioFileBytes(doc), ToGbk(QStringLiteral("第一幕\r\n")));
}

void TestScenarioDocument::charactersGbkCannotHold()
{
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("幕한"));
    QVERIFY(!ScenarioFileKeepsText(doc));
    QCOMPARE(ScenarioFileBytes(doc), ToGbk(QStringLiteral("幕")) + "?");
    doc.setPlainText(QStringLiteral("幕€·—"));
    QVERIFY(ScenarioFileKeepsText(doc));
}

void TestScenarioDocument::unreadableFileLeavesDocument()
{
    QTemporaryDir dir;
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("kept"));
    for (const QString &path : {dir.filePath(QStringLiteral("missing.rtf")), dir.path()}) {
        QVERIFY_THROWS_EXCEPTION(VelmoraError, LoadScenarioDocument(path, &doc, QTextCharFormat(),
                                                                    QTextBlockFormat()));
        QCOMPARE(doc.toPlainText(), QStringLiteral("kept"));
    }
}

void TestScenarioDocument::unwritablePathThrows()
{
    QTemporaryDir dir;
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("x"));
    QVERIFY_THROWS_EXCEPTION(
        VelmoraError, SaveScenarioDocument(dir.filePath(QStringLiteral("no/such/dir/a.txt")), doc));
}

QTEST_MAIN(TestScenarioDocument)
#include "tst_scenariodocument.moc"
