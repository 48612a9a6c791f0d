#include "suggestedit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

// ---- TSuggestItems ----

void TSuggestItems::Reset(int count, TTextOf textOf) {
  beginResetModel();
  count_ = textOf ? std::max(0, count) : 0;
  textOf_ = std::move(textOf);
  endResetModel();
}

void TSuggestItems::SetStrings(const QStringList& strings) {
  Reset(static_cast<int>(strings.size()), [strings](int row) { return strings[row]; });
}

int TSuggestItems::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count_; }

QVariant TSuggestItems::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= count_) return {};
  if (role == Qt::DisplayRole) return textOf_(index.row());
  if (role == Qt::SizeHintRole) return QSize(1, rowHeight_);
  return {};
}

// ---- TSuggestBox2 ----

TSuggestBox2::TSuggestBox2(TSuggestEdit* owner)
    : QFrame(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus), owner_(owner) {
  setObjectName("SuggestBox");
  // Shown beside the field that keeps the keyboard: never activated.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setFrameShape(QFrame::Box);
  setLineWidth(1);
  list_ = new QListView(this);
  list_->setObjectName("SuggestList");
  list_->setFrameShape(QFrame::NoFrame);
  list_->setFocusPolicy(Qt::NoFocus);
  list_->setUniformItemSizes(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setTextElideMode(Qt::ElideRight);
  list_->setMouseTracking(true);
  list_->viewport()->setMouseTracking(true);
  // As small as the rows make it: the list's own minimum would add rows.
  list_->setMinimumSize(1, 1);
  list_->setModel(&owner->SuggestItems());
  list_->viewport()->installEventFilter(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(lineWidth(), lineWidth(), lineWidth(), lineWidth());
  layout->addWidget(list_);
  resize(100, 200);
}

QString TSuggestBox2::Value() const {
  QModelIndex current = list_->currentIndex();
  if (!current.isValid() || !list_->selectionModel()->isSelected(current)) return {};
  return current.data(Qt::DisplayRole).toString();
}

void TSuggestBox2::ClearHighlight() {
  list_->selectionModel()->clear();
  list_->scrollToTop();
}

bool TSuggestBox2::eventFilter(QObject* watched, QEvent* event) {
  if (watched != list_->viewport()) return QFrame::eventFilter(watched, event);
  if (event->type() == QEvent::MouseMove) {
    QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    // The pointer standing still reports again when the list scrolls under
    // it; only a move changes the highlight.
    if (at == lastPointer_) return true;
    lastPointer_ = at;
    QModelIndex index = list_->indexAt(at);
    if (index.isValid()) list_->setCurrentIndex(index);
    return true;
  }
  if (event->type() == QEvent::MouseButtonRelease) {
    QModelIndex index = list_->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
    if (index.isValid()) list_->setCurrentIndex(index);
    owner_->CloseUp(true);
    return true;
  }
  return QFrame::eventFilter(watched, event);
}

// ---- TSuggestEdit ----

TSuggestEdit::TSuggestEdit(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  // The text is the user's: nothing completes or replaces it but an
  // accepted suggestion.
  setCompleter(nullptr);
  items_ = new TSuggestItems(this);
  items_->SetRowHeight(fontMetrics().lineSpacing() + 4);
  box_ = new TSuggestBox2(this);
  box_->setFont(font());
  // A typed change is known by its edit signal, which comes before the
  // change signal; it is acted on after the change signal, once the owner
  // has heard of the new text (connected above, in setEditable).
  connect(lineEdit(), &QLineEdit::textEdited, this, [this] { typedChange_ = true; });
  connect(lineEdit(), &QLineEdit::textChanged, this, &TSuggestEdit::TextChanged);
}

// A filter that goes away leaves the window's list of filters by itself.
TSuggestEdit::~TSuggestEdit() = default;

bool TSuggestEdit::DroppedDown() const { return box_->isVisible(); }

void TSuggestEdit::SetTextNoSuggest(const QString& text) {
  suggestEnabled_ = false;
  setEditText(text);
  suggestEnabled_ = true;
}

void TSuggestEdit::TextChanged() {
  if (!typedChange_) return;
  typedChange_ = false;
  if (!suggestEnabled_) return;
  emit SuggestData();
  if (!currentText().isEmpty())
    DropDown();
  else
    CloseUp(true);
}

void TSuggestEdit::DropDown() {
  // The list floats over the window: when the window moves, shrinks or
  // goes, the list closes instead of staying behind.
  window()->removeEventFilter(this);
  window()->installEventFilter(this);
  int rowHeight = items_->RowHeight();
  int rows = std::min(maxDropDownItems_, items_->rowCount()) + 1;
  int frame = box_->lineWidth();
  QSize size(width(), rows * rowHeight + 2 * frame);
  QRect area = screen()->availableGeometry();
  QPoint below = mapToGlobal(QPoint(0, height()));
  QPoint above = mapToGlobal(QPoint(0, 0)) - QPoint(0, size.height());
  QPoint at = below.y() + size.height() <= area.bottom() + 1 || above.y() < area.top() ? below : above;
  at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())));
  at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
  box_->setGeometry(QRect(at, size));
  if (!box_->isVisible()) box_->show();
  box_->ClearHighlight();
}

void TSuggestEdit::CloseUp(bool accept) {
  box_->hide();
  if (readOnlyWhileOpen_) {
    lineEdit()->setReadOnly(false);
    readOnlyWhileOpen_ = false;
  }
  if (!accept) {
    lineEdit()->setModified(false);
    return;
  }
  QString value = box_->Value();
  if (value.isEmpty()) return;
  SetTextNoSuggest(value);
  emit Select();
}

void TSuggestEdit::showPopup() {
  emit SuggestData();
  if (DroppedDown()) {
    CloseUp(true);
    return;
  }
  DropDown();
  lineEdit()->setReadOnly(true);
  readOnlyWhileOpen_ = true;
}

void TSuggestEdit::hidePopup() {
  if (DroppedDown()) CloseUp(false);
}

void TSuggestEdit::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
      // The list moves its highlight; the caret stays where it is.
      QKeyEvent forwarded(QEvent::KeyPress, event->key(), Qt::NoModifier);
      QCoreApplication::sendEvent(box_->List(), &forwarded);
      event->accept();
      return;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      if (DroppedDown() && !(event->modifiers() & Qt::ControlModifier)) {
        CloseUp(event->key() != Qt::Key_Escape);
        event->accept();
        return;
      }
      break;
    default:
      break;
  }
  QComboBox::keyPressEvent(event);
}

void TSuggestEdit::wheelEvent(QWheelEvent* event) {
  if (DroppedDown()) QCoreApplication::sendEvent(box_->List()->viewport(), event);
  event->accept();
}

void TSuggestEdit::focusInEvent(QFocusEvent* event) {
  QComboBox::focusInEvent(event);
  // Coming back to the window, or from a menu, is no entering.
  if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) emit Entered();
}

void TSuggestEdit::focusOutEvent(QFocusEvent* event) {
  QComboBox::focusOutEvent(event);
  if (DroppedDown()) CloseUp(false);
  if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) emit Exited();
}

void TSuggestEdit::hideEvent(QHideEvent* event) {
  if (DroppedDown()) CloseUp(false);
  QComboBox::hideEvent(event);
}

bool TSuggestEdit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window() && watched != this) {
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::Hide:
      case QEvent::WindowStateChange:
        if (DroppedDown()) CloseUp(false);
        break;
      default:
        break;
    }
  }
  return QComboBox::eventFilter(watched, event);
}
