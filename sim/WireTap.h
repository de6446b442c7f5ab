// The tap on the writes of the send worker: whatever port the worker uses,
// the bytes it wrote reach the user-interface thread in order, through queued
// signals, and feed the controller simulator that the LED monitor shows.
#pragma once

#include "sim/ControllerSimulator.h"
#include "link/SerialPort.h"

#include <QByteArray>
#include <QObject>

class WireTap : public QObject, public SerialPortObserver {
    Q_OBJECT
public:
    // Lives on the user-interface thread. record: the project whose display
    // sizes the simulator uses for frames with no screen parameters; read on
    // that thread only, at every open of a port. Not owned; may be null.
    explicit WireTap(const TProjectRecord *record, QObject *parent = nullptr);

    // From any thread: a port was opened, wrote bytes on a parity, was closed.
    void opened() override;
    void written(const QByteArray &bytes, bool mark) override;
    void closed() override;

    ControllerSimulator &simulator() { return m_simulator; }

signals:
    // After the simulator took what a port did (user-interface thread).
    void changed();

    // Carriers from the worker's thread to this object's thread.
    void openedAt(qint64 msecsSinceEpoch);
    void writtenAt(const QByteArray &bytes, bool mark, qint64 msecsSinceEpoch);
    void closedAt(qint64 msecsSinceEpoch);

private:
    const TProjectRecord *m_record;
    ControllerSimulator m_simulator;
};
