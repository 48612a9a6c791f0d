#include "templatefrm.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "cp1251.h"
#include "uitext.h"
#include "weblinks.h"

TTemplateFrm::TTemplateFrm(QWidget* owner)
    : TModalForm(owner, "TemplateFrm", "Менеджер шаблонов"_cp, hcTemplates) {
  using F = TTemplateFrm;
  CreateActions<F>({
      {"aAdd", "Добавить", "", &F::aAddExecute},
      {"aDelete", "Удалить", "", &F::aDeleteExecute},
      {"aUp", "Вверх", "", &F::aUpExecute},
      {"aDown", "Вниз", "", &F::aDownExecute},
      {"aSave", "Сохранить", "", &F::aSaveExecute},
      {"aCancel", "Отмена", "", &F::aCancelExecute},
      {"aSelect", "Выбрать", "", &F::aSelectExecute},
      {"aClose", "Закрыть", "", &F::aCloseExecute},
  });
  Action("aUp")->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
  Action("aDown")->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
  CreateControls();
  resize(560, 420);
  KeepOnlySize();  // always centred on the main window
  RestorePlacement();
  UpdateActions();
}

TTemplateFrm::~TTemplateFrm() { SilenceControls(); }

void TTemplateFrm::CreateControls() {
  // A push button that runs an action and follows its enabled state.
  auto button = [this](const char* action, const char* name) {
    auto* b = new QPushButton(Action(action)->text());
    b->setObjectName(name);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, Action(action), &QAction::trigger);
    connect(Action(action), &QAction::changed, b, [b, a = Action(action)] { b->setEnabled(a->isEnabled()); });
    return b;
  };
  auto picture = [this](const char* action, const char* name) {
    auto* b = new QToolButton;
    b->setObjectName(name);
    b->setDefaultAction(Action(action));
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    return b;
  };

  lbTemplates = new QListWidget;
  lbTemplates->setObjectName("lbTemplates");
  lbTemplates->setSelectionMode(QAbstractItemView::SingleSelection);

  edName = new QLineEdit;
  edName->setObjectName("edName");
  mText = new QPlainTextEdit;
  mText->setObjectName("mText");
  gbTemplate = new QGroupBox(QStr("Шаблон"_cp));
  gbTemplate->setObjectName("gbTemplate");
  auto* editors = new QGridLayout(gbTemplate);
  auto* nameLabel = new QLabel(QStr("Имя"_cp));
  nameLabel->setBuddy(edName);
  auto* textLabel = new QLabel(QStr("Текст"_cp));
  textLabel->setBuddy(mText);
  editors->addWidget(nameLabel, 0, 0);
  editors->addWidget(edName, 0, 1);
  editors->addWidget(textLabel, 1, 0, Qt::AlignTop);
  editors->addWidget(mText, 1, 1);
  auto* saveRow = new QHBoxLayout;
  saveRow->addStretch(1);
  saveRow->addWidget(button("aSave", "btSave"));
  saveRow->addWidget(button("aCancel", "btCancel"));
  editors->addLayout(saveRow, 2, 0, 1, 2);

  auto* side = new QVBoxLayout;
  side->addWidget(button("aAdd", "btAdd"));
  side->addWidget(button("aDelete", "btDelete"));
  auto* arrows = new QHBoxLayout;
  arrows->addWidget(picture("aUp", "btUp"));
  arrows->addWidget(picture("aDown", "btDown"));
  arrows->addStretch(1);
  side->addLayout(arrows);
  side->addStretch(1);

  auto* top = new QHBoxLayout;
  top->addWidget(lbTemplates, 1);
  top->addLayout(side);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(button("aSelect", "btSelect"));
  bottom->addWidget(button("aClose", "btClose"));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 2);
  layout->addWidget(gbTemplate, 3);
  layout->addLayout(bottom);

  // A mouse click makes an entry current before it selects it: the
  // selection is what the editors follow.
  connect(lbTemplates, &QListWidget::itemSelectionChanged, this, [this] {
    TFlagScope quiet(tracking_, false);
    ShowSelected();
  });
  connect(lbTemplates, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    if (item && item->isSelected()) aSelectExecute();
  });
  connect(edName, &QLineEdit::textChanged, this, &TTemplateFrm::EditorsChanged);
  connect(mText, &QPlainTextEdit::textChanged, this, &TTemplateFrm::EditorsChanged);
}

void TTemplateFrm::FormShow() {
  LoadList();
  if (HandedText.empty()) return;
  std::string text = std::move(HandedText);
  HandedText.clear();
  auto item = TTemplateList::Add(TTemplateList::GetTemplateName("", text), text);
  if (!item) return;
  AppendEntry(std::move(item));
  mText->moveCursor(QTextCursor::End);
  mText->setFocus();
}

