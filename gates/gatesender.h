// The sender: a gate with everything one send needs (send parameters, error
// code and text, send status, send log) and the step operations a concrete
// runner fills in. The dispatcher drives a send through this interface:
//
//   Init (step 0) -> GetCaptcha (1), then SetCode with the user's answer ->
//   Send (2) -> CheckDelivery (3), only when a check is wanted -> Done (4)
//
// Each step runs on a worker thread of its own while the main thread waits;
// the main thread reads the results between steps. The only thing written
// from the main thread while a step runs is SendStatus (Cancel), which the
// step polls. A failing step returns false (or no picture) and leaves
// ErrorCode and ErrorText set; a send never raises for a gate's failure.
#pragma once

#include <QImage>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "gate.h"
#include "messages.h"
#include "sendlogger.h"

// Error codes of a send; each has a fixed text that a text set by the gate
// replaces (GetErrorText).
enum TGateErrorCode : int32_t {
  geNone = 0,
  geConnection = 10,  // the runner's text: socket error number, ": ", description
  geLoad = 20,        // page not loaded, status not accepted, success test failed
  geScript = 30,      // the runner's text: the script error message
  geWrongCode = 40,   // wrong captcha answer (for gates to set)
  geDeliveryTimeout = 50,
  geDeliveryWait = 500,  // internal: the delivery check said "ask again"; never left after a step
  geUnknown = 999,       // an unexpected failure inside a request
};

// The fixed text of an error code; "" for geNone, "Неизвестен код ошибки"
// for a code without a text of its own (500 included).
std::string GateErrorText(int32_t code);
// The text of a captcha step that brought no picture (the answer is none of
// the picture kinds, is damaged, or would cost too much to decode): the
// send window shows it, and the send ends with it under geLoad.
std::string CaptchaLoadErrorText();

// Send status of a finished send, handed to the after-send handler.
enum TSendStatus : uint8_t {
  ssSent = 0,              // sent, no delivery check made
  ssDelivered = 1,         // sent and delivered
  ssError = 2,
  ssCancelled = 4,
  ssCancelledInCheck = 5,  // cancelled during the delivery check: the message itself went out
};

// The steps of a send and the phases GetStepText is asked for.
enum TSendStep : int { stInit = 0, stCaptcha = 1, stSend = 2, stCheckDelivery = 3, stDone = 4 };
enum TStepPhase : int { spStarted = 0, spFinished = 1, spFailed = 2 };

class TGateSender : public TGate {
  PX_CLASS(TGateSender, TGate)
 public:
  // Senders are made with TGate::Create<T> (or through TGateFactory), which
  // loads the gate and then the send parameters.
  TGateSender(TConstructKey key, std::string name) : TGate(key, std::move(name)) {}
  // Finishes and frees the logger (a failure to finish is dropped); the
  // message is not freed.
  ~TGateSender() override;

  // Send parameters and scripts (parameter class 1) as text, over the
  // defaults of SetDefaultParams.
  TPropList SendParams;
  // The last error; replaced by every request of the runner. Written by the
  // step thread, read by the main thread between steps.
  int32_t ErrorCode = geNone;
  std::string ErrorText;  // empty: the code's fixed text applies
  // The send log, when send logging is on (StartLogger).
  std::unique_ptr<TSendLogger> Logger;
  // A TSendStatus; 0 at creation. The dispatcher sets 0, 1, 2 and 5, Cancel
  // sets 4. Atomic because the step thread polls it while the main thread
  // writes it.
  std::atomic<uint8_t> SendStatus{ssSent};
  // The message of the current send; not owned.
  TSMS* Message = nullptr;
  // Shown above the captcha picture; set by the runner's captcha step.
  std::string CaptchaDescription;

  // Empties SendParams, calls SetDefaultParams and loads the class 1 rows.
  // Raises ESQLiteException.
  void LoadSendParams();
  // Sets the code and the text together; an omitted text clears the old one.
  void SetError(int32_t code, std::string text = {});
  // ErrorText when set, else the fixed text of ErrorCode.
  std::string GetErrorText() const;
  // True for status 4 and 5.
  bool IsCancelled() const;
  // When the option Send\LogSend is on: Logger := CreateLogger and, when one
  // was made, its Start runs (a file error raises EFileError). Returns the
  // option's value (false without an options object).
  bool StartLogger();

  // The eleven operations a runner overrides.
  // Sets the send parameter defaults before the class 1 rows load; nothing here.
  virtual void SetDefaultParams() {}
  // The runner's send log; none here.
  virtual std::unique_ptr<TSendLogger> CreateLogger() { return nullptr; }
  // Keeps the message (not owned) and sets its PhoneFormat to GetPhoneFormat
  // of its Phone.
  virtual void SetMessage(TSMS* message);
  // Step 0: opens the session. False (with the error set) on failure.
  virtual bool Init() { return false; }
  // Step 1: the captcha picture; a null QImage when there is none or on
  // failure (with the error set).
  virtual QImage GetCaptcha() { return {}; }
  // Puts the user's captcha answer into the message's Code.
  virtual void SetCode(const std::string& code);
  // Step 2: sends the message. False (with the error set) on failure.
  virtual bool Send() { return false; }
  // Step 3: asks the gate whether the message was delivered; true here.
  virtual bool CheckDelivery() { return true; }
  // Step 4: completes the send; nothing here.
  virtual void Done() {}
  // Called on the main thread while a step may run: SendStatus := 4.
  virtual void Cancel() { SendStatus = ssCancelled; }
  // The progress text of a step in a phase (TSendStep, TStepPhase): the
  // step's name, "Ожидание ввода кода" when the captcha is shown, the outcome
  // when step 4 finishes with status 0 or 1; any other status leaves `text`.
  virtual void GetStepText(int step, int phase, std::string& text) const;

 protected:
  // The gate, then SendParams.
  void Load() override;
};
