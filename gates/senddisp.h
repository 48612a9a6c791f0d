// The send dispatcher: runs one send from start to end. It creates the
// sender of the chosen gate, completes the message with the phone parts and
// symbol limits, shows the send window modally, runs each step on a worker
// thread, decides on the main thread what follows each step (captcha,
// delivery check, completion, error, cancel) and hands the outcome to the
// after-send hook of the application.
//
// How the application uses it (main thread only):
//
//   TSendDisp::SetAfterSendHook([](const std::string& gateName, TSMS& message,
//                                  uint8_t status, const std::string& errorText) {
//     ... book the send; the message belongs to the hook from here on ...
//   });
//   TSendDisp::SetFeedbackHook(...);   // the feedback window
//   TSendDisp::SetHelpHook(...);       // help for a context number (7001)
//   TSendDisp::Send(message, gateName);
//
// Tests and tools drive a send without a window through the same steps:
//
//   THeadlessSendView view;
//   view.OnCaptcha = [](THeadlessSendView& v, const QImage&) { v.SendCode("1234"); };
//   TSendDisp::Send(message, gateName, view);
//
// The status handed to the after-send hook: 0 sent (no delivery check made),
// 1 sent and delivered, 2 error, 4 cancelled (also: the send could not
// start), 5 cancelled after the message was sent.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "messages.h"

class QWidget;

class TGateSender;
class TSendLogger;
class TSendView;

class TSendDisp {
 public:
  using TAfterSendHook = std::function<void(const std::string& gateName, TSMS& message, uint8_t status,
                                            const std::string& errorText)>;
  // The feedback window for a failed send: the gate as Caption + " (" + Name
  // + " v." + Version + ")", the message's phone, the error text and the
  // send log (null when logging is off), all Windows-1251. It runs modally
  // over the send window, which still exists.
  using TFeedbackHook = std::function<void(const std::string& gateText, const std::string& phone,
                                           const std::string& errorText, TSendLogger* sendLog)>;
  // Opens the program help for a help context number.
  using THelpHook = std::function<void(int helpContext)>;

  // Runs a send in the send window (modal; without a QApplication it runs
  // without a window and cancels at a captcha). True when
  // the window closed with the OK result (Close after an error included).
  // The after-send hook runs exactly once before it returns, and from then
  // on the message belongs to the hook: nothing here touches it again. A
  // gate that cannot be created (unknown, or of a class without a runner)
  // shows a message box and reports status 4 with that text. A Send while
  // another runs does nothing but report status 4 and return false. The
  // window is centred on `owner`, or on the active window without one.
  static bool Send(TSMS& message, const std::string& gateName, QWidget* owner = nullptr);
  // The same on any view, such as a THeadlessSendView; needs a
  // QCoreApplication (a QGuiApplication for captcha scripts that write
  // text). `view` must outlive the call.
  static bool Send(TSMS& message, const std::string& gateName, TSendView& view);

  // The application's hooks; until set they do nothing. Main thread only.
  static void SetAfterSendHook(TAfterSendHook hook);
  static void SetFeedbackHook(TFeedbackHook hook);
  static void SetHelpHook(THelpHook hook);
  // The send window's feedback button and help link call these.
  static void OpenFeedback(const std::string& gateText, const std::string& phone, const std::string& errorText,
                           TSendLogger* sendLog);
  static void ShowHelp(int helpContext);

  // ---- The steps, for the views' buttons ----
  // Starts step 0 (begin, retry, captcha reload), its error code reset to 0
  // so that a retry can succeed; SendStatus stays. Nothing while a step runs.
  static void StartSend();
  // The user's captcha code to the sender, then step 2. Nothing while a
  // step runs.
  static void SendCode(const std::string& code);
  // A step thread is running.
  static bool StepRunning();
  // The sender of the send under way (also inside the after-send hook);
  // null between sends.
  static TGateSender* Sender();
  // Calls the progress hook (the view) for a step and phase.
  static void ReportProgress(TGateSender* sender, int step, int phase);
  // Calls the after-send hook with the gate name given to Send, the
  // message, the sender's SendStatus and its error text, in this order.
  static void NotifySent();

  // What a send could not start with: the text shown and reported.
  static std::string CannotCreateText(const std::string& gateName);
};
