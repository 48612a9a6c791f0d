// The send window: its controls and their wiring.
#include "senddispfrm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "cp1251.h"
#include "gatesender.h"
#include "messagebox.h"
#include "options.h"
#include "senddisp.h"

namespace {

// The picture frame of the captcha; pictures are fitted into it.
constexpr int kCaptchaWidth = 400;
constexpr int kCaptchaHeight = 140;
// Wide enough for a two-line error text beside the captcha frame.
constexpr int kOperationWidth = 440;
constexpr int kBarMaximum = 10;

QString Q(const std::string& cp1251Text) { return QString::fromStdString(cp1251::ToUtf8(cp1251Text)); }
QString U(const char* utf8) { return QString::fromUtf8(utf8); }
std::string FromQ(const QString& text) { return cp1251::FromUtf8(text.toStdString()); }

template <class T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

}  // namespace

TSendDispFrm::TSendDispFrm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("SendDispFrm"));
  setWindowTitle(U("Отправка сообщения"));
  setModal(true);
  setFont(QFont(QStringLiteral("Tahoma"), 8));
  BuildControls();
  Render();
}

TSendDispFrm::~TSendDispFrm() = default;

void TSendDispFrm::BuildControls() {
  auto* root = new QVBoxLayout(this);
  root->setSizeConstraint(QLayout::SetFixedSize);

  gbCode = Named(new QGroupBox(U("Код подтверждения"), this), "gbCode");
  auto* code = new QVBoxLayout(gbCode);
  lbCaptchaDesc = Named(new QLabel(U("Введите код, указанный на картинке"), gbCode), "lbCaptchaDesc");
  lbCaptchaDesc->setTextFormat(Qt::PlainText);
  lbCaptchaDesc->setWordWrap(true);
  code->addWidget(lbCaptchaDesc);

  auto* pictureRow = new QHBoxLayout;
  auto* frame = new QFrame(gbCode);
  frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->setContentsMargins(1, 1, 1, 1);
  imgCaptcha = Named(new QLabel(frame), "imgCaptcha");
  imgCaptcha->setFixedSize(kCaptchaWidth, kCaptchaHeight);
  imgCaptcha->setAlignment(Qt::AlignCenter);
  frameLayout->addWidget(imgCaptcha);
  pictureRow->addWidget(frame);
  auto* zoomColumn = new QVBoxLayout;
  sbZoomIn = Named(new QToolButton(gbCode), "sbZoomIn");
  sbZoomIn->setText(QStringLiteral("+"));
  sbZoomIn->setToolTip(U("Увеличить (Ctr++)"));
  sbZoomReset = Named(new QToolButton(gbCode), "sbZoomReset");
  sbZoomReset->setText(QStringLiteral("1:1"));
  sbZoomReset->setToolTip(U("Оригинальный размер (Ctrl+*)"));
  sbZoomOut = Named(new QToolButton(gbCode), "sbZoomOut");
  sbZoomOut->setText(U("−"));
  lbScale = Named(new QLabel(QStringLiteral("100%"), gbCode), "lbScale");
  for (QToolButton* button : {sbZoomIn, sbZoomReset, sbZoomOut}) {
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    zoomColumn->addWidget(button);
  }
  zoomColumn->addWidget(lbScale);
  zoomColumn->addStretch();
  pictureRow->addLayout(zoomColumn);
  code->addLayout(pictureRow);

  auto* codeRow = new QHBoxLayout;
  edCode = Named(new QLineEdit(gbCode), "edCode");
  // Codes are Latin letters and digits: input methods are told so.
  edCode->setInputMethodHints(Qt::ImhLatinOnly | Qt::ImhNoPredictiveText);
  btSend = Named(new QPushButton(U("Отправить"), gbCode), "btSend");
  btSend->setEnabled(false);
  btReloadCaptcha = Named(new QPushButton(U("Обновить"), gbCode), "btReloadCaptcha");
  codeRow->addWidget(edCode, 1);
  codeRow->addWidget(btSend);
  codeRow->addWidget(btReloadCaptcha);
  code->addLayout(codeRow);
  root->addWidget(gbCode);

  pProgress = Named(new QWidget(this), "pProgress");
  auto* progress = new QVBoxLayout(pProgress);
  progress->setContentsMargins(0, 0, 0, 0);
  lbOperation = Named(new QLabel(pProgress), "lbOperation");
  lbOperation->setTextFormat(Qt::PlainText);
  lbOperation->setWordWrap(true);
  lbOperation->setFixedWidth(kOperationWidth);
  progress->addWidget(lbOperation);
  lbHelpLink = Named(new QLabel(U("Если не отправляется сообщение"), pProgress), "lbHelpLink");
  lbHelpLink->setTextFormat(Qt::PlainText);
  QFont underlined = lbHelpLink->font();
  underlined.setUnderline(true);
  lbHelpLink->setFont(underlined);
  QPalette blue = lbHelpLink->palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  lbHelpLink->setPalette(blue);
  lbHelpLink->setCursor(Qt::PointingHandCursor);
  lbHelpLink->installEventFilter(this);
  progress->addWidget(lbHelpLink);
  pbSending = Named(new QProgressBar(pProgress), "pbSending");
  pbSending->setRange(0, kBarMaximum);
  pbSending->setTextVisible(false);
  pbSending->setFocusPolicy(Qt::StrongFocus);
  progress->addWidget(pbSending);
  auto* buttons = new QHBoxLayout;
  btFeedback = Named(new QPushButton(U("Сообщить об ошибке"), pProgress), "btFeedback");
  btClose = Named(new QPushButton(U("Закрыть"), pProgress), "btClose");
  btRetry = Named(new QPushButton(U("Повторить"), pProgress), "btRetry");
  btCancel = Named(new QPushButton(U("Отмена"), pProgress), "btCancel");
  buttons->addWidget(btFeedback);
  buttons->addStretch();
  buttons->addWidget(btClose);
  buttons->addWidget(btRetry);
  buttons->addWidget(btCancel);
  progress->addLayout(buttons);
  chbAutoClose = Named(new QCheckBox(U("Автоматически закрывать окно при успешной отправке"), pProgress), "chbAutoClose");
  progress->addWidget(chbAutoClose);
  root->addWidget(pProgress);
  // The code box and the progress panel share one width, so that the window
  // only grows downwards when the code box comes and stays centred on its
  // owner.
  const int width = std::max(gbCode->sizeHint().width(), pProgress->sizeHint().width());
  gbCode->setFixedWidth(width);
  pProgress->setFixedWidth(width);

  // Enter is the code field's and the focused button's alone: no button
  // takes it as the dialog's default.
  for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(false);
  // Key preview: the window sees every key of its controls first.
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);

  connect(edCode, &QLineEdit::textChanged, this, &TSendDispFrm::edCodeChange);
  connect(btSend, &QPushButton::clicked, this, &TSendDispFrm::btSendClick);
  connect(btReloadCaptcha, &QPushButton::clicked, this, &TSendDispFrm::btReloadCaptchaClick);
  connect(btRetry, &QPushButton::clicked, this, &TSendDispFrm::btRetryClick);
  connect(btCancel, &QPushButton::clicked, this, &TSendDispFrm::btCancelClick);
  connect(btClose, &QPushButton::clicked, this, &TSendDispFrm::btCloseClick);
  connect(btFeedback, &QPushButton::clicked, this, &TSendDispFrm::btFeedbackClick);
  connect(sbZoomIn, &QToolButton::clicked, this, &TSendDispFrm::sbZoomInClick);
  connect(sbZoomOut, &QToolButton::clicked, this, &TSendDispFrm::sbZoomOutClick);
  connect(sbZoomReset, &QToolButton::clicked, this, &TSendDispFrm::sbZoomResetClick);
}

