// Real RTF files from public parser and converter test suites (tests/data/rtf)
// read as their word processors show them, and large files shaped like the
// ones that once froze the editor, read within the test's time limit.
#include "TestFiles.h"

#include "editor/RtfReader.h"
#include "editor/ScenarioDocument.h"

#include <QDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextOption>
#include <QtTest>

class TestRtfCorpus : public QObject {
    Q_OBJECT
private slots:
    void realFiles_data();
    void realFiles();
    void largeFiles_data();
    void largeFiles();
};

void TestRtfCorpus::realFiles_data()
{
    QTest::addColumn<QString>("path");
    const QDir dir(qEnvironmentVariable("VELMORA_TEST_DATA") + QStringLiteral("/rtf"));
    const QStringList names = dir.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
    QVERIFY(names.size() >= 7);
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << dir.filePath(name);
}

void TestRtfCorpus::realFiles()
{
    QFETCH(QString, path);
    const QByteArray rtf = ReadRaw(path);
    QVERIFY(IsRtf(rtf));
    QString expected = QString::fromUtf8(ReadRaw(path.chopped(4) + QStringLiteral(".txt")));
    QVERIFY(expected.endsWith(QLatin1Char('\n')));
    expected.chop(1);
    QTextDocument doc;
    ReadRtf(rtf, &doc);
    QCOMPARE(doc.toPlainText(), expected);
}

void TestRtfCorpus::largeFiles_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<int>("paragraphs");
    QTest::addColumn<int>("characters");

    // 40,000 format changes in one paragraph: quadratic building took minutes.
    QByteArray runs = "{\\rtf1\\ansi\\ansicpg936 ";
    for (int i = 0; i < 20000; ++i)
        runs += "{\\b \\'d5\\'c5:}x\\line ";
    QTest::newRow("one paragraph of runs") << QByteArray(runs + "}") << 1 << 20000 * 4;

    // Every group, however deep, restores the state; a skipped destination
    // past any depth limit must not swallow the rest.
    const int depth = 100000;
    QTest::newRow("deep skipped group")
        << QByteArray("{\\rtf1 a" + QByteArray(depth, '{') + "{\\*\\x hidden}" + QByteArray(depth, '}')
                      + "b\\par c}")
        << 2 << 3;

    QTest::newRow("a megabyte of letters")
        << QByteArray("{\\rtf1 " + QByteArray(1 << 20, 'a') + "}") << 1 << (1 << 20);
}

void TestRtfCorpus::largeFiles()
{
    QFETCH(QByteArray, rtf);
    QFETCH(int, paragraphs);
    QFETCH(int, characters);
    QTextDocument doc;
    ReadRtf(rtf, &doc);
    // Laid out as the editor lays it out: wrapping anywhere where a run of
    // letters has no word boundary.
    QTextOption option = doc.defaultTextOption();
    option.setWrapMode(ScenarioWrapMode(doc));
    doc.setDefaultTextOption(option);
    doc.setTextWidth(480);
    QVERIFY(doc.size().height() > 0);
    QCOMPARE(doc.blockCount(), paragraphs);
    QCOMPARE(doc.characterCount() - 1 - (paragraphs - 1), characters);
}

QTEST_MAIN(TestRtfCorpus)
#include "tst_rtfcorpus.moc"
