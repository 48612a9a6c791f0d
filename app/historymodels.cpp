#include "historymodels.h"

#include "cp1251.h"
#include "historytext.h"
#include "uitext.h"

namespace {

const char* const kColumnCaptions[kHistoryColumnCount] = {"Время", "Кому", "Сообщение", "Подпись", "Статус доставки"};

}  // namespace

THistoryListModel::THistoryListModel(const THistoryItemList& items, QObject* parent)
    : QAbstractTableModel(parent), items_(items) {}

int THistoryListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : items_.Count(); }

int THistoryListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kHistoryColumnCount;
}

QVariant THistoryListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= items_.Count()) return {};
  // As stored, line breaks included; the list draws each row on one line.
  return QStr(HistoryColumnText(*items_[index.row()], index.column()));
}

QVariant THistoryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kHistoryColumnCount)
    return {};
  return QString::fromUtf8(kColumnCaptions[section]);
}

THistoryDateModel::THistoryDateModel(const THistoryDateTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {}

const std::vector<THistoryDateNode*>& THistoryDateModel::ChildrenOf(const QModelIndex& parent) const {
  return parent.isValid() ? NodeOf(parent)->children : tree_.Years();
}

const THistoryDateNode* THistoryDateModel::NodeOf(const QModelIndex& index) {
  return index.isValid() ? static_cast<const THistoryDateNode*>(index.internalPointer()) : nullptr;
}

QModelIndex THistoryDateModel::IndexOf(const THistoryDateNode* node) const {
  return node ? createIndex(node->row, 0, const_cast<THistoryDateNode*>(node)) : QModelIndex();
}

QModelIndex THistoryDateModel::index(int row, int column, const QModelIndex& parent) const {
  const auto& children = ChildrenOf(parent);
  if (column != 0 || row < 0 || row >= static_cast<int>(children.size())) return {};
  return createIndex(row, 0, children[row]);
}

QModelIndex THistoryDateModel::parent(const QModelIndex& child) const {
  const THistoryDateNode* node = NodeOf(child);
  return node ? IndexOf(node->parent) : QModelIndex();
}

int THistoryDateModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  return static_cast<int>(ChildrenOf(parent).size());
}

int THistoryDateModel::columnCount(const QModelIndex&) const { return 1; }

QVariant THistoryDateModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  return QStr(NodeOf(index)->text);
}
