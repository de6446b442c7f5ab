// Reading wire logs and turning them back into frames and pictures, in the
// core and through velmora-cli decode.
#include "app/Errors.h"
#include "app/ProjectFile.h"
#include "sim/WireLog.h"
#include "SimFrames.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
TProjectRecord Landscape256x32()
{
    return DisplayProject(256, 32, 1, false, true, false);
}

QString WriteTemp(QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}
} // namespace

class TestWireLog : public QObject {
    Q_OBJECT
private slots:
    void parsesEveryEvent();
    void faultsNameTheLine_data();
    void faultsNameTheLine();
    void decodesFramesAndPictures();
    void cliDecode();
};

void TestWireLog::parsesEveryEvent()
{
    const QVector<WireEvent> events = ParseWireLog(
        "open record:/tmp/a b.log 9600\r\n"
        "0.125 parity mark\r\n"
        "\r\n"
        "1.500 write mark 0202\r\n"
        "7.000 write space f1aa\n"
        "8.000 write space\n"
        "60.250 close\n");
    QCOMPARE(events.size(), 6);
    QCOMPARE(events[0].kind, WireEvent::Open);
    QCOMPARE(events[0].portName, QStringLiteral("record:/tmp/a b.log"));
    QCOMPARE(events[0].baud, 9600);
    QCOMPARE(events[1].kind, WireEvent::Parity);
    QVERIFY(events[1].mark);
    QCOMPARE(events[1].timeMs, 0.125);
    QCOMPARE(events[2].bytes, QByteArray::fromHex("0202"));
    QVERIFY(events[2].mark);
    QVERIFY(!events[3].mark);
    QCOMPARE(events[3].bytes, QByteArray::fromHex("f1aa"));
    QVERIFY(events[4].bytes.isEmpty());
    QCOMPARE(events[5].kind, WireEvent::Close);
    QCOMPARE(events[5].timeMs, 60.25);
}

void TestWireLog::faultsNameTheLine_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QString>("message");
    QTest::newRow("parity word") << QByteArray("open x 57600\n1.0 parity odd\n") << "第2行：校验位";
    QTest::newRow("odd hex") << QByteArray("1.0 write mark 020\n") << "第1行：十六进制数字的个数为奇数";
    QTest::newRow("not hex") << QByteArray("1.0 write mark zz\n") << "第1行：不是十六进制";
    QTest::newRow("unknown event") << QByteArray("\n\n1.0 flush\n") << "第3行：未知事件“flush”";
    QTest::newRow("no time") << QByteArray("write mark 02\n") << "第1行：不是线路记录的行";
    QTest::newRow("open without baud") << QByteArray("open com1\n") << "第1行：open 需要";
}

void TestWireLog::faultsNameTheLine()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, message);
    try {
        ParseWireLog(log);
        QFAIL("no error");
    } catch (const VelmoraError &e) {
        QVERIFY2(e.text().contains(message), qPrintable(e.text()));
    }
}

void TestWireLog::decodesFramesAndPictures()
{
    const QImage page = RandomPicture(256, 32, 21);
    const QByteArray pageFrame = PageFrame(1, page, 1);
    // The second page is cut off by the close of the port.
    QByteArray log = WireLogOf({Bytes({1, 0xF6, 2, 0xAA}), pageFrame, pageFrame});
    log.replace(pageFrame.mid(1).toHex() + "\n12.000", pageFrame.mid(1, 99).toHex() + "\n12.000");
    QTemporaryDir dir;
    QStringList lines;
    const QString pngs = dir.filePath(QStringLiteral("png/sub"));
    DecodeWireLog(ParseWireLog(log), Landscape256x32(), pngs, [&](const QString &l) { lines << l; });

    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral("3.000 addr=1 brightness level=2"));
    QCOMPARE(lines[1], QStringLiteral("7.000 addr=1 page effect=3 speed=5 dwell=10 256x32 colours=1 "
                                      "png=002-a1-page.png"));
    QCOMPARE(lines[2], QStringLiteral("12.000 addr=1 malformed: page frame truncated after 100 bytes"));
    QImage written(QDir(pngs).filePath(QStringLiteral("002-a1-page.png")));
    QCOMPARE(written.convertToFormat(QImage::Format_RGB32), Thresholded(page, 1));
    QCOMPARE(QDir(pngs).entryList(QDir::Files).size(), 1);

    // The folder cannot be made: a clear error, nothing decoded.
    const QString file = WriteTemp(dir, QStringLiteral("plain"), "x");
    QVERIFY_THROWS_EXCEPTION(VelmoraError,
                             DecodeWireLog(ParseWireLog(log), Landscape256x32(), file + QStringLiteral("/png"),
                                           [](const QString &) {}));
}

void TestWireLog::cliDecode()
{
    QTemporaryDir dir;
    TProjectRecord record = Landscape256x32();
    record.ColorMode = 2;
    const QString prj = dir.filePath(QStringLiteral("show.prj"));
    WriteProjectFile(prj, record);
    QVector<QImage> segments{RandomPicture(256, 32, 31), RandomPicture(256, 32, 32)};
    QByteArray temp = Bytes({1, 0xF7, 2});
    for (const QImage &s : segments)
        temp += Bytes({1, 0, 3, 4}) + Planes(s, 2);
    temp += Bytes({0xAA});
    const QString log = WriteTemp(dir, QStringLiteral("wire.log"), WireLogOf({temp, Bytes({1, 0xF1, 0xAA})}));

    QProcess p;
    p.start(QStringLiteral(VELMORA_CLI),
            {QStringLiteral("decode"), log, QStringLiteral("--png"), dir.filePath(QStringLiteral("out")),
             QStringLiteral("--project"), prj});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines, QStringList({QStringLiteral("3.000 addr=1 temp segments=2 effect=1 speed=3 dwell=4 "
                                                "256x32 colours=2 png=001-a1-temp-1.png,001-a1-temp-2.png"),
                                 QStringLiteral("7.000 addr=1 reset")}));
    for (int k = 0; k < 2; ++k) {
        const QImage png(dir.filePath(QStringLiteral("out/001-a1-temp-%1.png").arg(k + 1)));
        QCOMPARE(png.convertToFormat(QImage::Format_RGB32), Thresholded(segments[k], 2));
    }

    p.start(QStringLiteral(VELMORA_CLI), {QStringLiteral("decode"), dir.filePath(QStringLiteral("none.log"))});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 1);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.startsWith(QStringLiteral("velmora-cli: 无法打开文件")) && err.count('\n') == 1, qPrintable(err));
}

QTEST_GUILESS_MAIN(TestWireLog)
#include "tst_wirelog.moc"
