#include "phonebookfrm.h"

#include <QAction>
#include <QApplication>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "application.h"
#include "cp1251.h"
#include "historyfrm.h"
#include "messagebox.h"
#include "phonebookmodel.h"
#include "phonebookrules.h"
#include "phoneeditfrm.h"
#include "placement.h"
#include "prefixsql.h"
#include "uitext.h"
#include "weblinks.h"

namespace {

constexpr std::initializer_list<int> kColumnWidths = {150, 150, 150, 100};

// A tree node that carries and owns its group ("Без группы" carries none).
class TGroupNode : public QTreeWidgetItem {
 public:
  explicit TGroupNode(std::unique_ptr<TPhoneBookGroup> group) : group_(std::move(group)) {
    setText(0, QStr(group_ ? group_->Name : "Без группы"_cp));
  }
  TPhoneBookGroup* Group() const { return group_.get(); }

 private:
  std::unique_ptr<TPhoneBookGroup> group_;
};

// The group tree: contacts of this window's list drop onto its nodes.
class TGroupTree : public QTreeWidget {
 public:
  explicit TGroupTree(TPhoneBookFrm& form) : form_(form) {}

 protected:
  // Any drag from the contact list enters; where it may drop is judged at
  // every move, so that it can still reach a node after entering elsewhere.
  void dragEnterEvent(QDragEnterEvent* event) override {
    if (form_.IsContactDrag(event->mimeData()))
      event->acceptProposedAction();
    else
      event->ignore();
  }
  void dragMoveEvent(QDragMoveEvent* event) override { Judge(event); }
  void dropEvent(QDropEvent* event) override {
    QTreeWidgetItem* node = itemAt(event->position().toPoint());
    if (!form_.AcceptsDrop(event->mimeData(), node)) {
      event->ignore();
      return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    form_.MoveSelectedToGroup(TPhoneBookFrm::GroupIdOf(node));
  }

 private:
  void Judge(QDragMoveEvent* event) {
    if (form_.AcceptsDrop(event->mimeData(), itemAt(event->position().toPoint()))) {
      event->setDropAction(Qt::MoveAction);
      event->accept();
    } else {
      event->ignore();
    }
  }

  TPhoneBookFrm& form_;
};

// Hands the end of an in-place edit to the window instead of writing the
// text into the node: the window decides whether the name is taken.
class TGroupEditDelegate : public QStyledItemDelegate {
 public:
  TGroupEditDelegate(QObject* parent, std::function<void(const QModelIndex&, const QString&)> onAccepted)
      : QStyledItemDelegate(parent), onAccepted_(std::move(onAccepted)) {}

  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) onAccepted_(index, edit->text());
  }

 private:
  std::function<void(const QModelIndex&, const QString&)> onAccepted_;
};

}  // namespace

TPhoneBookFrm::TPhoneBookFrm(QWidget* owner) : TModalForm(owner, "PhoneBookFrm", "Адресная книга"_cp, hcPhoneBook) {
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  using F = TPhoneBookFrm;
  CreateActions<F>({
      {"aAddGroup", "Новая группа", "Добавить группу", &F::aAddGroupExecute},
      {"aRenameGroup", "Переименовать группу", "Переименовать группу", &F::aRenameGroupExecute},
      {"aDeleteGroup", "Удалить группу", "Удалить группу", &F::aDeleteGroupExecute},
      {"aAddItem", "Новый контакт", "Добавить контакт", &F::aAddItemExecute},
      {"aEditItem", "Редактировать контакт", "Редактировать контакт", &F::aEditItemExecute},
      {"aDeleteItem", "Удалить контакт", "Удалить контакт", &F::aDeleteItemExecute},
      {"aEdit", "Изменить", "Редактировать", &F::aEditExecute},
      {"aDelete", "Удалить", "Удалить", &F::aDeleteExecute},
      {"aSendSMS", "Отправить сообщение", "Отправить сообщение контакту", &F::aSendSMSExecute},
      {"aContactHistory", "История", "История контакта", &F::aContactHistoryExecute},
      {"aClose", "Закрыть", "Закрыть адресную книгу", &F::aCloseExecute},
  });
  CreateControls();
  resize(800, 480);
  RestorePlacement();
  UpdateActions();
}

TPhoneBookFrm::~TPhoneBookFrm() {
  disconnect(focusWatch_);
  SilenceControls();
  // The view and its model go before the list the model reads.
  delete lvItems;
  delete model_;
}

