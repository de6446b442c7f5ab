// velmora-cli project new|show|set, run as operators run it.
#include "CliRun.h"

#include "app/ProjectFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestCliProject : public QObject {
    Q_OBJECT
private slots:
    void newShowSet();
    void errorsAreOneLine();
    void pagesOfScenario();
    void pagesBesideTheirTranslation();
};

void TestCliProject::newShowSet()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.prj"));
    QCOMPARE(RunCli({QStringLiteral("project"), QStringLiteral("new"), path}).code, 0);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    TProjectRecord expected{};
    SetStartupDefaults(expected);
    QCOMPARE(f.readAll(), QByteArray(reinterpret_cast<const char *>(&expected), sizeof expected));

    CliRun show = RunCli({QStringLiteral("project"), QStringLiteral("show"), path});
    QCOMPARE(show.code, 0);
    const QStringList lines = show.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), QStringLiteral("ComPort=1"));
    QCOMPARE(lines.last(), QStringLiteral("TextAlign=0"));
    QVERIFY(lines.contains(QStringLiteral("FontName=宋体")));
    QVERIFY(show.err.isEmpty());

    QCOMPARE(RunCli({QStringLiteral("project"), QStringLiteral("set"), path,
                  QStringLiteral("ScreenWidth=512"), QStringLiteral("TempText=欢迎光临")}).code, 0);
    TProjectRecord r{};
    ReadProjectFile(path, r);
    QCOMPARE(r.ScreenWidth, 512);
    QCOMPARE(r.TempText.raw(), QByteArray::fromHex("BBB6D3ADB9E2C1D9"));
}

void TestCliProject::errorsAreOneLine()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.prj"));
    QCOMPARE(RunCli({QStringLiteral("project"), QStringLiteral("new"), path}).code, 0);
    const QList<QStringList> bad = {
        {QStringLiteral("nonsense")},
        {QStringLiteral("project"), QStringLiteral("show"), dir.filePath(QStringLiteral("missing.prj"))},
        {QStringLiteral("project"), QStringLiteral("set"), path, QStringLiteral("NoSuchField=1")},
        {QStringLiteral("project"), QStringLiteral("set"), path, QStringLiteral("Stunt=300")},
    };
    for (const QStringList &args : bad) {
        const CliRun run = RunCli(args);
        QVERIFY2(run.code != 0, qPrintable(args.join(QLatin1Char(' '))));
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
    }
    // A refused set leaves the file as it was.
    TProjectRecord r{};
    ReadProjectFile(path, r);
    QCOMPARE(int(r.Stunt), 0);
}

void TestCliProject::pagesOfScenario()
{
    QTemporaryDir dir;
    const QString scenario = dir.filePath(QStringLiteral("s.txt"));
    QFile f(scenario);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("A\r\n\r\n\xb5\xda\xb6\xfe\r\n");   // "第二" in GBK
    f.close();
    const CliRun run = RunCli({QStringLiteral("pages"), QStringLiteral("--scenario"), scenario});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QStringLiteral("1\tA\n2\t\n3\t第二\n"));
    QVERIFY(run.err.isEmpty());

    // Without --scenario the project's scenario is used.
    const QString project = dir.filePath(QStringLiteral("p.prj"));
    QCOMPARE(RunCli({QStringLiteral("project"), QStringLiteral("new"), project}).code, 0);
    QCOMPARE(RunCli({QStringLiteral("project"), QStringLiteral("set"), project,
                  QStringLiteral("ScenarioFile=") + scenario}).code, 0);
    QCOMPARE(RunCli({QStringLiteral("pages"), QStringLiteral("--project"), project}).out, run.out);

    // A relative scenario path is taken from the project's folder.
    QCOMPARE(RunCli({QStringLiteral("project"), QStringLiteral("set"), project,
                     QStringLiteral("ScenarioFile=s.txt")}).code, 0);
    QCOMPARE(RunCli({QStringLiteral("pages"), QStringLiteral("--project"), project}).out, run.out);

    // UTF-8 without a byte-order mark reads as UTF-8.
    QFile u(dir.filePath(QStringLiteral("u.txt")));
    QVERIFY(u.open(QIODevice::WriteOnly));
    u.write(QStringLiteral("第一行\n第二行\n").toUtf8());
    u.close();
    QCOMPARE(RunCli({QStringLiteral("pages"), QStringLiteral("--scenario"), u.fileName()}).out,
             QStringLiteral("1\t第一行\n2\t第二行\n"));

    // A huge display width is held as the window holds it: one page a line.
    QCOMPARE(RunCli({QStringLiteral("project"), QStringLiteral("set"), project,
                     QStringLiteral("ScreenWidth=2147483647")}).code, 0);
    QCOMPARE(RunCli({QStringLiteral("pages"), QStringLiteral("--project"), project}).out, run.out);

    // A file that cannot be read is named in the error.
    const CliRun missing = RunCli({QStringLiteral("pages"), QStringLiteral("--scenario"),
                                   dir.filePath(QStringLiteral("none.txt"))});
    QVERIFY(missing.code != 0);
    QVERIFY(missing.err.contains(dir.filePath(QStringLiteral("none.txt"))));

    // --count prints the number of pages only.
    QCOMPARE(RunCli({QStringLiteral("pages"), QStringLiteral("--count"), QStringLiteral("--scenario"),
                  scenario}).out,
             QStringLiteral("3\n"));
}

