// The pre-show check: which pages will not read well on the sign, and why;
// in the core and through velmora-cli check.
#include "CliRun.h"
#include "TestFiles.h"

#include "app/Gbk.h"
#include "app/ProjectFile.h"
#include "render/ScenarioCheck.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
TPageRequest Displays(int colorMode = 1, bool portrait = true, bool landscape = true)
{
    TPageRequest displays;
    displays.Width = 256;
    displays.Height = 32;
    displays.ColorMode = colorMode;
    displays.PortraitOn = portrait;
    displays.LandscapeOn = landscape;
    return displays;
}

TPageFont Font(int32_t colour = 255, uint8_t height = 0, uint8_t width = 0)
{
    TPageFont font;
    font.Name = QStringLiteral("宋体");
    font.Color = colour;
    font.Height = height;
    font.Width = width;
    return font;
}

const QStringList CleanPages = {QStringLiteral("第一幕"), QStringLiteral("你好，世界！"), QString(),
                                QStringLiteral("Act 2: 明天见")};

// The checked pages listed, as "index: reasons".
QStringList Listed(const TScenarioCheck &check)
{
    QStringList listed;
    for (const TPageProblem &p : check.problems)
        listed << QStringLiteral("%1: %2").arg(p.page).arg(p.reasons.join(QLatin1Char('|')));
    return listed;
}
} // namespace

class TestScenarioCheck : public QObject {
    Q_OBJECT
private slots:
    void cleanScenarioListsNothing();
    void linesThatDoNotFit();
    void charactersTooSmall_data();
    void charactersTooSmall();
    void fixedHeightTallerThanTheDisplay();
    void charactersTheFaceLacks();
    void symbolFace();
    void coloursTheModeCannotLight();
    void displaysThatCannotBeDrawn();
    void progressDuringLongScenarios();
    void cliCheck();
};

void TestScenarioCheck::cleanScenarioListsNothing()
{
    for (int mode : {1, 2}) {
        const TScenarioCheck check = CheckScenario(Font(), Displays(mode), CleanPages);
        QVERIFY(check.error.isEmpty());
        QVERIFY2(check.clean(), qPrintable((check.projectProblems + Listed(check)).join('\n')));
    }
    QVERIFY(CheckScenario(Font(0x8000), Displays(2), CleanPages).clean());
    QVERIFY(CheckScenario(Font(255, 24, 24), Displays(1), CleanPages).clean());
}

void TestScenarioCheck::linesThatDoNotFit()
{
    const QStringList pages = {QStringLiteral("你好"), QString(60, QChar(0x4E2D))};
    TScenarioCheck check = CheckScenario(Font(), Displays(), pages);
    // Drawn at 7 with one pixel less between the characters: 60 x 6.
    QCOMPARE(Listed(check), QStringList{QStringLiteral(
                                "1: 竖屏字高7像素，小于12|竖屏放不下：需要宽度360像素，屏宽256|"
                                "横屏字高7像素，小于12|横屏放不下：需要宽度360像素，屏宽256")});
    QCOMPARE(check.problems[0].text, pages[1]);
    // Only the enabled display is checked.
    check = CheckScenario(Font(), Displays(1, false, true), pages);
    QCOMPARE(Listed(check), QStringList{QStringLiteral(
                                "1: 横屏字高7像素，小于12|横屏放不下：需要宽度360像素，屏宽256")});
    // A fixed height never shrinks: 12 characters of 23 (the em of a cell of
    // 24) with no spacing is 276.
    check = CheckScenario(Font(255, 24, 24), Displays(1, false, true),
                          {QString(10, QChar(0x4E2D)), QString(12, QChar(0x4E2D))});
    QCOMPARE(Listed(check), QStringList{QStringLiteral("1: 横屏放不下：需要宽度276像素，屏宽256")});
    QVERIFY(check.projectProblems.isEmpty());
}

void TestScenarioCheck::charactersTooSmall_data()
{
    QTest::addColumn<int>("characters");
    QTest::addColumn<int>("minHeight");
    QTest::addColumn<QString>("listed");
    // 256 pixels wide: n characters are drawn at 256 / n.
    QTest::newRow("16 fit at 16") << 16 << 12 << QString();
    QTest::newRow("21 at 12") << 21 << 12 << QString();
    QTest::newRow("22 at 11") << 22 << 12 << QStringLiteral("0: 横屏字高11像素，小于12");
    QTest::newRow("30 at 8") << 30 << 12 << QStringLiteral("0: 横屏字高8像素，小于12");
    QTest::newRow("30 at 8, 8 allowed") << 30 << 8 << QString();
    QTest::newRow("16 at 16, 20 asked") << 16 << 20 << QStringLiteral("0: 横屏字高16像素，小于20");
}