std::string TTemplateFrm::EditorText() const { return CpStr(mText->toPlainText().replace('\n', "\r\n")); }

int TTemplateFrm::SelectedIndex() const {
  QListWidgetItem* item = lbTemplates->currentItem();
  return item && item->isSelected() ? lbTemplates->row(item) : -1;
}

void TTemplateFrm::EditorsChanged() {
  if (!tracking_) return;
  modified_ = true;
  UpdateActions();
}

void TTemplateFrm::UpdateActions() {
  int index = SelectedIndex();
  SetActionsEnabled({
      {"aDelete", index >= 0},
      {"aUp", index > 0},
      {"aDown", index >= 0 && index < lbTemplates->count() - 1},
      {"aSave", modified_},
      {"aCancel", modified_},
      {"aSelect", index >= 0},
  });
}

void TTemplateFrm::LoadList() {
  TTemplateItemList loaded;
  TTemplateList::Load(loaded);
  {
    TFlagScope quiet(tracking_, false);
    QSignalBlocker quietList(lbTemplates);
    lbTemplates->clear();
    templates_.clear();
    edName->clear();
    mText->clear();
    for (const auto& item : loaded) {
      lbTemplates->addItem(QStr(TTemplateList::GetTemplateName(item->Name, item->Text)));
      templates_.push_back(std::make_unique<TTemplate>(*item));
    }
    if (!templates_.empty()) lbTemplates->setCurrentRow(0);
    ShowSelected();
  }
  tracking_ = true;
}

void TTemplateFrm::ShowSelected() {
  int index = SelectedIndex();
  if (index >= 0) {
    TFlagScope quiet(tracking_, false);
    const TTemplate& item = *templates_[index];
    edName->setText(QStr(item.Name));
    mText->setPlainText(QStr(item.Text).replace("\r\n", "\n").replace('\r', '\n'));
    lbTemplates->item(index)->setText(QStr(item.Name));
  }
  modified_ = false;
  UpdateActions();
}

void TTemplateFrm::AppendEntry(std::unique_ptr<TTemplate> item) {
  lbTemplates->addItem(QStr(item->Name));
  templates_.push_back(std::move(item));
  QSignalBlocker quiet(lbTemplates);
  lbTemplates->setCurrentRow(lbTemplates->count() - 1);
  ShowSelected();
}

void TTemplateFrm::aAddExecute() {
  if (auto item = TTemplateList::Add("Новый шаблон"_cp, "Текст нового шаблона"_cp)) AppendEntry(std::move(item));
}

void TTemplateFrm::aDeleteExecute() {
  int index = SelectedIndex();
  if (index < 0 || !TTemplateList::Delete(templates_[index]->ID)) return;
  {
    QSignalBlocker quiet(lbTemplates);
    delete lbTemplates->takeItem(index);
    templates_.erase(templates_.begin() + index);
    int count = lbTemplates->count();
    lbTemplates->setCurrentRow(index < count ? index : count - 1);
  }
  if (lbTemplates->count() == 0) {
    TFlagScope quiet(tracking_, false);
    edName->clear();
    mText->clear();
  }
  ShowSelected();
}

void TTemplateFrm::MoveSelected(int by) {
  int index = SelectedIndex(), other = index + by;
  if (index < 0 || other < 0 || other >= lbTemplates->count()) return;
  if (!TTemplateList::Exchange(*templates_[index], *templates_[other])) return;
  QSignalBlocker quiet(lbTemplates);
  std::swap(templates_[index], templates_[other]);
  QListWidgetItem* moved = lbTemplates->takeItem(index);
  lbTemplates->insertItem(other, moved);
  lbTemplates->setCurrentRow(other);
  UpdateActions();
}

void TTemplateFrm::aUpExecute() { MoveSelected(-1); }

void TTemplateFrm::aDownExecute() { MoveSelected(1); }

void TTemplateFrm::aSaveExecute() {
  int index = SelectedIndex();
  if (index < 0 || !modified_) return;
  TTemplate edited = *templates_[index];
  edited.Name = TTemplateList::GetTemplateName(CpStr(edName->text()), EditorText());
  edited.Text = EditorText();
  // Refused (a name another template has): the list keeps what is stored,
  // the editors keep the unsaved edits.
  if (!TTemplateList::Update(edited)) return;
  *templates_[index] = edited;
  lbTemplates->item(index)->setText(QStr(edited.Name));
  modified_ = false;
  UpdateActions();
}

void TTemplateFrm::aCancelExecute() {
  if (modified_) ShowSelected();
}

void TTemplateFrm::aSelectExecute() {
  if (SelectedIndex() >= 0) accept();
}

void TTemplateFrm::aCloseExecute() { reject(); }
