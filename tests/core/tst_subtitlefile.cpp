// Subtitle files as scenarios: reading SubRip and WebVTT, the faults named by
// line, writing them back, and the page store keeping cue times through edits.
#include "app/Gbk.h"
#include "app/PageStore.h"
#include "app/ScenarioFile.h"
#include "app/SubtitleFile.h"
#include "CliRun.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
const QByteArray Srt = "1\r\n00:00:01,000 --> 00:00:02,500\r\n<i>第一句</i>\r\n第二行\r\n\r\n"
                       "2\r\n00:00:03,000 --> 00:00:04,000\r\nSecond {\\an8}cue\r\n\r\n";

QString WriteFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

PageStore Store(const QByteArray &bytes, int wrapWidth = 263)
{
    PageStore store;
    store.setWrapWidth(wrapWidth);
    store.load(bytes);
    return store;
}
} // namespace

class TestSubtitleFile : public QObject {
    Q_OBJECT
private slots:
    void detectsByContent_data();
    void detectsByContent();
    void readsCues();
    void faultsNameTheLine_data();
    void faultsNameTheLine();
    void roundTrip_data();
    void roundTrip();
    void parsesTimes();
    void storeKeepsTimesThroughEdits();
    void unreadableFileIsPlainLines();
    void cliPrintsPages();
    void cliExportsShowLog_data();
    void cliExportsShowLog();
    void cliPlaysAtCueTimes();
    void checkListsDoubtfulTimes();
};

void TestSubtitleFile::detectsByContent_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("format");   // -1: not subtitles
    QTest::newRow("srt") << QString::fromUtf8(Srt) << int(SubtitleFormat::Srt);
    QTest::newRow("srt without number") << "00:00:01,000 --> 00:00:02,000\nA\n" << int(SubtitleFormat::Srt);
    QTest::newRow("srt malformed arrow") << "1\n00:00:01,000 -> 00:00:02,000\nA\n" << int(SubtitleFormat::Srt);
    QTest::newRow("vtt") << "WEBVTT\n\n00:01.000 --> 00:02.000\nA\n" << int(SubtitleFormat::WebVtt);
    QTest::newRow("vtt with title") << "WEBVTT - 标题\n" << int(SubtitleFormat::WebVtt);
    QTest::newRow("plain scenario") << "第一幕\n第二幕\n" << -1;
    QTest::newRow("number then text") << "1\n序幕\n" << -1;
    QTest::newRow("WEBVTTX") << "WEBVTTX\n" << -1;
}

void TestSubtitleFile::detectsByContent()
{
    QFETCH(QString, text);
    QFETCH(int, format);
    const std::optional<SubtitleFormat> found = DetectSubtitleFormat(text);
    QCOMPARE(found ? int(*found) : -1, format);
}

void TestSubtitleFile::readsCues()
{
    const SubtitleDocument srt = ParseSubtitles(QString::fromUtf8(Srt), SubtitleFormat::Srt);
    QVERIFY(!srt.error);
    QCOMPARE(srt.cues.size(), size_t(2));
    QCOMPARE(srt.cues[0].text, QStringLiteral("第一句 第二行"));
    QCOMPARE(srt.cues[0].time, (CueTime{1000, 2500}));
    QCOMPARE(srt.cues[1].text, QStringLiteral("Second cue"));

    const SubtitleDocument vtt = ParseSubtitles(
        u"WEBVTT\n\nNOTE a comment\n\nSTYLE\n::cue {}\n\nid-1\n01:02.5 --> 1:01:02.250 align:start\n"
        u"<v Roger>A &amp; B &lt;C&gt;</v>\n",
        SubtitleFormat::WebVtt);
    QVERIFY(!vtt.error);
    QCOMPARE(vtt.cues.size(), size_t(1));
    QCOMPARE(vtt.cues[0].text, QStringLiteral("A & B <C>"));
    QCOMPARE(vtt.cues[0].time, (CueTime{62500, 3662250}));
    QCOMPARE(vtt.cues[0].line, 9);
}

