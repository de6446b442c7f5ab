// Text files as the program reads them: the encoding found, where a project's
// scenario lives, and whether the file changed since it was read.
#include "TestFiles.h"

#include "app/Gbk.h"
#include "app/ProjectFile.h"
#include "app/ScenarioFile.h"
#include "app/Struct.h"
#include "editor/ScenarioDocument.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

class TestScenarioFile : public QObject {
    Q_OBJECT
private slots:
    void encodingDetected_data();
    void encodingDetected();
    void editorWritesBackInTheFilesEncoding();
    void scenarioPathResolved();
    void snapshotSeesChangesByOthers();
    void shortStringCutAtCharacter();
    void fileErrorsNameTheFile();
};

void TestScenarioFile::encodingDetected_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QString>("text");
    QTest::newRow("utf-8") << QStringLiteral("第一行\r\n").toUtf8() << int(TextEncoding::Utf8)
                           << QStringLiteral("第一行\r\n");
    QTest::newRow("utf-8 mark") << QByteArray("\xEF\xBB\xBF") + QStringLiteral("幕").toUtf8()
                                << int(TextEncoding::Utf8WithMark) << QStringLiteral("幕");
    QTest::newRow("gbk") << ToGbk(QStringLiteral("第一行")) << int(TextEncoding::Gbk)
                         << QStringLiteral("第一行");
    QTest::newRow("ascii stays gbk") << QByteArray("abc\r\n") << int(TextEncoding::Gbk)
                                     << QStringLiteral("abc\r\n");
    QTest::newRow("empty") << QByteArray() << int(TextEncoding::Gbk) << QString();
    // Valid UTF-8 up to a cut sequence at the end: not UTF-8.
    QTest::newRow("cut utf-8") << QStringLiteral("中").toUtf8().left(2) << int(TextEncoding::Gbk)
                               << FromGbkKeepingBytes(QStringLiteral("中").toUtf8().left(2));
}

void TestScenarioFile::encodingDetected()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QFETCH(QString, text);
    QCOMPARE(int(DetectTextEncoding(bytes)), encoding);
    QCOMPARE(DecodeTextFile(bytes), text);
    QCOMPARE(EncodeTextFile(text, TextEncoding(encoding)), bytes);
}

void TestScenarioFile::editorWritesBackInTheFilesEncoding()
{
    QTextDocument doc;
    const QByteArray utf8 = QStringLiteral("第一行\r\n第二行\r\n").toUtf8();
    const TextEncoding encoding = SetScenarioContent(utf8, &doc, QTextCharFormat(), QTextBlockFormat());
    QCOMPARE(int(encoding), int(TextEncoding::Utf8));
    QCOMPARE(doc.toPlainText(), QStringLiteral("第一行\n第二行\n"));
    QCOMPARE(ScenarioFileBytes(doc, encoding), utf8);
    // UTF-8 holds any character; GBK does not.
    QTextCursor(&doc).insertText(QStringLiteral("😀"));
    QVERIFY(ScenarioFileKeepsText(doc, encoding));
    QVERIFY(!ScenarioFileKeepsText(doc, TextEncoding::Gbk));

    const QByteArray marked = QByteArray("\xEF\xBB\xBF") + utf8;
    const TextEncoding withMark = SetScenarioContent(marked, &doc, QTextCharFormat(), QTextBlockFormat());
    QCOMPARE(ScenarioFileBytes(doc, withMark), marked);

    // UTF-16 keeps its zero bytes and its mark.
    QByteArray utf16("\xFF\xFE");
    for (const QChar c : QStringLiteral("第一行\r\n第二行\r\n"))
        utf16 += QByteArray(1, char(c.unicode() & 0xFF)) + char(c.unicode() >> 8);
    const TextEncoding wide = SetScenarioContent(utf16, &doc, QTextCharFormat(), QTextBlockFormat());
    QCOMPARE(int(wide), int(TextEncoding::Utf16Le));
    QCOMPARE(doc.toPlainText(), QStringLiteral("第一行\n第二行\n"));
    QCOMPARE(ScenarioFileBytes(doc, wide), utf16);
}

