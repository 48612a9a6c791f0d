// The recipient field: a one-line edit with a drop-down list of suggestions
// that its owner supplies for the text typed so far. The list never takes
// the keyboard: typing goes on while it is open, and the arrow and page keys
// and the wheel move through it. (QCompleter would rewrite the text as it
// completes; this list changes the text only when a row is accepted.)
#pragma once

#include <QAbstractListModel>
#include <QComboBox>
#include <QFrame>
#include <QPoint>
#include <functional>

class QListView;
class TSuggestEdit;

// The suggestion rows: a count and the text of each row, asked for only
// when a row is shown, so that a list of thousands costs what a dozen do.
class TSuggestItems : public QAbstractListModel {
  Q_OBJECT
 public:
  using TTextOf = std::function<QString(int row)>;

  explicit TSuggestItems(QObject* parent = nullptr) : QAbstractListModel(parent) {}
  // Replaces every row as one update; `textOf` is asked for rows below
  // `count` only, while these rows stand.
  void Reset(int count, TTextOf textOf);
  void SetStrings(const QStringList& strings);
  void Clear() { Reset(0, nullptr); }
  // Every row is this high.
  void SetRowHeight(int height) { rowHeight_ = height; }
  int RowHeight() const { return rowHeight_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  int count_ = 0;
  TTextOf textOf_;
  int rowHeight_ = 16;
};

// The drop-down window: a list filling it, shown without taking the focus.
class TSuggestBox2 : public QFrame {
  Q_OBJECT
 public:
  explicit TSuggestBox2(TSuggestEdit* owner);
  QListView* List() const { return list_; }
  // The text of the highlighted row; empty when none is highlighted.
  QString Value() const;
  // Removes the highlight.
  void ClearHighlight();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TSuggestEdit* owner_;
  QListView* list_;
  QPoint lastPointer_{-1, -1};
};

class TSuggestEdit : public QComboBox {
  Q_OBJECT
 public:
  explicit TSuggestEdit(QWidget* parent = nullptr);
  ~TSuggestEdit() override;

  // While false, text changes ask for no suggestions and neither open nor
  // close the list.
  bool SuggestEnabled() const { return suggestEnabled_; }
  void SetSuggestEnabled(bool enabled) { suggestEnabled_ = enabled; }
  // The most rows the list shows without scrolling.
  int MaxDropDownItems() const { return maxDropDownItems_; }
  void SetMaxDropDownItems(int count) { maxDropDownItems_ = count; }

  // The rows the owner fills in SuggestData.
  TSuggestItems& SuggestItems() { return *items_; }
  TSuggestBox2* Popup() const { return box_; }
  bool DroppedDown() const;

  // Sets the text as code does: the owner hears of the change, but no
  // suggestions are asked for and the list is neither opened nor closed.
  // Suggestions are on afterwards.
  void SetTextNoSuggest(const QString& text);
  // Opens the list under the field (above it where the screen ends below),
  // as wide as the field and as high as its rows, at most
  // MaxDropDownItems, plus one; an open list is only fitted again. No row
  // is highlighted afterwards.
  void DropDown();
  // Closes the list. Accepting puts the highlighted row's text into the
  // field (without suggestions) and tells Select; with no row highlighted
  // nothing is accepted.
  void CloseUp(bool accept);

  void showPopup() override;
  void hidePopup() override;

 signals:
  // The owner refills SuggestItems for the current text.
  void SuggestData();
  // A suggestion has been accepted into the text.
  void Select();
  // The field got or lost the focus inside its window.
  void Entered();
  void Exited();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // After every change of the text: a typed one asks for suggestions and
  // opens or closes the list.
  void TextChanged();

  TSuggestItems* items_;
  TSuggestBox2* box_;
  bool suggestEnabled_ = true;
  int maxDropDownItems_ = 15;
  bool readOnlyWhileOpen_ = false;  // the button opened the list
  bool typedChange_ = false;        // the user's, not the code's
};
