// velmora-cli frames and render, run as operators run them.
#include "CliRun.h"

#include "app/ProjectFile.h"
#include "render/uRender.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
// The two slot lines as bytes; "-" gives an empty array.
QList<QByteArray> SlotBytes(const QString &out)
{
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() != 2 || !lines[0].startsWith(QLatin1String("slot1 "))
        || !lines[1].startsWith(QLatin1String("slot2 ")))
        return {};
    QList<QByteArray> result;
    for (const QString &line : lines) {
        const QString hex = line.mid(6);
        if (hex != hex.toLower())
            return {};
        result << (hex == QLatin1String("-") ? QByteArray() : QByteArray::fromHex(hex.toLatin1()));
    }
    return result;
}
} // namespace

class TestCliRender : public QObject {
    Q_OBJECT
private slots:
    void init();
    void framesPage();
    void framesClear();
    void renderWritesThePicture();
    void refusals();

private:
    QString project(const QStringList &assignments);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCliRender::init() { m_dir = std::make_unique<QTemporaryDir>(); }

QString TestCliRender::project(const QStringList &assignments)
{
    const QString path = m_dir->filePath(QStringLiteral("p.prj"));
    TProjectRecord record{};
    SetStartupDefaults(record);
    WriteProjectFile(path, record);
    if (!assignments.isEmpty())
        RunCli(QStringList{QStringLiteral("project"), QStringLiteral("set"), path} + assignments);
    return path;
}

void TestCliRender::framesPage()
{
    const QString p = project({QStringLiteral("Stunt=1"), QStringLiteral("RunSpeed=5"),
                               QStringLiteral("ShowTime=10")});
    const CliRun run = RunCli({QStringLiteral("frames"), QStringLiteral("page"), QStringLiteral("你好"),
                         QStringLiteral("--project"), p});
    QCOMPARE(run.code, 0);
    const QList<QByteArray> frames = SlotBytes(run.out);
    QCOMPARE(frames.size(), 2);
    QCOMPARE(frames[0].size(), 1031);
    QCOMPARE(frames[0].left(6), QByteArray::fromHex("02f30300050a"));
    QCOMPARE(frames[1].left(6), QByteArray::fromHex("01f30100050a"));
    QVERIFY(frames[1].count(char(0xFF)) < 1024);   // the text is lit

    // Exactly the frame the renderer builds.
    TProjectRecord record{};
    ReadProjectFile(p, record);
    QByteArray portrait, landscape;
    RenderPageFrames(PageFontOf(record),
                     PageRequestOf(record, QStringLiteral("你好"), 1, 5, 10), portrait, landscape);
    QCOMPARE(frames[0], portrait);
    QCOMPARE(frames[1], landscape);

    const QString landscapeOnly = project({QStringLiteral("PortraitOn=0"), QStringLiteral("ColorMode=2")});
    const QList<QByteArray> single = SlotBytes(RunCli({QStringLiteral("frames"), QStringLiteral("page"),
                                                    QStringLiteral("A"), QStringLiteral("--project"),
                                                    landscapeOnly}).out);
    QCOMPARE(single.size(), 2);
    QVERIFY(single[0].isEmpty());
    QCOMPARE(single[1].size(), 2055);
}

void TestCliRender::framesClear()
{
    const QString p = project({QStringLiteral("Stunt=3"), QStringLiteral("LandscapeOn=0"),
                               QStringLiteral("LandscapeDouble=1")});
    const QList<QByteArray> frames = SlotBytes(
        RunCli({QStringLiteral("frames"), QStringLiteral("clear"), QStringLiteral("--project"), p}).out);
    QCOMPARE(frames.size(), 2);
    QCOMPARE(frames[1].size(), 2055);
    QCOMPARE(frames[0], QByteArray::fromHex("02f300000000") + QByteArray(1024, char(0xFF)) + char(0xAA));
    QCOMPARE(frames[1], QByteArray::fromHex("01f300000000") + QByteArray(2048, char(0xFF)) + char(0xAA));
}

void TestCliRender::renderWritesThePicture()
{
    const QString p = project({});
    TProjectRecord record{};
    ReadProjectFile(p, record);
    const struct {
        const char *name;
        TDisplayKind display;
    } displays[] = {{"portrait", TDisplayKind::Portrait}, {"landscape", TDisplayKind::Landscape},
                    {"double", TDisplayKind::LandscapeDouble}};
    for (const auto &d : displays) {
        const QString png = m_dir->filePath(QString::fromLatin1(d.name) + QStringLiteral(".png"));
        const CliRun run = RunCli({QStringLiteral("render"), QStringLiteral("字幕Ab"), QStringLiteral("--display"),
                             QString::fromLatin1(d.name), QStringLiteral("--png"), png,
                             QStringLiteral("--project"), p});
        QCOMPARE(run.code, 0);
        const QImage written(png, "PNG");
        QCOMPARE(written.convertToFormat(QImage::Format_RGB32),
                 DrawPage(PageFontOf(record), 256, 32, d.display, QStringLiteral("字幕Ab")));
    }
}

void TestCliRender::refusals()
{
    const QString bad = project({QStringLiteral("ColorMode=3")});
    CliRun run = RunCli({QStringLiteral("frames"), QStringLiteral("page"), QStringLiteral("x"),
                   QStringLiteral("--project"), bad});
    QVERIFY(run.code != 0);
    QVERIFY(run.out.isEmpty());
    QVERIFY(run.err.contains(QStringLiteral("颜色模式")));
    QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
    // The drawn picture needs no colour mode, but a drawable size.
    const QString narrow = project({QStringLiteral("ScreenWidth=250")});
    const QString png = m_dir->filePath(QStringLiteral("never.png"));
    run = RunCli({QStringLiteral("render"), QStringLiteral("x"), QStringLiteral("--display"),
               QStringLiteral("landscape"), QStringLiteral("--png"), png, QStringLiteral("--project"), narrow});
    QVERIFY(run.code != 0);
    QVERIFY(!QFile::exists(png));
    run = RunCli({QStringLiteral("render"), QStringLiteral("x"), QStringLiteral("--display"),
               QStringLiteral("sideways"), QStringLiteral("--png"), png});
    QVERIFY(run.code != 0);
    QVERIFY(run.err.contains(QStringLiteral("用法")));
    run = RunCli({QStringLiteral("frames"), QStringLiteral("nothing")});
    QVERIFY(run.code != 0);
    QVERIFY(run.err.contains(QStringLiteral("page")));
}

QTEST_MAIN(TestCliRender)
#include "tst_cli_render.moc"
