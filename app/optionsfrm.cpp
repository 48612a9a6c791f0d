#include "optionsfrm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include "cp1251.h"
#include "history.h"
#include "messagebox.h"
#include "newcontrol.h"
#include "options.h"
#include "placement.h"
#include "smsfrm.h"
#include "sqlmgr.h"
#include "uitext.h"
#include "weblinks.h"

namespace {

int saveCount = 0;
TOptionsState& LastSaved() {
  static TOptionsState state;
  return state;
}

// The escapes the signature divider knows, under its edit.
std::string DividerHelpText() {
  return "Разделитель подписи может содержать следующие символы:\r\n"_cp + "    \\n - перевод строки\r\n"_cp +
         "    \\s - подпись. Если символ встречается, то заменяется на подпись,\r\n"_cp +
         "          иначе подпись добавляется к разделителю"_cp;
}

QWidget* NewPage(const char* name) {
  auto* page = new QWidget;
  page->setObjectName(name);
  return page;
}

// "Каждые [list] суток".
QHBoxLayout* PeriodRow(QWidget* page, QComboBox* list) {
  auto* row = new QHBoxLayout;
  row->setContentsMargins(20, 0, 0, 0);
  row->addWidget(new QLabel(QStr("Каждые"_cp), page));
  row->addWidget(list);
  row->addWidget(new QLabel(QStr("суток"_cp), page));
  row->addStretch();
  return row;
}

}  // namespace

TOptionsFrm::TOptionsFrm(QWidget* parent) : QDialog(parent) {
  setObjectName("OptionsFrm");
  setWindowTitle(QStr("Настройки"_cp));
  SetHelpContext(this, hcOptions);

  pgOptions = new QTabWidget(this);
  pgOptions->setObjectName("pgOptions");
  tsGeneral = CreateGeneralPage();
  tsBehaviour = CreateBehaviourPage();
  tsProxy = CreateProxyPage();
  tsUpdate = CreateUpdatePage();
  tsStats = CreateStatsPage();
  const std::pair<QWidget*, std::string> pages[] = {{tsGeneral, "Общее"_cp},
                                                    {tsBehaviour, "Поведение"_cp},
                                                    {tsProxy, "Прокси"_cp},
                                                    {tsUpdate, "Автообновление"_cp},
                                                    {tsStats, "Статистика"_cp}};
  for (const auto& [page, caption] : pages) pgOptions->addTab(page, QStr(caption));

  btOk = NewControl<QPushButton>(this, "btOk", "OK");
  btOk->setDefault(true);
  btCancel = NewControl<QPushButton>(this, "btCancel", "Отмена"_cp);
  connect(btOk, &QPushButton::clicked, this, &TOptionsFrm::btOkClick);
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pgOptions);
  layout->addLayout(ButtonRow({btOk, btCancel}));
  // A dialog of fixed size: it is laid out for its texts.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  for (QCheckBox* master : {chbClearAfterSend, chbSaveHistory, chbStats, chbAutoCheckUpdate, chbAutoUpdateGates, chbAuth})
    connect(master, &QCheckBox::toggled, this, &TOptionsFrm::UpdateDependencies);
  for (QRadioButton* radio : {rbDirect, rbIE, rbProxy})
    connect(radio, &QRadioButton::toggled, this, &TOptionsFrm::UpdateDependencies);

  SelectPage(pgGeneral);
  lbDividerHelp->setText(QStr(DividerHelpText()));
  SetState(LoadOptionsState(*Options));
}

QComboBox* TOptionsFrm::NewPeriodList(const char* name) {
  auto* list = new QComboBox;
  list->setObjectName(name);
  for (const char* entry : UpdatePeriodEntries()) list->addItem(entry);
  return list;
}

