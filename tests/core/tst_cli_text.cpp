// velmora-cli text: the text the scenario editor would save, for batch use.
#include "TestFiles.h"

#include "app/Gbk.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
struct Run {
    int code;
    QByteArray out, err;
};

Run Text(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(VELMORA_CLI), QStringList{QStringLiteral("text")} + args);
    p.waitForFinished(30000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}
} // namespace

class TestCliText : public QObject {
    Q_OBJECT
private slots:
    void rtfAsGbkOrUtf8();
    void textFilesByContent();
    void refusals();
};

void TestCliText::rtfAsGbkOrUtf8()
{
    QTemporaryDir dir;
    // RTF whatever the name; a line break inside a paragraph is a line too.
    // A character GBK cannot hold fails the GBK output, named; never '?'.
    const QString path = dir.filePath(QStringLiteral("scene.txt"));
    WriteRaw(path, ReadTestData("wordpad.rtf").replace("second", "sec\\u-10179?\\u-8704?nd"));
    const QString text = QStringLiteral("第一幕\r\n你好，世界\r\nCenter line\r\nsec%1nd\tend")
                             .arg(QString::fromUtf8("\xF0\x9F\x98\x80"));

    const Run gbk = Text({path});
    QVERIFY(gbk.code != 0);
    QCOMPARE(gbk.out, QByteArray());
    QVERIFY2(QString::fromUtf8(gbk.err).contains(QStringLiteral("GBK不能表示这些字符：\U0001F600")),
             gbk.err.constData());

    const Run utf8 = Text({QStringLiteral("--utf8"), path});
    QCOMPARE(utf8.code, 0);
    QCOMPARE(QString::fromUtf8(utf8.out), text);
}

void TestCliText::textFilesByContent()
{
    QTemporaryDir dir;
    const QString gbk = dir.filePath(QStringLiteral("a.rtf"));
    WriteRaw(gbk, ToGbk(QStringLiteral("第一行\n第二行\r第三行\r\n")));
    Run run = Text({gbk, QStringLiteral("--utf8")});
    QCOMPARE(run.code, 0);
    QCOMPARE(QString::fromUtf8(run.out), QStringLiteral("第一行\r\n第二行\r\n第三行\r\n"));

    const QString utf8 = dir.filePath(QStringLiteral("b.txt"));
    WriteRaw(utf8, "\xEF\xBB\xBF" + QStringLiteral("台词").toUtf8());
    run = Text({utf8});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, ToGbk(QStringLiteral("台词")));
}

void TestCliText::refusals()
{
    QTemporaryDir dir;
    for (const QStringList &args : {QStringList{dir.filePath(QStringLiteral("missing.rtf"))},
                                    QStringList{dir.path()}, QStringList{},
                                    QStringList{QStringLiteral("a"), QStringLiteral("b")}}) {
        const Run run = Text(args);
        QVERIFY2(run.code != 0, qPrintable(args.join(' ')));
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY(run.err.startsWith("velmora-cli: "));
        if (args.size() == 1)   // names the file it could not read
            QVERIFY(run.err.contains(QFile::encodeName(args.first()) + ": "));
    }
}

QTEST_MAIN(TestCliText)
#include "tst_cli_text.moc"
