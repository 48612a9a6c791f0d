// The main window's form: its controls, actions, menus, tool bars and tray
// icon, and which action is enabled when.
#include "smsfrm.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimeEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "appicon.h"
#include "applimits.h"
#include "corelimits.h"
#include "cp1251.h"
#include "inistorage.h"
#include "instanceguard.h"
#include "mainactions.h"
#include "options.h"
#include "statsupload.h"
#include "newcontrol.h"
#include "uitext.h"
#include "windowhooks.h"
#include "weblinks.h"

namespace {

// Tool bar pictures from the desktop's style, where it has a fitting one.
QIcon ActionIcon(const QStyle* style, std::string_view name) {
  static const std::pair<std::string_view, QStyle::StandardPixmap> kIcons[] = {
      {"aNew", QStyle::SP_FileIcon},
      {"aFileOpen", QStyle::SP_DialogOpenButton},
      {"aFileSave", QStyle::SP_DialogSaveButton},
      {"aSendSMS", QStyle::SP_ArrowRight},
      {"aHistory", QStyle::SP_FileDialogDetailedView},
      {"aPhoneBook", QStyle::SP_DirHomeIcon},
      {"aClear", QStyle::SP_DialogResetButton},
      {"aSaveTemplate", QStyle::SP_FileDialogNewFolder},
      {"aContactHistory", QStyle::SP_FileDialogInfoView},
      {"aHelp", QStyle::SP_DialogHelpButton},
      {"aShowGateInfo", QStyle::SP_MessageBoxInformation},
      {"aExit", QStyle::SP_DialogCloseButton},
  };
  for (const auto& [action, pixmap] : kIcons)
    if (action == name) return style->standardIcon(pixmap);
  return {};
}

}  // namespace

TSMSFrm* TSMSFrm::instance_ = nullptr;

std::string TSMSFrm::EntryText(const TPropList& list, std::string_view key) {
  try {
    return VarToStr(list.GetItemNamed(key));
  } catch (const EVariantError&) {
    return {};
  }
}

TSMSFrm* TSMSFrm::Instance() { return instance_; }

TSMSFrm::TSMSFrm(std::vector<std::string> args, QWidget* parent) : QMainWindow(parent), args_(std::move(args)) {
  setObjectName("SMSFrm");
  setWindowTitle(QStr("Parlomix - Отправка SMS/MMS сообщений"_cp));
  setWindowIcon(ProgramIcon());
  SetHelpContext(this, hcMainWindow);
  CreateActions();
  CreateControls();
  CreateMenus();
  CreateToolBars();
  CreateTray();
  ConnectComposer();
  // The template manager and the contact editor are reached through the
  // data layer; whoever makes the main window gets them with it.
  RegisterWindowHooks();
  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &TSMSFrm::Timer1Timer);
  resize(760, 600);
  UpdateActions();
}

TSMSFrm::~TSMSFrm() {
  FormDestroy();
  if (instance_ == this) instance_ = nullptr;
  // The controls outlive this class's part while the base classes go: what
  // they report now would reach a half-destroyed window.
  for (QWidget* control : std::initializer_list<QWidget*>{cbTo, cbGate, mMsg, cbSubject, cbSignature, chbTransliterate,
                                                          cbTranslTable})
    control->blockSignals(true);
}

QAction* TSMSFrm::Action(const char* name) const { return findChild<QAction*>(name, Qt::FindDirectChildrenOnly); }

