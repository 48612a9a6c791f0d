#include "phonebookmodel.h"

#include <QMimeData>

#include "phone.h"
#include "uitext.h"

namespace {

const char* const kColumnCaptions[TPhoneBookItemModel::kColumnCount] = {"Имя", "Телефон", "Оператор", "Подпись"};

std::string ColumnText(const TPhoneBookItem& item, int column) {
  switch (column) {
    case TPhoneBookItemModel::cName: return item.Name;
    case TPhoneBookItemModel::cPhone: return FormatPhone(item.Phone, item.Format);
    case TPhoneBookItemModel::cGate: return item.Caption;
    case TPhoneBookItemModel::cSignature: return item.Signature;
    default: return {};
  }
}

}  // namespace

TPhoneBookItemModel::TPhoneBookItemModel(const TPhoneBookItemList& items, QByteArray dragToken, QObject* parent)
    : QAbstractTableModel(parent), items_(items), dragToken_(std::move(dragToken)) {}

void TPhoneBookItemModel::RowChanged(int row) { emit dataChanged(index(row, 0), index(row, kColumnCount - 1)); }

bool TPhoneBookItemModel::IsOwnDrag(const QMimeData* data) const {
  return data && data->hasFormat(kContactMimeType) && data->data(kContactMimeType) == dragToken_;
}

int TPhoneBookItemModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : items_.Count(); }

int TPhoneBookItemModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant TPhoneBookItemModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= items_.Count()) return {};
  return QStr(ColumnText(*items_[index.row()], index.column()));
}

QVariant TPhoneBookItemModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount) return {};
  return QString::fromUtf8(kColumnCaptions[section]);
}

Qt::ItemFlags TPhoneBookItemModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList TPhoneBookItemModel::mimeTypes() const { return {kContactMimeType}; }

QMimeData* TPhoneBookItemModel::mimeData(const QModelIndexList& indexes) const {
  if (indexes.isEmpty()) return nullptr;
  auto* data = new QMimeData;
  data->setData(kContactMimeType, dragToken_);
  return data;
}