// A translator sees each page beside its line; a wrapped line's pages share
// it, pages past the translation's end have none, and a bad tag or a
// missing file is an error.
void TestCliProject::pagesBesideTheirTranslation()
{
    QTemporaryDir dir;
    const QString project = dir.filePath(QStringLiteral("p.prj"));
    QFile s(dir.filePath(QStringLiteral("s.txt")));
    QVERIFY(s.open(QIODevice::WriteOnly));
    s.write(QStringLiteral("序\n这一行很长很长很长很长很长很长很长很长很长很长很长很长很长很长，要分成几页显示\n尾\n").toUtf8());
    s.close();
    QFile en(dir.filePath(QStringLiteral("en.txt")));
    QVERIFY(en.open(QIODevice::WriteOnly));
    en.write("Prologue\r\nA long line\r\n");
    en.close();
    QFile list(dir.filePath(QStringLiteral("p.languages")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("[Languages]\nen=en.txt\nfr=fr.txt\n");
    list.close();
    QCOMPARE(RunCli({QStringLiteral("project"), QStringLiteral("new"), project}).code, 0);
    QCOMPARE(RunCli({QStringLiteral("project"), QStringLiteral("set"), project, QStringLiteral("ScenarioFile=s.txt")}).code, 0);
    const QStringList pages =
        RunCli({QStringLiteral("pages"), QStringLiteral("--project"), project}).out.split('\n', Qt::SkipEmptyParts);
    QVERIFY(pages.size() > 3);
    const CliRun run = RunCli({QStringLiteral("pages"), QStringLiteral("--language"), QStringLiteral("en"),
                               QStringLiteral("--project"), project});
    QCOMPARE(run.code, 0);
    const QStringList rows = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), pages.size());
    QCOMPARE(rows.front(), pages.front() + QStringLiteral("\tPrologue"));
    for (int i = 1; i < rows.size() - 1; ++i)
        QCOMPARE(rows[i], pages[i] + QStringLiteral("\tA long line"));
    QCOMPARE(rows.back(), pages.back() + QStringLiteral("\t"));

    for (const QString &tag : {QStringLiteral("de"), QStringLiteral("fr")}) {
        const CliRun bad = RunCli({QStringLiteral("pages"), QStringLiteral("--language"), tag,
                                   QStringLiteral("--project"), project});
        QVERIFY(bad.code != 0);
        QVERIFY(bad.out.isEmpty());
        QVERIFY2(bad.err.contains(tag == QLatin1String("fr") ? QStringLiteral("fr.txt") : tag), qPrintable(bad.err));
    }
    // The pre-show check names the missing file and the short translation.
    const CliRun check = RunCli({QStringLiteral("check"), QStringLiteral("--project"), project});
    QCOMPARE(check.code, 1);
    QVERIFY2(check.out.contains(QStringLiteral("-\t译文 fr 无法读取")), qPrintable(check.out));
    QVERIFY2(check.out.contains(QStringLiteral("-\t译文 en 有 2 行，剧本有 3 行；第 1 行两者长度相差超过 3 倍")), qPrintable(check.out));
}

QTEST_MAIN(TestCliProject)
#include "tst_cli_project.moc"
