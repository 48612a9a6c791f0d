// What the send tests share: the application object, a profile with options
// and both databases, the fake site with its gate, messages as the composer
// builds them, and a send driven without a window whose every report and
// after-send call is recorded.
#pragma once

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/fresh_database.h"
#include "cp1251.h"
#include "gates/fakesite.h"
#include "gates/httptestenv.h"
#include "gatesender.h"
#include "httpgate.h"
#include "messages.h"
#include "senddisp.h"
#include "sendview.h"

// One application object for the whole test program: the send window needs
// QApplication, captcha scripts its font database, the dispatcher its event
// loop.
class SendAppEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "test_gates_send";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
    InitHTTPLibrary();
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};
inline ::testing::Environment* const kSendApp = ::testing::AddGlobalTestEnvironment(new SendAppEnvironment);

inline std::string Cp(const std::string& utf8) { return cp1251::FromUtf8(utf8); }
inline std::string Utf(const std::string& cp) { return cp1251::ToUtf8(cp); }

// An SMS as the main window builds it (no signature, no transliteration).
inline std::unique_ptr<TSMS> MakeSms(const std::string& phone = "79161234567",
                                     const std::string& utf8Text = "Привет, мир") {
  auto sms = std::make_unique<TSMS>();
  sms->SetItemNamed(MsgKey::MessageType, Variant::String("SMS"));
  sms->SetItemNamed(MsgKey::Phone, Variant::String(phone));
  sms->SetItemNamed(MsgKey::Text, Variant::String(Cp(utf8Text)));
  sms->SetItemNamed(MsgKey::Message, Variant::String(Cp(utf8Text)));
  sms->SetItemNamed(MsgKey::Signature, Variant::String(""));
  sms->SetItemNamed(MsgKey::Delivery, Variant::Boolean(false));
  sms->SetItemNamed(MsgKey::Flash, Variant::Boolean(false));
  sms->SetItemNamed(MsgKey::Translit, Variant::Boolean(false));
  return sms;
}

// What one send did.
struct SendOutcome {
  bool result = false;            // what Send returned
  int afterSendCalls = 0;
  std::string gateName;           // the after-send arguments, in order
  TSMS* message = nullptr;
  int status = -1;
  std::string errorText;          // UTF-8
  int errorCode = -1;             // the sender's, read inside the hook
  std::vector<std::string> reports;  // "step/phase: text", UTF-8
  std::vector<int> bars;             // the bar after each report
  std::string shownError;            // what the view was told when the send could not start
};

class SendTest : public FreshDatabase {
 protected:
  void SetUp() override {
    FreshDatabase::SetUp();
    RegisterHTTPGate();
    gate = FakeGate(site);
  }
  void TearDown() override {
    TSendDisp::SetAfterSendHook(nullptr);
    FreshDatabase::TearDown();
  }

  void Import() { ASSERT_TRUE(gate.Import()); }

  // Runs a send on `view`, recording what the user would see and what the
  // after-send hook is given.
  SendOutcome Run(TSMS& message, THeadlessSendView& view, const std::string& gateName = "FakeOperator") {
    SendOutcome out;
    auto userProgress = view.OnProgress;
    view.OnProgress = [&out, userProgress](THeadlessSendView& v, int step, int phase, const std::string& text) {
      out.reports.push_back(std::to_string(step) + "/" + std::to_string(phase) + ": " + Utf(text));
      out.bars.push_back(v.State().Bar);
      if (userProgress) userProgress(v, step, phase, text);
    };
    view.OnError = [&out](const std::string& text) { out.shownError = Utf(text); };
    RecordAfterSend(out);
    out.result = TSendDisp::Send(message, gateName, view);
    return out;
  }
  // Runs a send in the send window, recording what the after-send hook is
  // given.
  SendOutcome RunWindow(TSMS& message) {
    SendOutcome out;
    RecordAfterSend(out);
    out.result = TSendDisp::Send(message, gate.name);
    return out;
  }
  // Makes the after-send hook write its arguments into `out`.
  static void RecordAfterSend(SendOutcome& out) {
    TSendDisp::SetAfterSendHook([&out](const std::string& name, TSMS& msg, uint8_t status, const std::string& text) {
      ++out.afterSendCalls;
      out.gateName = name;
      out.message = &msg;
      out.status = status;
      out.errorText = Utf(text);
      out.errorCode = TSendDisp::Sender() ? TSendDisp::Sender()->ErrorCode : -1;
    });
  }

  // A send whose captcha is answered with `code`.
  SendOutcome RunWithCode(TSMS& message, const std::string& code = FakeSite::kCode) {
    THeadlessSendView view;
    view.OnCaptcha = [code](THeadlessSendView& v, const QImage&) { v.SendCode(code); };
    return Run(message, view);
  }

  HttpProfile profile;
  FakeSite site;
  FakeGateSpec gate;
};
