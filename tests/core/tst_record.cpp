// The project record: layout, defaults, the .prj file, the registry value and
// the SysSetup settings file.
#include "TestFiles.h"
#include "app/AppPaths.h"
#include "app/Errors.h"
#include "app/Gbk.h"
#include "app/ProjectFile.h"
#include "app/RecordFields.h"
#include "app/Struct.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {
QByteArray Bytes(const TProjectRecord &r)
{
    return QByteArray(reinterpret_cast<const char *>(&r), sizeof r);
}

} // namespace

class TestRecord : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void startupDefaultsBytes();
    void newDefaultsKeepFontsAndEffects();
    void stringsCutAndKeepTails();
    void roundTripByteForByte();
    void longFileUsesFirstRecord();
    void shortFileRefusedRecordUnchanged();
    void missingFileReportsPlatformText();
    void failedWriteKeepsPreviousFile();
    void nodesWrittenInPlace();
    void readsToTheEndWithinTheLimit();
    void registryValue();
    void sysSetupInterval();
    void helpers();
    void fieldTable();

private:
    QTemporaryDir m_dir;
};

void TestRecord::initTestCase()
{
    QVERIFY(GbkAvailable());
    AppPaths::setRegistryFile(m_dir.filePath(QStringLiteral("Velmora.ini")));
    AppPaths::setSysSetupFile(m_dir.filePath(QStringLiteral("SysSetup")));
}

void TestRecord::startupDefaultsBytes()
{
    TProjectRecord r{};
    SetStartupDefaults(r);
    const QByteArray bytes = Bytes(r);
    const QByteArray prefix = QByteArray::fromHex(
        "0100000000E10000010000000000000000010000200000000101000000020000040000000F00000004CBCECCE5");
    QCOMPARE(bytes.left(45), prefix);
    QCOMPARE(bytes.mid(296, 11), QByteArray::fromHex("FF000000000004CBCECCE5"));
    QCOMPARE(bytes.mid(560, 8), QByteArray::fromHex("FF00000030000000"));
    for (int i = 0; i < bytes.size(); ++i) {
        const bool described = i < 45 || (i >= 296 && i < 307) || (i >= 560 && i < 568);
        if (!described)
            QVERIFY2(bytes.at(i) == 0, qPrintable(QString::number(i)));
    }
}

void TestRecord::newDefaultsKeepFontsAndEffects()
{
    TProjectRecord r{};
    SetStartupDefaults(r);
    r.FontName.setText(QStringLiteral("黑体"));
    r.TempText.setText(QStringLiteral("欢迎"));
    r.ScenarioFile.setText(QStringLiteral("/show/a.txt"));
    r.Stunt = 3;
    r.ScanMode = 16;
    r.ScreenWidth = 512;
    r.BrightnessLevel = 2;
    r.ColorMode = 2;
    SetNewDefaults(r);
    QCOMPARE(r.FontName.text(), QStringLiteral("黑体"));
    QCOMPARE(r.TempText.text(), QStringLiteral("欢迎"));
    QCOMPARE(r.ScenarioFile.text(), QStringLiteral("/show/a.txt"));
    QCOMPARE(int(r.Stunt), 3);
    QCOMPARE(int(r.ScanMode), 16);
    QCOMPARE(r.ScreenWidth, 256);
    QCOMPARE(int(r.BrightnessLevel), 15);
    QCOMPARE(r.ColorMode, 1);
}

void TestRecord::stringsCutAndKeepTails()
{
    TProjectRecord r{};
    r.ScenarioFile.setText(QString(300, QLatin1Char('x')));
    QCOMPARE(int(r.ScenarioFile.bytes[0]), 255);
    QCOMPARE(r.ScenarioFile.raw(), QByteArray(255, 'x'));

    // A shorter value leaves the old tail behind, as the file format does.
    r.ScenarioFile.setText(QStringLiteral("ab"));
    QCOMPARE(r.ScenarioFile.text(), QStringLiteral("ab"));
    QCOMPARE(char(r.ScenarioFile.bytes[3]), 'x');

    // Chinese text is stored as GBK bytes.
    r.FontName.setText(QStringLiteral("宋体"));
    QCOMPARE(r.FontName.raw(), QByteArray::fromHex("CBCECCE5"));
}

