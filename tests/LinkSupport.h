// Test support for the controller link: a virtual clock, so pauses cost no
// time and wire-log stamps are exact, and a receiver of the worker's messages.
#pragma once

#include "link/RecordingPort.h"
#include "sim/WireLog.h"
#include "link/uSendThread.h"

#include <QEventLoop>
#include <QList>
#include <QPointer>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <mutex>

// Time moves only when somebody sleeps.
class VirtualClock : public LinkClock {
public:
    int64_t nowNs() const override { return m_now.load(); }
    void sleepUntilNs(int64_t deadline) override
    {
        int64_t now = m_now.load();
        while (now < deadline && !m_now.compare_exchange_weak(now, deadline)) {
        }
    }

private:
    std::atomic<int64_t> m_now{0};
};

// A line as slow as the test wants: while held, the worker's first pause
// waits, so a transmission stays open until the test lets it go; then time
// is virtual again.
class HeldClock : public VirtualClock {
public:
    void hold()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_held = true;
    }
    void release()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_held = false;
        }
        m_released.notify_all();
    }
    bool waiting() const { return m_waiting.load() > 0; }   // a worker waits for the release
    void sleepUntilNs(int64_t deadline) override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_waiting;
        m_released.wait(lock, [this] { return !m_held; });
        --m_waiting;
        lock.unlock();
        VirtualClock::sleepUntilNs(deadline);
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_held = false;
    std::atomic<int> m_waiting{0};
};

struct LinkMessage {
    int type;
    int wParam, lParam;
    QString text;
    bool operator==(const LinkMessage &o) const
    {
        return type == o.type && wParam == o.wParam && lParam == o.lParam && text == o.text;
    }
};

inline QString ToString(const LinkMessage &m)
{
    return QStringLiteral("%1(%2,%3,%4)").arg(m.type - QEvent::User).arg(m.wParam).arg(m.lParam).arg(m.text);
}

// Stands in for the window: keeps every message and, at the last one,
// what the shared link state looked like.
class MessageCollector : public QObject {
public:
    QList<LinkMessage> messages;
    bool idleAtDone = false;   // CurrentSendThread and PortBusy both clear
    QEventLoop loop;

protected:
    void customEvent(QEvent *event) override
    {
        const auto *m = static_cast<TSendMessage *>(event);
        messages.append({int(event->type()), m->wParam, m->lParam, m->text});
        if (event->type() == WM_SENDDONE) {
            idleAtDone = CurrentSendThread.load() == nullptr && !PortBusy.load();
            loop.quit();
        }
    }
};

struct LinkRun {
    QStringList wire;
    QList<LinkMessage> messages;
    bool idleAtDone = false;
    int bytesOnWrongParity = 0;
};

// One transmission through the real worker into a recording port.
inline LinkRun Transmit(const QByteArray &frame1, const QByteArray &frame2,
                        const QString &caption = QStringLiteral("X"), int baud = 57600,
                        RecordingOptions options = {},
                        std::shared_ptr<LinkClock> clock = std::make_shared<VirtualClock>())
{
    auto log = std::make_shared<WireLog>();
    MessageCollector collector;
    TLinkEnvironment environment{RecordingPorts(log, clock, options), clock};
    QPointer<TSendThread> worker =
        new TSendThread(ComPortName(1), baud, frame1, frame2, caption, &collector, environment);
    collector.loop.exec();
    delete worker.data();   // waits for the thread's last steps
    return {log->lines(), collector.messages, collector.idleAtDone, log->bytesOnWrongParity()};
}

// The write events of a wire log.
inline QVector<WireEvent> Writes(const QStringList &wire)
{
    QVector<WireEvent> out;
    for (const WireEvent &e : ParseWireLog((wire.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()))
        if (e.kind == WireEvent::Write)
            out.append(e);
    return out;
}

// The events of a wire log without their time stamps.
inline QStringList WithoutStamps(const QStringList &wire)
{
    QStringList out;
    for (const QString &line : wire)
        out << (line.startsWith(QLatin1String("open ")) ? line : line.section(QLatin1Char(' '), 1));
    return out;
}

inline double StampOf(const QString &line)
{
    return line.section(QLatin1Char(' '), 0, 0).toDouble();
}
