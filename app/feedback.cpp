#include "feedback.h"

#include "applimits.h"
#include "cp1251.h"
#include "httpsend.h"
#include "options.h"
#include "postdata.h"
#include "proplist.h"
#include "memorystream.h"

namespace {

const std::string kCRLF = "\r\n";

// What a theme shows: which hint, and which message.
enum class THint { Send, Operator, BrokenGate };
enum class TMessage { Empty, NewOperator, Versions, BrokenGate };
struct TThemeDesc {
  const char* text;
  THint hint;
  TMessage message;
};

constexpr TThemeDesc kThemes[] = {
    {"Общий вопрос", THint::Send, TMessage::Empty},
    {"Запрос на добавление оператора", THint::Operator, TMessage::NewOperator},
    {"Вопрос к технической поддержке", THint::Send, TMessage::Versions},
    {"Предложение", THint::Send, TMessage::Empty},
    {"Сообщить об ошибке", THint::Send, TMessage::Versions},
    {"Сообщить о неработающем операторе", THint::BrokenGate, TMessage::BrokenGate},
};

std::string HintText(THint hint) {
  switch (hint) {
    case THint::Operator: return "Для ускорения добавления оператора укажите в сообщении страницу отправки SMS"_cp;
    case THint::BrokenGate:
      return "В сообщении укажите оператора и несколько первых цифр номера"_cp + kCRLF +
             "Для активации присединения протокола отправки включите сохранение протокола в настройках программы"_cp;
    case THint::Send: break;
  }
  return "Заполните сообщение и нажмите кнопку \"Отправить\""_cp;
}

std::string VersionLines(const std::string& programVersion, int gatesVersion) {
  return "Parlomix v." + programVersion + kCRLF + "База операторов v."_cp + std::to_string(gatesVersion);
}

}  // namespace

const std::vector<std::string>& FeedbackThemes() {
  static const std::vector<std::string> themes = [] {
    std::vector<std::string> list;
    for (const TThemeDesc& theme : kThemes) list.push_back(cp1251::FromUtf8(theme.text));
    return list;
  }();
  return themes;
}

TThemeTexts ThemeTexts(int index, const std::string& programVersion, int gatesVersion) {
  const TThemeDesc& theme = kThemes[index >= 0 && index < static_cast<int>(std::size(kThemes)) ? index : 0];
  TThemeTexts texts{HintText(theme.hint), {}};
  switch (theme.message) {
    case TMessage::Empty: break;
    case TMessage::NewOperator: texts.message = "Имя оператора: "_cp + kCRLF + "Страница отправки: "_cp; break;
    case TMessage::Versions: texts.message = VersionLines(programVersion, gatesVersion); break;
    case TMessage::BrokenGate:
      texts.message = VersionLines(programVersion, gatesVersion) + kCRLF + "Имя оператора: "_cp + kCRLF +
                      "Первые цифры номера отправки: "_cp + kCRLF + "Ошибка: "_cp;
      break;
  }
  return texts;
}

std::string ErrorReportText(const std::string& gateName, const std::string& phone, const std::string& errorText,
                            const std::string& programVersion, int gatesVersion) {
  std::string text = VersionLines(programVersion, gatesVersion) + kCRLF + "Имя оператора: "_cp + gateName + kCRLF;
  if (!phone.empty())
    text += "Первые цифры номера отправки: "_cp + phone.substr(0, phone.size() > 4 ? phone.size() - 4 : 0) + kCRLF;
  return text + "Ошибка: "_cp + errorText;
}

bool IsEmailValid(std::string_view email) {
  size_t at = email.find('@');
  return at != std::string_view::npos && email.find('.', at + 1) != std::string_view::npos;
}

TFeedbackPost BuildFeedbackPost(const TFeedbackFields& fields) {
  TPostData body(true, "UTF-8");
  body.Add("formid", "feedback");
  body.Add("sendername", fields.name);
  body.Add("email", fields.email);
  body.Add("subj", fields.theme);
  body.Add("comments", fields.message);
  if (fields.logZip) {
    TMemoryStream stream(*fields.logZip);
    TPropList file;
    file.SetItemNamed("FileName", Variant::String("log.zip"));
    file.SetItemNamed("ContentType", Variant::String("application/zip"));
    file.SetObjectNamed("Stream", &stream);
    body.AddData("fileattachment", &file);
  }
  return {"multipart/form-data; boundary=" + body.Boundary(), body.GetText()};
}

bool PostFeedback(const std::string& url, const TFeedbackPost& post, TUploadStop& stop, TTransferPace pace) {
  TMyHTTPSend http;
  http.MimeType = post.contentType;
  http.UserAgent = "Parlomix Feedback v. " + ProgramVersion.FileVersion;
  http.Document = post.body;
  http.ConnectTimeoutMs = kFeedbackConnectTimeoutMs;
  pace.ApplyTo(http);
  stop.Set([&http] { http.Stop(); });
  bool sent = http.HTTPMethod("POST", url);
  stop.Clear();
  return sent && !stop.Stopped() && http.ResultCode == 200;
}

TFeedbackSendThread::TFeedbackSendThread(std::string url, TFeedbackPost post, QObject* parent)
    : QObject(parent), url_(std::move(url)), post_(std::move(post)) {}

TFeedbackSendThread::~TFeedbackSendThread() {
  stop_.Stop();
  if (thread_.joinable()) thread_.join();
}

void TFeedbackSendThread::Start() {
  thread_ = std::thread([this] {
    bool success = false;
    try {
      success = PostFeedback(url_, post_, stop_);
    } catch (...) {
      // A client that cannot be made is a failed post; the user tries again.
    }
    QMetaObject::invokeMethod(this, [this, success] { emit finished(success); }, Qt::QueuedConnection);
  });
}
