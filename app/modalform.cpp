#include "modalform.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <algorithm>

#include "placement.h"
#include "uitext.h"
#include "weblinks.h"

TModalForm::TModalForm(QWidget* owner, const char* name, const std::string& caption, int helpContext)
    : QDialog(owner) {
  setObjectName(name);
  setWindowTitle(QStr(caption));
  SetHelpContext(this, helpContext);
}

QAction* TModalForm::Action(const char* name) const { return findChild<QAction*>(name, Qt::FindDirectChildrenOnly); }

QAction* TModalForm::NewAction(const char* name, const char* caption, const char* hint) {
  auto* action = new QAction(QString::fromUtf8(caption), this);
  action->setObjectName(name);
  if (*hint) {
    action->setToolTip(QString::fromUtf8(hint));
    action->setStatusTip(QString::fromUtf8(hint));
  }
  return action;
}

void TModalForm::SilenceControls() {
  for (QObject* child : findChildren<QObject*>()) child->blockSignals(true);
}

void TModalForm::SetActionsEnabled(std::initializer_list<std::pair<const char*, bool>> states) {
  for (const auto& [name, enabled] : states) Action(name)->setEnabled(enabled);
}

void TModalForm::RestorePlacement() {
  TFormPlacement placement(*this);
  placement.Restore(*this);
  // Left unmoved, the dialog centres itself on its owner when it shows.
  if (onlySize_) setAttribute(Qt::WA_Moved, false);
  RestoreMore(placement);
}

void TModalForm::SavePlacement(TFormPlacement& placement) { placement.Save(*this); }

void TModalForm::RestoreMore(const TFormPlacement&) {}

void TModalForm::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) FormShow();
  QDialog::showEvent(event);
}

void TModalForm::done(int result) {
  TFormPlacement placement(*this);
  SavePlacement(placement);
  QDialog::done(result);
}

namespace {

// Draws a row's texts on one line: a text of several lines (a message, say)
// shows its line breaks as blanks, while the model keeps the text as it is.
class TOneLineDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    // The base has turned each LF into a line separator already.
    const QString breaks[] = {QString("\r") + QChar::LineSeparator, QString(QChar::LineSeparator), "\r"};
    for (const QString& lineBreak : breaks) option->text.replace(lineBreak, " ");
  }
};

}  // namespace

QTreeView* NewReportView(const char* name, QAbstractItemModel* model, std::initializer_list<int> widths) {
  auto* view = new QTreeView;
  view->setObjectName(name);
  view->setModel(model);
  view->setRootIsDecorated(false);
  view->setItemsExpandable(false);
  view->setUniformRowHeights(true);
  view->setAllColumnsShowFocus(true);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  view->setItemDelegate(new TOneLineDelegate(view));
  QHeaderView* header = view->header();
  header->setSectionsMovable(true);
  header->setStretchLastSection(false);
  int column = 0;
  for (int width : widths) header->resizeSection(column++, width);
  WidenReportColumns(*view, widths);
  return view;
}

namespace {

// The width a cell needs to show `text` whole, padding included.
int CellWidth(const QTreeView& view, const QString& text) {
  QStyleOptionViewItem option;
  option.initFrom(&view);
  option.widget = &view;
  option.features = QStyleOptionViewItem::HasDisplay;
  option.text = text;
  return view.style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), &view).width();
}

}  // namespace

void WidenReportColumns(QTreeView& view, std::initializer_list<int> widths, const std::vector<QStringList>& texts) {
  QHeaderView* header = view.header();
  const int* width = widths.begin();
  for (int column = 0; column < header->count(); ++column) {
    int needed = header->sectionSizeHint(column);
    if (width != widths.end()) needed = std::max(needed, *width++);
    if (column < static_cast<int>(texts.size()))
      for (const QString& text : texts[column]) needed = std::max(needed, CellWidth(view, text));
    if (header->sectionSize(column) < needed) header->resizeSection(column, needed);
  }
}

int SelectedRowOf(const QTreeView& view) {
  QModelIndexList rows = view.selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void SelectRowOf(QTreeView& view, int row) {
  if (row < 0 || row >= view.model()->rowCount()) {
    view.selectionModel()->clearSelection();
    return;
  }
  QModelIndex index = view.model()->index(row, 0);
  view.selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view.scrollTo(index);
}

QStatusBar* NewStatusBar(QLabel*& panel, int panelWidth) {
  auto* status = new QStatusBar;
  status->setObjectName("StatusBar");
  panel = new QLabel;
  panel->setObjectName("StatusPanel");
  panel->setTextFormat(Qt::PlainText);
  if (panelWidth > 0) {
    panel->setMinimumWidth(panelWidth);
    status->addWidget(panel);
  } else {
    status->addWidget(panel, 1);
  }
  return status;
}
