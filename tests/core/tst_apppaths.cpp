// Where SysSetup lives: beside a program run from its own folder, in the
// user's configuration folder for the installed program, even as root.
#include "app/AppPaths.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestAppPaths : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void besideProgramInWritableFolder();
    void installedProgramUsesConfigFolder();
};

void TestAppPaths::besideProgramInWritableFolder()
{
    QTemporaryDir dir;
    AppPaths::setProgramDir(dir.path());
    QCOMPARE(AppPaths::sysSetupFile(), dir.filePath(QStringLiteral("SysSetup")));
}

void TestAppPaths::installedProgramUsesConfigFolder()
{
    const QString bindir = QStringLiteral(VELMORA_INSTALLED_BINDIR);
    AppPaths::setProgramDir(bindir);
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QCOMPARE(AppPaths::sysSetupFile(), config + QStringLiteral("/SysSetup"));
    WriteAutoRunInterval(5);
    QCOMPARE(ReadAutoRunInterval(), 5);
    QVERIFY(!QFileInfo::exists(bindir + QStringLiteral("/SysSetup")));
    QFile::remove(config + QStringLiteral("/SysSetup"));
}

QTEST_MAIN(TestAppPaths)
#include "tst_apppaths.moc"