void TestRecord::roundTripByteForByte()
{
    // Odd padding bytes, stale string tails and out-of-range values survive.
    QByteArray image(sizeof(TProjectRecord), '\0');
    QRandomGenerator rng(42);
    for (char &c : image)
        c = char(rng.bounded(256));
    TProjectRecord r{};
    std::memcpy(&r, image.constData(), sizeof r);
    r.ColorMode = 7;
    r.TextAlign = 9;
    image = Bytes(r);

    const QString path = m_dir.filePath(QStringLiteral("odd.prj"));
    WriteRaw(path, image);
    TProjectRecord loaded{};
    ReadProjectFile(path, loaded);
    QCOMPARE(loaded.ColorMode, 7);
    QCOMPARE(int(loaded.TextAlign), 9);
    const QString again = m_dir.filePath(QStringLiteral("again.prj"));
    WriteProjectFile(again, loaded);
    QCOMPARE(ReadRaw(again), image);
}

void TestRecord::longFileUsesFirstRecord()
{
    TProjectRecord r{};
    SetStartupDefaults(r);
    r.ScreenWidth = 320;
    const QString path = m_dir.filePath(QStringLiteral("long.prj"));
    WriteRaw(path, Bytes(r) + QByteArray(2000 - int(sizeof r), '\x55'));
    TProjectRecord loaded{};
    ReadProjectFile(path, loaded);
    QCOMPARE(Bytes(loaded), Bytes(r));
}

void TestRecord::shortFileRefusedRecordUnchanged()
{
    const QString path = m_dir.filePath(QStringLiteral("short.prj"));
    WriteRaw(path, QByteArray(100, '\x07'));
    TProjectRecord r{};
    SetStartupDefaults(r);
    const QByteArray before = Bytes(r);
    QCOMPARE(ErrorOf([&] { ReadProjectFile(path, r); }), QStringLiteral("Read beyond end of file"));
    QCOMPARE(Bytes(r), before);
}

void TestRecord::missingFileReportsPlatformText()
{
    TProjectRecord r{};
    const QString text = ErrorOf([&] { ReadProjectFile(m_dir.filePath(QStringLiteral("none.prj")), r); });
    QVERIFY(!text.isEmpty());
    QVERIFY(text != QStringLiteral("Read beyond end of file"));
}

void TestRecord::failedWriteKeepsPreviousFile()
{
    // The target is replaced only when the whole record was written. A file
    // size limit below the record's size makes the write fail part-way, as a
    // full disk would, whoever runs the test.
    const QString path = m_dir.filePath(QStringLiteral("show.prj"));
    TProjectRecord r{};
    SetStartupDefaults(r);
    WriteProjectFile(path, r);
    const QByteArray before = ReadRaw(path);

    r.ScreenWidth = 999;
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    const QString text = ErrorOf([&] { WriteProjectFile(path, r); });
    setrlimit(RLIMIT_FSIZE, &old);

    QVERIFY(!text.isEmpty());
    QCOMPARE(ReadRaw(path), before);
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("show.prj*")}, QDir::Files),
             QStringList{QStringLiteral("show.prj")});

    // A path inside a missing folder fails with the platform's text.
    QVERIFY(!ErrorOf([&] { WriteProjectFile(m_dir.filePath(QStringLiteral("no/x.prj")), r); }).isEmpty());
}