QWidget* TOptionsFrm::CreateGeneralPage() {
  auto* page = NewPage("tsGeneral");
  auto* tray = NewControl<QGroupBox>(page, "gbTray", "Системный трей"_cp);
  auto* trayLayout = new QVBoxLayout(tray);
  chbMinimizeToTray = NewControl<QCheckBox>(nullptr, "chbMinimizeToTray", "Сворачивать в трей"_cp);
  chbCloseToTray = NewControl<QCheckBox>(nullptr, "chbCloseToTray", "Закрывать в трей"_cp);
  chbAlwaysInTray = NewControl<QCheckBox>(nullptr, "chbAlwaysInTray", "Всегда показывать в трее"_cp);
  chbRestoreDblClick = NewControl<QCheckBox>(nullptr, "chbRestoreDblClick", "Разворачивать по двойному клику"_cp);
  for (QCheckBox* box : {chbMinimizeToTray, chbCloseToTray, chbAlwaysInTray, chbRestoreDblClick})
    trayLayout->addWidget(box);

  edSignature = NewControl<QLineEdit>(page, "edSignature");
  edSignatureDivider = NewControl<QLineEdit>(page, "edSignatureDivider");
  lbDividerHelp = NewControl<QLabel>(page, "lbDividerHelp");
  lbDividerHelp->setTextFormat(Qt::PlainText);

  auto* fields = new QGridLayout;
  fields->addWidget(NewControl<QLabel>(page, "lbSignature", "Подпись по умолчанию"_cp), 0, 0);
  fields->addWidget(edSignature, 0, 1);
  fields->addWidget(NewControl<QLabel>(page, "lbSignatureDivider", "Разделитель подписи"_cp), 1, 0);
  fields->addWidget(edSignatureDivider, 1, 1);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(tray);
  layout->addLayout(fields);
  layout->addWidget(lbDividerHelp);
  layout->addStretch();
  return page;
}

QWidget* TOptionsFrm::CreateBehaviourPage() {
  auto* page = NewPage("tsBehaviour");
  chbFormatPhones = NewControl<QCheckBox>(nullptr, "chbFormatPhones", "Форматировать номера (отображать в виде +7 901 123-45-67)"_cp);
  chbOneInstance = NewControl<QCheckBox>(nullptr, "chbOneInstance", "Запрет одновременного запуска нескольких копий Parlomix"_cp);
  chbSaveAfterExit = NewControl<QCheckBox>(nullptr, "chbSaveAfterExit", "Сохранять сообщение при выходе"_cp);
  chbClearAfterSend = NewControl<QCheckBox>(nullptr, "chbClearAfterSend", "Очищать сообщение после отправки"_cp);
  chbClearOnlyText = NewControl<QCheckBox>(nullptr, "chbClearOnlyText", "Очищать только текст сообщения"_cp);
  chbSaveHistory = NewControl<QCheckBox>(nullptr, "chbSaveHistory", "Сохранять сообщения в истории"_cp);
  chbClearOnExit = NewControl<QCheckBox>(nullptr, "chbClearOnExit", "Очищать историю при выходе"_cp);
  chbLogSend = NewControl<QCheckBox>(nullptr, "chbLogSend", "Сохранять протокол отправки"_cp);
  chbCheckDelivery = NewControl<QCheckBox>(nullptr, "chbCheckDelivery", "Проверять статус доставки сообщения (глобальный переключатель)"_cp);
  chbAutoClose = NewControl<QCheckBox>(nullptr, "chbAutoClose", "Автоматически закрывать окно отправки при успешной отправке"_cp);
  btClearHistory = NewControl<QPushButton>(page, "btClearHistory", "Очистить сейчас"_cp);
  btClearHistory->setAutoDefault(false);
  connect(btClearHistory, &QPushButton::clicked, this, &TOptionsFrm::btClearHistoryClick);
  // Opened by the first-run wizard before the databases are, there is no
  // history yet to clear.
  btClearHistory->setEnabled(Database != nullptr);

  auto* layout = new QVBoxLayout(page);
  // The boxes that depend on the one above them stand indented under it,
  // at its left edge whatever else their row holds: a box alone in a row
  // would be centred in it.
  auto indented = [&](QCheckBox* box) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(20, 0, 0, 0);
    row->addWidget(box, 0, Qt::AlignLeft);
    return row;
  };
  for (QCheckBox* box : {chbFormatPhones, chbOneInstance, chbSaveAfterExit, chbClearAfterSend})
    layout->addWidget(box);
  layout->addLayout(indented(chbClearOnlyText));
  layout->addWidget(chbSaveHistory);
  QHBoxLayout* clearRow = indented(chbClearOnExit);
  clearRow->addStretch();
  clearRow->addWidget(btClearHistory);
  layout->addLayout(clearRow);
  for (QCheckBox* box : {chbLogSend, chbCheckDelivery, chbAutoClose}) layout->addWidget(box);
  layout->addStretch();
  return page;
}

