// The buttons both send views share, and the view without a window.
#include "sendview.h"

#include <QEventLoop>

#include "gatesender.h"
#include "senddisp.h"

void TSendView::ShowProgress(TGateSender* sender, int step, int phase) {
  state_.Progress(*sender, step, phase);
  Render();
}

void TSendView::ShowCaptcha(const QImage& picture) {
  if (picture.isNull())
    state_.CaptchaMissing();
  else if (gate_)
    state_.CaptchaShown(*gate_);
  waitingForCode_ = true;
  Render();
}

void TSendView::SendCodeClick(const std::string& code) {
  if (TSendDisp::StepRunning()) return;
  state_.CodeBoxHidden();
  state_.Focus = TSendFocus::Progress;
  waitingForCode_ = false;
  TSendDisp::SendCode(code);
  Render();
}

void TSendView::ReloadCaptchaClick() {
  if (TSendDisp::StepRunning()) return;
  state_.CodeBoxHidden();
  waitingForCode_ = false;
  TSendDisp::StartSend();
  Render();
}

void TSendView::RetryClick() {
  if (TSendDisp::StepRunning()) return;
  state_.Reset();
  waitingForCode_ = false;
  TSendDisp::StartSend();
  Render();
}

void TSendView::CancelClick() {
  if (cancelled_) return;
  cancelled_ = true;
  if (gate_) gate_->Cancel();
  state_.CancelEnabled = false;
  Render();
  if (waitingForCode_) CloseView(false);
}

// ---- Without a window ----

THeadlessSendView::THeadlessSendView() = default;
THeadlessSendView::~THeadlessSendView() = default;

void THeadlessSendView::Post(std::function<void()> work) {
  QMetaObject::invokeMethod(&context_, std::move(work), Qt::QueuedConnection);
}

void THeadlessSendView::ShowProgress(TGateSender* sender, int step, int phase) {
  TSendView::ShowProgress(sender, step, phase);
  if (OnProgress) OnProgress(*this, step, phase, state_.Operation);
  if (phase == spFailed || (step == stDone && phase == spFinished)) Post([this] { CloseIfIdle(); });
}

void THeadlessSendView::ShowCaptcha(const QImage& picture) {
  TSendView::ShowCaptcha(picture);
  Post([this, picture] {
    if (closed_) return;
    if (OnCaptcha)
      OnCaptcha(*this, picture);
    else
      Cancel();
  });
}

void THeadlessSendView::CloseIfIdle() {
  if (CloseWhenDone && !closed_ && !waitingForCode_ && !TSendDisp::StepRunning()) Close();
}

bool THeadlessSendView::Execute() {
  if (closed_) return result_;
  QEventLoop loop;
  loop_ = &loop;
  loop.exec();
  loop_ = nullptr;
  return result_;
}

void THeadlessSendView::CloseView(bool ok) {
  if (closed_) return;
  closed_ = true;
  result_ = ok;
  if (loop_) loop_->quit();
}

void THeadlessSendView::ShowError(const std::string& text) {
  if (OnError) OnError(text);
}
