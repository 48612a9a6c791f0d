#include "gatemngfrm.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "cp1251.h"
#include "gatedetails.h"
#include "linklabel.h"
#include "newcontrol.h"
#include "placement.h"
#include "smsfrm.h"
#include "uitext.h"
#include "weblinks.h"

namespace {

constexpr int kGateRowHeight = 20;

// The two gate pictures: a text bubble for SMS gates, a picture for the rest.
QIcon GateTypeIcon(int index) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  if (index == 0) {
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(1.5, 2.5, 13, 9), 2.5, 2.5);
    bubble.moveTo(4, 11);
    bubble.lineTo(3.5, 14.5);
    bubble.lineTo(7.5, 11);
    p.setPen(QPen(QColor(0x1f, 0x6f, 0xc5), 1));
    p.setBrush(QColor(0xdd, 0xea, 0xfa));
    p.drawPath(bubble.simplified());
    p.setPen(QPen(QColor(0x1f, 0x6f, 0xc5), 1.2));
    for (double y : {5.5, 8.5}) p.drawLine(QPointF(4, y), QPointF(12, y));
  } else {
    p.setPen(QPen(QColor(0x3b, 0x7d, 0x23), 1));
    p.setBrush(QColor(0xe4, 0xf4, 0xdc));
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
    p.setBrush(QColor(0x3b, 0x7d, 0x23));
    QPainterPath hills;
    hills.moveTo(2, 13);
    hills.lineTo(6, 7.5);
    hills.lineTo(9, 10.5);
    hills.lineTo(11, 8.5);
    hills.lineTo(14, 13);
    hills.closeSubpath();
    p.setPen(Qt::NoPen);
    p.drawPath(hills);
    p.setBrush(QColor(0xe0, 0xa0, 0x20));
    p.drawEllipse(QPointF(11.5, 5.5), 1.5, 1.5);
  }
  return QIcon(pixmap);
}

// Rows of the gate list are of one height whatever the font.
class TRowHeightDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(kGateRowHeight);
    return size;
  }
};

QStringList Rows(const std::vector<std::string>& lines) {
  QStringList rows;
  for (const std::string& line : lines) rows << QStr(line);
  return rows;
}

// A read-only list of text rows, never rich text.
QListView* NewTextList(QWidget* parent, const char* name, QStringListModel* model) {
  auto* view = new QListView(parent);
  view->setObjectName(name);
  view->setModel(model);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  return view;
}

QLabel* NewValueLabel(QWidget* parent, const char* name) {
  auto* label = NewControl<QLabel>(parent, name);
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

// ---- The list ----

TGateListModel::TGateListModel(QObject* parent) : QAbstractListModel(parent) {
  images_[0] = GateTypeIcon(0);
  images_[1] = GateTypeIcon(1);
}

void TGateListModel::Reload() {
  beginResetModel();
  gates_.Clear();
  try {
    TGateFactory::LoadGateList(gates_);
  } catch (...) {
    endResetModel();
    throw;
  }
  endResetModel();
}

TGateInfo* TGateListModel::Gate(int row) const {
  if (row < 0 || row >= gates_.Count()) return nullptr;
  return gates_[row];
}

int TGateListModel::RowOf(const std::string& name) const {
  for (int row = 0; row < gates_.Count(); ++row)
    if (cp1251::SameText(gates_[row]->Name, name)) return row;
  return -1;
}

void TGateListModel::SetDisabled(int row, bool disabled) {
  TGateInfo* gate = Gate(row);
  if (!gate) return;
  gate->Disabled = disabled;
  emit dataChanged(index(row), index(row), {Qt::ForegroundRole});
}

int TGateListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : gates_.Count(); }

