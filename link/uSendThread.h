// The send worker: carries up to two frames to the display controller on a
// thread of its own and reports to a window through posted events.
#pragma once

#include "link/QtSerialPort.h"
#include "link/SerialPort.h"

#include <QByteArray>
#include <QEvent>
#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <memory>

// Posted to the notify object, in the order the worker reaches them.
// Progress: (0, 0) port open, bar at 0; (n > 0, 0) a payload of n bytes
// begins; (0, p) a chunk was written, position p; (-1, 0) hide the bar.
constexpr QEvent::Type WM_SENDPROGRESS = QEvent::Type(QEvent::User + 171);
// (1, 1): the worker has finished, normally or not; text is empty after a
// clean run, else the reason of the failure (LinkFailureText).
constexpr QEvent::Type WM_SENDDONE = QEvent::Type(QEvent::User + 165);
// The worker's effects on the window, applied on the window's thread:
// hourglass (wParam 1) or default cursor (0); the text of status panel 2;
// the port is open, so the commands are disabled.
constexpr QEvent::Type WM_SENDCURSOR = QEvent::Type(QEvent::User + 172);
constexpr QEvent::Type WM_SENDSTATUS = QEvent::Type(QEvent::User + 173);
constexpr QEvent::Type WM_SENDLOCK = QEvent::Type(QEvent::User + 174);

class TSendMessage : public QEvent {
public:
    TSendMessage(Type type, int wParam, int lParam, const QString &text = QString())
        : QEvent(type), wParam(wParam), lParam(lParam), text(text) {}
    const int wParam;
    const int lParam;
    const QString text;
};

// What carries a transmission: the ports, the clock of the pauses, and who
// is told of every write (may be null).
struct TLinkEnvironment {
    SerialPortFactory ports = SystemPorts();
    std::shared_ptr<LinkClock> clock = SystemClock();
    SerialPortObserver *observer = nullptr;
};

class TSendThread : public QThread {
    Q_OBJECT
public:
    // Starts at once and deletes itself when its run has ended. Records
    // itself in CurrentSendThread before the run can begin, so the worker
    // can never clear it before it was set.
    TSendThread(const QString &portName, int32_t baudRate, const QByteArray &frame1,
                const QByteArray &frame2, const QString &caption, QObject *notifyWnd,
                TLinkEnvironment environment = TLinkEnvironment());
    ~TSendThread() override;

protected:
    void run() override;

private:
    void Transmit();
    void SendFrame(const QByteArray &frame, bool firstSlot);
    void Write(const QByteArray &bytes);
    void Pause(int ms);
    void SetLine(SerialPort::Parity parity);
    void CleanUp(const QString &failure);
    void Post(QEvent::Type type, int wParam, int lParam, const QString &text = QString());

    QByteArray FFrame1;
    QByteArray FFrame2;
    QString FCaption;
    const QString FPortName;
    const int32_t FBaudRate;
    QObject *const FNotifyWnd;
    const int FChunkDelay = 50;
    const TLinkEnvironment m_environment;
    std::unique_ptr<SerialPort> m_port;
};

// What the operator reads when a transmission on portName failed: the kind
// of failure, the port and its device, and the system's reason.
QString LinkFailureText(const QString &portName, const VelmoraError &error);

// Carries a transmission through a worker without a window and returns when
// it has ended: an empty text, or why it failed. Needs the calling thread's
// event loop (the application's main thread).
QString RunTransmission(const QString &portName, int32_t baudRate, const QByteArray &frame1,
                        const QByteArray &frame2, const QString &caption,
                        TLinkEnvironment environment = TLinkEnvironment());

// The running transmission, or null when the link is idle. Set when a worker
// is created, cleared by the worker at the very end of its run.
extern std::atomic<TSendThread *> CurrentSendThread;
// True from the moment the worker opened the port until its clean-up.
extern std::atomic<bool> PortBusy;