QWidget* TOptionsFrm::CreateProxyPage() {
  auto* page = NewPage("tsProxy");
  rbDirect = NewControl<QRadioButton>(page, "rbDirect", "Не использовать прокси"_cp);
  rbIE = NewControl<QRadioButton>(page, "rbIE", "Использовать настройки IE"_cp);
  rbProxy = NewControl<QRadioButton>(page, "rbProxy", "Использовать прокси"_cp);
  rbIE->setChecked(true);

  gbProxy = NewControl<QGroupBox>(page, "gbProxy", "Прокси"_cp);
  cbProxyType = new QComboBox(gbProxy);
  cbProxyType->setObjectName("cbProxyType");
  for (const char* entry : ProxyTypeEntries()) cbProxyType->addItem(entry);
  cbProxyType->setCurrentIndex(0);
  edHost = NewControl<QLineEdit>(gbProxy, "edHost");
  edPort = new QComboBox(gbProxy);
  edPort->setObjectName("edPort");
  edPort->setEditable(true);
  edPort->setInsertPolicy(QComboBox::NoInsert);
  for (const char* entry : ProxyPortEntries()) edPort->addItem(entry);
  chbAuth = NewControl<QCheckBox>(gbProxy, "chbAuth", "Аутентификация"_cp);
  edName = NewControl<QLineEdit>(gbProxy, "edName");
  edPass = NewControl<QLineEdit>(gbProxy, "edPass");
  edPass->setEchoMode(QLineEdit::Password);
  edPass->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");  // "*"

  auto* grid = new QGridLayout(gbProxy);
  grid->addWidget(NewControl<QLabel>(gbProxy, "lbProxyType", "Тип"_cp), 0, 0);
  grid->addWidget(cbProxyType, 0, 1);
  grid->addWidget(NewControl<QLabel>(gbProxy, "lbHost", "Сервер"_cp), 1, 0);
  grid->addWidget(edHost, 1, 1, 1, 3);
  grid->addWidget(NewControl<QLabel>(gbProxy, "lbPort", "Порт"_cp), 2, 0);
  grid->addWidget(edPort, 2, 1);
  grid->addWidget(chbAuth, 3, 0, 1, 4);
  grid->addWidget(NewControl<QLabel>(gbProxy, "lbName", "Имя"_cp), 4, 0);
  grid->addWidget(edName, 4, 1, 1, 3);
  grid->addWidget(NewControl<QLabel>(gbProxy, "lbPass", "Пароль"_cp), 5, 0);
  grid->addWidget(edPass, 5, 1, 1, 3);
  grid->setColumnStretch(2, 1);

  auto* layout = new QVBoxLayout(page);
  for (QRadioButton* radio : {rbDirect, rbIE, rbProxy}) layout->addWidget(radio);
  layout->addWidget(gbProxy);
  layout->addStretch();
  return page;
}

QWidget* TOptionsFrm::CreateUpdatePage() {
  auto* page = NewPage("tsUpdate");
  chbAutoCheckUpdate = NewControl<QCheckBox>(nullptr, "chbAutoCheckUpdate", "Автоматически проверять обновление Parlomix"_cp);
  cbUpdatePeriod = NewPeriodList("cbUpdatePeriod");
  chbAutoUpdateGates = NewControl<QCheckBox>(nullptr, "chbAutoUpdateGates", "Автоматически проверять обновления базы операторов"_cp);
  cbUpdateGatesPeriod = NewPeriodList("cbUpdateGatesPeriod");
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(chbAutoCheckUpdate);
  layout->addLayout(PeriodRow(page, cbUpdatePeriod));
  layout->addSpacing(8);
  layout->addWidget(chbAutoUpdateGates);
  layout->addLayout(PeriodRow(page, cbUpdateGatesPeriod));
  layout->addStretch();
  return page;
}