// Lines that fit the width only at a size too small to read on the sign.
void TestScenarioCheck::charactersTooSmall()
{
    QFETCH(int, characters);
    QFETCH(int, minHeight);
    QFETCH(QString, listed);
    const TScenarioCheck check = CheckScenario(Font(), Displays(1, false, true),
                                               {QString(characters, QChar(0x4E2D))}, {}, minHeight);
    QCOMPARE(Listed(check).join(QLatin1Char('\n')), listed);
    // A fixed height small on every page is said once, for the project.
    const TScenarioCheck fixed = CheckScenario(Font(255, 12, 12), Displays(1, true, true),
                                               {QStringLiteral("你好"), QStringLiteral("再见")}, {}, 12);
    QVERIFY(fixed.problems.isEmpty());
    QCOMPARE(fixed.projectProblems.size(), 2);
    QVERIFY(fixed.projectProblems[0].startsWith(QStringLiteral("竖屏字高")));
    QVERIFY(fixed.projectProblems[1].startsWith(QStringLiteral("横屏字高")));
    QVERIFY(fixed.projectProblems[1].endsWith(QStringLiteral("像素，小于12")));
}

void TestScenarioCheck::fixedHeightTallerThanTheDisplay()
{
    // A cell of 48 on a display 32 high cuts the ideographs at top and bottom
    // on the landscape display; on the portrait display the turned glyphs are
    // as wide as their width, 48 for a width of 48.
    TScenarioCheck check = CheckScenario(Font(255, 48, 48), Displays(1, true, true),
                                         {QStringLiteral("你好"), QString()});
    QVERIFY(check.problems.isEmpty());
    QCOMPARE(check.projectProblems.size(), 2);
    QVERIFY2(check.projectProblems[0].startsWith(QStringLiteral("竖屏字被截去：需要高度4")),
             qPrintable(check.projectProblems[0]));
    QVERIFY2(check.projectProblems[1].startsWith(QStringLiteral("横屏字被截去：需要高度4")),
             qPrintable(check.projectProblems[1]));
    QVERIFY(check.projectProblems[1].endsWith(QStringLiteral("像素，屏高32")));
    // A narrow width keeps the portrait glyphs whole; the landscape ones stay cut.
    check = CheckScenario(Font(255, 48, 20), Displays(1, true, true), {QStringLiteral("你好")});
    QCOMPARE(check.projectProblems.size(), 1);
    QVERIFY(check.projectProblems[0].startsWith(QStringLiteral("横屏字被截去")));
    QVERIFY(CheckScenario(Font(255, 32, 24), Displays(1, true, true), {QStringLiteral("你好")}).clean());
}

void TestScenarioCheck::charactersTheFaceLacks()
{
    const QString amulet = QString::fromUcs4(U"\U0001F9FF");
    const QStringList pages = {QStringLiteral("护身符") + amulet + QStringLiteral("和") + amulet,
                               QStringLiteral("☃ snow")};
    const TScenarioCheck check = CheckScenario(Font(), Displays(), pages);
    QCOMPARE(Listed(check), QStringList{QStringLiteral("0: 字体缺字（显示为方框）：") + amulet});
    TTextFace face(QStringLiteral("宋体"));
    QCOMPARE(face.missingCharacters(QStringLiteral("你好Ab")), QString());
}

// A symbol face draws "Hello" as symbols: said once, for the project.
void TestScenarioCheck::symbolFace()
{
    for (const QString &name : {QStringLiteral("Standard Symbols PS"), QStringLiteral("D050000L")}) {
        TPageFont font = Font();
        font.Name = name;
        const TScenarioCheck check = CheckScenario(font, Displays(), {QStringLiteral("Hello")});
        QCOMPARE(check.projectProblems,
                 QStringList{QStringLiteral("字体“%1”是符号字体，文字显示为符号").arg(name)});
    }
    TPageFont latin = Font();
    latin.Name = QStringLiteral("DejaVu Sans");
    QVERIFY(CheckScenario(latin, Displays(), {QStringLiteral("Hello")}).clean());
}