QVariant TGateListModel::data(const QModelIndex& index, int role) const {
  const TGateInfo* gate = index.isValid() ? Gate(index.row()) : nullptr;
  if (!gate) return {};
  switch (role) {
    case Qt::DisplayRole: return QStr(gate->Caption);
    case Qt::DecorationRole: return images_[GateImageIndex(gate->Type)];
    case Qt::ForegroundRole:
      // Greyed like any disabled text; a selected row takes the highlight's.
      return QApplication::palette().brush(gate->Disabled ? QPalette::Disabled : QPalette::Active, QPalette::Text);
    default: return {};
  }
}

// ---- The window ----

TGateMngFrm::TGateMngFrm(QWidget* parent) : QDialog(parent) {
  setObjectName("GateMngFrm");
  setWindowTitle(QStr("База операторов"_cp));
  setMinimumSize(600, 515);
  // Wide enough at first for the longest capability line beside the list.
  resize(780, 540);

  Gates = new TGateListModel(this);
  lbGates = new QListView(this);
  lbGates->setObjectName("lbGates");
  lbGates->setModel(Gates);
  lbGates->setItemDelegate(new TRowHeightDelegate(lbGates));
  lbGates->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lbGates->setSelectionMode(QAbstractItemView::SingleSelection);
  lbGates->setUniformItemSizes(true);
  connect(lbGates->selectionModel(), &QItemSelectionModel::currentChanged, this, &TGateMngFrm::ShowSelectedGate);

  gbInfo = NewControl<QGroupBox>(this, "gbInfo", "Информация"_cp);
  lbGateName = NewValueLabel(gbInfo, "lbGateName");
  lbGateType = NewValueLabel(gbInfo, "lbGateType");
  lbSite = new TLinkLabel(gbInfo);
  lbSite->setObjectName("lbSite");
  connect(lbSite, &TLinkLabel::clicked, this, &TGateMngFrm::lbSiteClick);
  lbGateVersion = NewValueLabel(gbInfo, "lbGateVersion");
  prefixes_ = new QStringListModel(this);
  capabilities_ = new QStringListModel(this);
  mPrefixList = NewTextList(gbInfo, "mPrefixList", prefixes_);
  mDescr = NewTextList(gbInfo, "mDescr", capabilities_);
  chbDisabled = NewControl<QCheckBox>(gbInfo, "chbDisabled", "Запретить использование оператора"_cp);
  chbDontCheckDelivery = NewControl<QCheckBox>(gbInfo, "chbDontCheckDelivery", "Запретить проверку статуса доставки"_cp);
  // Only a click stores: showing a gate sets the boxes without a word.
  connect(chbDisabled, &QCheckBox::clicked, this, &TGateMngFrm::chbDisabledClick);
  connect(chbDontCheckDelivery, &QCheckBox::clicked, this, &TGateMngFrm::chbDontCheckDeliveryClick);

  auto* grid = new QGridLayout(gbInfo);
  const std::pair<const char*, QWidget*> rows[] = {{"Внутреннее имя:", lbGateName},
                                                   {"Тип:", lbGateType},
                                                   {"Сайт:", lbSite},
                                                   {"Версия:", lbGateVersion},
                                                   {"Префиксы:", mPrefixList},
                                                   {"Дополнительно:", mDescr}};
  int row = 0;
  for (const auto& [caption, value] : rows) {
    auto* label = new QLabel(QString::fromUtf8(caption), gbInfo);
    grid->addWidget(label, row, 0, Qt::AlignTop);
    grid->addWidget(value, row++, 1);
  }
  grid->setRowStretch(4, 1);
  grid->setRowStretch(5, 2);
  grid->setColumnStretch(1, 1);
  grid->addWidget(chbDisabled, row++, 0, 1, 2);
  grid->addWidget(chbDontCheckDelivery, row++, 0, 1, 2);

  Splitter = new QSplitter(Qt::Horizontal, this);
  Splitter->setObjectName("Splitter");
  Splitter->addWidget(lbGates);
  Splitter->addWidget(gbInfo);
  Splitter->setChildrenCollapsible(false);
  Splitter->setStretchFactor(1, 1);
  Splitter->setSizes({220, 540});

  btClose = NewControl<QPushButton>(this, "btClose", "Закрыть"_cp);
  btClose->setDefault(true);
  connect(btClose, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Splitter, 1);
  layout->addLayout(ButtonRow({btClose}));

  // Only the list's width is kept: the window itself opens centred at its
  // first size every time.
  TFormPlacement(*this).RestoreSplitter(*Splitter, "Gates");
  ShowSelectedGate();
}

