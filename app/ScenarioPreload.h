// The remembered project's scenario, read and wrapped into pages on a worker
// thread while the main window is still being built: with a big show the
// page list is ready soon after the window appears, and the window is never
// held up by the load. The widths of the characters come from the widths
// remembered at earlier starts where they can; when the window lets it
// (once its list is on the screen, so that the fonts are not loaded twice
// at once) the worker measures those again and reports any that changed.
#pragma once

#include "app/PageStore.h"

#include <QByteArray>
#include <QObject>
#include <QSemaphore>
#include <QString>
#include <atomic>
#include <memory>
#include <vector>

class QThread;

class ScenarioPreload : public QObject {
    Q_OBJECT
public:
    explicit ScenarioPreload(QObject *parent = nullptr);   // starts the worker
    ~ScenarioPreload() override;                           // waits for it
    bool isLoaded() const { return m_loaded; }
    void waitLoaded();
    // Lets the worker check the remembered widths.
    void startCheck();
    void wait();   // the whole worker, the check of the widths included
    // After loaded: moves the pages into store when the worker read the
    // scenario at path and wrapped it at store's width; bytes gets the file
    // as read. False when it read another file or could not read it (the
    // caller loads it itself, and reports what goes wrong).
    bool take(const QString &path, PageStore &store, QByteArray &bytes);
    // Frees pages that will not be taken.
    void release();
    // After done(): the remembered widths that measured otherwise, with their
    // width now. Pages wrapped with the old ones must take these.
    const std::vector<CharWidth> &corrections() const { return m_corrections; }
    // Workers started while a gate is set acquire one of its resources
    // before they read (and give it back): tests see the window before its
    // list is filled. nullptr: no gate.
    static void setStartGate(QSemaphore *gate);

signals:
    void loaded();
    void done();   // the worker has ended

private:
    void run();
    // The pages, or nothing when no scenario could be read. remembered gets
    // the widths given to them from the cache; returns those and the ones
    // they measured.
    std::vector<CharWidth> load(std::vector<CharWidth> &remembered);
    void publish();
    void checkWidths(const std::vector<CharWidth> &remembered, const std::vector<CharWidth> &known);

    QThread *m_thread;
    QString m_path;   // the scenario read; empty when nothing was
    QByteArray m_bytes;
    std::unique_ptr<PageStore> m_store;
    std::atomic<bool> m_loaded{false};
    QSemaphore m_loadedSignal;
    QSemaphore m_checkGate;
    std::atomic<bool> m_closing{false};   // no check: the window goes
    std::vector<CharWidth> m_corrections;
};