void TestSubtitleFile::faultsNameTheLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QString>("issue");   // error when unreadable, else the first warning
    QTest::newRow("cue without times") << "1\n00:00:01,000 --> 00:00:02,000\nA\n\n2\nB\n" << false
                                       << "第5行：字幕没有时间";
    QTest::newRow("malformed arrow") << "1\n00:00:01,000 --> 00:00:02,000\nA\n\n2\n00:00:03,000 -> 00:00:04,000\nB\n"
                                     << false << "第6行：时间行格式错误：00:00:03,000 -> 00:00:04,000";
    QTest::newRow("minutes of 60") << "1\n00:60:01,000 --> 01:00:02,000\nA\n" << false
                                   << "第2行：时间行格式错误：00:60:01,000 --> 01:00:02,000";
    QTest::newRow("arrow without end") << "1\n00:00:01,000 -->\nA\n" << false
                                       << "第2行：时间行格式错误：00:00:01,000 -->";
    QTest::newRow("beyond 24 h") << "1\n24:00:00,001 --> 25:00:00,000\nA\n" << false << "第2行：时间超过24小时";
    QTest::newRow("out of order") << "1\n00:00:05,000 --> 00:00:06,000\nA\n\n2\n00:00:01,000 --> 00:00:02,000\nB\n"
                                  << true << "第6行：开始时间早于上一条字幕";
    QTest::newRow("overlapping") << "1\n00:00:01,000 --> 00:00:06,000\nA\n\n2\n00:00:05,000 --> 00:00:07,000\nB\n"
                                 << true << "第6行：与上一条字幕的时间重叠";
    QTest::newRow("end before start") << "1\n00:00:03,000 --> 00:00:02,000\nA\n" << true
                                      << "第2行：结束时间早于开始时间";
}

void TestSubtitleFile::faultsNameTheLine()
{
    QFETCH(QString, text);
    QFETCH(bool, readable);
    QFETCH(QString, issue);
    const SubtitleDocument doc = ParseSubtitles(text, SubtitleFormat::Srt);
    QCOMPARE(!doc.error, readable);
    if (readable) {
        QVERIFY(!doc.warnings.empty());
        QCOMPARE(doc.warnings.front().text(), issue);
        QCOMPARE(doc.cues.size(), size_t(std::count(text.begin(), text.end(), QLatin1Char('>'))));
    } else {
        QCOMPARE(doc.error->text(), issue);
    }
}

// Opened and saved unchanged, a file keeps its cues, format and encoding.
void TestSubtitleFile::roundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::newRow("srt utf-8") << Srt << int(TextEncoding::Utf8);
    QTest::newRow("srt gbk") << ToGbkKeepingBytes(QString::fromUtf8(Srt)) << int(TextEncoding::Gbk);
    QTest::newRow("vtt utf-8 with mark")
        << QByteArray("\xEF\xBB\xBFWEBVTT Kind: captions\n\n00:01.000 --> 00:02.000\n甲 &amp; 乙\n\n"
                      "00:02.000 --> 00:03.000\n丙\n")
        << int(TextEncoding::Utf8WithMark);
}

void TestSubtitleFile::roundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    const PageStore store = Store(bytes);
    QVERIFY(store.timed());
    QCOMPARE(int(store.encoding()), encoding);
    const QByteArray saved = store.save();
    const QString before = DecodeTextFile(bytes), after = DecodeTextFile(saved);
    const SubtitleFormat format = *DetectSubtitleFormat(before);
    QCOMPARE(DetectSubtitleFormat(after), std::optional<SubtitleFormat>(format));
    const SubtitleDocument a = ParseSubtitles(before, format), b = ParseSubtitles(after, format);
    QCOMPARE(b.header, a.header);
    QCOMPARE(b.cues.size(), a.cues.size());
    for (size_t i = 0; i < a.cues.size(); ++i) {
        QCOMPARE(b.cues[i].text, a.cues[i].text);
        QCOMPARE(b.cues[i].time, a.cues[i].time);
    }
    QCOMPARE(Store(saved).save(), saved);   // stable from the first save on
}

void TestSubtitleFile::parsesTimes()
{
    QCOMPARE(ParseCueTime(u"01:02:03,456"), 3723456);
    QCOMPARE(ParseCueTime(u"2:03.4"), 123400);
    QCOMPARE(ParseCueTime(u"90"), 90000);
    QCOMPARE(ParseCueTime(u"1:75"), -1);
    QCOMPARE(ParseCueTime(u"abc"), -1);
    QCOMPARE(FormatCueTime(3723456, SubtitleFormat::Srt), QStringLiteral("01:02:03,456"));
    QCOMPARE(FormatCueTime(3723456, SubtitleFormat::WebVtt), QStringLiteral("01:02:03.456"));
}

