#include "feedbackfrm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "cp1251.h"
#include "feedback.h"
#include "inistorage.h"
#include "messagebox.h"
#include "options.h"
#include "placement.h"
#include "sendlogger.h"
#include "newcontrol.h"
#include "uitext.h"

namespace {

// Where the name and e-mail are remembered: the window's section of the
// placement storage.
constexpr const char* kNameKey = "FeedbackFrm\\edName.Text";
constexpr const char* kEMailKey = "FeedbackFrm\\edEMail.Text";

}  // namespace

TFeedbackFrm::TFeedbackFrm(QWidget* owner) : QDialog(owner) {
  setObjectName("FeedbackFrm");
  setWindowTitle(QStr("Обратная связь"_cp));

  edName = new QLineEdit(this);
  edName->setObjectName("edName");
  edEMail = new QLineEdit(this);
  edEMail->setObjectName("edEMail");
  cbTheme = new QComboBox(this);
  cbTheme->setObjectName("cbTheme");
  for (const std::string& theme : FeedbackThemes()) cbTheme->addItem(QStr(theme));
  stComment = new QLabel(this);
  stComment->setObjectName("stComment");
  stComment->setTextFormat(Qt::PlainText);
  stComment->setWordWrap(true);
  mMsg = new QPlainTextEdit(this);
  mMsg->setObjectName("mMsg");
  mMsg->setLineWrapMode(QPlainTextEdit::NoWrap);
  mMsg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mMsg->setMinimumSize(420, 200);
  chbAttachLog = new QCheckBox(
      QStr("Присоедениить протокол отправки (содержит номер отправки и текст сообщения)"_cp), this);
  chbAttachLog->setObjectName("chbAttachLog");
  FitToText(chbAttachLog);
  chbAttachLog->setEnabled(false);
  btSend = new QPushButton(QStr("Отправить"_cp), this);
  btSend->setObjectName("btSend");
  btSend->setDefault(true);
  btCancel = new QPushButton(QStr("Отмена"_cp), this);
  btCancel->setObjectName("btCancel");

  auto* fields = new QFormLayout;
  fields->addRow(QStr("Ваше имя"_cp), edName);
  fields->addRow(QStr("Ваш e-mail"_cp), edEMail);
  fields->addRow(QStr("Тема"_cp), cbTheme);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btSend);
  buttons->addWidget(btCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(stComment);
  layout->addWidget(new QLabel(QStr("Сообщение"_cp), this));
  layout->addWidget(mMsg, 1);
  layout->addWidget(chbAttachLog);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setTabOrder(edName, edEMail);
  setTabOrder(edEMail, cbTheme);
  setTabOrder(cbTheme, mMsg);
  setTabOrder(mMsg, chbAttachLog);
  setTabOrder(chbAttachLog, btSend);
  setTabOrder(btSend, btCancel);

  connect(cbTheme, &QComboBox::currentIndexChanged, this, &TFeedbackFrm::ApplyTheme);
  connect(btSend, &QPushButton::clicked, this, &TFeedbackFrm::btSendClick);
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);

  if (PlacementStorage) {
    edName->setText(QStr(PlacementStorage->ReadString(kNameKey, "")));
    edEMail->setText(QStr(PlacementStorage->ReadString(kEMailKey, "")));
  }
  cbTheme->setCurrentIndex(0);
  ApplyTheme();
}

TFeedbackFrm::~TFeedbackFrm() = default;

void TFeedbackFrm::ShowErrorReport(QWidget* owner, const std::string& gateText, const std::string& phone,
                                   const std::string& errorText, TSendLogger* sendLog) {
  TFeedbackFrm frm(owner);
  frm.PrepareErrorReport(gateText, phone, errorText);
  frm.SetSendLog(sendLog);
  frm.exec();
}

void TFeedbackFrm::ApplyTheme() {
  TThemeTexts texts = ThemeTexts(cbTheme->currentIndex(), ProgramVersion.FileVersion, ProgramVersion.GatesVersion);
  stComment->setText(QStr(texts.hint));
  SetMessageText(texts.message);
}

void TFeedbackFrm::PrepareErrorReport(const std::string& gateName, const std::string& phone,
                                      const std::string& errorText) {
  cbTheme->setCurrentIndex(kErrorReportTheme);
  cbTheme->setEnabled(false);
  ApplyTheme();
  SetMessageText(ErrorReportText(gateName, phone, errorText, ProgramVersion.FileVersion, ProgramVersion.GatesVersion));
}

void TFeedbackFrm::SetSendLog(TSendLogger* logger) {
  sendLog_ = logger;
  chbAttachLog->setEnabled(logger != nullptr);
}

bool TFeedbackFrm::IsEmailValid() const { return ::IsEmailValid(CpStr(edEMail->text())); }

std::string TFeedbackFrm::MessageText() const {
  std::string text = CpStr(mMsg->toPlainText()), out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void TFeedbackFrm::SetMessageText(const std::string& text) {
  mMsg->setPlainText(QStr(text).replace("\r\n", "\n").replace('\r', '\n'));
}

void TFeedbackFrm::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    setCursor(Qt::WaitCursor);
    enabledBeforeBusy_.clear();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      enabledBeforeBusy_.emplace_back(child, child->isEnabled());
      child->setEnabled(false);
    }
    return;
  }
  unsetCursor();
  // What was disabled before (the theme of an error report, the attach box
  // without a log) stays so.
  for (auto& [child, enabled] : enabledBeforeBusy_) child->setEnabled(enabled);
  enabledBeforeBusy_.clear();
}

void TFeedbackFrm::btSendClick() {
  if (busy_) return;
  std::string name = CpStr(edName->text());
  std::string message = MessageText();
  if (name.empty() || !IsEmailValid() || message.empty()) {
    ShowMessageText("Заполните все поля и повторите попытку"_cp);
    return;
  }
  // Everything is read here, before the post starts.
  TFeedbackFields fields{name, CpStr(edEMail->text()), CpStr(cbTheme->currentText()), message, std::nullopt};
  if (sendLog_ && chbAttachLog->isChecked()) {
    std::string zip;
    sendLog_->SaveToZip(zip);
    fields.logZip = std::move(zip);
  }
  std::string url = Options ? Options->ReadString("General\\FeedbackURL") : std::string();
  SetBusy(true);
  sender_ = std::make_unique<TFeedbackSendThread>(url, BuildFeedbackPost(fields));
  connect(sender_.get(), &TFeedbackSendThread::finished, this, &TFeedbackFrm::SendDone);
  sender_->Start();
}

void TFeedbackFrm::SendDone(bool success) {
  // Freed later: this runs inside the thread object's own signal.
  if (sender_) sender_.release()->deleteLater();
  SetBusy(false);
  if (!success) {
    ShowMessageText("Ошибка отправки. Повторите попытку позже или попробуйте отправить форму с сайта"_cp);
    return;
  }
  accept();
}

void TFeedbackFrm::ShowMessageText(const std::string& text) {
  ShowMessageBox(this, QMessageBox::Information, "Parlomix", QStr(text));
}

void TFeedbackFrm::closeEvent(QCloseEvent* event) {
  if (busy_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TFeedbackFrm::done(int result) {
  // Neither Esc nor the close button ends a post under way.
  if (busy_) return;
  if (PlacementStorage) {
    PlacementStorage->WriteString(kNameKey, CpStr(edName->text()));
    PlacementStorage->WriteString(kEMailKey, CpStr(edEMail->text()));
  }
  QDialog::done(result);
}