void TestScenarioFile::scenarioPathResolved()
{
    const QString project = QDir::root().filePath(QStringLiteral("shows/a/show.prj"));
    QCOMPARE(ResolveScenarioPath(QStringLiteral("剧本.txt"), project),
             QDir::root().filePath(QStringLiteral("shows/a/剧本.txt")));
    QCOMPARE(ResolveScenarioPath(QStringLiteral("/x/y.txt"), project), QStringLiteral("/x/y.txt"));
    QCOMPARE(ResolveScenarioPath(QStringLiteral("  "), project), QString());
#ifndef Q_OS_WIN
    // A Windows drive path is no relative name here: it stays as it is.
    QVERIFY(IsForeignDrivePath(QStringLiteral("D:\\演出\\剧本.txt")));
    QVERIFY(IsForeignDrivePath(QStringLiteral("c:/x.txt")));
    QVERIFY(!IsForeignDrivePath(QStringLiteral("D.txt")));
    QCOMPARE(ResolveScenarioPath(QStringLiteral("D:\\演出\\剧本.txt"), project),
             QStringLiteral("D:\\演出\\剧本.txt"));
#endif
}

void TestScenarioFile::snapshotSeesChangesByOthers()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.txt"));
    WriteRaw(path, "A\r\nB\r\n");
    const FileSnapshot read = FileSnapshot::of(path, "A\r\nB\r\n");
    QVERIFY(!read.changedOnDisk());

    // Same size, other content, even within the file system's time step.
    WriteRaw(path, "A\r\nC\r\n");
    QVERIFY(read.changedOnDisk());

    // Touched but the same text: not a change.
    const FileSnapshot now = FileSnapshot::of(path, "A\r\nC\r\n");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    file.setFileTime(file.fileTime(QFileDevice::FileModificationTime).addSecs(5),
                     QFileDevice::FileModificationTime);
    file.close();
    QVERIFY(!now.changedOnDisk());

    // Longer: changed. Gone: writing it loses nothing.
    WriteRaw(path, "A\r\nC\r\nD\r\n");
    QVERIFY(now.changedOnDisk());
    QVERIFY(QFile::remove(path));
    QVERIFY(!now.changedOnDisk());

    // A file that did not exist when it was named, and appeared since.
    const FileSnapshot missing = FileSnapshot::of(path, QByteArray(), false);
    QVERIFY(!missing.changedOnDisk());
    WriteRaw(path, "");
    QVERIFY(missing.changedOnDisk());
}

void TestScenarioFile::shortStringCutAtCharacter()
{
    TShortString s{};
    // 128 ASCII letters and then Chinese: byte 255 would be half a character.
    const QString text = QString(128, QLatin1Char('x')) + QString(100, QChar(0x4E2D));
    s.setText(text);
    QCOMPARE(int(s.bytes[0]), 254);
    QCOMPARE(s.text(), text.left(128 + 63));
    s.setText(QString(127, QLatin1Char('y')) + QString(100, QChar(0x4E2D)));
    QCOMPARE(int(s.bytes[0]), 255);
    QVERIFY(!s.text().contains(QChar::ReplacementCharacter));
}

void TestScenarioFile::fileErrorsNameTheFile()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("none.txt"));
    QVERIFY(ErrorOf([&] { ReadWholeFile(missing); }).contains(QStringLiteral("“%1”").arg(missing)));
    TProjectRecord r{};
    QVERIFY(ErrorOf([&] { ReadProjectFile(missing, r); }).contains(QStringLiteral("“%1”").arg(missing)));
    const QString nowhere = dir.filePath(QStringLiteral("no/dir/p.prj"));
    QVERIFY(ErrorOf([&] { WriteProjectFile(nowhere, r); }).contains(QStringLiteral("“%1”").arg(nowhere)));
}

QTEST_GUILESS_MAIN(TestScenarioFile)
#include "tst_scenariofile.moc"
