#include "app/PageListModel.h"

#include <QColor>
#include <QFont>

PageListModel::PageListModel(PageStore &store, QObject *parent)
    : QAbstractTableModel(parent), m_store(store)
{
}

void PageListModel::RebuildPageList()
{
    beginResetModel();
    m_shown = true;
    m_rows = m_store.pageCount();
    endResetModel();
}

void PageListModel::clearList()
{
    beginResetModel();
    m_shown = false;
    m_rows = 0;
    endResetModel();
}

void PageListModel::setOnAir(int row)
{
    const int before = m_onAir;
    m_onAir = row;
    for (int changed : {before, row})
        if (changed >= 0 && changed < m_rows)
            emit dataChanged(index(changed, 0), index(changed, 1));
}

int PageListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int PageListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant PageListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == 1)
            return m_store.page(index.row());
        return index.row() == m_onAir ? QStringLiteral("▶ %1").arg(index.row() + 1)
                                      : QString::number(index.row() + 1);
    case Qt::TextAlignmentRole:
        return index.column() == 1 ? QVariant(Qt::AlignCenter) : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        return QColor(Qt::red);
    case Qt::BackgroundRole:
        return index.row() == m_onAir ? QColor(255, 236, 160) : QColor(Qt::white);
    default:
        return QVariant();
    }
}

QVariant PageListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    return section == 0 ? QStringLiteral("幕号") : QStringLiteral("内容");
}

QModelIndexList PageListModel::match(const QModelIndex &, int, const QVariant &, int,
                                     Qt::MatchFlags) const
{
    return {};
}