void TSMSFrm::CreateActions() {
  for (const TActionDesc& desc : MainActionTable()) {
    auto* action = new QAction(QStr(desc.caption), this);
    action->setObjectName(desc.name);
    QList<QKeySequence> keys;
    for (const char* key : desc.shortcuts) keys << QKeySequence(key, QKeySequence::PortableText);
    action->setShortcuts(keys);
    // Shown in every menu the action is in, the help key too, not only where
    // the desktop's setting for pop-up menus allows it.
    action->setShortcutVisibleInContextMenu(true);
    action->setStatusTip(QStr(desc.hint));
    // Without a hint the tip is Qt's own: the caption without its
    // accelerator mark.
    if (!desc.hint.empty()) action->setToolTip(QStr(desc.hint));
    action->setCheckable(desc.checkable);
    action->setIcon(ActionIcon(style(), desc.name));
  }
  messageType_ = new QActionGroup(this);
  messageType_->addAction(Action("aSMS"));
  messageType_->addAction(Action("aMMS"));
  Action("aSMS")->setChecked(true);

  const std::pair<const char*, void (TSMSFrm::*)()> handlers[] = {
      {"aNew", &TSMSFrm::aNewExecute},
      {"aClear", &TSMSFrm::aClearExecute},
      {"aFileOpen", &TSMSFrm::aFileOpenExecute},
      {"aFileSave", &TSMSFrm::aFileSaveExecute},
      {"aFileSaveAs", &TSMSFrm::aFileSaveAsExecute},
      {"aSendSMS", &TSMSFrm::aSendSMSExecute},
      {"aExit", &TSMSFrm::aExitExecute},
      {"aSaveTemplate", &TSMSFrm::aSaveTemplateExecute},
      {"aTemplateMgr", &TSMSFrm::aTemplateMgrExecute},
      {"aHistory", &TSMSFrm::aHistoryExecute},
      {"aContactHistory", &TSMSFrm::aContactHistoryExecute},
      {"aPhoneBook", &TSMSFrm::aPhoneBookExecute},
      {"aAddToPhoneBook", &TSMSFrm::aAddToPhoneBookExecute},
      {"aShowGatesMng", &TSMSFrm::aShowGatesMngExecute},
      {"aShowGateInfo", &TSMSFrm::aShowGateInfoExecute},
      {"aOptions", &TSMSFrm::aOptionsExecute},
      {"aHelp", &TSMSFrm::aHelpExecute},
      {"aHomePage", &TSMSFrm::aHomePageExecute},
      {"aForum", &TSMSFrm::aForumExecute},
      {"aFeedback", &TSMSFrm::aFeedbackExecute},
      {"aCheckUpdate", &TSMSFrm::aCheckUpdateExecute},
      {"aCheckUpdateGates", &TSMSFrm::aCheckUpdateGatesExecute},
      {"aAbout", &TSMSFrm::aAboutExecute},
      {"aTrayShowHide", &TSMSFrm::ToggleVisible},
      {"aSMS", &TSMSFrm::MessageTypeChange},
      {"aMMS", &TSMSFrm::MessageTypeChange},
      {"aAddMultimedia", &TSMSFrm::aAddMultimediaExecute},
  };
  for (const auto& [name, handler] : handlers) connect(Action(name), &QAction::triggered, this, handler);
}

