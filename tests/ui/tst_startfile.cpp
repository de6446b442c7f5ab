// The project named on the command line (a double-click on a .prj): it
// replaces the remembered project at start-up; one that cannot be read is
// reported as Open reports it and the remembered project loads instead.
#include "TestFiles.h"
#include "ScriptedPrompter.h"
#include "TestWindow.h"

#include "app/AppPaths.h"
#include "app/Gbk.h"
#include "app/ProjectFile.h"
#include "app/uMain.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class TestStartFile : public QObject, WindowCase {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void argumentReplacesRememberedProject();
    void unreadableArgumentStillStartsWithRemembered_data();
    void unreadableArgumentStillStartsWithRemembered();

private:
    std::unique_ptr<TFrm_Main> start(const QString &file);
    QString makeProject(const QString &name, int width, const QString &scenario = QString());

    QString m_remembered;
};

void TestStartFile::init()
{
    beginCase();
    m_remembered = makeProject(QStringLiteral("remembered.prj"), 320);
    WriteRegString(QStringLiteral("CurFileName"), m_remembered);
}

void TestStartFile::cleanup() { m_dir.reset(); }

std::unique_ptr<TFrm_Main> TestStartFile::start(const QString &file)
{
    auto window = std::make_unique<TFrm_Main>(&m_prompter);
    window->SetStartupFile(file);
    window->show();
    return window;
}

QString TestStartFile::makeProject(const QString &name, int width, const QString &scenario)
{
    TProjectRecord r{};
    SetStartupDefaults(r);
    r.ScreenWidth = width;
    r.ScenarioFile.setText(scenario);
    const QString path = m_dir->filePath(name);
    WriteProjectFile(path, r);
    return path;
}

void TestStartFile::argumentReplacesRememberedProject()
{
    const QString scenario = m_dir->filePath(QStringLiteral("演出.txt"));
    WriteRaw(scenario, ToGbk(QStringLiteral("第一幕\r\n第二幕\r\n")));
    const QString show = makeProject(QStringLiteral("演出.prj"), 512, scenario);

    auto w = start(QStringLiteral("演出.prj"));   // relative to the current folder
    QVERIFY(m_prompter.errors.isEmpty());
    QCOMPARE(w->Project.CurFileName, show);       // kept as an absolute path
    QVERIFY(w->windowTitle().endsWith(QStringLiteral("[") + show + QStringLiteral("]")));
    QCOMPARE(w->Record().ScreenWidth, 512);
    QVERIFY(w->Project.ProjectSaved);
    QVERIFY(!w->Project.ProjectUntitled);
    QCOMPARE(w->PageCount(), 2);
    QCOMPARE(w->PageText(1), QStringLiteral("第二幕"));
    // As after Open, the next start without an argument reopens it.
    QCOMPARE(ReadRegString(QStringLiteral("CurFileName"), QString()), show);
}

void TestStartFile::unreadableArgumentStillStartsWithRemembered_data()
{
    QTest::addColumn<QByteArray>("content");   // empty: the file does not exist
    QTest::addColumn<QString>("error");   // %1: the file
    QTest::newRow("missing") << QByteArray() << QStringLiteral("无法打开文件“%1”：文件或文件夹不存在");
    QTest::newRow("short") << QByteArray(100, '\x09') << QStringLiteral("Read beyond end of file");
}

void TestStartFile::unreadableArgumentStillStartsWithRemembered()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    const QString bad = m_dir->filePath(QStringLiteral("bad.prj"));
    if (!content.isEmpty())
        WriteRaw(bad, content);

    auto w = start(bad);
    QCOMPARE(m_prompter.errors, QStringList{error.contains(QStringLiteral("%1")) ? error.arg(bad) : error});
    QVERIFY(w->isVisible());
    QCOMPARE(w->Project.CurFileName, m_remembered);
    QCOMPARE(w->Record().ScreenWidth, 320);
    QVERIFY(w->Project.ProjectSaved);
    QCOMPARE(ReadRegString(QStringLiteral("CurFileName"), QString()), m_remembered);
    QCOMPARE(ReadRaw(bad), content);   // never written
}

QTEST_MAIN(TestStartFile)
#include "tst_startfile.moc"
