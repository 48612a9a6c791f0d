#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "cp1251.h"
#include "phone.h"
#include "gates/gate_database.h"
#include "support/optionsprofile.h"

namespace {

std::string Str(const TPropList& list, std::string_view key) { return VarToStr(list.GetItemNamed(key)); }

using GateModel = GateDatabase;

TEST_F(GateModel, TheRecordLoadsWithItsVersionAndDisabledRules) {
  Gate("plain", "MMS", "HTTP", "7", "0", 10, "Простой"_cp);
  Gate("textversion", "SMS", "HTTP", "v2");
  Gate("missing version", "SMS", "HTTP", "");
  auto g = TGate::Create("plain");
  EXPECT_EQ(g->Type, "MMS");
  EXPECT_EQ(g->Class, "HTTP");
  EXPECT_EQ(g->Caption, "Простой"_cp);
  EXPECT_EQ(g->Version, 7);
  EXPECT_EQ(TGate::Create("textversion")->Version, 1);
  EXPECT_EQ(TGate::Create("missing version")->Version, 1);

  auto none = TGate::Create("no such gate");
  EXPECT_EQ(none->Version, 0);
  EXPECT_FALSE(none->Disabled);
  EXPECT_EQ(none->Caption, "");
  ASSERT_EQ(none->Info.Count(), 1);
  EXPECT_EQ(none->Info.GetItemNamed("MaxSubjectSymbols").VarType(), varInteger);
  EXPECT_EQ(none->Info.GetItemNamed("MaxSubjectSymbols").AsInteger(), 255);

  const std::pair<const char*, bool> disabled[] = {{"1", true}, {"0", false}, {"", false}, {"yes", false}, {"2", false}};
  for (auto [text, expected] : disabled) {
    std::string name = std::string("d") + text;
    Gate(name, "SMS", "HTTP", "1", text);
    EXPECT_EQ(TGate::Create(name)->Disabled, expected) << text;
  }
}

TEST_F(GateModel, InfoHoldsClassesZeroAndTwoOverTheDefaults) {
  Gate("g");
  Param("g", 0, "MaxSymbols", "160");
  Param("g", 1, "URL", "http://x.test/");
  Param("g", 2, "CaptchaScale", "2");
  Param("g", 0, "MaxSubjectSymbols", "40");
  Param("g", 0, "maxsymbols", "70");
  Param("other", 0, "Foreign", "1");
  auto g = TGate::Create("g");
  EXPECT_EQ(g->Info.Count(), 3);
  EXPECT_EQ(g->Info.GetName(0), "MaxSubjectSymbols");
  EXPECT_EQ(g->Info.GetItemNamed("MaxSubjectSymbols").VarType(), varString);
  EXPECT_EQ(Str(g->Info, "MaxSubjectSymbols"), "40");
  EXPECT_EQ(Str(g->Info, "MaxSymbols"), "70");
  EXPECT_EQ(g->Info.GetName(1), "MaxSymbols");
  EXPECT_EQ(Str(g->Info, "CaptchaScale"), "2");
  EXPECT_FALSE(g->Info.Exists("URL"));
}

// A runner's defaults apply before the rows load, so a row overrides them,
// although C++ calls no subclass code from a base constructor.
TEST_F(GateModel, ARunnersDefaultsApplyDuringLoadingAndRowsOverrideThem) {
  Gate("g");
  Param("g", 1, "URL", "http://x.test/");
  Param("g", 0, "SupportFlash", "0");
  auto s = TGate::Create<TStubSender>("g");
  EXPECT_EQ(s->SendParams.GetItemNamed("HandleRedirects").AsInteger(), 1);
  EXPECT_EQ(Str(s->SendParams, "URL"), "http://x.test/");
  EXPECT_EQ(Str(s->Info, "SupportFlash"), "0");

  Param("g", 1, "HandleRedirects", "0");
  s->LoadSendParams();
  EXPECT_EQ(Str(s->SendParams, "HandleRedirects"), "0");
  EXPECT_EQ(s->SendParams.Count(), 2);
}

TEST_F(GateModel, SetStoredParamStoresByValueKindAndUpdatesInPlace) {
  Gate("g");
  auto g = TGate::Create("g");
  const std::pair<Variant, const char*> values[] = {
      {Variant::Integer(42), "42"},          {Variant::Int64(9000000000LL), "9000000000"},
      {Variant::Smallint(-3), "-3"},         {Variant::Double(0.25), "0.25"},
      {Variant::String("текст"_cp), nullptr}, {Variant::Boolean(true), "True"},
  };
  int i = 0;
  for (const auto& [value, text] : values) {
    std::string name = "P" + std::to_string(i++);
    g->SetStoredParam(name, value);
    EXPECT_EQ(Stored("g", name), text ? text : "текст"_cp) << name;
    EXPECT_EQ(g->Info.GetItemNamed(name).VarType(), value.VarType()) << name;
  }
  g->SetStoredParam("P0", Variant::Integer(7));
  db().AddParamText(":Gate", "g");
  EXPECT_EQ(db().GetIntValue("SELECT COUNT(*) FROM gates.GateParam WHERE GateName=:Gate AND ParamClass=2"), 6);
  EXPECT_EQ(Stored("g", "P0"), "7");
  g->LoadInfo();
  EXPECT_EQ(Str(g->Info, "P0"), "7");
}

TEST_F(GateModel, SetStoredParamFailsSilentlyAndLeavesNothingBehind) {
  Gate("g");
  auto g = TGate::Create("g");
  db().ExecSQL(
      "CREATE TRIGGER gates.refuse BEFORE INSERT ON GateParam BEGIN SELECT RAISE(ABORT, 'refused'); END");
  EXPECT_NO_THROW(g->SetStoredParam("DontCheckDelivery", Variant::Boolean(true)));
  EXPECT_FALSE(g->Info.Exists("DontCheckDelivery"));
  EXPECT_FALSE(db().InTransaction());
  EXPECT_NO_THROW(g->SetStoredParam("Arr", Variant::Array({Variant::Integer(1)})));
  EXPECT_FALSE(g->Info.Exists("Arr"));
  EXPECT_TRUE(db().Params().empty());
  EXPECT_FALSE(db().InTransaction());

  db().ExecSQL("DROP TRIGGER gates.refuse");
  db().BeginTransaction();  // someone else's transaction: refused, not joined
  EXPECT_NO_THROW(g->SetStoredParam("Later", Variant::Integer(1)));
  EXPECT_FALSE(g->Info.Exists("Later"));
  db().Rollback();
}

TEST_F(GateModel, TheLongestCoveringPrefixGivesFormatAndTag) {
  Gate("g");
  Prefix("g", "79", "79", "1.2.8", 1);
  Prefix("g", "7916", "7916", "1.3.7", 2);
  Prefix("g", "70", "89", "1.1.9", 3);
  auto g = TGate::Create("g");
  std::string format = "kept";
  int tag = -1;
  EXPECT_TRUE(g->GetPhoneFormatTag("79161234567", format, tag));
  EXPECT_EQ(format, "1.3.7");
  EXPECT_EQ(tag, 2);
  EXPECT_EQ(g->GetPhoneFormat("79031234567"), "1.2.8");
  EXPECT_EQ(g->GetPhoneFormat("81234"), "1.1.9");
  // Shorter than every start it might match: no range covers it.
  EXPECT_EQ(g->GetPhoneFormat("8"), "");
  format = "kept";
  tag = -1;
  EXPECT_FALSE(g->GetPhoneFormatTag("8", format, tag));
  EXPECT_EQ(format, "kept");
  EXPECT_EQ(tag, -1);
  EXPECT_EQ(g->GetPhoneFormat("9"), "");
  EXPECT_EQ(g->ExtractPhonePart("79161234567", ppDef), "916");
  EXPECT_EQ(g->ExtractPhonePart("79161234567", ppNumber, "1.2.8"), "61234567");
}

TEST_F(GateModel, PrefixListLinesShowOneOrTwoGroups) {
  Gate("g");
  Prefix("g", "7900", "7999", "1.3.7");
  Prefix("g", "7916", "7916", "9.9.9");
  Prefix("g", "380", "380", "3.2.7");
  auto g = TGate::Create("g");
  std::vector<std::string> list = {"stale"};
  EXPECT_EQ(g->GetPrefixList(list), 3);
  // The format is the one found for the start (7916 lies in the earlier
  // range of equal length), not the row's own. The order is the database's.
  std::sort(list.begin(), list.end());
  EXPECT_EQ(list, (std::vector<std::string>{"+380  ", "+7 900  - +7 999 ", "+7 916 "}));
}

class GateSender : public GateDatabase {
 protected:
  std::unique_ptr<TGateSender> sender;
  void SetUp() override {
    GateDatabase::SetUp();
    Gate("g");
    Prefix("g", "7916", "7916", "1.3.7");
    sender = TGate::Create<TGateSender>("g");
  }
};

TEST_F(GateSender, ErrorsCarryTheirFixedTextUnlessTheGateGaveOne) {
  EXPECT_EQ(sender->GetErrorText(), "");
  sender->SetError(geConnection, "10061: Connection refused");
  EXPECT_EQ(sender->GetErrorText(), "10061: Connection refused");
  sender->SetError(geLoad);
  EXPECT_EQ(sender->ErrorText, "");
  EXPECT_EQ(sender->GetErrorText(), "Ошибка загрузки. Попробуйте позже."_cp);
  const std::pair<int, const char*> texts[] = {
      {10, "Ошибка соединения с сервером"}, {30, "Ошибка парсинга"}, {40, "Неверно введен код"},
      {50, "Превышен интервал ожидания подтверждения доставки"},     {999, "Неизвестная ошибка"},
      {500, "Неизвестен код ошибки"},      {12345, "Неизвестен код ошибки"},
  };
  for (auto [code, text] : texts) {
    sender->SetError(code);
    EXPECT_EQ(sender->GetErrorText(), cp1251::FromUtf8(text)) << code;
  }
}

TEST_F(GateSender, StepTextsFollowStepPhaseAndStatus) {
  std::string text;
  const char* names[] = {"Инициализация", "Загрузка картинки с кодом", "Отправка сообщения",
                         "Проверка статуса доставки", "Завершение"};
  for (int step = stInit; step <= stDone; ++step) {
    sender->GetStepText(step, spStarted, text);
    EXPECT_EQ(text, cp1251::FromUtf8(names[step]));
    sender->GetStepText(step, spFailed, text);
    EXPECT_EQ(text, cp1251::FromUtf8(names[step]));
  }
  sender->GetStepText(stCaptcha, spFinished, text);
  EXPECT_EQ(text, "Ожидание ввода кода"_cp);
  sender->SendStatus = ssSent;
  sender->GetStepText(stDone, spFinished, text);
  EXPECT_EQ(text, "Сообщение отправлено. Проверка доставки не поддерживается или отключена."_cp);
  sender->SendStatus = ssDelivered;
  sender->GetStepText(stDone, spFinished, text);
  EXPECT_EQ(text, "Сообщение отправлено и доставлено"_cp);
  sender->SendStatus = ssError;
  text = "as passed";
  sender->GetStepText(stDone, spFinished, text);
  EXPECT_EQ(text, "as passed");
  sender->GetStepText(2, spFinished, text);
  EXPECT_EQ(text, "Отправка сообщения"_cp);
}

TEST_F(GateSender, CancellingIsStatusFourOrFive) {
  for (uint8_t status = 0; status < 8; ++status) {
    sender->SendStatus = status;
    EXPECT_EQ(sender->IsCancelled(), status == 4 || status == 5) << int(status);
  }
  sender->SendStatus = ssSent;
  sender->Cancel();
  EXPECT_EQ(sender->SendStatus, ssCancelled);
}

// A step thread polls the status while the main thread cancels.
TEST_F(GateSender, AStepThreadSeesTheCancelOfTheMainThread) {
  std::atomic<bool> sawCancel{false};
  std::thread step([&] {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!sender->IsCancelled() && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    sawCancel = sender->IsCancelled();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  sender->Cancel();
  step.join();
  EXPECT_TRUE(sawCancel);
}

TEST_F(GateSender, TheBaseStepsFailQuietlyAndTheMessageGetsFormatAndCode) {
  EXPECT_FALSE(sender->Init());
  EXPECT_TRUE(sender->GetCaptcha().isNull());
  EXPECT_FALSE(sender->Send());
  EXPECT_TRUE(sender->CheckDelivery());
  TSMS message;
  message.SetItemNamed(MsgKey::Phone, Variant::String("79161234567"));
  sender->SetMessage(&message);
  EXPECT_EQ(sender->Message, &message);
  EXPECT_EQ(Str(message, MsgKey::PhoneFormat), "1.3.7");
  sender->SetCode("x7k");
  EXPECT_EQ(Str(message, MsgKey::Code), "x7k");
}

TEST_F(GateSender, TheLogStartsOnlyWithTheOptionAndIsFinishedWithTheSender) {
  OptionsProfile profile;
  TOptions* savedOptions = Options;
  std::string savedProfile = ProfileDir;
  Options = profile.options.get();
  ProfileDir = profile.dir.File("p") + "/";

  EXPECT_FALSE(sender->StartLogger());
  auto stub = TGate::Create<TStubSender>("g");
  EXPECT_FALSE(stub->StartLogger());
  EXPECT_EQ(stub->Logger, nullptr);

  Options->WriteBool("Send\\LogSend", true);
  EXPECT_TRUE(sender->StartLogger());
  EXPECT_EQ(sender->Logger, nullptr);
  EXPECT_TRUE(stub->StartLogger());
  ASSERT_NE(stub->Logger, nullptr);
  EXPECT_EQ(stub->Logger->Counter, 1);
  EXPECT_EQ(stub->Logger->GateName, "g v.1");
  EXPECT_TRUE(std::filesystem::exists(ProfileDir + "Log/info.txt"));
  int finished = StubLoggersFinished;
  stub.reset();
  EXPECT_EQ(StubLoggersFinished, finished + 1);

  Options = savedOptions;
  ProfileDir = savedProfile;
}

}  // namespace