void TSMSFrm::CreateControls() {
  auto* central = new QWidget(this);
  auto* grid = new QGridLayout;

  btTo = new QPushButton(QStr("Кому:"_cp));
  btTo->setObjectName("btTo");
  cbTo = new TSuggestEdit;
  cbTo->setObjectName("cbTo");
  cbTo->SetMaxDropDownItems(15);
  cbTo->setToolTip(QStr("Введите номер или имя контакта"_cp));
  cbTo->lineEdit()->setPlaceholderText(QStr("Введите номер или имя контакта"_cp));
  grid->addWidget(btTo, 0, 0);
  grid->addWidget(cbTo, 0, 1, 1, 3);

  cbGate = new QComboBox;
  cbGate->setObjectName("cbGate");
  sbGateInfo = new QToolButton;
  sbGateInfo->setObjectName("sbGateInfo");
  sbGateInfo->setDefaultAction(Action("aShowGateInfo"));
  sbGateInfo->setToolButtonStyle(Qt::ToolButtonIconOnly);
  // A button for the mouse beside the list: Tab goes from the gates on to
  // the text.
  sbGateInfo->setFocusPolicy(Qt::NoFocus);
  lbGatesCnt = new QLabel;
  lbGatesCnt->setObjectName("lbGatesCnt");
  QFont bold = lbGatesCnt->font();
  bold.setBold(true);
  lbGatesCnt->setFont(bold);
  lbGatesCnt->setVisible(false);
  grid->addWidget(new QLabel(QStr("Оператор:"_cp)), 1, 0);
  grid->addWidget(cbGate, 1, 1);
  grid->addWidget(sbGateInfo, 1, 2);
  grid->addWidget(lbGatesCnt, 1, 3);

  lbSubject = new QLabel(QStr("Тема:"_cp));
  cbSubject = new QComboBox;
  cbSubject->setObjectName("cbSubject");
  cbSubject->setEditable(true);
  cbSubject->setInsertPolicy(QComboBox::NoInsert);
  cbSubject->setEnabled(false);
  grid->addWidget(lbSubject, 2, 0);
  grid->addWidget(cbSubject, 2, 1, 1, 3);

  mMsg = new TMessageMemo(static_cast<int>(kMaxMessageText));
  mMsg->setObjectName("mMsg");
  mMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Tab moves on to the signature, as in every other field, rather than
  // writing a tab character into the message.
  mMsg->setTabChangesFocus(true);
  grid->addWidget(mMsg, 3, 0, 1, 4);
  lbSymCount = new QLabel;
  lbSymCount->setObjectName("lbSymCount");
  grid->addWidget(lbSymCount, 4, 0, 1, 4);

  cbSignature = new QComboBox;
  cbSignature->setObjectName("cbSignature");
  cbSignature->setEditable(true);
  cbSignature->setInsertPolicy(QComboBox::NoInsert);
  grid->addWidget(new QLabel(QStr("Подпись"_cp)), 5, 0);
  grid->addWidget(cbSignature, 5, 1, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(3, 1);

  auto* extra = new QGroupBox(QStr("Дополнительный параметры"_cp));
  extra->setObjectName("gbExtra");
  auto* extraLayout = new QGridLayout(extra);
  chbTransliterate = new QCheckBox(QStr("Транслитерация"_cp));
  chbTransliterate->setObjectName("chbTransliterate");
  cbTranslTable = new QComboBox;
  cbTranslTable->setObjectName("cbTranslTable");
  chbDeliveryTime = new QCheckBox(QStr("Указать время доставки"_cp));
  chbDeliveryTime->setObjectName("chbDeliveryTime");
  dtpDeliveryDate = new QDateEdit;
  dtpDeliveryDate->setObjectName("dtpDeliveryDate");
  dtpDeliveryDate->setDisplayFormat("dd MMMM yyyy");
  dtpDeliveryDate->setCalendarPopup(true);
  dtpDeliveryDate->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
  dtpDeliveryTime = new QTimeEdit;
  dtpDeliveryTime->setObjectName("dtpDeliveryTime");
  dtpDeliveryTime->setDisplayFormat("HH:mm");
  chbFlash = new QCheckBox(QStr("Сразу показать сообщение"_cp));
  chbFlash->setObjectName("chbFlash");
  for (QCheckBox* box : {chbTransliterate, chbDeliveryTime, chbFlash}) FitToText(box);
  extraLayout->addWidget(chbTransliterate, 0, 0);
  extraLayout->addWidget(cbTranslTable, 0, 1, 1, 2);
  extraLayout->addWidget(chbDeliveryTime, 1, 0, 1, 3);
  extraLayout->addWidget(dtpDeliveryDate, 2, 0, 1, 2);
  extraLayout->addWidget(dtpDeliveryTime, 2, 2);
  extraLayout->addWidget(chbFlash, 3, 0, 1, 3);
  extraLayout->setRowStretch(4, 1);

  gbMM = new QGroupBox(QStr("Мультимедиа"_cp));
  gbMM->setObjectName("gbMM");
  gbMM->setEnabled(false);
  auto* mmLayout = new QGridLayout(gbMM);
  imgData = new QLabel;
  imgData->setObjectName("imgData");
  imgData->setAlignment(Qt::AlignCenter);
  imgData->setFixedSize(128, 96);
  imgData->setFrameShape(QFrame::StyledPanel);
  lbMMDim = new QLabel(QStr("Разрешение:"_cp));
  lbMMDim->setObjectName("lbMMDim");
  lbMMSize = new QLabel(QStr("Размер: 0 Кб"_cp));
  lbMMSize->setObjectName("lbMMSize");
  // Buttons with their captions' accelerators, as the group shows them.
  QPushButton* addButton = ActionButton(Action("aAddMultimedia"));
  QPushButton* deleteButton = ActionButton(Action("aDeleteMultimedia"));
  mmLayout->addWidget(imgData, 0, 0, 3, 1);
  mmLayout->addWidget(lbMMDim, 0, 1, 1, 2);
  mmLayout->addWidget(lbMMSize, 1, 1, 1, 2);
  mmLayout->addWidget(addButton, 2, 1);
  mmLayout->addWidget(deleteButton, 2, 2);

  auto* groups = new QHBoxLayout;
  groups->addWidget(extra, 1);
  groups->addWidget(gbMM, 1);

  btSend = ActionButton(Action("aSendSMS"));
  btSend->setObjectName("btSend");
  btSend->setMinimumHeight(34);
  auto* sendRow = new QHBoxLayout;
  sendRow->addStretch(1);
  sendRow->addWidget(btSend);

  auto* column = new QVBoxLayout(central);
  column->addLayout(grid, 1);
  column->addLayout(groups);
  column->addLayout(sendRow);
  setCentralWidget(central);

  StatusPanel0 = new QLabel;
  StatusPanel0->setObjectName("StatusPanel0");
  StatusPanel0->setMinimumWidth(300);
  StatusPanel1 = new QLabel;
  StatusPanel1->setObjectName("StatusPanel1");
  // Wide enough for the counter with room for its numbers to grow.
  StatusPanel1->setMinimumWidth(
      std::max(150, StatusPanel1->fontMetrics().horizontalAdvance(QStr("Отправлено сообщений 99999, всего 999999"_cp))));
  statusBar()->setObjectName("StatusBar");
  statusBar()->addWidget(StatusPanel0, 1);
  // A hint takes panel 0's place while it shows; the counter stays.
  statusBar()->addPermanentWidget(StatusPanel1);
}

void TSMSFrm::CreateMenus() {
  for (const TMenuDesc& desc : MainMenuTable()) {
    QMenu* menu = menuBar()->addMenu(QStr(desc.caption));
    for (const TMenuItemDesc& item : desc.items) {
      if (item.action) {
        menu->addAction(Action(item.action));
      } else if (item.submenu.empty()) {
        menu->addSeparator();
      } else {
        QMenu* sub = menu->addMenu(QStr(item.submenu));
        for (const char* name : item.submenuActions) sub->addAction(Action(name));
      }
    }
  }
  pmTemplates = new QMenu(this);
  pmTemplates->setObjectName("pmTemplates");
  pmTemplatesMsg = new QMenu(this);
  pmTemplatesMsg->setObjectName("pmTemplatesMsg");
}

void TSMSFrm::CreateToolBars() {
  const std::pair<const std::vector<const char*>*, QMenu*> bars[] = {{&MainToolBarTable(), pmTemplates},
                                                                     {&MessageToolBarTable(), pmTemplatesMsg}};
  const char* names[] = {"tbMain", "tbMessage"};
  int index = 0;
  for (const auto& [actions, templates] : bars) {
    // Each bar on a row of its own: side by side they would not fit.
    if (index > 0) addToolBarBreak();
    QToolBar* bar = addToolBar(QString());
    bar->setObjectName(names[index++]);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setMovable(false);
    for (const char* name : *actions) bar->addAction(Action(name));
    // The first button also drops the templates menu down.
    auto* first = qobject_cast<QToolButton*>(bar->widgetForAction(Action(actions->front())));
    first->setMenu(templates);
    first->setPopupMode(QToolButton::MenuButtonPopup);
  }
}

void TSMSFrm::CreateTray() {
  pmTray = new QMenu(this);
  pmTray->setObjectName("pmTray");
  pmTray->addAction(Action("aTrayShowHide"));
  pmTray->setDefaultAction(Action("aTrayShowHide"));
  pmTray->addSeparator();
  pmTray->addAction(Action("aExit"));
  TrayIcon = new QSystemTrayIcon(ProgramIcon(), this);
  TrayIcon->setObjectName("TrayIcon");
  TrayIcon->setToolTip("Parlomix");
  TrayIcon->setContextMenu(pmTray);
  connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    TrayActivated(static_cast<int>(reason));
  });
  // The desktop tells nobody when its tray goes away.
  trayWatch_ = new QTimer(this);
  trayWatch_->setInterval(kTrayWatchIntervalMs);
  connect(trayWatch_, &QTimer::timeout, this, [this] {
    if (!isVisible() && !TrayAvailable()) ToggleVisible();
  });
}

void TSMSFrm::UpdateActions() {
  bool gateSelected = GetSelectedGate() != nullptr;
  bool memoEmpty = mMsg->document()->isEmpty();
  bool memoSelection = mMsg->textCursor().hasSelection();
  const QMimeData* clip = QApplication::clipboard()->mimeData();
  const std::pair<const char*, bool> states[] = {
      {"aContactHistory", !cbTo->currentText().isEmpty()},
      {"aSaveTemplate", !memoEmpty},
      {"aShowGateInfo", gateSelected},
      {"aAddMultimedia", gbMM->isEnabled()},
      {"aDeleteMultimedia", gbMM->isEnabled() && FMedia && FMedia->Stream()},
      {"aCut", memoSelection},
      {"aCopy", memoSelection},
      {"aPaste", clip && clip->hasText()},
  };
  for (const auto& [name, enabled] : states) Action(name)->setEnabled(enabled);
  // The send action, the counter and the status follow every change too.
  bool canSend = Options && FContact && UpdateReadyStatus();
  Action("aSendSMS")->setEnabled(canSend);
}