// ---- What the dispatcher calls ----

void TSendDispFrm::ShowCaptcha(const QImage& picture) {
  if (!picture.isNull()) {
    captchaBitmap_ = picture;
    zoom_ = StoredZoom(gate_ ? gate_->Info.GetItemNamed("CaptchaScale") : Variant());
    DrawCaptcha();
  }
  TSendView::ShowCaptcha(picture);
}

bool TSendDispFrm::Execute() { return exec() == QDialog::Accepted; }

void TSendDispFrm::CloseView(bool ok) { done(ok ? QDialog::Accepted : QDialog::Rejected); }

void TSendDispFrm::ShowError(const std::string& text) {
  ShowMessageBox(parentWidget(), QMessageBox::Critical, U("Ошибка"), Q(text));
}

void TSendDispFrm::Render() {
  pbSending->setValue(state_.Bar);
  lbOperation->setText(Q(state_.Operation));
  QPalette palette = lbOperation->palette();
  palette.setColor(QPalette::WindowText, state_.OperationIsError ? QColor(Qt::red) : this->palette().color(QPalette::WindowText));
  lbOperation->setPalette(palette);
  gbCode->setVisible(state_.CodeBox);
  lbCaptchaDesc->setText(Q(state_.CaptchaDescription));
  lbHelpLink->setVisible(state_.HelpLink);
  btCancel->setVisible(state_.Cancel);
  btCancel->setEnabled(state_.CancelEnabled);
  btClose->setVisible(state_.Close);
  btRetry->setVisible(state_.Retry);
  btFeedback->setVisible(state_.Feedback);
  chbAutoClose->setVisible(state_.AutoClose);
  lbScale->setText(QString::fromStdString(ScaleText(zoom_)));
  switch (std::exchange(state_.Focus, TSendFocus::None)) {
    case TSendFocus::Retry: btRetry->setFocus(); break;
    case TSendFocus::Code: edCode->setFocus(); break;
    case TSendFocus::Progress: pbSending->setFocus(); break;
    case TSendFocus::Close: btClose->setFocus(); break;
    case TSendFocus::None: break;
  }
}

