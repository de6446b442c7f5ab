// The main window's project life cycle: start-up, New, Open, Save, Save As,
// Exit and close, with the flags, title and remembered project they leave.
#include "TestFiles.h"
#include "ScriptedPrompter.h"
#include "TestWindow.h"

#include "app/AppPaths.h"
#include "app/ProjectFile.h"
#include "app/uAbout.h"
#include "app/uMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {
const QString Untitled = QStringLiteral("未命名");

QString Title(const QString &name)
{
    return QStringLiteral("Velmora舞台字幕编辑系统 -- [") + name + QLatin1Char(']');
}

} // namespace

class TestMainWindow : public QObject, WindowCase {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void firstStart();
    void rememberedProject();
    void damagedRememberedProject();
    void newTwiceAsksForNameTheSecondTime();
    void newSavesChangedTitledProjectSilently();
    void openOnUntitledCancelChangesNothing();
    void openOnUntitledNoReadsFile();
    void openSavesChangedTitledProjectFirst();
    void openCancelledStillWritesRegistry();
    void openShortFileRefused();
    void saveUntitledGoesToSaveAs();
    void exitAndCloseQuestions();
    void autoRunIntervalFromSysSetup();
    void hotKeyOpensAboutBox();

private:
    std::unique_ptr<TFrm_Main> start();
    QString registryValue() const;
    QString makeProject(const QString &name, int width);

};

void TestMainWindow::init()
{
    beginCase();   // the untitled project saves to "未命名" in its folder
}

void TestMainWindow::cleanup() { m_dir.reset(); }

std::unique_ptr<TFrm_Main> TestMainWindow::start()
{
    auto window = newWindow();
    return window;
}

QString TestMainWindow::registryValue() const
{
    return ReadRegString(QStringLiteral("CurFileName"), QStringLiteral("<none>"));
}

QString TestMainWindow::makeProject(const QString &name, int width)
{
    TProjectRecord r{};
    SetStartupDefaults(r);
    r.ScreenWidth = width;
    const QString path = m_dir->filePath(name);
    WriteProjectFile(path, r);
    return path;
}

void TestMainWindow::firstStart()
{
    auto w = start();
    QCOMPARE(w->windowTitle(), Title(Untitled));
    QCOMPARE(w->Project.CurFileName, Untitled);
    QVERIFY(w->Project.ProjectSaved);
    QVERIFY(!w->Project.ProjectUntitled);
    QCOMPARE(w->Record().ScreenWidth, 256);
    QCOMPARE(w->Record().FontName.text(), QStringLiteral("宋体"));
    QCOMPARE(registryValue(), QStringLiteral("<none>"));   // only read at start-up

    // Titled and saved: Exit asks nothing.
    w->ExitClick();
    QVERIFY(m_prompter.messages.isEmpty());
    QVERIFY(!w->isVisible());

    // Save of that first start writes "未命名" in the current folder silently.
    auto again = start();
    again->SaveClick();
    QVERIFY(m_prompter.saveRequests.isEmpty());
    QCOMPARE(ReadRaw(m_dir->filePath(Untitled)).size(), 1856);
}

void TestMainWindow::rememberedProject()
{
    const QString path = makeProject(QStringLiteral("show.prj"), 320);
    WriteRegString(QStringLiteral("CurFileName"), path);
    auto w = start();
    QCOMPARE(w->windowTitle(), Title(path));
    QCOMPARE(w->Record().ScreenWidth, 320);
    QVERIFY(w->Project.ProjectSaved);
    QVERIFY(!w->Project.ProjectUntitled);
}

