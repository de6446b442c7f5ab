// Translations of the scenario: the list beside the project, the files read
// as scenarios are, and the line of the page on air in each language.
#include "app/PageStore.h"
#include "app/ScenarioFile.h"
#include "remote/ShowLanguages.h"
#include "tests/TestFiles.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestShowLanguages : public QObject {
    Q_OBJECT
private slots:
    void decodesLikeScenarios_data();
    void decodesLikeScenarios();
    void readsListAndKeepsOthersWhenOneFails();
    void writesListBack();
    void mapsWrappedPagesToLines();
    void checkFindsShiftedTranslations_data();
    void checkFindsShiftedTranslations();
};

void TestShowLanguages::decodesLikeScenarios_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    const QString hello = QStringLiteral("你好，世界");
    QTest::newRow("gbk crlf") << EncodeTextFile(hello + "\r\nBye\r\n", TextEncoding::Gbk)
                              << QStringList{hello, "Bye"};
    QTest::newRow("utf8 no last end") << (hello + "\nBye").toUtf8() << QStringList{hello, "Bye"};
    QTest::newRow("utf16le mark, cr") << EncodeTextFile(hello + "\rBye\r", TextEncoding::Utf16Le)
                                      << QStringList{hello, "Bye"};
    QTest::newRow("blank line kept") << QByteArray("one\r\n\r\nthree\r\n") << QStringList{"one", "", "three"};
    QTest::newRow("srt one line per cue")
        << QByteArray("1\r\n00:00:01,000 --> 00:00:02,000\r\nGood\r\nevening\r\n\r\n"
                      "2\r\n00:00:03,000 --> 00:00:04,000\r\nWelcome\r\n")
        << QStringList{"Good evening", "Welcome"};
    QTest::newRow("stray byte shown as replacement")
        << (hello.toUtf8() + "\n" + hello.toUtf8() + "\xff\n" + hello.toUtf8() + "\n")
        << QStringList{hello, hello + QChar(QChar::ReplacementCharacter), hello};
}

void TestShowLanguages::decodesLikeScenarios()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QCOMPARE(TranslationLines(bytes), lines);
}

void TestShowLanguages::readsListAndKeepsOthersWhenOneFails()
{
    QTemporaryDir dir;
    const QString project = dir.filePath("show.prj");
    QVERIFY(QDir(dir.path()).mkdir("tr"));
    WriteRaw(dir.filePath("tr/en.txt"), "Hello\r\nWorld\r\n");
    WriteRaw(dir.filePath("ja.txt"), QStringLiteral("こんにちは\n").toUtf8());
    {
        QSettings ini(dir.filePath("show.languages"), QSettings::IniFormat);
        ini.beginGroup("Languages");
        ini.setValue("en", "tr/en.txt");
        ini.setValue("Name.en", "English");
        ini.setValue("ja", dir.filePath("ja.txt"));
        ini.setValue("Name.ja", QStringLiteral("日本語"));
        ini.setValue("fr", "missing.txt");
    }
    QCOMPARE(ShowLanguages::listFile(project), dir.filePath("show.languages"));
    const ShowLanguages languages = ShowLanguages::read(project);
    QCOMPARE(int(languages.translations().size()), 3);
    const Translation *en = languages.find("en");
    QVERIFY(en);
    QCOMPARE(en->name, QStringLiteral("English"));
    QCOMPARE(en->lines, (QStringList{"Hello", "World"}));
    QVERIFY(en->error.isEmpty());
    QCOMPARE(languages.find("ja")->name, QStringLiteral("日本語"));
    QCOMPARE(languages.find("ja")->lines, QStringList{QStringLiteral("こんにちは")});
    const Translation *fr = languages.find("fr");
    QVERIFY(fr);
    QCOMPARE(fr->name, QStringLiteral("fr"));
    QVERIFY(fr->lines.isEmpty());
    QVERIFY(!fr->error.isEmpty());
    QCOMPARE(languages.errors().size(), 1);
    QVERIFY(languages.errors().front().contains("fr"));
    QVERIFY(!languages.find("de"));
}

void TestShowLanguages::writesListBack()
{
    QTemporaryDir dir;
    const QString project = dir.filePath("show.prj");
    WriteRaw(dir.filePath("en.txt"), "Hello\n");
    ShowLanguages languages;
    languages.add({"en", "English", "en.txt", {}, {}});
    languages.add({"ja", "ja", "ja.txt", {}, {}});
    languages.add({"en", QStringLiteral("英语"), "en.txt", {}, {}});
    languages.remove("ja");
    languages.write(project);
    const ShowLanguages back = ShowLanguages::read(project);
    QCOMPARE(int(back.translations().size()), 1);
    QCOMPARE(back.find("en")->name, QStringLiteral("英语"));
    QCOMPARE(back.find("en")->file, QStringLiteral("en.txt"));
    QCOMPARE(back.find("en")->lines, QStringList{"Hello"});
}

void TestShowLanguages::mapsWrappedPagesToLines()
{
    PageStore pages;
    pages.setWrapWidth(80);
    pages.load(EncodeTextFile(QStringLiteral("短\r\n这一行很长很长很长很长很长很长很长，要分成几页显示\r\n尾\r\n"),
                              TextEncoding::Gbk));
    QVERIFY(pages.pageCount() > 3);
    const Translation t{"en", "English", "en.txt", {"Short", "A long line"}, {}};
    QCOMPARE(ShowLanguages::lineOfPage(t, pages, 0), QStringLiteral("Short"));
    for (int i = 1; i < pages.pageCount() - 1; ++i)
        QCOMPARE(ShowLanguages::lineOfPage(t, pages, i), QStringLiteral("A long line"));
    // The translation is a line short: the last page has none, nor a page
    // outside the show.
    QCOMPARE(ShowLanguages::lineOfPage(t, pages, pages.pageCount() - 1), QString());
    QCOMPARE(ShowLanguages::lineOfPage(t, pages, pages.pageCount()), QString());
    QCOMPARE(ShowLanguages::lineOfPage(t, pages, -1), QString());
}

void TestShowLanguages::checkFindsShiftedTranslations_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("problem");
    // Scenario: 你好 / 今天天气很好，我们去公园吧 / 再见
    QTest::newRow("same count, wider English is no shift")
        << QStringList{"Hello", "The weather is fine today, let us go to the park", "Bye"} << QString();
    QTest::newRow("a line short, shifted at line 2")
        << QStringList{"Hello", "Bye"}
        << QStringLiteral("译文 English 有 2 行，剧本有 3 行；第 2 行两者长度相差超过 3 倍，可能从这里错位");
    QTest::newRow("a line more, no line far off")
        << QStringList{"Hi there", "The weather is fine today, let us go", "Goodbye", "Extra"}
        << QStringLiteral("译文 English 有 4 行，剧本有 3 行");
}

void TestShowLanguages::checkFindsShiftedTranslations()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    const QString project = dir.filePath("show.prj");
    WriteRaw(dir.filePath("en.txt"), lines.join("\n").toUtf8());
    {
        QSettings ini(ShowLanguages::listFile(project), QSettings::IniFormat);
        ini.setValue("Languages/en", "en.txt");
        ini.setValue("Languages/Name.en", "English");
    }
    PageStore pages;
    pages.load(QStringLiteral("你好\n今天天气很好，我们去公园吧\n再见\n").toUtf8());
    const QStringList problems = ShowLanguages::read(project).problems(pages);
    QCOMPARE(problems, problem.isEmpty() ? QStringList() : QStringList{problem});
}

QTEST_MAIN(TestShowLanguages)
#include "tst_showlanguages.moc"
