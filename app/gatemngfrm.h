// "База операторов": every gate of the gates database, what the selected one
// supports, and its two switches (the gate disabled, its delivery check off),
// stored the moment the user clicks them.
#pragma once

#include <QAbstractListModel>
#include <QDialog>
#include <QIcon>
#include <string>

#include "gatefactory.h"
#include "objectlist.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QListView;
class QPushButton;
class QSplitter;
class QStringListModel;
class TLinkLabel;

// The gate list as rows: the caption, the picture of the gate type, and
// greyed text for a disabled gate.
class TGateListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit TGateListModel(QObject* parent = nullptr);

  // Replaces the rows with every gate of the database, by caption.
  void Reload();
  // The gate of a row; null outside the list.
  TGateInfo* Gate(int row) const;
  // The row of the gate of that name (compared without regard to case); -1.
  int RowOf(const std::string& name) const;
  // Sets a row's disabled flag and repaints it (the database is not touched).
  void SetDisabled(int row, bool disabled);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  TObjectList<TGateInfo> gates_;
  QIcon images_[2];
};

class TGateMngFrm : public QDialog {
  Q_OBJECT

 public:
  explicit TGateMngFrm(QWidget* parent = nullptr);

  // The gate to select when the window is shown (any case); empty: the first.
  void SetSelectedGateName(const std::string& name) { selectedName_ = name; }

  // What showing the window does: fills the list, selects the gate asked
  // for (else the first) and shows it. Runs once, on the first show.
  void FormShow();
  // Shows the selected gate's information, or empty fields without one.
  void ShowSelectedGate();
  // The name of the gate shown; empty when none.
  std::string SelectedGateName() const;

  void chbDisabledClick();
  void chbDontCheckDeliveryClick();
  void lbSiteClick();

  void done(int result) override;

  QListView* lbGates = nullptr;
  QSplitter* Splitter = nullptr;
  QGroupBox* gbInfo = nullptr;
  QLabel* lbGateName = nullptr;
  QLabel* lbGateType = nullptr;
  TLinkLabel* lbSite = nullptr;
  QLabel* lbGateVersion = nullptr;
  QListView* mPrefixList = nullptr;
  QListView* mDescr = nullptr;
  QCheckBox* chbDisabled = nullptr;
  QCheckBox* chbDontCheckDelivery = nullptr;
  QPushButton* btClose = nullptr;
  TGateListModel* Gates = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  int SelectedRow() const;

  QStringListModel* prefixes_ = nullptr;
  QStringListModel* capabilities_ = nullptr;
  std::string selectedName_;
  bool shown_ = false;
};
