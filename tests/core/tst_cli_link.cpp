// velmora-cli frames and send, run as operators run them.
#include "CliRun.h"
#include "LinkSupport.h"
#include "Pty.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// The wire log in a file, without its time stamps.
QStringList Events(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return WithoutStamps(QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts));
}
} // namespace

class TestCliLink : public QObject {
    Q_OBJECT
private slots:
    void frames();
    void sendToARecording();
    void sendPage();
    void sendFailures();
    void sendOnAStalledLine();
};

void TestCliLink::frames()
{
    QTemporaryDir dir;
    const QString prj = dir.filePath(QStringLiteral("show.prj"));
    QCOMPARE(RunCli({"project", "new", prj}).code, 0);
    QCOMPARE(RunCli({"project", "set", prj, "ScreenWidth=512", "ScreenHeight=80", "ColorMode=2",
                  "ScanMode=16", "OEPolarity=1", "DataPolarity=0", "LandscapeOn=0",
                  "BrightnessLevel=1"})
                 .code,
             0);
    QCOMPARE(RunCli({"frames", "params", "--project", prj}).out,
             QStringLiteral("slot1 02f20200005002100100aa\nslot2 -\n"));
    QCOMPARE(RunCli({"frames", "reset", "--project", prj}).out,
             QStringLiteral("slot1 02f1aa\nslot2 -\n"));
    QCOMPARE(RunCli({"frames", "brightness", "--project", prj}).out,
             QStringLiteral("slot1 02f602aa\nslot2 -\n"));
    QCOMPARE(RunCli({"frames", "clear-temp", "--project", prj}).out,
             QStringLiteral("slot1 02f800aa\nslot2 -\n"));
    // A blank page: header with effect, speed and dwell 0, two lit-free
    // planes of 512 x 80 / 8 bytes (lit = 0), the end byte.
    const QString blank = QStringLiteral("02f300000000") + QString(2 * 2 * 5120, QLatin1Char('f')) + "aa";
    QCOMPARE(RunCli({"frames", "clear", "--project", prj}).out,
             QStringLiteral("slot1 ") + blank + QStringLiteral("\nslot2 -\n"));
    // The brightness step stays in memory: the file keeps its level.
    QVERIFY(RunCli({"project", "show", prj}).out.contains(QLatin1String("BrightnessLevel=1\n")));
}

void TestCliLink::sendToARecording()
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("wire.log"));
    const CliRun run = RunCli({"send", "--port", "record:" + log, "reset"});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.err, QString());
    QCOMPARE(Events(log), QStringList({"open COM1 (/dev/ttyS0) 57600", "write mark 0202", "parity space",
                                       "write space f1", "write space aa", "parity mark",
                                       "write mark 0101", "parity space", "write space f1",
                                       "write space aa", "close"}));
}

void TestCliLink::sendPage()
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("wire.log"));
    QCOMPARE(RunCli({"send", "--port", "record:" + log, "page", "第一场"}).code, 0);
    const QStringList events = Events(log);
    QCOMPARE(events.size(), 11);
    QCOMPARE(events.at(3), QStringLiteral("write space f3"));
    QVERIFY(events.at(4).startsWith(QLatin1String("write space ")));
    QCOMPARE(events.at(4).size(), int(strlen("write space ")) + 2 * (4 + 1024 + 1));
}

void TestCliLink::sendFailures()
{
    const CliRun missing = RunCli({"send", "--port", "/dev/velmora-no-such-port", "reset"});
    QVERIFY(missing.code != 0);
    QVERIFY(missing.err.startsWith(QLatin1String("velmora-cli: ")));
    QCOMPARE(missing.err.count(QLatin1Char('\n')), 1);

    // The device a port number stands for is named, with the port.
    const CliRun com = RunCli({"send", "--port", "com:99", "reset"});
    QVERIFY(com.code != 0);
    QVERIFY2(com.err.contains(QLatin1String("COM99 (/dev/ttyS98)")), qPrintable(com.err));
    QVERIFY(!com.err.contains(QLatin1String("\\\\.\\")));

    QVERIFY(RunCli({"send", "--port", "com:0", "reset"}).code != 0);
    QVERIFY(RunCli({"send", "reset"}).code != 0);
    QVERIFY(RunCli({"frames", "dance"}).code != 0);
}

// A line nobody reads fails within the stall limit (5 s), with a message
// that says so, instead of blocking and reporting success.
void TestCliLink::sendOnAStalledLine()
{
    Pty pty;
    QVERIFY(pty.ok());
    QVERIFY(pty.fill() > 0);
    const CliRun run = RunCli({"send", "--port", pty.slavePath(), "page", "第一场"});
    QVERIFY(run.code != 0);
    QVERIFY2(run.err.contains(QStringLiteral("线路停滞")), qPrintable(run.err));
    QVERIFY(run.err.contains(pty.slavePath()));
}

QTEST_GUILESS_MAIN(TestCliLink)
#include "tst_cli_link.moc"