void TPhoneBookFrm::CreateControls() {
  pmNew = new QMenu(this);
  pmNew->setObjectName("pmNew");
  pmNew->addActions({Action("aAddItem"), Action("aAddGroup")});
  ToolBar = new QToolBar;
  ToolBar->setObjectName("ToolBar");
  ToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  auto* newButton = new QToolButton;
  newButton->setObjectName("tbNew");
  newButton->setText(QStr("Новый"_cp));
  newButton->setMenu(pmNew);
  newButton->setPopupMode(QToolButton::InstantPopup);
  ToolBar->addWidget(newButton);
  ToolBar->addAction(Action("aEdit"));
  ToolBar->addAction(Action("aDelete"));
  ToolBar->addSeparator();
  ToolBar->addAction(Action("aSendSMS"));
  ToolBar->addSeparator();
  ToolBar->addAction(Action("aClose"));
  for (QAction* action : ToolBar->actions())
    if (QWidget* button = ToolBar->widgetForAction(action)) button->setFocusPolicy(Qt::NoFocus);

  tvGroups = new TGroupTree(*this);
  tvGroups->setObjectName("tvGroups");
  tvGroups->setHeaderHidden(true);
  tvGroups->setRootIsDecorated(false);
  tvGroups->setItemsExpandable(false);
  tvGroups->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvGroups->setAcceptDrops(true);
  tvGroups->viewport()->setAcceptDrops(true);
  tvGroups->setDropIndicatorShown(true);
  tvGroups->setDragDropMode(QAbstractItemView::DropOnly);
  tvGroups->setContextMenuPolicy(Qt::CustomContextMenu);
  auto* delegate = new TGroupEditDelegate(tvGroups, [this](const QModelIndex& index, const QString& text) {
    // Inside Qt's editing the error is shown here, so the edit still ends.
    try {
      tvGroupsEdited(tvGroups->itemFromIndex(index), CpStr(text));
    } catch (const std::exception& e) {
      TParlomixApp::ShowException(e);
    }
  });
  tvGroups->setItemDelegate(delegate);
  connect(delegate, &QAbstractItemDelegate::closeEditor, this, [this] { EndGroupEdit(); });
  pmGroups = new QMenu(this);
  pmGroups->setObjectName("pmGroups");
  pmGroups->addActions({Action("aAddGroup"), Action("aRenameGroup"), Action("aDeleteGroup")});

  model_ = new TPhoneBookItemModel(items_, QByteArray::number(reinterpret_cast<quintptr>(this)), this);
  lvItems = NewReportView("lvItems", model_, kColumnWidths);
  lvItems->setDragEnabled(true);
  lvItems->setDragDropMode(QAbstractItemView::DragOnly);
  pmItems = new QMenu(this);
  pmItems->setObjectName("pmItems");
  pmItems->addActions({Action("aSendSMS"), Action("aContactHistory")});
  pmItems->addSeparator();
  pmItems->addActions({Action("aAddItem"), Action("aEditItem"), Action("aDeleteItem")});

  Splitter = new QSplitter;
  Splitter->setObjectName("Splitter");
  Splitter->setChildrenCollapsible(false);
  Splitter->addWidget(tvGroups);
  Splitter->addWidget(lvItems);
  Splitter->setStretchFactor(1, 1);
  Splitter->setSizes({180, 600});

  QStatusBar* status = NewStatusBar(StatusPanel);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(ToolBar);
  layout->addWidget(Splitter, 1);
  layout->addWidget(status);

  connect(tvGroups, &QTreeWidget::currentItemChanged, this, [this] {
    ShowGroup();
    UpdateActions();
  });
  connect(tvGroups, &QTreeWidget::itemClicked, this, [this] { ShowGroup(); });
  connect(tvGroups, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    if (QTreeWidgetItem* node = tvGroups->itemAt(pos)) tvGroups->setCurrentItem(node);
    pmGroups->popup(tvGroups->viewport()->mapToGlobal(pos));
  });
  connect(lvItems->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateActions(); });
  connect(lvItems, &QAbstractItemView::doubleClicked, this, [this] {
    if (SelectedRow() >= 0) aSendSMSExecute();
  });
  connect(lvItems, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { pmItems->popup(lvItems->viewport()->mapToGlobal(pos)); });
  focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this] { UpdateActions(); });
}

void TPhoneBookFrm::SavePlacement(TFormPlacement& placement) {
  TModalForm::SavePlacement(placement);
  placement.SaveSplitter(*Splitter, "Splitter");
  placement.SaveHeader(*lvItems->header(), "lvItems");
}

