// What the send dispatcher shows a send on: the send window, or a view
// without a window that tests and tools drive. The buttons' effects on the
// dispatcher are here once, for both.
#pragma once

#include <QImage>
#include <QObject>

#include <functional>
#include <string>

#include "sendformstate.h"

class TGateSender;

class TSendView {
 public:
  virtual ~TSendView() = default;

  // ---- Called by the dispatcher ----
  // The sender of the send (not owned), before anything is shown.
  virtual void SetGate(TGateSender* gate) { gate_ = gate; }
  // The progress hook: a step started (phase 0), finished (1) or failed (2).
  virtual void ShowProgress(TGateSender* sender, int step, int phase);
  // The captcha hook: the picture of step 1, null when none could be loaded.
  // The view then waits for the code.
  virtual void ShowCaptcha(const QImage& picture);
  // Shows the view and runs until it closes; true for the OK result. The
  // dispatcher has started step 0 by then.
  virtual bool Execute() = 0;
  // Ends Execute with the OK or the Cancel result.
  virtual void CloseView(bool ok) = 0;
  // Tells the user why a send could not start (no view is shown then).
  virtual void ShowError(const std::string& text) = 0;

  // Set by the cancel button; the dispatcher closes the view when the
  // running step ends.
  bool Cancelled() const { return cancelled_; }
  // The captcha (or its failure) is shown and no step runs.
  bool WaitingForCode() const { return waitingForCode_; }
  const TSendFormState& State() const { return state_; }
  TGateSender* Gate() const { return gate_; }

 protected:
  // The buttons. Each starts a step only while none runs.
  // btSend: the code goes to the sender and step 2 starts.
  void SendCodeClick(const std::string& code);
  // btReloadCaptcha: a new step 0, then a new picture.
  void ReloadCaptchaClick();
  // btRetry: the view reset, then a new step 0.
  void RetryClick();
  // btCancel: the sender cancelled; the view closes at once while waiting
  // for the code, else when the running step ends.
  void CancelClick();
  // Shows what state_ holds; the window paints its controls.
  virtual void Render() {}

  TSendFormState state_;
  TGateSender* gate_ = nullptr;
  bool cancelled_ = false;
  bool waitingForCode_ = false;
};

// A send without a window, for tests and tools. It keeps the window's state
// and offers the window's buttons; the callbacks are what a person at the
// window would see, and the buttons what they would press.
class THeadlessSendView : public TSendView {
 public:
  THeadlessSendView();
  ~THeadlessSendView() override;

  // Told every report at once, with the text the window would show. It may
  // call Cancel; anything else goes through Post, as clicks come from the
  // event loop and never from inside the dispatcher.
  std::function<void(THeadlessSendView& view, int step, int phase, const std::string& text)> OnProgress;
  // Told the captcha from the event loop (a null picture when it could not
  // be loaded); it answers with SendCode, ReloadCaptcha, Retry, Cancel or
  // Close. Without it the view cancels.
  std::function<void(THeadlessSendView& view, const QImage& captcha)> OnCaptcha;
  // Told why a send could not start.
  std::function<void(const std::string& text)> OnError;
  // A view left with nothing to do (an error shown, or the send completed)
  // presses Close, as a person would; off, the driver decides.
  bool CloseWhenDone = true;

  // The buttons.
  void SendCode(const std::string& code) { SendCodeClick(code); }
  void ReloadCaptcha() { ReloadCaptchaClick(); }
  void Retry() { RetryClick(); }
  void Cancel() { CancelClick(); }
  // btClose: ends the view with the OK result.
  void Close() { CloseView(true); }
  // Runs `work` from the event loop, while the view exists.
  void Post(std::function<void()> work);

  bool Closed() const { return closed_; }

  void ShowProgress(TGateSender* sender, int step, int phase) override;
  void ShowCaptcha(const QImage& picture) override;
  bool Execute() override;
  void CloseView(bool ok) override;
  void ShowError(const std::string& text) override;

 private:
  // Closes the view when nothing runs and nothing was done since.
  void CloseIfIdle();

  QObject context_;  // pending posts die with the view
  class QEventLoop* loop_ = nullptr;
  bool closed_ = false;
  bool result_ = false;
};
