#include "link/uSendThread.h"

#include "app/Errors.h"
#include "link/Frames.h"
#include "link/QtSerialPort.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

std::atomic<TSendThread *> CurrentSendThread{nullptr};
std::atomic<bool> PortBusy{false};

namespace {
constexpr int MaxChunk = 4096;
}

TSendThread::TSendThread(const QString &portName, int32_t baudRate, const QByteArray &frame1,
                         const QByteArray &frame2, const QString &caption, QObject *notifyWnd,
                         TLinkEnvironment environment)
    : FFrame1(frame1), FFrame2(frame2), FCaption(caption), FPortName(portName),
      FBaudRate(baudRate), FNotifyWnd(notifyWnd), m_environment(std::move(environment))
{
    connect(this, &QThread::finished, this, &QObject::deleteLater);
    CurrentSendThread.store(this);
    start();
}

TSendThread::~TSendThread()
{
    wait();
}

QString LinkFailureText(const QString &portName, const VelmoraError &error)
{
    const QString port = PortLabel(portName);
    const auto *link = dynamic_cast<const LinkError *>(&error);
    switch (link ? link->kind() : LinkError::WriteFailed) {
    case LinkError::OpenFailed:
        return QStringLiteral("无法打开串口 %1：%2").arg(port, error.text());
    case LinkError::Stalled:
        return QStringLiteral("线路停滞：%1 %2 秒内未送出任何字节")
            .arg(port).arg(SerialPort::DefaultStallLimitMs / 1000);
    case LinkError::Stopped:
        return QStringLiteral("发送已中止：%1").arg(port);
    case LinkError::WriteFailed:
        break;
    }
    return QStringLiteral("串口 %1 发送失败：%2").arg(port, error.text());
}

void TSendThread::run()
{
#ifdef Q_OS_LINUX
    // A sleeping thread is woken up to 50 us late by default; the worker's
    // many short waits would add that up into milliseconds on the wire.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    QString failure;
    try {
        Transmit();
    } catch (const VelmoraError &e) {
        failure = LinkFailureText(FPortName, e);
    } catch (const std::exception &e) {
        failure = LinkFailureText(FPortName, VelmoraError(QString::fromLocal8Bit(e.what())));
    }
    CleanUp(failure);
}

void TSendThread::Transmit()
{
    Post(WM_SENDCURSOR, 1, 0);
    m_port = m_environment.ports(FPortName);
    if (!m_port)
        throw LinkError(LinkError::OpenFailed, QStringLiteral("没有这个串口"));
    m_port->setObserver(m_environment.observer);
    // A window that closes asks the worker to stop, also inside a write.
    m_port->setStopRequest([this] { return isInterruptionRequested(); });
    m_port->setBaudRate(FBaudRate == 9600 ? 9600 : 57600);
    SetLine(SerialPort::Mark);
    m_port->open();
    PortBusy.store(true);
    Post(WM_SENDLOCK, 0, 0);
    Post(WM_SENDPROGRESS, 0, 0);
    if (!FFrame1.isEmpty())
        SendFrame(FFrame1, true);
    Pause(10);
    if (!FFrame2.isEmpty()) {
        SetLine(SerialPort::Mark);
        SendFrame(FFrame2, false);
    }
}

void TSendThread::SetLine(SerialPort::Parity parity)
{
    m_port->setParity(parity);
    m_port->setDataBits(8);
    m_port->setStopBits(1);
}

