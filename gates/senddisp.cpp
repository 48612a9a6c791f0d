// The send dispatcher: one send at a time, its steps on worker threads and
// the decisions between them on the main thread.
#include "senddisp.h"

#include <QApplication>
#include <QObject>

#include <memory>

#include "cp1251.h"
#include "scopeexit.h"
#include "gatefactory.h"
#include "gatesender.h"
#include "httpgate.h"
#include "options.h"
#include "senddispfrm.h"
#include "sendthread.h"
#include "sendview.h"
#include "textutils.h"

namespace {

// The send under way; empty between sends.
struct TSendState {
  bool running = false;
  TSMS* message = nullptr;
  std::string gateName;
  std::unique_ptr<TGateSender> sender;
  TSendView* view = nullptr;
  std::unique_ptr<TSendThread> thread;
  // Receives the step threads' ends; freed with the send, so that an end
  // still queued for a send that is over is dropped.
  std::unique_ptr<QObject> receiver;
  // Step 2 succeeded in this send: a cancel from now on reports status 5.
  bool messageSent = false;
  // Why the send could not start; replaces the sender's error text.
  std::string failure;
};

TSendState& State() {
  static TSendState state;
  return state;
}

struct THooks {
  TSendDisp::TAfterSendHook afterSend;
  TSendDisp::TFeedbackHook feedback;
  TSendDisp::THelpHook help;
};

THooks& Hooks() {
  static THooks hooks;
  return hooks;
}

int64_t Whole(const Variant& value) {
  try {
    return value.AsInt64();
  } catch (const std::exception&) {
    return 0;
  }
}

bool OptionOn(const char* key) { return Options && Options->ReadBool(key); }

std::string MessageOf(const std::exception& e) {
  if (const auto* own = dynamic_cast<const Exception*>(&e)) return own->Message();
  return e.what();
}

// The dispatcher's keys: the phone's format, tag and parts, the symbol limit
// and what is left of it, and a subject for an MMS that has none.
void CompleteMessage(const TGateSender& sender, TSMS& message) {
  const std::string phone = VarToStr(message.GetItemNamed(MsgKey::Phone));
  std::string format;
  int tag = 0;
  sender.GetPhoneFormatTag(phone, format, tag);
  message.SetItemNamed(MsgKey::Phone_Format, Variant::String(format));
  message.SetItemNamed(MsgKey::Phone_Tag, Variant::Integer(tag));
  message.SetItemNamed(MsgKey::Phone_Country, Variant::String(sender.ExtractPhonePart(phone, 0, format)));
  message.SetItemNamed(MsgKey::Phone_DEF, Variant::String(sender.ExtractPhonePart(phone, 1, format)));
  message.SetItemNamed(MsgKey::Phone_Number, Variant::String(sender.ExtractPhonePart(phone, 2, format)));
  const std::string text = VarToStr(message.GetItemNamed(MsgKey::Text));
  const Variant limit = sender.Info.GetItemNamed(isAscii(text) ? "MaxSymbols" : "MaxUnicodeSymbols");
  message.SetItemNamed(MsgKey::MaxSymbols, limit);
  const int64_t left = Whole(limit) - static_cast<int64_t>(text.size());
  message.SetItemNamed(MsgKey::LeaveSymbols, Variant::Int64(left));
  if (message.IsMMS() && VarToStr(message.GetItemNamed(MsgKey::Subject)).empty())
    message.SetItemNamed(MsgKey::Subject, Variant::String("Без темы"_cp));
}

bool WantsDeliveryCheck(const TGateSender& sender, const TSMS& message) {
  return OptionOn("Send\\CheckDelivery") && sender.Info.GetFlagNamed("SupportCheckDelivery") &&
         !sender.Info.GetFlagNamed("DontCheckDelivery") && !message.GetFlagNamed(MsgKey::Delivery);
}

// The gate switches its completion step on with the send parameter Done;
// the step itself runs SendDone.
bool HasDoneStep(const TGateSender& sender) { return sender.SendParams.Exists("Done"); }

void FinishCancelled() {
  TSendState& s = State();
  s.sender->Cancel();
  if (s.messageSent) s.sender->SendStatus = ssCancelledInCheck;
}

void StepFinished(int step, const QImage& captcha);

void StartStep(int step) {
  TSendState& s = State();
  s.thread = std::make_unique<TSendThread>(s.sender.get(), step);
  QObject::connect(
      s.thread.get(), &TSendThread::StepDone, s.receiver.get(),
      [](int done, const QImage& picture) { StepFinished(done, picture); }, Qt::QueuedConnection);
  s.thread->start();
  TSendDisp::ReportProgress(s.sender.get(), step, spStarted);
}

void FinishSend() {
  TSendState& s = State();
  TSendDisp::ReportProgress(s.sender.get(), stDone, spStarted);
  TSendDisp::ReportProgress(s.sender.get(), stDone, spFinished);
  if (OptionOn("Send\\AutoCloseDispSuccess")) s.view->CloseView(true);
}

void CompleteOrFinish() {
  if (HasDoneStep(*State().sender))
    StartStep(stDone);
  else
    FinishSend();
}

// Waits for the thread that ended and frees it; false for an end that
// belongs to no running step.
bool TakeEndedThread(int step) {
  TSendState& s = State();
  if (!s.thread || s.thread->Step != step) return false;
  s.thread->wait();
  s.thread.reset();
  if (step == stSend && s.sender->ErrorCode == geNone) s.messageSent = true;
  return true;
}

void StepFinished(int step, const QImage& captcha) {
  if (!TakeEndedThread(step)) return;
  TSendState& s = State();
  TGateSender& sender = *s.sender;
  if (s.view->Cancelled()) {
    FinishCancelled();
    s.view->CloseView(false);
    return;
  }
  const bool failed = sender.ErrorCode != geNone;
  if (failed) sender.SendStatus = ssError;
  TSendDisp::ReportProgress(&sender, step, failed ? spFailed : spFinished);
  if (failed) return;
  switch (step) {
    case stInit:
      StartStep(sender.Info.GetFlagNamed("Captcha") ? stCaptcha : stSend);
      break;
    case stCaptcha:
      // Closing the error view that follows must not book a send, and the
      // history, the feedback form and pxsend must say why it failed.
      if (captcha.isNull()) {
        sender.SendStatus = ssError;
        sender.SetError(geLoad, CaptchaLoadErrorText());
      }
      s.view->ShowCaptcha(captcha);
      break;
    case stSend:
      sender.SendStatus = ssSent;
      if (WantsDeliveryCheck(sender, *s.message)) {
        StartStep(stCheckDelivery);
        break;
      }
      TSendDisp::ReportProgress(&sender, stCheckDelivery, spStarted);
      TSendDisp::ReportProgress(&sender, stCheckDelivery, spFinished);
      CompleteOrFinish();
      break;
    case stCheckDelivery:
      sender.SendStatus = ssDelivered;
      CompleteOrFinish();
      break;
    case stDone:
      if (OptionOn("Send\\AutoCloseDispSuccess")) s.view->CloseView(true);
      break;
    default:
      break;
  }
}

// The view closed while a step runs (the program is ending): the step is
// cancelled, its request broken off, and the thread joined before anything
// it uses is freed.
void AbortRunningStep() {
  TSendState& s = State();
  if (!s.thread) return;
  s.sender->Cancel();
  if (auto* http = dynamic_cast<THTTPGate*>(s.sender.get())) http->Abort();
  TakeEndedThread(s.thread->Step);
  FinishCancelled();
}

}  // namespace