void TestMainWindow::damagedRememberedProject()
{
    const QString path = m_dir->filePath(QStringLiteral("bad.prj"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(100, '\x09'));
    f.close();
    WriteRegString(QStringLiteral("CurFileName"), path);
    auto w = start();
    QCOMPARE(m_prompter.errors, QStringList{QStringLiteral("Read beyond end of file")});
    QVERIFY(!w->Project.ProjectSaved);
    QVERIFY(!w->Project.ProjectUntitled);
    QCOMPARE(w->Record().ScreenWidth, 256);   // usable defaults, not a zeroed record
    QCOMPARE(ReadRaw(path), QByteArray(100, '\x09'));
}

void TestMainWindow::newTwiceAsksForNameTheSecondTime()
{
    auto w = start();
    w->Record().ScreenWidth = 512;
    w->Record().FontName.setText(QStringLiteral("黑体"));
    w->NewClick();   // titled and saved: no question, no dialog
    QVERIFY(m_prompter.saveRequests.isEmpty());
    QVERIFY(w->Project.ProjectUntitled);
    QCOMPARE(w->Record().ScreenWidth, 256);
    QCOMPARE(w->Record().FontName.text(), QStringLiteral("黑体"));
    QCOMPARE(w->windowTitle(), Title(Untitled));
    QCOMPARE(registryValue(), Untitled);

    m_prompter.savePaths = {QString()};   // cancel the Save As
    w->NewClick();
    QCOMPARE(m_prompter.saveRequests.size(), 1);
    QCOMPARE(m_prompter.saveRequests.first().filter, QStringLiteral("工程文件(*.prj)|*.prj"));
    QVERIFY(w->Project.ProjectUntitled);
    QVERIFY(m_prompter.messages.isEmpty());
}

void TestMainWindow::newSavesChangedTitledProjectSilently()
{
    const QString path = makeProject(QStringLiteral("a.prj"), 256);
    WriteRegString(QStringLiteral("CurFileName"), path);
    auto w = start();
    w->Record().ScreenHeight = 64;
    w->Project.ProjectSaved = false;
    w->NewClick();
    QVERIFY(m_prompter.messages.isEmpty());
    TProjectRecord onDisk{};
    ReadProjectFile(path, onDisk);
    QCOMPARE(onDisk.ScreenHeight, 64);
    QVERIFY(w->Project.ProjectUntitled);
}

void TestMainWindow::openOnUntitledCancelChangesNothing()
{
    const QString other = makeProject(QStringLiteral("b.prj"), 384);
    auto w = start();
    w->NewClick();
    WriteRegString(QStringLiteral("CurFileName"), QStringLiteral("marker"));
    m_prompter.openPaths = {other};
    m_prompter.answers = {Prompter::Cancel};
    w->OpenClick();
    QCOMPARE(m_prompter.messages.size(), 1);
    const auto &m = m_prompter.messages.first();
    QCOMPARE(m.text, QStringLiteral("是否保存到文件未命名？"));
    QCOMPARE(m.caption, QStringLiteral("提示"));
    QCOMPARE(m.icon, Prompter::Warning);
    QCOMPARE(m.buttons, Prompter::Yes | Prompter::No | Prompter::Cancel);
    QCOMPARE(w->Record().ScreenWidth, 256);
    QVERIFY(w->Project.ProjectUntitled);
    QCOMPARE(registryValue(), QStringLiteral("marker"));
}

void TestMainWindow::openOnUntitledNoReadsFile()
{
    const QString other = makeProject(QStringLiteral("b.prj"), 384);
    auto w = start();
    w->NewClick();
    m_prompter.openPaths = {other};
    m_prompter.answers = {Prompter::No};
    w->OpenClick();
    QCOMPARE(w->Record().ScreenWidth, 384);
    QCOMPARE(w->Project.CurFileName, other);
    QVERIFY(!w->Project.ProjectUntitled);
    QVERIFY(w->Project.ProjectSaved);
    QCOMPARE(w->windowTitle(), Title(other));
    QCOMPARE(registryValue(), other);
    QVERIFY(m_prompter.saveRequests.isEmpty());
}

void TestMainWindow::openSavesChangedTitledProjectFirst()
{
    const QString mine = makeProject(QStringLiteral("a.prj"), 256);
    const QString other = makeProject(QStringLiteral("b.prj"), 384);
    WriteRegString(QStringLiteral("CurFileName"), mine);
    auto w = start();
    w->Record().ShowTime = 9;
    w->Project.ProjectSaved = false;
    m_prompter.openPaths = {other};
    w->OpenClick();
    QVERIFY(m_prompter.messages.isEmpty());
    TProjectRecord onDisk{};
    ReadProjectFile(mine, onDisk);
    QCOMPARE(int(onDisk.ShowTime), 9);
    QCOMPARE(w->Record().ScreenWidth, 384);
}

void TestMainWindow::openCancelledStillWritesRegistry()
{
    auto w = start();
    WriteRegString(QStringLiteral("CurFileName"), QStringLiteral("marker"));
    m_prompter.openPaths = {QString()};
    w->OpenClick();
    QCOMPARE(registryValue(), Untitled);
    QCOMPARE(w->windowTitle(), Title(Untitled));
}

void TestMainWindow::openShortFileRefused()
{
    const QString path = m_dir->filePath(QStringLiteral("short.prj"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(100, '\x01'));
    f.close();
    auto w = start();
    WriteRegString(QStringLiteral("CurFileName"), QStringLiteral("marker"));
    const QByteArray before(reinterpret_cast<const char *>(&w->Record()), sizeof(TProjectRecord));
    m_prompter.openPaths = {path};
    w->OpenClick();
    QCOMPARE(m_prompter.errors, QStringList{QStringLiteral("Read beyond end of file")});
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(&w->Record()), sizeof(TProjectRecord)), before);
    QCOMPARE(w->Project.CurFileName, Untitled);
    QCOMPARE(registryValue(), QStringLiteral("marker"));   // stopped before the registry step
}

