// The project record: layout, defaults, the .prj file and the registry value.
#include "app/AppPaths.h"
#include "app/Errors.h"
#include "app/Gbk.h"
#include "app/ProjectFile.h"
#include "app/Struct.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestRecord : public QObject {
    Q_OBJECT
private slots:
    void startupDefaultsBytes();
};

void TestRecord::startupDefaultsBytes()
{
    TProjectRecord r{};
    SetStartupDefaults(r);
    const QByteArray bytes(reinterpret_cast<const char *>(&r), sizeof r);
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

QTEST_MAIN(TestRecord)
#include "tst_record.moc"
