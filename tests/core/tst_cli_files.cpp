// velmora-cli's files as scripts use them: output into FIFOs, devices and
// standard output without replacing them, input from pipes, failed writes
// and oversized input reported with a non-zero exit, damaged projects refused.
#include "CliRun.h"
#include "TestFiles.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sys/stat.h>

namespace {
const QByteArray PngSignature("\x89PNG\r\n\x1a\n");

struct Piped {
    int code;
    QByteArray out;
    QString err;
};

// Runs the tool with input on its standard input, or its output into a file.
Piped RunPiped(const QStringList &args, const QByteArray &input, const QString &outputFile = QString())
{
    QProcess p;
    if (!outputFile.isEmpty())
        p.setStandardOutputFile(outputFile);
    p.start(QStringLiteral(VELMORA_CLI), args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError())};
}

bool IsFifo(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

// Reads a FIFO to its end on a thread of its own while the tool writes it.
class FifoReader : public QThread {
public:
    explicit FifoReader(const QString &path) : m_path(path) { start(); }
    QByteArray bytes()
    {
        wait();
        return m_bytes;
    }

private:
    void run() override
    {
        QFile file(m_path);
        if (file.open(QIODevice::ReadOnly))
            m_bytes = file.readAll();
    }
    QString m_path;
    QByteArray m_bytes;
};
} // namespace

class TestCliFiles : public QObject {
    Q_OBJECT
private slots:
    void init();
    void outputIntoNodesAndStandardOutput();
    void writeErrorsFail_data();
    void writeErrorsFail();
    void inputFromPipes();
    void oversizedInputRefused();
    void damagedProjectRefused();
    void cutFieldSaysSo();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_scenario, m_log, m_project;
};

void TestCliFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_scenario = m_dir->filePath(QStringLiteral("s.txt"));
    WriteRaw(m_scenario, QStringLiteral("第一幕\r\n第二幕\r\n").toUtf8());
    m_project = m_dir->filePath(QStringLiteral("p.prj"));
    QCOMPARE(RunCli({"project", "new", m_project}).code, 0);
    m_log = m_dir->filePath(QStringLiteral("wire.log"));
    QCOMPARE(RunCli({"send", "--port", "record:" + m_log, "reset"}).code, 0);
}

void TestCliFiles::outputIntoNodesAndStandardOutput()
{
    const QStringList render{"render", "abc", "--display", "portrait", "--png"};
    // A FIFO is written to, and stays a FIFO.
    const QString fifo = m_dir->filePath(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    FifoReader reader(fifo);
    QCOMPARE(RunCli(render + QStringList{fifo}).code, 0);
    QVERIFY(reader.bytes().startsWith(PngSignature));
    QVERIFY(IsFifo(fifo));
    // A device is written to as it is (replacing it would need root, and be wrong).
    const CliRun null = RunCli(render + QStringList{"/dev/null"});
    QCOMPARE(null.code, 0);
    QVERIFY(QFileInfo(QStringLiteral("/dev/null")).exists() && !QFileInfo(QStringLiteral("/dev/null")).isFile());
    // "-" is standard output: for the picture and for the wire log.
    QVERIFY(RunPiped(render + QStringList{"-"}, {}).out.startsWith(PngSignature));
    const Piped log = RunPiped({"send", "--port", "record:-", "reset"}, {});
    QCOMPARE(log.code, 0);
    QVERIFY(log.out.startsWith("open COM1 (/dev/ttyS0) 57600\n"));
    // A regular file is still replaced whole.
    const QString png = m_dir->filePath(QStringLiteral("page.png"));
    WriteRaw(png, "old");
    QCOMPARE(RunCli(render + QStringList{png}).code, 0);
    QVERIFY(ReadRaw(png).startsWith(PngSignature));
}

void TestCliFiles::writeErrorsFail_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("text") << QStringList{"text", "S"};
    QTest::newRow("pages") << QStringList{"pages", "--scenario", "S"};
    QTest::newRow("pages --count") << QStringList{"pages", "--count", "--scenario", "S"};
    QTest::newRow("project show") << QStringList{"project", "show", "P"};
    QTest::newRow("frames") << QStringList{"frames", "reset"};
    QTest::newRow("decode") << QStringList{"decode", "L"};
    QTest::newRow("render -") << QStringList{"render", "abc", "--display", "landscape", "--png", "-"};
    QTest::newRow("record:-") << QStringList{"send", "--port", "record:-", "reset"};
}

void TestCliFiles::writeErrorsFail()
{
    QFETCH(QStringList, args);
    args.replaceInStrings(QRegularExpression(QStringLiteral("^S$")), m_scenario);
    args.replaceInStrings(QRegularExpression(QStringLiteral("^P$")), m_project);
    args.replaceInStrings(QRegularExpression(QStringLiteral("^L$")), m_log);
    QCOMPARE(RunPiped(args, {}, QStringLiteral("/dev/null")).code, 0);
    const Piped full = RunPiped(args, {}, QStringLiteral("/dev/full"));
    QCOMPARE(full.code, 1);
    QCOMPARE(full.err, QStringLiteral("velmora-cli: 无法写入标准输出：磁盘空间不足\n"));
    // So does a file that cannot be written.
    const QString png = m_dir->filePath(QStringLiteral("missing/page.png"));
    QCOMPARE(RunCli({"render", "abc", "--display", "landscape", "--png", png}).code, 1);
}

