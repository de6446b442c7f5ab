// What the operator reads when a file or a serial port fails: the file or
// port named, the reason in Chinese, no English beyond names.
#include "TestFiles.h"

#include "app/AppPaths.h"
#include "app/ProjectFile.h"
#include "app/Struct.h"
#include "link/BmpPicture.h"
#include "link/QtSerialPort.h"
#include "link/uSendThread.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

namespace {
// Latin letters left once the names the text may carry are taken out.
bool EnglishBeyond(QString text, const QStringList &names)
{
    for (const QString &name : names)
        text.remove(name);
    return text.contains(QRegularExpression(QStringLiteral("[A-Za-z]")));
}
} // namespace

class TestErrorTexts : public QObject {
    Q_OBJECT
private slots:
    void systemReasons_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("chinese");
        QTest::newRow("ENOENT") << ENOENT << QStringLiteral("文件或文件夹不存在");
        QTest::newRow("EACCES") << EACCES << QStringLiteral("没有访问权限");
        QTest::newRow("ENOSPC") << ENOSPC << QStringLiteral("磁盘空间不足");
        QTest::newRow("EROFS") << EROFS << QStringLiteral("只读的文件系统，不能写入");
        QTest::newRow("EBUSY") << EBUSY << QStringLiteral("设备或文件正被占用");
        QTest::newRow("EIO") << EIO << QStringLiteral("输入/输出错误");
    }

    void systemReasons()
    {
        QFETCH(int, code);
        QFETCH(QString, chinese);
        // As Qt reports it, with or without stray blanks.
        QCOMPARE(ChineseSystemError(qt_error_string(code)), chinese);
        QCOMPARE(ChineseSystemError(qt_error_string(code) + QLatin1Char(' ')), chinese);
    }

    void otherTextsPassUnchanged()
    {
        QCOMPARE(ChineseSystemError(QStringLiteral("设备已打开")), QStringLiteral("设备已打开"));
        QCOMPARE(ChineseSystemError(QStringLiteral("Something odd")), QStringLiteral("Something odd"));
    }

    void fileFailuresNameTheFile()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("没有/show.prj"));
        TProjectRecord r{};
        const QString open = ErrorOf([&] { ReadProjectFile(missing, r); });
        QCOMPARE(open, QStringLiteral("无法打开文件“%1”：文件或文件夹不存在").arg(missing));
        QCOMPARE(ErrorOf([&] { ReadWholeFile(missing); }), open);

        const QString write = ErrorOf([&] { WriteFileSafely(missing, QByteArray("x")); });
        QVERIFY2(write.startsWith(QStringLiteral("无法写入文件“%1”：").arg(missing)), qPrintable(write));
        QVERIFY2(!EnglishBeyond(write, {missing}), qPrintable(write));

        // A folder where a file is expected.
        const QString folder = ErrorOf([&] { ReadWholeFile(dir.path()); });
        QVERIFY2(folder.contains(dir.path()), qPrintable(folder));
        QVERIFY2(folder.endsWith(QStringLiteral("是文件夹，不是文件")), qPrintable(folder));
        QVERIFY2(!EnglishBeyond(folder, {dir.path()}), qPrintable(folder));

        // The picture loader keeps its own frame around the Chinese reason.
        QCOMPARE(ErrorOf([&] { LoadBmpFile(missing); }),
                 QStringLiteral("Cannot open file \"%1\". 文件或文件夹不存在").arg(missing));
    }

    void settingsFailuresNameTheFile()
    {
        // A plain file where the settings' folder should be.
        QTemporaryDir dir;
        const QString blocker = dir.filePath(QStringLiteral("blocker"));
        WriteRaw(blocker, "x");
        AppPaths::setRegistryFile(blocker + QStringLiteral("/Velmora.ini"));
        AppPaths::setSysSetupFile(blocker + QStringLiteral("/SysSetup"));
        const QString reg = ErrorOf([] { WriteRegString(QStringLiteral("CurFileName"), QStringLiteral("a.prj")); });
        QCOMPARE(reg, QStringLiteral("无法写入设置文件“%1/Velmora.ini”的“CurFileName”项").arg(blocker));
        QCOMPARE(ErrorOf([] { WriteAutoRunInterval(5); }),
                 QStringLiteral("无法写入设置文件“%1/SysSetup”").arg(blocker));
    }

    void portFailuresNameThePort()
    {
        // COM250 is /dev/ttyACM50, which no machine here has.
        const QString numberedName = QStringLiteral("\\\\.\\Com250");
        QtSerialPort numbered(numberedName);
        const QString text = LinkFailureOf(numberedName, [&] { numbered.open(); });
        QVERIFY2(text.startsWith(QStringLiteral("无法打开串口 COM250 (%1)：").arg(SerialDevicePath(250))),
                 qPrintable(text));
        QVERIFY2(!EnglishBeyond(text, {QStringLiteral("COM250"), SerialDevicePath(250)}), qPrintable(text));

        QTemporaryDir dir;
        const QString device = dir.filePath(QStringLiteral("tty-none"));
        QtSerialPort path(device);
        const QString byPath = LinkFailureOf(device, [&] { path.open(); });
        QVERIFY2(byPath.startsWith(QStringLiteral("无法打开串口 %1：").arg(device)), qPrintable(byPath));
        QVERIFY2(!EnglishBeyond(byPath, {device}), qPrintable(byPath));
    }

private:
    // What the operator reads when a step on the port fails.
    template <typename Step>
    static QString LinkFailureOf(const QString &portName, Step step)
    {
        try {
            step();
        } catch (const VelmoraError &e) {
            return LinkFailureText(portName, e);
        }
        return QString();
    }
};

QTEST_MAIN(TestErrorTexts)
#include "tst_errortexts.moc"