// ---- Window events ----

void TSendDispFrm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The keyboard layout stays the user's: the code field's input hints
  // ask for Latin letters instead.
  Render();
}

void TSendDispFrm::closeEvent(QCloseEvent* event) {
  event->ignore();
  reject();
}

void TSendDispFrm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (lastHeight_ > 0) move(x(), y() - (height() - lastHeight_) / 2);
  lastHeight_ = height();
}

void TSendDispFrm::reject() {
  if (btCancel->isVisible()) {
    if (btCancel->isEnabled()) btCancelClick();
    return;
  }
  if (btClose->isVisible()) btCloseClick();
}

bool TSendDispFrm::ZoomKey(int key, Qt::KeyboardModifiers modifiers) {
  if (!(modifiers & Qt::ControlModifier)) return false;
  switch (key) {
    case Qt::Key_Asterisk: sbZoomResetClick(); return true;
    case Qt::Key_Plus: sbZoomInClick(); return true;
    case Qt::Key_Minus: sbZoomOutClick(); return true;
    default: return false;
  }
}

void TSendDispFrm::keyPressEvent(QKeyEvent* event) {
  if (ZoomKey(event->key(), event->modifiers())) return;
  QDialog::keyPressEvent(event);
}

bool TSendDispFrm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lbHelpLink && event->type() == QEvent::MouseButtonRelease) {
    lbHelpLinkClick();
    return true;
  }
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (ZoomKey(key->key(), key->modifiers())) return true;
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  if (enter && watched == edCode) {
    if (btSend->isEnabled()) btSendClick();
    return true;
  }
  // A focused button takes Enter as a click, as on any dialog (Qt's push
  // buttons take it only as the dialog's default, which none is here).
  if (auto* button = qobject_cast<QPushButton*>(watched); enter && button && button->isEnabled()) {
    button->click();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

// ---- Controls ----

void TSendDispFrm::edCodeChange() { btSend->setEnabled(!edCode->text().isEmpty()); }

void TSendDispFrm::btSendClick() {
  if (TSendDisp::StepRunning()) return;
  if (gate_) gate_->SetStoredParam("CaptchaScale", Variant::Int64(RoundHalfEven(zoom_ * 100)));
  SendCodeClick(FromQ(edCode->text()));
  edCode->clear();
}

void TSendDispFrm::btReloadCaptchaClick() { ReloadCaptchaClick(); }

void TSendDispFrm::btRetryClick() {
  zoom_ = 1;
  edCode->clear();
  RetryClick();
}

void TSendDispFrm::btCancelClick() { CancelClick(); }

void TSendDispFrm::btCloseClick() {
  if (chbAutoClose->isChecked() && Options) Options->WriteBool("Send\\AutoCloseDispSuccess", true);
  CloseView(true);
}

void TSendDispFrm::btFeedbackClick() {
  if (!gate_) return;
  const std::string gateText = gate_->Caption + " (" + gate_->Name + " v." + std::to_string(gate_->Version) + ")";
  const std::string phone = gate_->Message ? VarToStr(gate_->Message->GetItemNamed(MsgKey::Phone)) : std::string();
  TSendDisp::OpenFeedback(gateText, phone, gate_->GetErrorText(), gate_->Logger.get());
}

void TSendDispFrm::lbHelpLinkClick() { TSendDisp::ShowHelp(kHelpContext); }

void TSendDispFrm::sbZoomInClick() {
  zoom_ = ZoomIn(zoom_);
  DrawCaptcha();
}

void TSendDispFrm::sbZoomOutClick() {
  zoom_ = ZoomOut(zoom_);
  DrawCaptcha();
}

void TSendDispFrm::sbZoomResetClick() {
  zoom_ = 1;
  DrawCaptcha();
}

void TSendDispFrm::DrawCaptcha() {
  const TCaptchaFit fit =
      FitCaptcha(captchaBitmap_.width(), captchaBitmap_.height(), zoom_, imgCaptcha->width(), imgCaptcha->height());
  zoom_ = fit.Zoom;
  if (fit.Width > 0 && fit.Height > 0)
    imgCaptcha->setPixmap(QPixmap::fromImage(
        captchaBitmap_.scaled(fit.Width, fit.Height, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
  lbScale->setText(QString::fromStdString(ScaleText(zoom_)));
}
