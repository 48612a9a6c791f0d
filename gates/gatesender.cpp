#include "gatesender.h"

#include "cp1251.h"
#include "options.h"
#include "sqlmgr.h"

namespace {

struct ErrorTextEntry {
  int32_t code;
  std::string_view text;  // UTF-8
};

constexpr ErrorTextEntry kErrorTexts[] = {
    {geNone, ""},
    {geConnection, "Ошибка соединения с сервером"},
    {geLoad, "Ошибка загрузки. Попробуйте позже."},
    {geScript, "Ошибка парсинга"},
    {geWrongCode, "Неверно введен код"},
    {geDeliveryTimeout, "Превышен интервал ожидания подтверждения доставки"},
    {geUnknown, "Неизвестная ошибка"},
};
constexpr std::string_view kUnknownCode = "Неизвестен код ошибки";

constexpr std::string_view kStepNames[] = {
    "Инициализация", "Загрузка картинки с кодом", "Отправка сообщения", "Проверка статуса доставки", "Завершение",
};

}  // namespace

std::string GateErrorText(int32_t code) {
  for (const ErrorTextEntry& e : kErrorTexts)
    if (e.code == code) return cp1251::FromUtf8(e.text);
  return cp1251::FromUtf8(kUnknownCode);
}

std::string CaptchaLoadErrorText() { return "Ошибка загрузки изображения"_cp; }

TGateSender::~TGateSender() {
  if (!Logger) return;
  try {
    Logger->Finish();
  } catch (const std::exception&) {
    // A destructor cannot report; the log is only an aid.
  }
}

void TGateSender::Load() {
  TGate::Load();
  LoadSendParams();
}

void TGateSender::LoadSendParams() {
  SendParams.Clear();
  SetDefaultParams();
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":GateName", Name);
  auto rows = db.GetUniTable("SELECT ParamName,ParamValue FROM GateParam Where ParamClass=1 AND GateName=:GateName");
  for (; !rows->Eof(); rows->Next())
    SendParams.SetItemNamed(rows->FieldAsString(0), Variant::String(rows->FieldAsString(1)));
}

void TGateSender::SetError(int32_t code, std::string text) {
  ErrorCode = code;
  ErrorText = std::move(text);
}

std::string TGateSender::GetErrorText() const { return ErrorText.empty() ? GateErrorText(ErrorCode) : ErrorText; }

bool TGateSender::IsCancelled() const {
  uint8_t status = SendStatus;
  return status == ssCancelled || status == ssCancelledInCheck;
}

bool TGateSender::StartLogger() {
  if (!Options || !Options->ReadBool("Send\\LogSend")) return false;
  Logger = CreateLogger();
  if (Logger) Logger->Start();
  return true;
}

void TGateSender::SetMessage(TSMS* message) {
  Message = message;
  if (!Message) return;
  Message->SetItemNamed(MsgKey::PhoneFormat, Variant::String(GetPhoneFormat(VarToStr(Message->GetItemNamed(MsgKey::Phone)))));
}

void TGateSender::SetCode(const std::string& code) {
  if (Message) Message->SetItemNamed(MsgKey::Code, Variant::String(code));
}

void TGateSender::GetStepText(int step, int phase, std::string& text) const {
  if (step == stCaptcha && phase == spFinished) {
    text = "Ожидание ввода кода"_cp;
    return;
  }
  if (step == stDone && phase == spFinished) {
    uint8_t status = SendStatus;
    if (status == ssSent) text = "Сообщение отправлено. Проверка доставки не поддерживается или отключена."_cp;
    if (status == ssDelivered) text = "Сообщение отправлено и доставлено"_cp;
    return;
  }
  if (step >= stInit && step <= stDone) text = cp1251::FromUtf8(kStepNames[step]);
}
