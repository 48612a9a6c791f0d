#include "historyfrm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

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
constexpr int kTreeWidth = 160;
constexpr QSize kWindowSize(980, 540);
constexpr std::initializer_list<int> kColumnWidths = {120, 150, 300, 100, 100};

// The widest texts of the columns whose values have a fixed form: a send
// time in the widest digit of the list's font, and every delivery status.
std::vector<QStringList> FixedColumnTexts(const QFontMetrics& metrics) {
  QChar widest = '0';
  for (char digit = '1'; digit <= '9'; ++digit)
    if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widest)) widest = QChar(digit);
  QString time = QStr(HistoryTimeText(EncodeDate(2000, 12, 31) + EncodeTime(23, 59, 59)));
  for (QChar& c : time)
    if (c.isDigit()) c = widest;
  QStringList statuses;
  // The statuses are numbered from 0 on, each with its text.
  for (uint8_t status = 0; !HistoryStatusText(status).empty(); ++status) statuses << QStr(HistoryStatusText(status));
  std::vector<QStringList> texts(kHistoryColumnCount);
  texts[hcTime] = {time};
  texts[hcStatus] = statuses;
  return texts;
}

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
  // At first wide enough for every column beside the tree, so that none
  // starts cut at the edge.
  const int listWidth = lvHistory->header()->length() + 2 * lvHistory->frameWidth() +
                        style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, lvHistory);
  resize(std::max(kWindowSize.width(), kTreeWidth + Splitter->handleWidth() + listWidth), kWindowSize.height());
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
  lvHistory = NewReportView("lvHistory", listModel_, kColumnWidths);
  WidenReportColumns(*lvHistory, kColumnWidths, FixedColumnTexts(lvHistory->fontMetrics()));
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
  Splitter->setSizes({kTreeWidth, kWindowSize.width() - kTreeWidth});

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
