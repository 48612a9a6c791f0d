// The history window: sent messages, all of them or those of one number,
// under a tree of years, months and days; a message can be sent again,
// added to the message being written or copied.
#pragma once

#include <string>

#include "history.h"
#include "historytree.h"
#include "modalform.h"

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;
class QTreeView;
class THistoryDateModel;
class THistoryListModel;

class THistoryFrm : public TModalForm {
  Q_OBJECT

 public:
  explicit THistoryFrm(QWidget* owner = nullptr);
  ~THistoryFrm() override;

  // The number whose messages are shown (digits); empty for all. Set before
  // the window is shown.
  std::string FilterPhone;

  // Sets the caption and loads the messages; runs at every show.
  void FormShow() override;
  // Reloads the messages and the date tree, selecting the newest message.
  void LoadHistory();
  const THistoryItemList& Items() const { return items_; }
  const THistoryDateTree& DateTree() const { return tree_; }
  // The message selected in the list; null when none.
  THistoryItem* SelectedItem() const;
  int SelectedRow() const;
  // Selects a message of the list and shows it.
  void SelectRow(int row);
  // The tree's selected node; null when none.
  const THistoryDateNode* SelectedNode() const;
  // Selects a node of the tree and shows it.
  void SelectNode(const THistoryDateNode* node);

  // Handlers: a node chosen in the tree, a message chosen in the list.
  void tvDatesChange();
  void lvHistoryChange();

  // ---- Actions ----
  void aSendSMSExecute();
  void aPasteTextExecute();
  void aCopyExecute();
  void aCopyAsTextExecute();
  void aCloseExecute();

  // ---- Controls ----
  QToolBar* ToolBar = nullptr;
  QTreeView* tvDates = nullptr;
  QSplitter* Splitter = nullptr;
  QTreeView* lvHistory = nullptr;
  QLabel* StatusPanel = nullptr;
  QMenu* pmHistory = nullptr;

 protected:
  void SavePlacement(TFormPlacement& placement) override;
  void RestoreMore(const TFormPlacement& placement) override;

 private:
  void CreateControls();

  THistoryItemList items_;
  THistoryDateTree tree_;
  THistoryListModel* listModel_ = nullptr;
  THistoryDateModel* dateModel_ = nullptr;
  std::string caption_;   // the caption without a filter's suffix
  bool syncing_ = false;  // one view is moving the other's selection
};
