// The contact editor: name, number, gate, signature and transliteration mode
// of one contact, with live checks that no other contact has the name or
// the number.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gate.h"
#include "modalform.h"
#include "phonebookrules.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TPhoneBookItem;

class TEditPhoneFrm : public TModalForm {
  Q_OBJECT

 public:
  explicit TEditPhoneFrm(QWidget* owner = nullptr);
  ~TEditPhoneFrm() override;

  // The contact being edited; 0 for a new one.
  int32_t EditedID = 0;
  // The gate chosen in cbGate; both empty for the automatic choice.
  std::string SelectedGateName;
  std::string SelectedGateCaption;

  // Check box state <-> a contact's Translit.
  static uint8_t StateToTranslit(Qt::CheckState state);
  static Qt::CheckState TranslitToState(uint8_t translit);

  // Puts a contact into the controls (EditedID, texts, gate, mode), as the
  // editor's creator does before showing it.
  void SetContact(const TPhoneBookItem& item);
  // The edited values into a contact: name, digits of the number, chosen
  // gate name and caption, signature, mode. ID and group are left alone.
  void GetContact(TPhoneBookItem& item) const;

  // Refills cbGate with "Автоматически" and the enabled gates serving the
  // number, highest priority first, selecting SelectedGateName's entry.
  void FillGates();
  // The gate of cbGate's selected entry; null for "Автоматически".
  TGate* SelectedGate() const;
  const TContactDuplicates& Duplicates() const { return duplicates_; }

  // Handlers.
  void cbGateChange();
  void edNameChange();
  void edPhoneChange();
  void chbTranslitClick();

  // ---- Controls ----
  QLineEdit* edName = nullptr;
  QLineEdit* edPhone = nullptr;
  QComboBox* cbGate = nullptr;
  QLineEdit* edSignature = nullptr;
  QCheckBox* chbTranslit = nullptr;
  QLabel* lbExists = nullptr;
  QPushButton* btOK = nullptr;
  QPushButton* btCancel = nullptr;

 protected:
  // Remembers the check box state and fills the gate list.
  void FormShow() override;

 private:
  void ShowDuplicates();

  Qt::CheckState translitState_ = Qt::PartiallyChecked;  // the check box before a click
  std::vector<std::unique_ptr<TGate>> gates_;              // of cbGate's entries after the first
  TContactDuplicates duplicates_;
};
