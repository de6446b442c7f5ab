#include "app/ScenarioPreload.h"

#include "app/ProjectFile.h"
#include "app/ScenarioEncodings.h"
#include "app/ScenarioFile.h"
#include "app/Struct.h"
#include "app/WrapWidths.h"
#include "render/Faces.h"

#include <QFile>
#include <QThread>

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
    connect(m_thread, &QThread::finished, this, &ScenarioPreload::done);
    m_thread->start();
}

ScenarioPreload::~ScenarioPreload()
{
    m_closing = true;
    startCheck();
    m_thread->wait();
    delete m_thread;
}

void ScenarioPreload::waitLoaded()
{
    m_loadedSignal.acquire();
    m_loadedSignal.release();
}

void ScenarioPreload::startCheck() { m_checkGate.release(); }

void ScenarioPreload::wait() { m_thread->wait(); }

void ScenarioPreload::run()
{
    std::vector<CharWidth> remembered;
    const std::vector<CharWidth> known = load(remembered);
    publish();
    // From here the pages are the window's: only the widths are worked on.
    m_checkGate.acquire();
    if (!known.empty())
        checkWidths(remembered, known);
}

// Remembers the widths the load measured, and those the remembered ones
// measure now.
void ScenarioPreload::checkWidths(const std::vector<CharWidth> &remembered, const std::vector<CharWidth> &known)
{
    if (!m_closing)
        m_corrections = CheckWrapWidths(remembered);
    if (known.size() == remembered.size() && m_corrections.empty())
        return;
    PageStore merged;
    merged.setWidths(known);
    merged.setWidths(m_corrections);
    WriteWrapWidths(merged.widths());
}

// The same steps as the window's start-up load, without its messages: what
// fails here is done again, and reported, by the window.
std::vector<CharWidth> ScenarioPreload::load(std::vector<CharWidth> &remembered)
{
    try {
        const QString project = ReadRegString(QStringLiteral("CurFileName"), QString());
        if (project.isEmpty() || !QFile::exists(project))
            return {};
        TProjectRecord record{};
        SetStartupDefaults(record);
        ReadProjectFile(project, record);
        const QString path = ResolveScenarioPath(record.ScenarioFile.text(), project);
        if (path.isEmpty() || IsForeignDrivePath(path) || !QFile::exists(path))
            return {};
        QByteArray bytes = ReadScenarioFile(path);
        remembered = ReadWrapWidths();
        auto store = std::make_unique<PageStore>();
        store->setWidths(remembered);
        store->load(bytes, ScenarioEncoding(path, bytes));
        std::vector<CharWidth> known = store->widths();
        m_bytes = std::move(bytes);
        m_store = std::move(store);
        m_path = path;
        return known;
    } catch (...) {
        // nothing taken: the window loads the file again and reports why
        return {};
    }
}

void ScenarioPreload::publish()
{
    m_loaded = true;
    m_loadedSignal.release();
    emit loaded();
}

bool ScenarioPreload::take(const QString &path, PageStore &store, QByteArray &bytes)
{
    if (!isLoaded() || !m_store || path != m_path || m_store->wrapWidth() != store.wrapWidth())
        return false;
    store.adopt(std::move(*m_store));
    bytes = std::move(m_bytes);
    release();
    return true;
}

void ScenarioPreload::release()
{
    if (!isLoaded())
        return;
    m_store.reset();
    m_bytes.clear();
    m_path.clear();
}