void TestCliFiles::inputFromPipes()
{
    const QByteArray pages = "1\t第一幕\n2\t第二幕\n";
    const QByteArray scenario = ReadRaw(m_scenario);
    QCOMPARE(RunPiped({"pages", "--scenario", "-"}, scenario).out, pages);
    QCOMPARE(RunPiped({"pages", "--scenario", "/dev/stdin"}, scenario).out, pages);
    QCOMPARE(RunPiped({"text", "-", "--utf8"}, scenario).out,
             RunCli({"text", m_scenario, "--utf8"}).out.toUtf8());

    QCOMPARE(RunPiped({"project", "show", "/dev/stdin"}, ReadRaw(m_project)).out,
             RunCli({"project", "show", m_project}).out.toUtf8());

    const QByteArray frames = RunCli({"decode", m_log}).out.toUtf8();
    QCOMPARE(frames.count('\n'), 2);
    QCOMPARE(RunPiped({"decode", "-"}, ReadRaw(m_log)).out, frames);
    QCOMPARE(RunPiped({"decode", "/dev/stdin"}, ReadRaw(m_log)).out, frames);
    // A FIFO is read until its writer closes it.
    const QString fifo = m_dir->filePath(QStringLiteral("log-fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess decode;
    decode.start(QStringLiteral(VELMORA_CLI), {"decode", fifo});
    QFile writer(fifo);
    QVERIFY(writer.open(QIODevice::WriteOnly));
    const QByteArray log = ReadRaw(m_log);
    writer.write(log.left(40));
    writer.flush();
    QTest::qWait(100);   // the rest comes later, as from a running recorder
    writer.write(log.mid(40));
    writer.close();
    QVERIFY(decode.waitForFinished(30000));
    QCOMPARE(decode.exitCode(), 0);
    QCOMPARE(decode.readAllStandardOutput(), frames);
}

void TestCliFiles::oversizedInputRefused()
{
    // Neither an endless device nor a line without end is taken into memory.
    for (const QString &command : {QStringLiteral("pages"), QStringLiteral("check")}) {
        const CliRun zero = RunCli({command, "--scenario", "/dev/zero"});
        QCOMPARE(zero.code, command == QLatin1String("check") ? 2 : 1);   // check: 1 means findings
        QCOMPARE(zero.err, QStringLiteral("velmora-cli: 文件“/dev/zero”超过256 MB，未读入\n"));
    }
    const CliRun text = RunCli({"text", "/dev/zero"});
    QCOMPARE(text.code, 1);
    QVERIFY2(text.err.contains(QStringLiteral("超过256 MB")), qPrintable(text.err));
    const CliRun decode = RunCli({"decode", "/dev/zero"});
    QCOMPARE(decode.code, 1);
    QCOMPARE(decode.err, QStringLiteral("velmora-cli: “/dev/zero”：线路记录第1行：行超过1024 KB\n"));
}

void TestCliFiles::damagedProjectRefused()
{
    // A width that doubles past the int range, a height beyond the frame's 16 bits.
    const struct {
        QStringList fields;
        QString message;
    } cases[] = {
        {{"ScreenWidth=2147483647", "LandscapeOn=0", "LandscapeDouble=1"},
         QStringLiteral("工程已损坏：屏宽2147483647超出屏参的范围（0～65535），未发送屏参")},
        {{"ScreenWidth=40000", "LandscapeOn=0", "LandscapeDouble=1"},
         QStringLiteral("工程已损坏：双面横屏的画面宽度80000超出屏参的范围（0～65535），未发送屏参")},
        {{"ScreenHeight=-1"}, QStringLiteral("工程已损坏：屏高-1超出屏参的范围（0～65535），未发送屏参")},
    };
    for (const auto &c : cases) {
        QCOMPARE(RunCli(QStringList{"project", "set", m_project} + c.fields).code, 0);
        for (const QString &command : {QStringLiteral("frames"), QStringLiteral("send")}) {
            QStringList args{command, "params", "--project", m_project};
            if (command == QLatin1String("send"))
                args << "--port" << "record:" + m_dir->filePath(QStringLiteral("params.log"));
            const CliRun run = RunCli(args);
            QCOMPARE(run.code, 1);
            QCOMPARE(run.err, QStringLiteral("velmora-cli: ") + c.message + QLatin1Char('\n'));
            QVERIFY(run.out.isEmpty());
        }
        QCOMPARE(RunCli({"project", "new", m_project}).code, 0);
    }
    // A short project file is named in the message.
    WriteRaw(m_project, QByteArray(100, '\x01'));
    QCOMPARE(RunCli({"project", "show", m_project}).err,
             QStringLiteral("velmora-cli: 工程文件“%1”：Read beyond end of file\n").arg(m_project));
}

void TestCliFiles::cutFieldSaysSo()
{
    const CliRun cut = RunCli({"project", "set", m_project, "FontName=" + QString(300, QChar(0x5B57)),
                               "TempText=" + QString(255, QLatin1Char('a'))});
    QCOMPARE(cut.code, 0);
    QCOMPARE(cut.err, QStringLiteral("velmora-cli: 字体名超过255字节，已截断为127个字符\n"));
    QVERIFY(RunCli({"project", "show", m_project}).out.contains("FontName=" + QString(127, QChar(0x5B57)) + "\n"));
    const CliRun longer = RunCli({"project", "set", m_project, "TempText=" + QString(256, QLatin1Char('a'))});
    QCOMPARE(longer.err, QStringLiteral("velmora-cli: 临时信息超过255字节，已截断为255个字符\n"));
}

QTEST_GUILESS_MAIN(TestCliFiles)
#include "tst_cli_files.moc"
