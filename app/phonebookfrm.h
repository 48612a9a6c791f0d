// The phone book window: contact groups as a tree on the left, the contacts
// of the selected group as a list on the right. Groups are added, renamed in
// place and deleted; contacts are added, edited, deleted, dragged into
// another group, looked up in the history and chosen as the recipient.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "modalform.h"
#include "phonebook.h"

class QAction;
class QLabel;
class QMenu;
class QMimeData;
class QSplitter;
class QToolBar;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class TPhoneBookItemModel;

class TPhoneBookFrm : public TModalForm {
  Q_OBJECT

 public:
  explicit TPhoneBookFrm(QWidget* owner = nullptr);
  ~TPhoneBookFrm() override;

  // The group whose contacts the list holds: -1 none yet, 0 the ungrouped.
  int32_t LoadedGroupID = -1;
  // The number of the contact chosen with aSendSMS.
  std::string SelectedPhone;

  // The contact at the list's selection; null when none.
  TPhoneBookItem* GetSelectedItem() const;
  // The loaded contacts, in list order.
  const TPhoneBookItemList& Items() const { return items_; }

  // Refills the tree: "Без группы", then the groups by name; selects the
  // first node and shows it.
  void LoadGroupTree();
  // Loads the selected node's contacts when they are not the ones shown, and
  // writes the count into the status bar.
  void ShowGroup();
  // Moves the selected contact into a group (0: none) and out of the list.
  void MoveSelectedToGroup(int groupId);
  // The end of an in-place group edit with the accepted text: the group takes
  // the name when no node has it yet (the node's own old name counts), else
  // the old name stays.
  void tvGroupsEdited(QTreeWidgetItem* node, const std::string& text);
  // Whether a drag carries a contact of this window's list.
  bool IsContactDrag(const QMimeData* data) const;
  // Whether a drag carrying `data` may drop on `node` (null: off the nodes).
  bool AcceptsDrop(const QMimeData* data, QTreeWidgetItem* node) const;
  // The group of a node: 0 for "Без группы" and null.
  static int GroupIdOf(const QTreeWidgetItem* node);
  // The row selected in the list; -1 for none.
  int SelectedRow() const;
  // Selects a row of the list and shows it.
  void SelectRow(int row);
  // Re-evaluates which actions are enabled.
  void UpdateActions();

  // ---- Actions ----
  void aAddGroupExecute();
  void aRenameGroupExecute();
  void aDeleteGroupExecute();
  void aAddItemExecute();
  void aEditItemExecute();
  void aDeleteItemExecute();
  void aEditExecute();
  void aDeleteExecute();
  void aSendSMSExecute();
  void aContactHistoryExecute();
  void aCloseExecute();

  // ---- Controls ----
  QToolBar* ToolBar = nullptr;
  QTreeWidget* tvGroups = nullptr;
  QSplitter* Splitter = nullptr;
  QTreeView* lvItems = nullptr;
  QLabel* StatusPanel = nullptr;
  QMenu* pmGroups = nullptr;
  QMenu* pmItems = nullptr;
  QMenu* pmNew = nullptr;

 protected:
  void FormShow() override { LoadGroupTree(); }
  void SavePlacement(TFormPlacement& placement) override;
  void RestoreMore(const TFormPlacement& placement) override;

 private:
  // Asks a Yes/No question titled "Подтверждение"; true for Yes.
  bool Confirm(const std::string& question);
  void CreateControls();
  void StartGroupEdit(QTreeWidgetItem* node);
  void EndGroupEdit();
  std::vector<std::string> NodeTexts() const;
  void RemoveRow(int row);

  TPhoneBookItemList items_;
  TPhoneBookItemModel* model_ = nullptr;
  QTreeWidgetItem* editedNode_ = nullptr;  // the node of a running in-place edit
  QMetaObject::Connection focusWatch_;
};