void TGateMngFrm::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) CentreWindow(*this, TSMSFrm::Instance());
  QDialog::showEvent(event);
  if (!shown_) FormShow();
}

void TGateMngFrm::FormShow() {
  shown_ = true;
  Gates->Reload();
  int row = selectedName_.empty() ? -1 : Gates->RowOf(selectedName_);
  if (row < 0 && Gates->rowCount() > 0) row = 0;
  if (row >= 0) lbGates->setCurrentIndex(Gates->index(row));
  ShowSelectedGate();
}

int TGateMngFrm::SelectedRow() const {
  QModelIndex current = lbGates->currentIndex();
  return current.isValid() && Gates->Gate(current.row()) ? current.row() : -1;
}

std::string TGateMngFrm::SelectedGateName() const {
  TGateInfo* gate = Gates->Gate(SelectedRow());
  return gate ? gate->Name : std::string();
}

void TGateMngFrm::ShowSelectedGate() {
  TGateInfo* entry = Gates->Gate(SelectedRow());
  if (!entry) {
    for (QLabel* label : {lbGateName, lbGateType, static_cast<QLabel*>(lbSite), lbGateVersion}) label->clear();
    prefixes_->setStringList({});
    capabilities_->setStringList({});
    chbDisabled->setChecked(false);
    chbDontCheckDelivery->setChecked(false);
    for (QCheckBox* box : {chbDisabled, chbDontCheckDelivery}) box->setEnabled(false);
    return;
  }
  std::unique_ptr<TGate> gate = TGateFactory::CreateGate(entry->Name);
  lbGateName->setText(QStr(gate->Name));
  lbGateType->setText(QStr(gate->Type));
  lbSite->setText(QStr(GateInfoText(*gate, "GateURL")));
  lbGateVersion->setText(QString::number(gate->Version));
  capabilities_->setStringList(Rows(GateCapabilityLines(*gate)));
  chbDisabled->setEnabled(true);
  chbDisabled->setChecked(gate->Disabled);
  chbDontCheckDelivery->setChecked(gate->Info.GetFlagNamed("DontCheckDelivery"));
  chbDontCheckDelivery->setEnabled(gate->Info.GetFlagNamed("SupportCheckDelivery"));
  std::vector<std::string> ranges;
  gate->GetPrefixList(ranges);
  prefixes_->setStringList(Rows(ranges));
}

void TGateMngFrm::chbDisabledClick() {
  int row = SelectedRow();
  TGateInfo* entry = Gates->Gate(row);
  if (!entry) return;
  bool disabled = chbDisabled->isChecked();
  TGateFactory::SetGateDisabled(entry->Name, disabled);
  Gates->SetDisabled(row, disabled);
}

void TGateMngFrm::chbDontCheckDeliveryClick() {
  TGateInfo* entry = Gates->Gate(SelectedRow());
  if (!entry) return;
  std::unique_ptr<TGate> gate = TGateFactory::CreateGate(entry->Name);
  gate->SetStoredParam("DontCheckDelivery", Variant::Boolean(chbDontCheckDelivery->isChecked()));
}

void TGateMngFrm::lbSiteClick() {
  std::string url = CpStr(lbSite->text());
  if (IsGateSiteURL(url)) OpenURL(url);
}

void TGateMngFrm::done(int result) {
  TFormPlacement(*this).SaveSplitter(*Splitter, "Gates");
  QDialog::done(result);
}
