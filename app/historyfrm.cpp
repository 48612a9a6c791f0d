#include "historyfrm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "cp1251.h"
#include "historymodels.h"
#include "historytext.h"
#include "options.h"
#include "placement.h"
#include "smsfrm.h"
#include "uitext.h"
#include "weblinks.h"

namespace {

constexpr int kStatusPanelWidth = 300;

}  // namespace

THistoryFrm::THistoryFrm(QWidget* owner)
    : TModalForm(owner, "HistoryFrm", "История"_cp, hcHistory), caption_("История"_cp) {
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  using F = THistoryFrm;
  CreateActions<F>({
      {"aSendSMS", "Отправить сообщение", "Повторно отправить сообщение", &F::aSendSMSExecute},
      {"aPasteText", "Добавить к сообщению", "Добавить текст к сообщению", &F::aPasteTextExecute},
      {"aCopy", "Копировать текст", "Копировать только текст сообщения", &F::aCopyExecute},
      {"aCopyAsText", "Копировать", "Копировать запись истории", &F::aCopyAsTextExecute},
      {"aClose", "Закрыть", "Закрыть историю", &F::aCloseExecute},
  });
  CreateControls();
  resize(980, 540);
  RestorePlacement();
}

THistoryFrm::~THistoryFrm() {
  SilenceControls();
  // The views and their models go before the lists the models read.
  delete lvHistory;
  delete tvDates;
  delete listModel_;
  delete dateModel_;
}

void THistoryFrm::CreateControls() {
  ToolBar = new QToolBar;
  ToolBar->setObjectName("ToolBar");
  ToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  ToolBar->addAction(Action("aSendSMS"));
  ToolBar->addSeparator();
  ToolBar->addAction(Action("aClose"));

  dateModel_ = new THistoryDateModel(tree_, this);
  tvDates = new QTreeView;
  tvDates->setObjectName("tvDates");
  tvDates->setModel(dateModel_);
  tvDates->setHeaderHidden(true);
  tvDates->setUniformRowHeights(true);
  tvDates->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvDates->setSelectionBehavior(QAbstractItemView::SelectRows);
  tvDates->setSelectionMode(QAbstractItemView::SingleSelection);

  listModel_ = new THistoryListModel(items_, this);
  lvHistory = NewReportView("lvHistory", listModel_, {120, 150, 300, 100, 100});
  lvHistory->header()->setSectionsClickable(false);
  pmHistory = new QMenu(this);
  pmHistory->setObjectName("pmHistory");
  pmHistory->addActions({Action("aSendSMS"), Action("aPasteText"), Action("aCopy"), Action("aCopyAsText")});

  Splitter = new QSplitter;
  Splitter->setObjectName("Splitter");
  Splitter->setChildrenCollapsible(false);
  Splitter->addWidget(tvDates);
  Splitter->addWidget(lvHistory);
  Splitter->setStretchFactor(1, 1);
  Splitter->setSizes({160, 740});

  QStatusBar* status = NewStatusBar(StatusPanel, kStatusPanelWidth);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(ToolBar);
  layout->addWidget(Splitter, 1);
  layout->addWidget(status);

  // A mouse click makes a row current before it selects it: each view
  // follows the other's selection, and a click on the selected node goes
  // back to its first message.
  connect(tvDates->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { tvDatesChange(); });
  connect(tvDates, &QAbstractItemView::clicked, this, [this] { tvDatesChange(); });
  connect(lvHistory->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { lvHistoryChange(); });
  connect(lvHistory, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { pmHistory->popup(lvHistory->viewport()->mapToGlobal(pos)); });
}

void THistoryFrm::SavePlacement(TFormPlacement& placement) {
  TModalForm::SavePlacement(placement);
  placement.SaveSplitter(*Splitter, "Splitter");
  placement.SaveHeader(*lvHistory->header(), "lvHistory");
}

void THistoryFrm::RestoreMore(const TFormPlacement& placement) {
  placement.RestoreSplitter(*Splitter, "Splitter");
  placement.RestoreHeader(*lvHistory->header(), "lvHistory");
}

void THistoryFrm::FormShow() {
  setWindowTitle(QStr(HistoryCaption(caption_, FilterPhone)));
  LoadHistory();
}

void THistoryFrm::LoadHistory() {
  // Loaded aside first: a failed load leaves the window as it was.
  THistoryItemList loaded;
  THistory::Load(loaded, FilterPhone);
  {
    TFlagScope quiet(syncing_);
    listModel_->BeginReset();
    dateModel_->BeginReset();
    items_.Swap(loaded);
    tree_.Build(items_);
    dateModel_->EndReset();
    listModel_->EndReset();
  }
  SelectRow(items_.Count() - 1);
  StatusPanel->setText(QStr(HistoryCountText(items_.Count(), !FilterPhone.empty())));
}

int THistoryFrm::SelectedRow() const { return SelectedRowOf(*lvHistory); }

THistoryItem* THistoryFrm::SelectedItem() const {
  int row = SelectedRow();
  return row >= 0 && row < items_.Count() ? items_[row] : nullptr;
}

void THistoryFrm::SelectRow(int row) {
  if (row >= 0 && row < items_.Count()) SelectRowOf(*lvHistory, row);
}

const THistoryDateNode* THistoryFrm::SelectedNode() const {
  QModelIndexList rows = tvDates->selectionModel()->selectedRows();
  return rows.isEmpty() ? nullptr : THistoryDateModel::NodeOf(rows.front());
}

void THistoryFrm::SelectNode(const THistoryDateNode* node) {
  QModelIndex index = dateModel_->IndexOf(node);
  if (!index.isValid()) return;
  tvDates->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  tvDates->scrollTo(index);
}

void THistoryFrm::tvDatesChange() {
  const THistoryDateNode* node = SelectedNode();
  if (syncing_ || !node) return;
  TFlagScope quiet(syncing_);
  SelectRow(node->item);
}

void THistoryFrm::lvHistoryChange() {
  THistoryItem* item = SelectedItem();
  if (syncing_ || !item) return;
  TFlagScope quiet(syncing_);
  SelectNode(static_cast<const THistoryDateNode*>(item->DateNode));
}

// ---- Actions ----

void THistoryFrm::aSendSMSExecute() {
  THistoryItem* item = SelectedItem();
  if (!item) return;
  if (TSMSFrm* main = TSMSFrm::Instance()) main->LoadFromItem(*item);
  accept();
}

void THistoryFrm::aPasteTextExecute() {
  THistoryItem* item = SelectedItem();
  if (!item) return;
  if (TSMSFrm* main = TSMSFrm::Instance()) main->AppendText(item->Message);
}

void THistoryFrm::aCopyExecute() {
  if (THistoryItem* item = SelectedItem()) QApplication::clipboard()->setText(QStr(item->Message));
}

void THistoryFrm::aCopyAsTextExecute() {
  THistoryItem* item = SelectedItem();
  if (!item) return;
  std::string delimiter = Options ? Options->ReadString("Message\\SignatureDelimiter") : std::string();
  QApplication::clipboard()->setText(QStr(HistoryRecordText(*item, delimiter)));
}

void THistoryFrm::aCloseExecute() { reject(); }
