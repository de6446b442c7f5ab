// A main window for dialog tests: registry and settings files in a temporary
// folder, message boxes answered by a ScriptedPrompter, shown once so that it
// holds the start-up defaults.
#pragma once

#include "ScriptedPrompter.h"

#include "app/AppPaths.h"
#include "app/ProjectFile.h"
#include "app/Struct.h"
#include "app/uMain.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

// The program's working folder, registry and settings files in a test's own folder.
inline void UseTestFolder(const QTemporaryDir &dir)
{
    QDir::setCurrent(dir.path());
    AppPaths::setRegistryFile(dir.filePath(QStringLiteral("Velmora.ini")));
    AppPaths::setSysSetupFile(dir.filePath(QStringLiteral("SysSetup")));
}

// The per-case set-up of the window tests: the folder of the registry and
// settings files made afresh in init(), a prompter that answers, new windows.
class WindowCase {
protected:
    void beginCase()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        UseTestFolder(*m_dir);
        m_prompter = ScriptedPrompter();
    }
    std::unique_ptr<TFrm_Main> newWindow()
    {
        auto w = std::make_unique<TFrm_Main>(&m_prompter);
        w->show();
        return w;
    }

    // A project with the start-up defaults naming scenario, written as
    // project (in the case's folder) and remembered as the last project.
    QString rememberProject(const QString &scenario,
                            const QString &project = QStringLiteral("show.prj"))
    {
        TProjectRecord r{};
        SetStartupDefaults(r);
        r.ScenarioFile.setText(scenario);
        const QString path = m_dir->filePath(project);
        WriteProjectFile(path, r);
        WriteRegString(QStringLiteral("CurFileName"), path);
        return path;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
};

struct TestWindow {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<TFrm_Main> main;

    TestWindow()
    {
        UseTestFolder(dir);
        main = std::make_unique<TFrm_Main>(&prompter);
        main->show();
    }
};

// Runs answer on the modal dialog that opens next.
inline void WhenModal(const std::function<void(QWidget *)> &answer)
{
    QTimer::singleShot(0, [answer] { answer(QApplication::activeModalWidget()); });
}