void TestMainWindow::saveUntitledGoesToSaveAs()
{
    auto w = start();
    w->NewClick();
    m_prompter.savePaths = {QString()};
    w->SaveClick();
    QCOMPARE(m_prompter.saveRequests.size(), 1);
    QVERIFY(w->Project.ProjectUntitled);

    const QString path = m_dir->filePath(QStringLiteral("named.prj"));
    m_prompter.savePaths = {path};
    w->Project.ProjectSaved = false;
    w->SaveClick();
    QVERIFY(!w->Project.ProjectUntitled);
    QVERIFY(w->Project.ProjectSaved);
    QCOMPARE(w->windowTitle(), Title(path));
    QCOMPARE(registryValue(), path);
    QCOMPARE(ReadRaw(path).size(), 1856);
}

void TestMainWindow::exitAndCloseQuestions()
{
    const QString path = makeProject(QStringLiteral("a.prj"), 256);
    WriteRegString(QStringLiteral("CurFileName"), path);

    // Exit, 保存: saved through SaveProject.
    {
        auto w = start();
        w->Record().RunSpeed = 4;
        w->Project.ProjectSaved = false;
        m_prompter.answers = {Prompter::Save};
        w->ExitClick();
        QCOMPARE(m_prompter.messages.size(), 1);
        QCOMPARE(m_prompter.messages.first().text, QStringLiteral("是否将改动保存到文件？"));
        QCOMPARE(m_prompter.messages.first().buttons, Prompter::Save | Prompter::Discard | Prompter::Cancel);
        QCOMPARE(m_prompter.messages.first().icon, Prompter::Warning);
        QVERIFY(!w->isVisible());
        TProjectRecord onDisk{};
        ReadProjectFile(path, onDisk);
        QCOMPARE(int(onDisk.RunSpeed), 4);
    }
    // The close box and Exit, 取消: back to the show, nothing saved; then
    // 不保存: closes without saving.
    {
        m_prompter.messages.clear();
        auto w = start();
        w->Record().RunSpeed = 8;
        w->Project.ProjectSaved = false;
        m_prompter.answers = {Prompter::Cancel, Prompter::Cancel, Prompter::Discard};
        QVERIFY(!w->close());
        w->ExitClick();
        QVERIFY(w->isVisible());
        QCOMPARE(int(w->Record().RunSpeed), 8);
        QVERIFY(w->close());
        QCOMPARE(m_prompter.messages.size(), 3);
        TProjectRecord onDisk{};
        ReadProjectFile(path, onDisk);
        QCOMPARE(int(onDisk.RunSpeed), 4);
    }
    // Untitled, close box, 保存: goes through Save As; a cancelled Save As
    // dialog keeps the window open.
    {
        m_prompter.messages.clear();
        auto w = start();
        w->NewClick();
        m_prompter.answers = {Prompter::Save, Prompter::Save};
        const QString as = m_dir->filePath(QStringLiteral("as.prj"));
        m_prompter.savePaths = {QString(), as};
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QVERIFY(!QFile::exists(as));
        QVERIFY(w->close());
        QCOMPARE(ReadRaw(as).size(), 1856);
    }
}

void TestMainWindow::autoRunIntervalFromSysSetup()
{
    {
        auto w = start();
        QCOMPARE(w->SpinEdit1->value(), 2);
    }
    QFile f(AppPaths::sysSetupFile());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[Main]\nnAutoRunInterVal=9\n");
    f.close();
    auto w = start();
    QCOMPARE(w->SpinEdit1->value(), 9);
    w->SpinEdit1->setValue(17);
    QCOMPARE(ReadAutoRunInterval(), 17);
}

void TestMainWindow::hotKeyOpensAboutBox()
{
    auto w = start();
    QString seen;
    QTimer::singleShot(0, this, [&] {
        if (auto *box = qobject_cast<TAboutBox *>(QApplication::activeModalWidget())) {
            seen = box->windowTitle();
            box->OKButton->click();
        }
    });
    w->HotKeyPressed(1, 106);
    QCOMPARE(seen, QStringLiteral("About"));

    // Other hot-key messages are ignored: no box, so nothing blocks here.
    w->HotKeyPressed(2, 106);
    w->HotKeyPressed(1, 107);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