void TPhoneBookFrm::RestoreMore(const TFormPlacement& placement) {
  placement.RestoreSplitter(*Splitter, "Splitter");
  placement.RestoreHeader(*lvItems->header(), "lvItems");
}

bool TPhoneBookFrm::Confirm(const std::string& question) {
  return ShowMessageBox(this, QMessageBox::Question, QStr("Подтверждение"_cp), QStr(question),
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

int TPhoneBookFrm::GroupIdOf(const QTreeWidgetItem* node) {
  const TPhoneBookGroup* group = node ? static_cast<const TGroupNode*>(node)->Group() : nullptr;
  return group ? group->ID : 0;
}

int TPhoneBookFrm::SelectedRow() const { return SelectedRowOf(*lvItems); }

TPhoneBookItem* TPhoneBookFrm::GetSelectedItem() const {
  int row = SelectedRow();
  return row >= 0 && row < items_.Count() ? items_[row] : nullptr;
}

void TPhoneBookFrm::SelectRow(int row) { SelectRowOf(*lvItems, row); }

std::vector<std::string> TPhoneBookFrm::NodeTexts() const {
  std::vector<std::string> texts;
  for (int i = 0; i < tvGroups->topLevelItemCount(); ++i) texts.push_back(CpStr(tvGroups->topLevelItem(i)->text(0)));
  return texts;
}

void TPhoneBookFrm::UpdateActions() {
  QTreeWidgetItem* node = tvGroups->currentItem();
  bool groupSelected = node && tvGroups->indexOfTopLevelItem(node) > 0;
  bool contactSelected = SelectedRow() >= 0;
  bool editable = (lvItems->hasFocus() && contactSelected) || (tvGroups->hasFocus() && groupSelected);
  SetActionsEnabled({
      {"aRenameGroup", groupSelected},
      {"aDeleteGroup", groupSelected},
      {"aEditItem", contactSelected},
      {"aDeleteItem", contactSelected},
      {"aSendSMS", contactSelected},
      {"aEdit", editable},
      {"aDelete", editable},
  });
}

// ---- Groups ----

void TPhoneBookFrm::LoadGroupTree() {
  TPhoneBookGroupList groups;
  TPhoneBook::LoadGroups(groups);
  {
    QSignalBlocker quiet(tvGroups);
    tvGroups->clear();
    tvGroups->addTopLevelItem(new TGroupNode(nullptr));
    for (const auto& group : groups) tvGroups->addTopLevelItem(new TGroupNode(std::make_unique<TPhoneBookGroup>(*group)));
    tvGroups->setCurrentItem(tvGroups->topLevelItem(0));
  }
  ShowGroup();
  UpdateActions();
}

void TPhoneBookFrm::ShowGroup() {
  int groupId = GroupIdOf(tvGroups->currentItem());
  if (groupId != LoadedGroupID) {
    // Loaded aside first: a failed load leaves the list as it was.
    TPhoneBookItemList loaded;
    TPhoneBook::LoadItems(loaded, {groupId});
    model_->BeginReset();
    items_.Swap(loaded);
    model_->EndReset();
    LoadedGroupID = groupId;
    SelectRow(0);
  }
  StatusPanel->setText(QStr(ContactCountText(items_.Count())));
  UpdateActions();
}

void TPhoneBookFrm::aAddGroupExecute() {
  auto group = std::make_unique<TPhoneBookGroup>();
  group->Name = NewGroupName(NodeTexts());
  TPhoneBook::AddGroup(*group);
  auto* node = new TGroupNode(std::move(group));
  tvGroups->addTopLevelItem(node);
  tvGroups->setCurrentItem(node);
  StartGroupEdit(node);
}

void TPhoneBookFrm::aRenameGroupExecute() {
  QTreeWidgetItem* node = tvGroups->currentItem();
  if (node && tvGroups->indexOfTopLevelItem(node) > 0) StartGroupEdit(node);
}

void TPhoneBookFrm::StartGroupEdit(QTreeWidgetItem* node) {
  editedNode_ = node;
  node->setFlags(node->flags() | Qt::ItemIsEditable);
  tvGroups->setFocus();
  tvGroups->editItem(node, 0);
}

void TPhoneBookFrm::EndGroupEdit() {
  if (editedNode_) editedNode_->setFlags(editedNode_->flags() & ~Qt::ItemIsEditable);
  editedNode_ = nullptr;
}

void TPhoneBookFrm::tvGroupsEdited(QTreeWidgetItem* node, const std::string& text) {
  auto* groupNode = static_cast<TGroupNode*>(node);
  if (!groupNode || !groupNode->Group() || !AcceptGroupName(text, NodeTexts())) return;
  TPhoneBookGroup renamed = *groupNode->Group();
  renamed.Name = text;
  TPhoneBook::UpdateGroup(renamed);
  groupNode->Group()->Name = text;
  node->setText(0, QStr(text));
}

void TPhoneBookFrm::aDeleteGroupExecute() {
  QTreeWidgetItem* node = tvGroups->currentItem();
  if (!node || tvGroups->indexOfTopLevelItem(node) <= 0) return;
  if (!Confirm("Удалить группу?"_cp)) return;
  if (!TPhoneBook::DeleteGroup(GroupIdOf(node))) return;
  delete node;
  ShowGroup();
}

// ---- Contacts ----

void TPhoneBookFrm::aAddItemExecute() {
  TEditPhoneFrm editor(this);
  if (editor.exec() != QDialog::Accepted) return;
  auto item = std::make_unique<TPhoneBookItem>();
  editor.GetContact(*item);
  item->GroupID = std::max(LoadedGroupID, 0);
  TPhoneBook::AddItem(*item);
  item->Format = LookUpContactFormat(item->Phone, item->GateName);
  model_->BeginAppend();
  items_.Add(std::move(item));
  model_->EndAppend();
  SelectRow(items_.Count() - 1);
  StatusPanel->setText(QStr(ContactCountText(items_.Count())));
}

void TPhoneBookFrm::aEditItemExecute() {
  int row = SelectedRow();
  TPhoneBookItem* item = GetSelectedItem();
  if (!item) return;
  TEditPhoneFrm editor(this);
  editor.SetContact(*item);
  if (editor.exec() != QDialog::Accepted) return;
  TPhoneBookItem edited(*item);
  editor.GetContact(edited);
  TPhoneBook::UpdateItem(edited);
  editor.GetContact(*item);
  // The row shows the number as a group's loading would: by the format of
  // the number and gate it has now.
  item->Format = LookUpContactFormat(item->Phone, item->GateName);
  model_->RowChanged(row);
}

void TPhoneBookFrm::RemoveRow(int row) {
  model_->BeginRemove(row);
  items_.Delete(row);
  model_->EndRemove();
  StatusPanel->setText(QStr(ContactCountText(items_.Count())));
}

void TPhoneBookFrm::aDeleteItemExecute() {
  int row = SelectedRow();
  TPhoneBookItem* item = GetSelectedItem();
  if (!item) return;
  if (!Confirm("Удалить запись?"_cp)) return;
  TPhoneBook::DeleteItem(item->ID);
  RemoveRow(row);
  if (SelectedRow() < 0) SelectRow(std::min(row, items_.Count() - 1));
  UpdateActions();
}

void TPhoneBookFrm::aEditExecute() {
  if (lvItems->hasFocus())
    aEditItemExecute();
  else if (tvGroups->hasFocus())
    aRenameGroupExecute();
}

void TPhoneBookFrm::aDeleteExecute() {
  if (lvItems->hasFocus())
    aDeleteItemExecute();
  else if (tvGroups->hasFocus())
    aDeleteGroupExecute();
}

void TPhoneBookFrm::aSendSMSExecute() {
  TPhoneBookItem* item = GetSelectedItem();
  if (!item) return;
  SelectedPhone = item->Phone;
  accept();
}

void TPhoneBookFrm::aContactHistoryExecute() {
  TPhoneBookItem* item = GetSelectedItem();
  if (!item) return;
  THistoryFrm history(this);
  history.FilterPhone = item->Phone;
  if (history.exec() == QDialog::Accepted) reject();
}

void TPhoneBookFrm::aCloseExecute() { reject(); }

// ---- Drag and drop ----

bool TPhoneBookFrm::IsContactDrag(const QMimeData* data) const { return model_->IsOwnDrag(data); }

bool TPhoneBookFrm::AcceptsDrop(const QMimeData* data, QTreeWidgetItem* node) const {
  return AcceptContactDrop(IsContactDrag(data), node != nullptr, GroupIdOf(node), LoadedGroupID);
}

void TPhoneBookFrm::MoveSelectedToGroup(int groupId) {
  int row = SelectedRow();
  TPhoneBookItem* item = GetSelectedItem();
  if (!item) return;
  TPhoneBook::SetItemGroup(item->ID, groupId);
  RemoveRow(row);
  if (items_.Count() > 0) SelectRow(std::max(row - 1, 0));
  UpdateActions();
}
