// velmora-cli frames temp|logo|welcome, run as operators run it.
#include "CliRun.h"
#include "app/ProjectFile.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

class TestCliSpecial : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_project;

    QStringList Frames(const QStringList &args) const
    {
        return QStringList{QStringLiteral("frames")} + args
               + QStringList{QStringLiteral("--project"), m_project};
    }

private slots:
    void initTestCase()
    {
        TProjectRecord r{};
        SetStartupDefaults(r);
        r.ScreenWidth = 256;
        r.ScreenHeight = 32;
        r.ColorMode = 1;
        r.PortraitOn = 0;
        r.LandscapeOn = 1;
        r.LandscapeDouble = 0;
        r.TempFontHeight = 16;
        r.TempStunt = 3;
        r.TempRunSpeed = 2;
        r.TempShowTime = 5;
        m_project = m_dir.filePath(QStringLiteral("show.prj"));
        WriteProjectFile(m_project, r);
    }

    void tempMessage()
    {
        const CliRun empty = RunCli(Frames({QStringLiteral("temp"), QString()}));
        QCOMPARE(empty.code, 0);
        QCOMPARE(empty.out, QStringLiteral("slot1 -\nslot2 01f700aa\n"));
        const CliRun text = RunCli(Frames({QStringLiteral("temp"), QStringLiteral("临时信息")}));
        QCOMPARE(text.code, 0);
        const QString slot2 = text.out.split('\n').value(1);
        QVERIFY(slot2.startsWith(QStringLiteral("slot2 01f701" "03000205")));   // one segment, stored header
        QCOMPARE(slot2.size(), 6 + 2 * (4 + 4 + 1024));
        const CliRun tooLong = RunCli(Frames({QStringLiteral("temp"), QString(5000, QChar(0x4E2D))}));
        QCOMPARE(tooLong.code, 1);
        QVERIFY(tooLong.out.isEmpty());
        QVERIFY(tooLong.err.startsWith(QStringLiteral("velmora-cli: 临时信息太长")));
    }

    void logoAndWelcome()
    {
        QImage red(16, 16, QImage::Format_RGB32);
        red.fill(qRgb(255, 0, 0));
        const QString bmp = m_dir.filePath(QStringLiteral("red.bmp"));
        QVERIFY(red.save(bmp, "BMP"));
        const CliRun logo = RunCli(Frames({QStringLiteral("logo"), bmp, QStringLiteral("unused.bmp")}));
        QCOMPARE(logo.code, 0);
        QCOMPARE(logo.out, QStringLiteral("slot1 -\nslot2 01f4") + QString(2048, QLatin1Char('0'))
                               + QStringLiteral("aa\n"));
        const CliRun welcome = RunCli(Frames({QStringLiteral("welcome"), bmp}));
        QCOMPARE(welcome.code, 0);
        QVERIFY(welcome.out.startsWith(QStringLiteral("slot1 -\nslot2 01f501")));
        const QString missing = m_dir.filePath(QStringLiteral("none.bmp"));
        const CliRun failed = RunCli(Frames({QStringLiteral("welcome"), missing}));
        QCOMPARE(failed.code, 1);
        QVERIFY(failed.out.isEmpty());
        QVERIFY(failed.err.startsWith(QStringLiteral("velmora-cli: Cannot open file \"%1\". ").arg(missing)));
        QCOMPARE(failed.err.count('\n'), 1);
    }
};

QTEST_MAIN(TestCliSpecial)
#include "tst_cli_special.moc"
