#include "app/ScenarioPreload.h"

#include "app/PageStore.h"
#include "app/ProjectFile.h"
#include "app/ScenarioFile.h"
#include "app/Struct.h"
#include "render/Faces.h"

#include <QFile>
#include <QSemaphore>
#include <QThread>

#include <atomic>

namespace {
std::atomic<QSemaphore *> StartGate{nullptr};
} // namespace

void ScenarioPreload::setStartGate(QSemaphore *gate) { StartGate = gate; }

ScenarioPreload::ScenarioPreload(QObject *parent) : QObject(parent)
{
    // The face table is global: filled here, before a second thread uses fonts.
    EnsureFaceSubstitutions();
    m_thread = QThread::create([this, gate = StartGate.load()] {
        if (gate) {
            gate->acquire();
            gate->release();
        }
        run();
    });
    connect(m_thread, &QThread::finished, this, &ScenarioPreload::finished);
    m_thread->start();
}

ScenarioPreload::~ScenarioPreload()
{
    m_thread->wait();
    delete m_thread;
}

bool ScenarioPreload::isFinished() const { return m_thread->isFinished(); }

void ScenarioPreload::wait() { m_thread->wait(); }

// The same steps as the window's start-up load, without its messages: what
// fails here is done again, and reported, by the window.
void ScenarioPreload::run()
{
    try {
        const QString project = ReadRegString(QStringLiteral("CurFileName"), QString());
        if (project.isEmpty() || !QFile::exists(project))
            return;
        TProjectRecord record{};
        SetStartupDefaults(record);
        ReadProjectFile(project, record);
        const QString path = ResolveScenarioPath(record.ScenarioFile.text(), project);
        if (path.isEmpty() || IsForeignDrivePath(path) || !QFile::exists(path))
            return;
        QByteArray bytes = ReadWholeFile(path);
        auto store = std::make_unique<PageStore>();
        store->load(bytes);
        m_bytes = std::move(bytes);
        m_store = std::move(store);
        m_path = path;
    } catch (...) {
        // nothing taken: the window loads the file again and reports why
    }
}

bool ScenarioPreload::take(const QString &path, PageStore &store, QByteArray &bytes)
{
    if (!isFinished() || !m_store || path != m_path || m_store->wrapWidth() != store.wrapWidth())
        return false;
    store.adopt(std::move(*m_store));
    bytes = std::move(m_bytes);
    m_store.reset();
    m_path.clear();
    return true;
}
