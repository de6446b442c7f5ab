// The page list as a model over the page store: column "幕号" the page number,
// column "内容" the page text. The list can be emptied while the store keeps
// its lines; RebuildPageList shows them again.
#pragma once

#include "app/PageStore.h"

#include <QAbstractTableModel>

class PageListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit PageListModel(PageStore &store, QObject *parent = nullptr);

    void RebuildPageList();   // shows every page of the store
    void clearList();         // an empty list; the store is untouched
    bool isShown() const { return m_shown; }
    // The page on the displays: a marker in the number column and its own
    // row colour, apart from the selection; -1 for none.
    void setOnAir(int row);
    int onAir() const { return m_onAir; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Finds nothing, so the list has no type-ahead search: a number typed by
    // mistake must not move the selection that the next Space sends from.
    QModelIndexList match(const QModelIndex &start, int role, const QVariant &value, int hits,
                          Qt::MatchFlags flags) const override;

private:
    PageStore &m_store;
    bool m_shown = false;
    int m_rows = 0;
    int m_onAir = -1;
};