std::string TSendDisp::CannotCreateText(const std::string& gateName) {
  return "Невозможно отправить сообщение: оператор \""_cp + gateName +
         "\" не найден в базе операторов или не поддерживается программой"_cp;
}

bool TSendDisp::Send(TSMS& message, const std::string& gateName, QWidget* owner) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    THeadlessSendView view;
    return Send(message, gateName, view);
  }
  TSendDispFrm window(owner ? owner : QApplication::activeWindow());
  return Send(message, gateName, window);
}

bool TSendDisp::Send(TSMS& message, const std::string& gateName, TSendView& view) {
  TSendState& s = State();
  if (s.running) {
    if (Hooks().afterSend) Hooks().afterSend(gateName, message, ssCancelled, {});
    return false;
  }
  s.running = true;
  s.message = &message;
  s.gateName = gateName;
  s.view = &view;
  TScopeExit clear([] { State() = TSendState(); });

  try {
    s.sender = TGateFactory::CreateGateSender(gateName);
    if (!s.sender) s.failure = CannotCreateText(gateName);
  } catch (const std::exception& e) {
    // The gate was found, or its row could not even be read: either way the
    // reason is this failure's own (a send-log folder that cannot be made).
    s.failure = MessageOf(e);
  }
  if (!s.sender) {
    view.ShowError(s.failure);
    NotifySent();
    return false;
  }

  bool ok = false;
  try {
    CompleteMessage(*s.sender, message);
    s.sender->SetMessage(&message);
    s.receiver = std::make_unique<QObject>();
    view.SetGate(s.sender.get());
    StartSend();
    ok = view.Execute();
  } catch (const std::exception& e) {
    s.failure = MessageOf(e);
    view.ShowError(s.failure);
    s.sender->Cancel();
    ok = false;
  }
  AbortRunningStep();
  if (view.Cancelled()) FinishCancelled();
  // From here on the message is the after-send hook's.
  s.sender->SetMessage(nullptr);
  NotifySent();
  return ok;
}

void TSendDisp::SetAfterSendHook(TAfterSendHook hook) { Hooks().afterSend = std::move(hook); }
void TSendDisp::SetFeedbackHook(TFeedbackHook hook) { Hooks().feedback = std::move(hook); }
void TSendDisp::SetHelpHook(THelpHook hook) { Hooks().help = std::move(hook); }

void TSendDisp::OpenFeedback(const std::string& gateText, const std::string& phone, const std::string& errorText,
                             TSendLogger* sendLog) {
  if (Hooks().feedback) Hooks().feedback(gateText, phone, errorText, sendLog);
}

void TSendDisp::ShowHelp(int helpContext) {
  if (Hooks().help) Hooks().help(helpContext);
}

void TSendDisp::StartSend() {
  TSendState& s = State();
  if (!s.sender || s.thread) return;
  s.sender->SetError(geNone);
  StartStep(stInit);
}

void TSendDisp::SendCode(const std::string& code) {
  TSendState& s = State();
  if (!s.sender || s.thread) return;
  s.sender->SetCode(code);
  StartStep(stSend);
}

bool TSendDisp::StepRunning() { return State().thread != nullptr; }

TGateSender* TSendDisp::Sender() { return State().sender.get(); }

void TSendDisp::ReportProgress(TGateSender* sender, int step, int phase) {
  if (State().view && sender) State().view->ShowProgress(sender, step, phase);
}

void TSendDisp::NotifySent() {
  TSendState& s = State();
  if (!Hooks().afterSend || !s.message) return;
  const uint8_t status = s.sender ? s.sender->SendStatus.load() : uint8_t{ssCancelled};
  const std::string text = !s.failure.empty() ? s.failure : s.sender ? s.sender->GetErrorText() : std::string();
  TSMS& message = *s.message;
  s.message = nullptr;
  Hooks().afterSend(s.gateName, message, status, text);
}