QWidget* TOptionsFrm::CreateStatsPage() {
  auto* page = NewPage("tsStats");
  chbStats = NewControl<QCheckBox>(nullptr, "chbStats", "Вести статистику отправленных сообщений"_cp);
  chbSendStatsToServer = NewControl<QCheckBox>(nullptr, "chbSendStatsToServer", "Посылать статистику на сервер"_cp);
  lbStatsNote = NewControl<QLabel>(page, "lbStatsNote",
                                   "Статистика содержит только количество отправленных и ошибочных сообщений и не "
                                   "содержит текст сообщения и номера телефонов. Отправляется на сервер раз в неделю."_cp);
  lbStatsNote->setTextFormat(Qt::PlainText);
  lbStatsNote->setWordWrap(true);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(chbStats);
  layout->addWidget(chbSendStatsToServer);
  layout->addSpacing(8);
  layout->addWidget(lbStatsNote);
  layout->addStretch();
  return page;
}

void TOptionsFrm::SelectPage(int index) {
  if (index < 0 || index >= pgOptions->count()) return;
  pgOptions->setCurrentIndex(index);
}

TOptionsState TOptionsFrm::State() const {
  TOptionsState state;
  for (const TOptionField& f : OptionFields()) {
    switch (f.kind) {
      case TOptionFieldKind::Check: state.checked[f.control] = findChild<QCheckBox*>(f.control)->isChecked(); break;
      case TOptionFieldKind::Text: state.text[f.control] = CpStr(findChild<QLineEdit*>(f.control)->text()); break;
      case TOptionFieldKind::Port:
      case TOptionFieldKind::Period: state.text[f.control] = CpStr(findChild<QComboBox*>(f.control)->currentText()); break;
      case TOptionFieldKind::Proxy:
        state.proxyMode = rbProxy->isChecked() ? TProxyMode::Proxy
                          : rbDirect->isChecked() ? TProxyMode::Direct
                                                  : TProxyMode::IE;
        state.proxyType = std::max(cbProxyType->currentIndex(), 0);
        break;
    }
  }
  return state;
}

void TOptionsFrm::SetState(const TOptionsState& state) {
  for (const TOptionField& f : OptionFields()) {
    switch (f.kind) {
      case TOptionFieldKind::Check: findChild<QCheckBox*>(f.control)->setChecked(state.Checked(f.control)); break;
      case TOptionFieldKind::Text: findChild<QLineEdit*>(f.control)->setText(QStr(state.Text(f.control))); break;
      case TOptionFieldKind::Port: findChild<QComboBox*>(f.control)->setEditText(QStr(state.Text(f.control))); break;
      case TOptionFieldKind::Period: {
        auto* list = findChild<QComboBox*>(f.control);
        int entry = list->findText(QStr(state.Text(f.control)));
        list->setCurrentIndex(entry >= 0 ? entry : list->findText(QStr(kFallbackPeriod)));
        break;
      }
      case TOptionFieldKind::Proxy: {
        QRadioButton* radio = state.proxyMode == TProxyMode::Proxy    ? rbProxy
                              : state.proxyMode == TProxyMode::Direct ? rbDirect
                                                                      : rbIE;
        radio->setChecked(true);
        if (state.proxyType >= 0 && state.proxyType < cbProxyType->count()) cbProxyType->setCurrentIndex(state.proxyType);
        break;
      }
    }
  }
  UpdateDependencies();
}

void TOptionsFrm::UpdateDependencies() {
  TOptionsState state = State();
  for (QWidget* control : findChildren<QWidget*>()) {
    std::string name = control->objectName().toStdString();
    if (!EnablingControl(name).empty()) control->setEnabled(IsControlEnabled(state, name));
  }
}

void TOptionsFrm::btOkClick() {
  saved_ = State();
  SaveOptionsState(saved_, *Options);
  LastSaved() = saved_;
  ++saveCount;
  accept();
}

int TOptionsFrm::SaveCount() { return saveCount; }

const TOptionsState& TOptionsFrm::LastSavedState() { return LastSaved(); }

void TOptionsFrm::btClearHistoryClick() {
  if (!Database) return;
  if (ShowMessageBox(this, QMessageBox::Question, QStr("Подтвердите операцию"_cp), QStr("Очистить историю?"_cp),
                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
    return;
  THistory::Clear();
}

// Whoever opens it (the update notice, the first-run wizard), the window
// comes up over the main window; its border is fixed, so nothing of its
// place is kept.
void TOptionsFrm::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) CentreWindow(*this, TSMSFrm::Instance());
  QDialog::showEvent(event);
}
