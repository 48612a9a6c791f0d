// The phone book's contact list as a model: rows are the loaded contacts,
// their texts made only when a row is drawn; a row dragged out carries a
// token of the window it came from.
#pragma once

#include <QAbstractTableModel>
#include <QByteArray>

#include "phonebook.h"

// The drag format of a contact of the phone book's list.
inline constexpr char kContactMimeType[] = "application/x-parlomix-contact";

class TPhoneBookItemModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum TColumn : int { cName = 0, cPhone, cGate, cSignature, kColumnCount };

  // Rows of `items`, which the window owns and keeps while the model lives;
  // `dragToken` marks the drags that start here.
  TPhoneBookItemModel(const TPhoneBookItemList& items, QByteArray dragToken, QObject* parent = nullptr);

  // Call around changes of the item list.
  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }
  void BeginAppend() { beginInsertRows({}, items_.Count(), items_.Count()); }
  void EndAppend() { endInsertRows(); }
  void BeginRemove(int row) { beginRemoveRows({}, row, row); }
  void EndRemove() { endRemoveRows(); }
  void RowChanged(int row);

  // Whether a drag's data started in this model.
  bool IsOwnDrag(const QMimeData* data) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }

 private:
  const TPhoneBookItemList& items_;
  QByteArray dragToken_;
};