void TestScenarioCheck::coloursTheModeCannotLight()
{
    // Every page has it: said once, for the project.
    TScenarioCheck check = CheckScenario(Font(0x8000), Displays(1), CleanPages);
    QCOMPARE(check.projectProblems, QStringList{QStringLiteral("单色屏不能显示所选颜色，文字不亮")});
    QVERIFY(check.problems.isEmpty());
    // Yellow lights red on a single-colour display: readable.
    QVERIFY(CheckScenario(Font(0xFFFF), Displays(1), CleanPages).clean());
    // Blue lights neither plane.
    check = CheckScenario(Font(0xFF0000), Displays(2), {QStringLiteral("你好")});
    QCOMPARE(check.projectProblems, QStringList{QStringLiteral("所选颜色在双基色屏上不亮")});
}

void TestScenarioCheck::displaysThatCannotBeDrawn()
{
    TPageRequest displays = Displays();
    displays.Width = 250;
    TScenarioCheck check = CheckScenario(Font(), displays, CleanPages);
    QVERIFY(check.error.contains(QStringLiteral("屏宽")));
    QVERIFY(check.problems.isEmpty());
    check = CheckScenario(Font(), Displays(1, false, false), CleanPages);
    QCOMPARE(check.error, QStringLiteral("工程未启用任何显示屏"));
}

void TestScenarioCheck::progressDuringLongScenarios()
{
    QStringList pages;
    for (int i = 0; i < 1000; ++i)
        pages << (i == 700 ? QString(60, QChar(0x4E2D)) : QStringLiteral("第%1幕").arg(i));
    QList<int> reported;
    const TScenarioCheck check =
        CheckScenario(Font(), Displays(), pages, [&](int done) { reported << done; });
    QCOMPARE(reported, (QList<int>{0, 256, 512, 768}));
    QCOMPARE(check.problems.size(), 1);
    QCOMPARE(check.problems[0].page, 700);
}

void TestScenarioCheck::cliCheck()
{
    QTemporaryDir dir;
    const QString project = dir.filePath(QStringLiteral("p.prj"));
    TProjectRecord record{};
    SetStartupDefaults(record);
    WriteProjectFile(project, record);
    const QString scenario = dir.filePath(QStringLiteral("s.txt"));
    // UTF-8 with a byte-order mark: the amulet has no GBK code.
    WriteRaw(scenario, QByteArray("\xEF\xBB\xBF")
                           + QStringLiteral("第一幕\r\n护身符🧿\r\n\r\n你好\r\n").toUtf8());
    CliRun run = RunCli({QStringLiteral("check"), QStringLiteral("--project"), project,
                         QStringLiteral("--scenario"), scenario});
    QCOMPARE(run.code, 1);
    QCOMPARE(run.out, QStringLiteral("2\t字体缺字（显示为方框）：🧿\t护身符🧿\n"));

    // The project's own scenario; a green font on its single-colour display,
    // said once; a line of 22 characters (as wide as a page gets) drawn at 11.
    record.FontColor = 0x8000;
    record.ScenarioFile.setText(scenario);
    record.PortraitOn = 0;
    WriteProjectFile(project, record);
    WriteRaw(scenario, ToGbk(QStringLiteral("第一幕\r\n%1\r\n").arg(QString(22, QChar(0x4E2D)))));
    run = RunCli({QStringLiteral("check"), QStringLiteral("--project"), project});
    QCOMPARE(run.code, 1);
    QCOMPARE(run.out, QStringLiteral("-\t单色屏不能显示所选颜色，文字不亮\n2\t横屏字高11像素，小于12\t%1\n")
                          .arg(QString(22, QChar(0x4E2D))));
    record.FontColor = 255;
    WriteProjectFile(project, record);
    run = RunCli({QStringLiteral("check"), QStringLiteral("--project"), project,
                  QStringLiteral("--min-height"), QStringLiteral("11")});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QString());

    // Errors exit neither 0 nor 1, with one line on stderr.
    for (const QStringList &args :
         {QStringList{QStringLiteral("--scenario"), dir.filePath("none.txt")},
          QStringList{QStringLiteral("--project"), project, QStringLiteral("--min-height"), QStringLiteral("x")},
          QStringList{QStringLiteral("--project"), project, QStringLiteral("--min-height"), QStringLiteral("0")},
          QStringList{QStringLiteral("--project"), dir.filePath("none.prj")}}) {
        run = RunCli(QStringList{QStringLiteral("check")} + args);
        QVERIFY2(run.code != 0 && run.code != 1, qPrintable(args.join(' ')));
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
    }
}

QTEST_MAIN(TestScenarioCheck)
#include "tst_scenariocheck.moc"