void TestSubtitleFile::storeKeepsTimesThroughEdits()
{
    const QString longCue = QStringLiteral("长").repeated(40);
    const QByteArray bytes = ("1\n00:00:01,000 --> 00:00:02,000\nA\n\n2\n00:00:03,000 --> 00:00:05,000\n"
                              + longCue.toUtf8() + "\n\n3\n00:00:06,000 --> 00:00:07,000\nC\n");
    PageStore store = Store(bytes, 100);
    QVERIFY(store.pageCount() > 3);   // the long cue wraps
    const int last = store.pageCount() - 1;
    for (int page = 1; page < last; ++page)
        QCOMPARE(store.pageTime(page), (CueTime{3000, 5000}));

    store.replacePage(0, QStringLiteral("A2"));
    QCOMPARE(store.pageTime(0), (CueTime{1000, 2000}));
    const int added = store.insertAfterPage(0, QStringLiteral("新"));
    QVERIFY(!store.pageTime(added).isSet());
    QCOMPARE(store.pageTime(added + 1), (CueTime{3000, 5000}));
    store.deletePage(store.pageCount() - 1);
    QCOMPARE(store.pageTime(added + 1), (CueTime{3000, 5000}));

    // The new page is written into the gap after the cue before it.
    const SubtitleDocument saved = ParseSubtitles(QString::fromUtf8(store.save()), SubtitleFormat::Srt);
    QVERIFY(!saved.error);
    QCOMPARE(saved.cues.size(), size_t(3));
    QCOMPARE(saved.cues[0].text, QStringLiteral("A2"));
    QCOMPARE(saved.cues[1].text, QStringLiteral("新"));
    QCOMPARE(saved.cues[1].time, (CueTime{2000, 3000}));
    QCOMPARE(saved.cues[2].text, longCue);
    QCOMPARE(store.pageTimes()[size_t(added)], (CueTime{2000, 3000}));
}

void TestSubtitleFile::unreadableFileIsPlainLines()
{
    const PageStore store = Store("1\n00:00:01,000 --> 00:00:02,000\nA\n\n2\nB\n");
    QVERIFY(!store.timed());
    QCOMPARE(store.subtitleError()->text(), QStringLiteral("第5行：字幕没有时间"));
    QCOMPARE(store.textLineCount(), 6);
    QVERIFY(!Store("第一幕\n").subtitleError());
}

void TestSubtitleFile::cliPrintsPages()
{
    QTemporaryDir dir;
    const QString path = WriteFile(dir, QStringLiteral("show.srt"),
                                   Srt);
    const CliRun run = RunCli({QStringLiteral("pages"), QStringLiteral("--scenario"), path});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QStringLiteral("1\t第一句 第二行\n2\tSecond cue\n"));
}

// Pages from their transmission until the next picture; failed lines and
// commands that change no picture count for nothing; the latest show only.
void TestSubtitleFile::cliExportsShowLog_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("expected");
    QTest::newRow("latest show") << QStringList{QStringLiteral("--srt")}
                                 << "1\r\n00:00:00,000 --> 00:00:03,000\r\n第一幕\r\n\r\n"
                                    "2\r\n00:00:03,000 --> 00:00:05,000\r\n第二幕\r\n\r\n"
                                    "3\r\n00:00:07,000 --> 00:00:12,000\r\n第三幕\r\n\r\n";
    QTest::newRow("from and to") << QStringList{QStringLiteral("--vtt"), QStringLiteral("--from"),
                                                QStringLiteral("19:30"), QStringLiteral("--to"),
                                                QStringLiteral("2026-12-10 19:30:09")}
                                 << "WEBVTT\r\n\r\n00:00:01.000 --> 00:00:04.000\r\n第一幕\r\n\r\n"
                                    "00:00:04.000 --> 00:00:06.000\r\n第二幕\r\n\r\n"
                                    "00:00:08.000 --> 00:00:09.000\r\n第三幕\r\n\r\n";
    QTest::newRow("earlier show") << QStringList{QStringLiteral("--srt"), QStringLiteral("--from"),
                                                 QStringLiteral("2026-12-09 20:00"), QStringLiteral("--to"),
                                                 QStringLiteral("2026-12-09 20:00:02")}
                                  << "1\r\n00:00:00,000 --> 00:00:02,000\r\n旧的一晚\r\n\r\n";
}

