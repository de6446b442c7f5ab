#include "sim/WireTap.h"

#include <QDateTime>

namespace {
qint64 Now()
{
    return QDateTime::currentMSecsSinceEpoch();
}
} // namespace

WireTap::WireTap(const TProjectRecord *record, QObject *parent)
    : QObject(parent), m_record(record)
{
    // Queued even when emitted on this thread, so the order of events is the
    // order of the writes whichever thread made them.
    connect(this, &WireTap::openedAt, this, [this](qint64) {
        if (m_record)
            m_simulator.configureFrom(*m_record);
    }, Qt::QueuedConnection);
    connect(this, &WireTap::writtenAt, this, [this](const QByteArray &bytes, bool mark, qint64 at) {
        m_simulator.feed(bytes, mark, double(at));
        emit changed();
    }, Qt::QueuedConnection);
    connect(this, &WireTap::closedAt, this, [this](qint64 at) {
        // The worker never continues a frame after a close: one still open is cut.
        m_simulator.endOfStream(double(at));
        emit changed();
    }, Qt::QueuedConnection);
}

void WireTap::opened()
{
    emit openedAt(Now());
}

void WireTap::written(const QByteArray &bytes, bool mark)
{
    emit writtenAt(bytes, mark, Now());
}

void WireTap::closed()
{
    emit closedAt(Now());
}
