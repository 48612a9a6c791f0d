#include "phoneeditfrm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

#include "cp1251.h"
#include "gatefactory.h"
#include "phone.h"
#include "phonebook.h"
#include "newcontrol.h"
#include "uitext.h"
#include "weblinks.h"

namespace {

// A three-state check box whose click follows the editor's cycle instead of
// Qt's own order.
class TCycleCheckBox : public QCheckBox {
 public:
  TCycleCheckBox(const QString& text, std::function<void()> onClick) : QCheckBox(text), onClick_(std::move(onClick)) {}

 protected:
  void nextCheckState() override { onClick_(); }

 private:
  std::function<void()> onClick_;
};

}  // namespace

TEditPhoneFrm::TEditPhoneFrm(QWidget* owner)
    : TModalForm(owner, "EditPhoneFrm", "Редактирование записи"_cp, hcContactEditor) {

  edName = new QLineEdit;
  edName->setObjectName("edName");
  edPhone = new QLineEdit;
  edPhone->setObjectName("edPhone");
  cbGate = new QComboBox;
  cbGate->setObjectName("cbGate");
  edSignature = new QLineEdit;
  edSignature->setObjectName("edSignature");
  chbTranslit = new TCycleCheckBox(QStr("Транслитерация сообщений"_cp), [this] { chbTranslitClick(); });
  chbTranslit->setObjectName("chbTranslit");
  FitToText(chbTranslit);
  chbTranslit->setTristate(true);
  chbTranslit->setCheckState(Qt::PartiallyChecked);
  lbExists = new QLabel;
  lbExists->setObjectName("lbExists");
  lbExists->setTextFormat(Qt::PlainText);
  lbExists->setStyleSheet("color: #c00000;");
  // The warning has a line of its own, kept while it is hidden: showing it
  // neither widens the editor nor makes it taller, so no size it forced is
  // left behind or saved.
  lbExists->setWordWrap(true);
  lbExists->setMinimumHeight(lbExists->fontMetrics().height());
  QSizePolicy keepRoom = lbExists->sizePolicy();
  keepRoom.setRetainSizeWhenHidden(true);
  lbExists->setSizePolicy(keepRoom);
  lbExists->setVisible(false);
  btOK = new QPushButton(QStr("&OK"));
  btOK->setObjectName("btOK");
  btOK->setDefault(true);
  btCancel = new QPushButton(QStr("О&тмена"_cp));
  btCancel->setObjectName("btCancel");

  auto* grid = new QGridLayout;
  const std::pair<const char*, QWidget*> rows[] = {
      {"Имя", edName}, {"Телефон", edPhone}, {"Оператор/шлюз", cbGate}, {"Подпись", edSignature}};
  int row = 0;
  for (const auto& [caption, field] : rows) {
    auto* label = new QLabel(QString::fromUtf8(caption));
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row++, 1);
  }
  grid->addWidget(chbTranslit, row++, 1);
  grid->addWidget(lbExists, row++, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btOK);
  buttons->addWidget(btCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addStretch(1);
  layout->addLayout(buttons);
  resize(420, sizeHint().height());

  connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(edName, &QLineEdit::textChanged, this, &TEditPhoneFrm::edNameChange);
  connect(edPhone, &QLineEdit::textChanged, this, &TEditPhoneFrm::edPhoneChange);
  connect(cbGate, &QComboBox::currentIndexChanged, this, &TEditPhoneFrm::cbGateChange);

  KeepOnlySize();  // always centred on its owner
  RestorePlacement();
}

TEditPhoneFrm::~TEditPhoneFrm() { SilenceControls(); }

uint8_t TEditPhoneFrm::StateToTranslit(Qt::CheckState state) { return CheckStateToTranslit(state); }

Qt::CheckState TEditPhoneFrm::TranslitToState(uint8_t translit) { return TranslitToCheckState(translit); }

void TEditPhoneFrm::SetContact(const TPhoneBookItem& item) {
  EditedID = item.ID;
  edName->setText(QStr(item.Name));
  edPhone->setText(QStr(item.Phone));
  edSignature->setText(QStr(item.Signature));
  SelectedGateName = item.GateName;
  SelectedGateCaption = item.Caption;
  chbTranslit->setCheckState(TranslitToState(item.Translit));
  translitState_ = chbTranslit->checkState();
}

void TEditPhoneFrm::GetContact(TPhoneBookItem& item) const {
  item.Name = CpStr(edName->text());
  item.Phone = ExtractDigits(CpStr(edPhone->text()));
  item.GateName = SelectedGateName;
  item.Caption = SelectedGateCaption;
  item.Signature = CpStr(edSignature->text());
  item.Translit = StateToTranslit(chbTranslit->checkState());
}

void TEditPhoneFrm::FormShow() {
  translitState_ = chbTranslit->checkState();
  FillGates();
}

void TEditPhoneFrm::chbTranslitClick() {
  translitState_ = NextTranslitState(translitState_);
  chbTranslit->setCheckState(translitState_);
}

TGate* TEditPhoneFrm::SelectedGate() const {
  int index = cbGate->currentIndex();
  return index > 0 && index <= static_cast<int>(gates_.size()) ? gates_[index - 1].get() : nullptr;
}

void TEditPhoneFrm::FillGates() {
  {
    QSignalBlocker quiet(cbGate);
    cbGate->clear();
    gates_.clear();
    cbGate->addItem(QStr("Автоматически"_cp));
    std::vector<std::string> names;
    TGateFactory::FindGatesForPhone(ExtractDigits(CpStr(edPhone->text())), gkAll, names);
    int selected = -1;
    for (const std::string& name : names) {
      gates_.push_back(TGateFactory::CreateGate(name));
      cbGate->addItem(QStr(gates_.back()->Caption));
      if (name == SelectedGateName) selected = cbGate->count() - 1;
    }
    cbGate->setCurrentIndex(selected);
  }
  cbGateChange();
  if (cbGate->currentIndex() < 0) {
    QSignalBlocker quiet(cbGate);
    cbGate->setCurrentIndex(0);
  }
}

void TEditPhoneFrm::cbGateChange() {
  TGate* gate = SelectedGate();
  SelectedGateName = gate ? gate->Name : std::string();
  SelectedGateCaption = gate ? gate->Caption : std::string();
}

void TEditPhoneFrm::edNameChange() {
  duplicates_.name = IsOtherContact(TPhoneBook::FindByName(CpStr(edName->text())), EditedID);
  ShowDuplicates();
}

void TEditPhoneFrm::edPhoneChange() {
  std::string digits = ExtractDigits(CpStr(edPhone->text()));
  // A contact may be stored without a number, however many others have none.
  duplicates_.phone = !digits.empty() && IsOtherContact(TPhoneBook::FindByPhone(digits), EditedID);
  ShowDuplicates();
  FillGates();
}

void TEditPhoneFrm::ShowDuplicates() {
  std::string warning = duplicates_.Warning();
  lbExists->setText(QStr(warning));
  lbExists->setVisible(!warning.empty());
  btOK->setEnabled(duplicates_.OkEnabled());
}