void TestSubtitleFile::cliExportsShowLog()
{
    QFETCH(QStringList, options);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = WriteFile(dir, QStringLiteral("show.log"),
                                   "2026-12-09 20:00:00.000\tpage\t1\tok\t旧的一晚\n"
               "2026-12-10 19:30:00.000\tparams\t-\tok\t\n"
               "2026-12-10 19:30:01.000\tpage\t1\tok\t第一幕\n"
               "2026-12-10 19:30:03.500\tpage\t2\tfailed: 线路停滞\t第二幕\n"
               "2026-12-10 19:30:04.000\tpage\t2\tok\t第二幕\n"
               "2026-12-10 19:30:06.000\tblank\t-\tok\t\n"
               "2026-12-10 19:30:08.000\tpage\t3\tok\t第三幕\n");
    const CliRun run = RunCli(QStringList{QStringLiteral("export")} + options + QStringList{path});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out, expected);
    const CliRun bad = RunCli({QStringLiteral("export"), QStringLiteral("--srt"), QStringLiteral("--from"),
                               QStringLiteral("8:99"), path});
    QVERIFY(bad.code != 0);
    QVERIFY(bad.err.contains(QStringLiteral("8:99")));
}

// One line per page sent, never before its cue; a port that fails or a
// scenario without times ends it with an error.
void TestSubtitleFile::cliPlaysAtCueTimes()
{
    QTemporaryDir dir;
    const QString srt = WriteFile(dir, QStringLiteral("show.srt"),
                                  "1\n00:00:00,100 --> 00:00:00,200\n甲\n\n2\n00:00:00,300 --> 00:00:00,400\n乙\n\n"
                                  "3\n00:00:00,400 --> 00:00:00,500\n丙\n");
    const QString plain = WriteFile(dir, QStringLiteral("show.txt"), "甲\r\n");
    const QString wire = QStringLiteral("record:") + dir.filePath(QStringLiteral("wire.log"));
    const CliRun run = RunCli({QStringLiteral("play"), QStringLiteral("--from"), QStringLiteral("2"),
                               QStringLiteral("--scenario"), srt, QStringLiteral("--port"), wire});
    QCOMPARE(run.code, 0);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QStringList expected = {QStringLiteral("2\t00:00:00.300\t"), QStringLiteral("3\t00:00:00.400\t")};
    for (int i = 0; i < 2; ++i) {
        QVERIFY2(lines[i].startsWith(expected[i]), qPrintable(lines[i]));
        const QStringList fields = lines[i].split(QLatin1Char('\t'));
        QVERIFY(ParseCueTime(fields[2]) >= ParseCueTime(fields[1]));
    }
    QVERIFY(lines[1].endsWith(QStringLiteral("\t丙")));

    const CliRun failing = RunCli({QStringLiteral("play"), QStringLiteral("--scenario"), srt,
                                   QStringLiteral("--port"), dir.filePath(QStringLiteral("no-such-device"))});
    QVERIFY(failing.code != 0);
    QCOMPARE(failing.out, QString());
    QVERIFY(!failing.err.isEmpty());
    const CliRun untimed = RunCli({QStringLiteral("play"), QStringLiteral("--scenario"), plain,
                                   QStringLiteral("--port"), wire});
    QVERIFY(untimed.code != 0);
    QVERIFY(untimed.err.contains(QStringLiteral("剧本没有时间")));
}

// The pre-show check names the first page of each doubtful cue, beside the
// drawing problems of the same page.
void TestSubtitleFile::checkListsDoubtfulTimes()
{
    QTemporaryDir dir;
    const QString path = WriteFile(dir, QStringLiteral("show.srt"),
                                   "1\n00:00:01,000 --> 00:00:05,000\n甲\n\n2\n00:00:04,000 --> 00:00:06,000\n乙\n\n"
                                   "3\n00:00:07,000 --> 00:00:08,000\n丙\n\n4\n00:00:02,000 --> 00:00:01,000\n丁\n");
    const CliRun run = RunCli({QStringLiteral("check"), QStringLiteral("--scenario"), path});
    QCOMPARE(run.code, 1);   // findings
    QCOMPARE(run.out, QStringLiteral("2\t与上一条字幕的时间重叠\t乙\n"
                                     "4\t结束时间早于开始时间；开始时间早于上一条字幕\t丁\n"));
}

QTEST_MAIN(TestSubtitleFile)
#include "tst_subtitlefile.moc"
