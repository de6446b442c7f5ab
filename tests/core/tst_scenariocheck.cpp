// The pre-show check: which pages will not read well on the sign, and why;
// in the core and through velmora-cli check.
#include "CliRun.h"
#include "TestFiles.h"

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
    void fixedHeightTallerThanTheDisplay();
    void charactersTheFaceLacks();
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
        QVERIFY2(check.problems.isEmpty(), qPrintable(Listed(check).join('\n')));
    }
    QVERIFY(CheckScenario(Font(0x8000), Displays(2), CleanPages).problems.isEmpty());
    QVERIFY(CheckScenario(Font(255, 24, 24), Displays(1), CleanPages).problems.isEmpty());
}

void TestScenarioCheck::linesThatDoNotFit()
{
    const QStringList pages = {QStringLiteral("你好"), QString(60, QChar(0x4E2D))};
    TScenarioCheck check = CheckScenario(Font(), Displays(), pages);
    QCOMPARE(Listed(check), QStringList{QStringLiteral(
                                "1: 竖屏放不下：最小字号仍超出屏宽|横屏放不下：最小字号仍超出屏宽")});
    QCOMPARE(check.problems[0].text, pages[1]);
    // Only the enabled display is checked.
    check = CheckScenario(Font(), Displays(1, false, true), pages);
    QCOMPARE(Listed(check), QStringList{QStringLiteral("1: 横屏放不下：最小字号仍超出屏宽")});
    // A fixed height never shrinks: 12 characters of 24 with no spacing is 288.
    check = CheckScenario(Font(255, 24, 24), Displays(1, false, true),
                          {QString(10, QChar(0x4E2D)), QString(12, QChar(0x4E2D))});
    QCOMPARE(Listed(check), QStringList{QStringLiteral("1: 横屏放不下：固定字高时超出屏宽")});
}

void TestScenarioCheck::fixedHeightTallerThanTheDisplay()
{
    const TScenarioCheck check =
        CheckScenario(Font(255, 48, 24), Displays(1, false, true), {QStringLiteral("你好"), QString()});
    QCOMPARE(Listed(check), QStringList{QStringLiteral("0: 字高48大于屏高32，字被截去")});
    QVERIFY(CheckScenario(Font(255, 32, 24), Displays(1, false, true), {QStringLiteral("你好")})
                .problems.isEmpty());
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

void TestScenarioCheck::coloursTheModeCannotLight()
{
    const QString single = QStringLiteral("单色屏不能显示所选颜色，文字不亮");
    TScenarioCheck check = CheckScenario(Font(0x8000), Displays(1), CleanPages);
    QCOMPARE(Listed(check), (QStringList{QStringLiteral("0: ") + single, QStringLiteral("1: ") + single,
                                         QStringLiteral("3: ") + single}));
    // Yellow lights red on a single-colour display: readable.
    QVERIFY(CheckScenario(Font(0xFFFF), Displays(1), CleanPages).problems.isEmpty());
    // Blue lights neither plane.
    check = CheckScenario(Font(0xFF0000), Displays(2), {QStringLiteral("你好")});
    QCOMPARE(Listed(check), QStringList{QStringLiteral("0: 所选颜色在双基色屏上不亮")});
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
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QStringLiteral("2\t字体缺字（显示为方框）：🧿\t护身符🧿\n"));

    // The project's own scenario; a green font on its single-colour display.
    record.FontColor = 0x8000;
    record.ScenarioFile.setText(scenario);
    WriteProjectFile(project, record);
    run = RunCli({QStringLiteral("check"), QStringLiteral("--project"), project});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out.count(QStringLiteral("单色屏不能显示所选颜色")), 3);
    QVERIFY(run.out.startsWith(QStringLiteral("1\t")));

    run = RunCli({QStringLiteral("check"), QStringLiteral("--scenario"), dir.filePath("none.txt")});
    QVERIFY(run.code != 0);
    QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
}

QTEST_MAIN(TestScenarioCheck)
#include "tst_scenariocheck.moc"
