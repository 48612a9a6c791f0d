// The history window's two views as models: the message list, whose row
// texts are made only when a row is drawn, and the date tree.
#pragma once

#include <QAbstractItemModel>
#include <QAbstractTableModel>

#include "history.h"
#include "historytree.h"

class THistoryListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // Rows of `items`, which the window owns and keeps while the model lives.
  explicit THistoryListModel(const THistoryItemList& items, QObject* parent = nullptr);

  // Call around every change of the item list.
  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const THistoryItemList& items_;
};

class THistoryDateModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  explicit THistoryDateModel(const THistoryDateTree& tree, QObject* parent = nullptr);

  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }

  // The index of a node of the tree; invalid for null.
  QModelIndex IndexOf(const THistoryDateNode* node) const;
  // The node of an index; null for an invalid one.
  static const THistoryDateNode* NodeOf(const QModelIndex& index);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  const std::vector<THistoryDateNode*>& ChildrenOf(const QModelIndex& parent) const;

  const THistoryDateTree& tree_;
};