void TestRecord::nodesWrittenInPlace()
{
    // A FIFO gets the bytes and stays a FIFO: replacing it would leave its
    // reader waiting and a regular file in its place.
    const QString fifo = m_dir.filePath(QStringLiteral("out.fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QByteArray received;
    std::unique_ptr<QThread> reader(QThread::create([&] {
        QFile file(fifo);
        if (file.open(QIODevice::ReadOnly))
            received = file.readAll();
    }));
    reader->start();
    WriteFileSafely(fifo, "picture");
    reader->wait();
    QCOMPARE(received, QByteArray("picture"));
    QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
    WriteFileSafely(QStringLiteral("/dev/null"), "x");
    QVERIFY(!QFileInfo(QStringLiteral("/dev/null")).isFile());
    // A folder is refused in Chinese, not replaced.
    QVERIFY(!ErrorOf([&] { WriteFileSafely(m_dir.path(), "x"); }).isEmpty());
    QVERIFY(QFileInfo(m_dir.path()).isDir());
    QCOMPARE(ErrorOf([&] { ReadWholeFile(m_dir.path()); }),
             QStringLiteral("无法打开文件“%1”：是文件夹，不是文件").arg(m_dir.path()));
}

void TestRecord::readsToTheEndWithinTheLimit()
{
    const QString file = m_dir.filePath(QStringLiteral("ten.txt"));
    WriteRaw(file, "0123456789");
    QCOMPARE(ReadWholeFile(file, 10), QByteArray("0123456789"));
    const QString tooLarge = QStringLiteral("文件“%1”超过%2 MB，未读入");
    QCOMPARE(ErrorOf([&] { ReadWholeFile(file, 9); }), tooLarge.arg(file).arg(0));
    // A device has no size: it is read in pieces and stopped at the limit.
    QCOMPARE(ErrorOf([&] { ReadWholeFile(QStringLiteral("/dev/zero"), qint64(3) << 20); }),
             tooLarge.arg(QStringLiteral("/dev/zero")).arg(3));
    QCOMPARE(ReadWholeFile(QStringLiteral("/dev/null"), 1), QByteArray());
}

void TestRecord::registryValue()
{
    QCOMPARE(ReadRegString(QStringLiteral("CurFileName"), QStringLiteral("dflt")), QStringLiteral("dflt"));
    WriteRegString(QStringLiteral("CurFileName"), QStringLiteral("  "));
    QCOMPARE(ReadRegString(QStringLiteral("CurFileName"), QStringLiteral("dflt")), QStringLiteral("dflt"));
    WriteRegString(QStringLiteral("CurFileName"), QStringLiteral(" /演出/a.prj "));
    QCOMPARE(ReadRegString(QStringLiteral("CurFileName"), QString()), QStringLiteral(" /演出/a.prj "));
}

void TestRecord::sysSetupInterval()
{
    QFile::remove(AppPaths::sysSetupFile());
    QCOMPARE(ReadAutoRunInterval(), 2);
    WriteRaw(AppPaths::sysSetupFile(), "[Main]\r\nnAutoRunInterVal=7\r\n");
    QCOMPARE(ReadAutoRunInterval(), 7);
    WriteAutoRunInterval(12);
    QCOMPARE(ReadAutoRunInterval(), 12);
    QVERIFY(ReadRaw(AppPaths::sysSetupFile()).contains("nAutoRunInterVal=12"));
    WriteRaw(AppPaths::sysSetupFile(), "[Other]\nx=1\n");
    QCOMPARE(ReadAutoRunInterval(), 2);
}

void TestRecord::helpers()
{
    QCOMPARE(TrimControl(QStringLiteral("\t a b \r\n")), QStringLiteral("a b"));
    QVERIFY(IsBlank(QStringLiteral(" \x01\x1f ")));
    QCOMPARE(KeepDigits(QStringLiteral("COM12")), QStringLiteral("12"));
    QCOMPARE(KeepDigits(QStringLiteral("COM1.5")), QStringLiteral("1.5"));
    QCOMPARE(KeepDigits(QStringLiteral("COM")), QString());
    // 0x80 is the euro sign, as on Windows.
    QCOMPARE(FromGbk(QByteArray("\x80", 1)), QString(QChar(0x20AC)));
}

void TestRecord::fieldTable()
{
    // Every byte of the record outside padding belongs to exactly one field.
    QByteArray owner(sizeof(TProjectRecord), '\0');
    for (const RecordField &f : RecordFields()) {
        const int size = f.kind == RecordField::Byte ? 1 : f.kind == RecordField::Int32 ? 4 : 256;
        for (int i = 0; i < size; ++i) {
            QCOMPARE(int(owner.at(int(f.offset) + i)), 0);
            owner[int(f.offset) + i] = 1;
        }
    }
    QCOMPARE(owner.count('\0'), 3 + 3 + 1 + 2 + 1);   // the padding bytes

    TProjectRecord r{};
    SetFieldValue(r, *FindRecordField(QStringLiteral("ScreenHeight")), QStringLiteral("80"));
    SetFieldValue(r, *FindRecordField(QStringLiteral("TempText")), QStringLiteral("你好"));
    QCOMPARE(r.ScreenHeight, 80);
    QCOMPARE(FieldValue(r, *FindRecordField(QStringLiteral("TempText"))), QStringLiteral("你好"));
    QVERIFY(!ErrorOf([&] { SetFieldValue(r, *FindRecordField(QStringLiteral("Stunt")), QStringLiteral("256")); }).isEmpty());
    QVERIFY(!ErrorOf([&] { SetFieldValue(r, *FindRecordField(QStringLiteral("BaudRate")), QStringLiteral("fast")); }).isEmpty());
}

QTEST_MAIN(TestRecord)
#include "tst_record.moc"
