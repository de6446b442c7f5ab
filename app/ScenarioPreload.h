// The remembered project's scenario, read and wrapped into pages on a worker
// thread while the main window is still being built: with a big show the
// page list is ready soon after the window appears, and the window is never
// held up by the load.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class PageStore;
class QSemaphore;
class QThread;

class ScenarioPreload : public QObject {
    Q_OBJECT
public:
    explicit ScenarioPreload(QObject *parent = nullptr);   // starts the worker
    ~ScenarioPreload() override;                           // waits for it
    bool isFinished() const;
    void wait();
    // After finished: moves the pages into store when the worker read the
    // scenario at path and wrapped it at store's width; bytes gets the file
    // as read. False when it read another file or could not read it (the caller loads it itself, and
    // reports what goes wrong).
    bool take(const QString &path, PageStore &store, QByteArray &bytes);
    // Workers started while a gate is set acquire one of its resources
    // before they read (and give it back): tests see the window before its
    // list is filled. nullptr: no gate.
    static void setStartGate(QSemaphore *gate);

signals:
    void finished();

private:
    void run();

    QThread *m_thread;
    QString m_path;   // the scenario read; empty when nothing was
    QByteArray m_bytes;
    std::unique_ptr<PageStore> m_store;
};
