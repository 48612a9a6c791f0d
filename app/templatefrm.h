// The template manager: adds, deletes, reorders, renames and rewrites the
// message templates, and hands one back for the message being written.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "modalform.h"
#include "templates.h"

class QAction;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;

class TTemplateFrm : public TModalForm {
  Q_OBJECT

 public:
  explicit TTemplateFrm(QWidget* owner = nullptr);
  ~TTemplateFrm() override;

  // A text that becomes a new template when the window is shown; emptied
  // once used.
  std::string HandedText;

  // The editor's text (CR LF line breaks), saved or not.
  std::string EditorText() const;
  // Whether the editors differ from the selected template.
  bool Modified() const { return modified_; }
  // The templates of the list's entries, in list order.
  const std::vector<std::unique_ptr<TTemplate>>& Templates() const { return templates_; }
  // The selected entry; -1 for none.
  int SelectedIndex() const;

  // Reloads every template into the list and shows the first.
  void LoadList();
  // Puts the selected template into the editors.
  void ShowSelected();
  // Re-evaluates which actions are enabled.
  void UpdateActions();

  // ---- Actions ----
  void aAddExecute();
  void aDeleteExecute();
  void aUpExecute();
  void aDownExecute();
  void aSaveExecute();
  void aCancelExecute();
  void aSelectExecute();
  void aCloseExecute();

  // ---- Controls ----
  QListWidget* lbTemplates = nullptr;
  QGroupBox* gbTemplate = nullptr;
  QLineEdit* edName = nullptr;
  QPlainTextEdit* mText = nullptr;

 protected:
  // Loads the list; a handed-in text becomes a new template, shown.
  void FormShow() override;

 private:
  void CreateControls();
  void EditorsChanged();
  void AppendEntry(std::unique_ptr<TTemplate> item);
  void MoveSelected(int by);

  std::vector<std::unique_ptr<TTemplate>> templates_;  // one per entry of lbTemplates
  bool modified_ = false;
  bool tracking_ = false;
};
