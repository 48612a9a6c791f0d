// What the program's modal windows share: a caption, a help context and a
// name that is also their section of the placement file; actions made from a
// table and enabled from a table; a hook at every show the program makes;
// their placement saved whenever they close. Also the parts several of them
// build alike: the report list view and the one-panel status bar.
#pragma once

#include <QDialog>
#include <QStringList>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

class QAbstractItemModel;
class QAction;
class QLabel;
class QStatusBar;
class QTreeView;
class TFormPlacement;

class TModalForm : public QDialog {
  Q_OBJECT

 public:
  // `name` is the object name, and the placement section.
  TModalForm(QWidget* owner, const char* name, const std::string& caption, int helpContext);

  // The action of that object name; null when none.
  QAction* Action(const char* name) const;

 protected:
  template <class Form>
  struct TActionDesc {
    const char* name;
    const char* caption;  // UTF-8
    const char* hint;     // UTF-8; may be empty
    void (Form::*handler)();
  };

  // Makes one action per row, bound to its handler.
  template <class Form>
  void CreateActions(std::initializer_list<TActionDesc<Form>> table) {
    for (const TActionDesc<Form>& desc : table)
      connect(NewAction(desc.name, desc.caption, desc.hint), &QAction::triggered, static_cast<Form*>(this),
              desc.handler);
  }
  void SetActionsEnabled(std::initializer_list<std::pair<const char*, bool>> states);

  // Runs whenever the program shows the window (not when the desktop
  // restores it).
  virtual void FormShow() {}
  // Puts back, before the first show, what SavePlacement keeps.
  void RestorePlacement();
  // The window's position and size, and what a window adds (panes, columns).
  virtual void SavePlacement(TFormPlacement& placement);
  virtual void RestoreMore(const TFormPlacement& placement);
  // Windows that are always centred keep only their size.
  void KeepOnlySize() { onlySize_ = true; }
  // Stops every control from signalling: a window's destructor calls it
  // first, so that controls going away later do not call handlers whose data
  // is gone already.
  void SilenceControls();

  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  QAction* NewAction(const char* name, const char* caption, const char* hint);

  bool onlySize_ = false;
};

// A read-only report list with whole-row selection over `model`, its columns
// movable and as wide as `widths` or as their headers' texts need, whichever
// is wider; each row is drawn on one line.
QTreeView* NewReportView(const char* name, QAbstractItemModel* model, std::initializer_list<int> widths);
// Widens, never narrows, the columns of such a list to their `widths` and to
// what their headers' texts and the widest of their `texts` (one list a
// column, left to right; columns past the lists have none) need at the
// list's font. For the layout a list opens with when nothing is saved: a
// width the user saved, narrower or wider, is the user's and comes back as
// it is.
void WidenReportColumns(QTreeView& view, std::initializer_list<int> widths,
                        const std::vector<QStringList>& texts = {});
// The selected row of such a list; -1 for none.
int SelectedRowOf(const QTreeView& view);
// Selects a row of such a list and scrolls it into view; clears the
// selection for a row outside the list.
void SelectRowOf(QTreeView& view, int row);
// A status bar with one panel, returned through `panel`.
QStatusBar* NewStatusBar(QLabel*& panel, int panelWidth = 0);

// Sets a flag for as long as it lives, then puts the old value back.
class TFlagScope {
 public:
  explicit TFlagScope(bool& flag, bool value = true) : flag_(flag), saved_(flag) { flag_ = value; }
  ~TFlagScope() { flag_ = saved_; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& flag_;
  bool saved_;
};