// The address byte twice on Mark parity marks the start of a frame; the
// command byte and everything after it go on Space parity.
void TSendThread::SendFrame(const QByteArray &frame, bool firstSlot)
{
    const uint8_t command = frame.size() > 1 ? uint8_t(frame.at(1)) : 0;
    const int header = command == CmdTempMessage ? 3 : 2;
    if (frame.size() <= header)
        throw LinkError(LinkError::WriteFailed,
                        QStringLiteral("数据帧只有%1字节，没有内容").arg(frame.size()));

    Post(WM_SENDSTATUS, 0, 0, QStringLiteral("正在连接显示屏..."));
    Write(QByteArray(2, frame.at(0)));
    Pause(5);
    m_port->setParity(SerialPort::Space);
    if (firstSlot)
        Pause(50);
    Write(frame.mid(1, 1));
    if (const int settle = SettleWaitMs(command))
        Pause(settle);
    Post(WM_SENDSTATUS, 0, 0, QStringLiteral("正在向显示屏") + FCaption + QStringLiteral("..."));
    if (header == 3)
        Write(frame.mid(2, 1));   // the segment count, on its own

    int left = int(frame.size()) - header;
    Post(WM_SENDPROGRESS, left, 0);
    int position = header + 1;   // 1-based, as the progress bar counts
    int chunk = std::min(left, MaxChunk);
    do {
        Write(frame.mid(position - 1, chunk));
        left -= chunk;
        position += chunk;
        chunk = std::min(chunk, left);
        Post(WM_SENDPROGRESS, 0, position);
        Pause(FChunkDelay);
    } while (left > 0);
    Post(WM_SENDSTATUS, 0, 0, QStringLiteral("向显示屏") + FCaption + QStringLiteral("完毕！"));
}

void TSendThread::Write(const QByteArray &bytes)
{
    if (isInterruptionRequested())
        throw LinkError(LinkError::Stopped, QStringLiteral("发送已中止"));
    m_port->write(bytes);
}

// The controller needs the gap on the wire: it starts when the bytes before
// it have left the line (not when the driver took them) or now, whichever is
// later, and its deadline does not move however late the drain woke up.
void TSendThread::Pause(int ms)
{
    LinkClock &clock = *m_environment.clock;
    const int64_t reached = clock.nowNs();
    const int64_t lineEmpty = m_port->drain();
    const int64_t start = std::max(reached, std::min(lineEmpty, clock.nowNs()));
    clock.sleepUntilNs(start + int64_t(ms) * 1000000);
}

void TSendThread::CleanUp(const QString &failure)
{
    // After a failure the driver's leftovers are dropped: they would go out
    // later, perhaps on another transmission's parity.
    if (m_port && failure.isEmpty())
        m_port->close();
    else if (m_port)
        m_port->abandon();
    m_port.reset();
    FFrame1.clear();
    FFrame2.clear();
    FCaption.clear();
    Post(WM_SENDCURSOR, 0, 0);
    Post(WM_SENDPROGRESS, -1, 0);
    PortBusy.store(false);
    TSendThread *self = this;
    CurrentSendThread.compare_exchange_strong(self, nullptr);
    Post(WM_SENDDONE, 1, 1, failure);
}

void TSendThread::Post(QEvent::Type type, int wParam, int lParam, const QString &text)
{
    if (FNotifyWnd)
        QCoreApplication::postEvent(FNotifyWnd, new TSendMessage(type, wParam, lParam, text));
}

namespace {
// Ends the loop at the worker's last message and keeps its failure text.
class DoneWaiter : public QObject {
public:
    QEventLoop loop;
    QString failure;

protected:
    void customEvent(QEvent *event) override
    {
        if (event->type() == WM_SENDDONE) {
            failure = static_cast<TSendMessage *>(event)->text;
            loop.quit();
        }
    }
};
} // namespace

QString RunTransmission(const QString &portName, int32_t baudRate, const QByteArray &frame1,
                        const QByteArray &frame2, const QString &caption,
                        TLinkEnvironment environment)
{
    DoneWaiter waiter;
    QPointer<TSendThread> worker = new TSendThread(portName, baudRate, frame1, frame2, caption,
                                                   &waiter, std::move(environment));
    waiter.loop.exec();
    delete worker.data();   // waits for the thread's last steps; null when already freed
    return waiter.failure;
}
