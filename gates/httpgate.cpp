// The HTTP gate runner: its steps, its requests and its script bindings.
#include "httpgate.h"

#include <cstdint>
#include <thread>

#include "charset.h"
#include "cp1251.h"
#include "scopeexit.h"
#include "errors.h"
#include "gatefactory.h"
#include "gatelimits.h"
#include "html.h"
#include "httpcookies.h"
#include "httplogger.h"
#include "imageproccess.h"
#include "options.h"
#include "picture.h"
#include "strfuncs.h"

namespace {

// The names one kind of POST reads, one row per TPostKind.
struct TPostNames {
  const char* PageURL;
  const char* Referer;
  const char* Multipart;
  const char* PostURL;
  const char* PostData;
  const char* DontLoadResult;
  const char* CustomMime;
  const char* Success;
  const char* Error;
};

constexpr TPostNames kPostNames[] = {
    {"pageurl", "referer", "multipart", "posturl", "postdata", "dontloadresult", "custommime", "success", "error"},
    {"pageurl", "mu_referer", "mu_multipart", "mu_posturl", "mu_postdata", "mu_dontloadresult", "mu_custommime",
     "mu_success", "mu_error"},
    {"pageurl", "cd_referer", "cd_multipart", "cd_posturl", "cd_postdata", "cd_dontloadresult", "cd_custommime",
     "cd_success", "cd_error"},
};

constexpr const char* kUrlEncoded = "application/x-www-form-urlencoded";
constexpr const char* kMultipartPrefix = "multipart/form-data; boundary=";
// Evaluations nested in one another: a gate parameter, then Encoding read by
// a request the first one's script made. Deeper would mean Encoding's own
// script makes requests, which would read Encoding again without end.
constexpr int kMaxEvalDepth = 2;
// The interpreter's "User break".
constexpr int32_t kUserBreak = 3;

// An integer option; 0 without an options object.
int64_t OptionWhole(const char* key) { return Options ? Options->ReadInteger(key) : 0; }

// Name and value of a header line, both trimmed; false without a colon.
bool SplitHeader(const std::string& line, std::string& name, std::string& value) {
  size_t colon = line.find(':');
  if (colon == std::string::npos) return false;
  name = std::string(strfuncs::Trim(std::string_view(line).substr(0, colon)));
  value = std::string(strfuncs::Trim(std::string_view(line).substr(colon + 1)));
  return !name.empty();
}

}  // namespace

THTTPGate::THTTPGate(TConstructKey key, std::string name) : TGateSender(key, std::move(name)) {
  HTTPClient.Protocol = "1.1";
  HTTPClient.UserAgent = kBrowserUserAgent;
  HTTPClient.KeepAlive = true;
  HTTPClient.Status100 = false;
}

THTTPGate::~THTTPGate() {
  // The client must not write into the log the base class frees after us.
  HTTPClient.Logger = nullptr;
}

void THTTPGate::Load() {
  TGateSender::Load();
  PostData.Encoding = VarToStr(SendParams.GetItemNamed("Encoding"));
  HTTP.RequestHandler = [this](THTTPClient&, const std::string& method, const std::string& url) {
    ScriptHTTPMethod(method, url);
  };
  Bind("Html", &Html);
  Bind("GateInfo", &Info);
  Bind("Stored", &Stored);
  Bind("PostData", &PostData);
  Bind("HTTP", &HTTP);
  Bind("Cookies", &Cookies);
  Evaluator.SetStatementHook([this] { OnStatement(); });
  if (StartLogger() && Logger) HTTPClient.Logger = static_cast<THTTPLogger*>(Logger.get());
}

void THTTPGate::SetDefaultParams() { SendParams.SetItemNamed("HandleRedirects", Variant::Integer(1)); }

std::unique_ptr<TSendLogger> THTTPGate::CreateLogger() {
  return TSendLogger::Create<THTTPLogger>(Name + " v." + std::to_string(Version));
}

void THTTPGate::SetMessage(TSMS* message) {
  TGateSender::SetMessage(message);
  const bool mms = cp1251::SameText(Type, kMessageTypeMMS);
  Bind(mms ? "MMS" : "SMS", message);
  Bind(mms ? "SMS" : "MMS", nullptr);
}

// ---- Scripts ----

void THTTPGate::Bind(const std::string& name, TObject* obj) {
  bool known = false;
  for (auto& [bound, object] : bindings_)
    if (cp1251::SameText(bound, name)) {
      object = obj;
      known = true;
    }
  if (!known) bindings_.emplace_back(name, obj);
  Evaluator.SetObject(name, obj);
  if (nested_) nested_->SetObject(name, obj);
}

TEvalutor& THTTPGate::EvaluatorForDepth(int depth) {
  if (depth == 0) return Evaluator;
  if (!nested_) {
    nested_ = std::make_unique<TEvalutor>();
    for (const auto& [name, obj] : bindings_) nested_->SetObject(name, obj);
    nested_->SetStatementHook([this] { OnStatement(); });
  }
  return *nested_;
}

void THTTPGate::OnStatement() {
  if (!IsCancelled()) return;
  const auto now = std::chrono::steady_clock::now();
  if (!cancelSeen_) {
    cancelSeen_ = true;
    cancelSeenAt_ = now;
    return;
  }
  if (now - cancelSeenAt_ >= std::chrono::milliseconds(kScriptCancelGraceMs)) RaiseError(kUserBreak, -1);
}

Variant THTTPGate::GetParam(const std::string& name) {
  const int index = SendParams.IndexOf(name);
  if (index < 0) return {};
  const std::string text = VarToStr(SendParams.GetItem(index));
  if (text.empty()) return {};
  try {
    if (depth_ >= kMaxEvalDepth) throw EEvalException("Recursive evaluation of parameter '" + name + "'", 6, -1);
    TEvalutor& evaluator = EvaluatorForDepth(depth_);
    ++depth_;
    TScopeExit leave([this] { --depth_; });
    return evaluator.Evaluate(text);
  } catch (const EEvalException& e) {
    SetError(geScript, e.Message());
    throw;
  }
}

int64_t THTTPGate::ParamWhole(const std::string& name) {
  Variant value = GetParam(name);
  try {
    return value.AsInt64();
  } catch (const std::exception&) {
    return 0;
  }
}

// ---- Requests ----

void THTTPGate::ResetRequest(bool full) {
  if (full) HTTP.Clear();
  HTTP.Headers.Clear();
  HTTPClient.ResetHeaders();
}

void THTTPGate::StoreCookies() {
  for (int i = 0; i < Cookies.Count(); ++i) {
    const std::string value = Cookies.IsObject(i) ? std::string() : VarToStr(Cookies.GetItem(i));
    httpcookies::SetValue(HTTPClient.Cookies, Cookies.GetName(i), value);
  }
}

void THTTPGate::ReadResponse() {
  HTTP.SetItemNamed("URL", Variant::String(HTTPClient.CurrentURL));
  std::string name, value;
  for (const std::string& line : HTTPClient.Headers)
    if (SplitHeader(line, name, value)) HTTP.SetItemNamed(name, Variant::String(value));
  Cookies.Clear();
  for (const std::string& line : HTTPClient.Cookies) {
    auto [cookie, content] = httpcookies::Split(line);
    Cookies.SetItemNamed(cookie, Variant::String(std::string(content)));
  }
}

std::string THTTPGate::DefaultPostMime() const {
  return PostData.MultiPart() ? kMultipartPrefix + PostData.Boundary() : std::string(kUrlEncoded);
}

std::string THTTPGate::ResponseText() { return ConvertFromEncoding(HTTPClient.Document, ParamText("Encoding")); }

bool THTTPGate::SocketFailed() {
  const int error = HTTPClient.LastError();
  if (error == 0) return false;
  SetError(geConnection, std::to_string(error) + ": " + HTTPClient.LastErrorDesc());
  return true;
}

void THTTPGate::JudgeSuccess(const std::string& success, const std::string& errorParam, bool waitAllowed) {
  if (waitAllowed && cp1251::SameText(success, "wait")) {
    SetError(geDeliveryWait);
    return;
  }
  if (success.empty() || cp1251::SameText(success, "false")) {
    SetError(geLoad, HtmlToText(ParamText(errorParam)));
    return;
  }
  SetError(geNone);
}

bool THTTPGate::HTTPGet(const std::string& url, const std::string& referer) {
  SetError(geNone);
  try {
    ResetRequest(true);
    if (!referer.empty()) HTTPClient.Headers.push_back("Referer: " + referer);
    HTTPClient.HandleRedirects = true;
    StoreCookies();
    HTTPClient.HTTPMethod("GET", url);
    ReadResponse();
    if (!SocketFailed()) SetError(HTTPClient.ResultCode == 200 ? geNone : geLoad);
  } catch (...) {
    if (ErrorCode == geNone) SetError(geUnknown);
  }
  return ErrorCode == geNone;
}

bool THTTPGate::HTTPPost(int kind) {
  const TPostNames& names = kPostNames[kind >= pkSend && kind <= pkDeliveryCheck ? kind : pkSend];
  SetError(geNone);
  PostData.Clear();
  try {
    ResetRequest(true);
    PostData.SetMultiPart(ParamBool(names.Multipart));
    std::string body = ParamText(names.PostData);
    if (body.empty()) body = PostData.GetText();
    const std::string referer = HasParam(names.Referer) ? ParamText(names.Referer) : ParamText(names.PageURL);
    HTTPClient.Headers.push_back("Referer: " + referer);
    std::string mime = ParamText(names.CustomMime);
    if (mime.empty()) mime = DefaultPostMime();
    const std::string url = ParamText(names.PostURL);
    HTTPClient.HandleRedirects = ParamBool("HandleRedirects");
    StoreCookies();
    HTTPClient.Document = std::move(body);
    HTTPClient.MimeType = mime;
    HTTPClient.HTTPMethod("POST", url);
    ReadResponse();
    if (SocketFailed()) return false;
    // HandleRedirects is asked again only when the status is not 200.
    const int status = HTTPClient.ResultCode;
    const bool accepted = status == 200 || (!ParamBool("HandleRedirects") && (status == 301 || status == 302));
    if (!accepted) {
      SetError(geLoad);
      return false;
    }
    if (!ParamBool(names.DontLoadResult)) Html.Text = ResponseText();
    JudgeSuccess(ParamText(names.Success), names.Error, kind == pkDeliveryCheck);
  } catch (...) {
    if (ErrorCode == geNone) SetError(geUnknown);
  }
  return ErrorCode == geNone;
}

void THTTPGate::ScriptHTTPMethod(const std::string& method, const std::string& url) {
  HTTPClient.ResetHeaders();
  for (int i = 0; i < HTTP.Headers.Count(); ++i)
    HTTPClient.Headers.push_back(HTTP.Headers.GetName(i) + ": " + VarToStr(HTTP.Headers.GetItem(i)));
  if (!HTTP.CustomUserAgent.empty()) HTTPClient.UserAgent = HTTP.CustomUserAgent;
  HTTPClient.Headers.push_back("Referer: " + HTTP.Referer);
  if (cp1251::SameText(method, "POST")) {
    HTTPClient.MimeType = HTTP.CustomMime.empty() ? DefaultPostMime() : HTTP.CustomMime;
    HTTPClient.Document = PostData.GetText();
    PostData.Clear();
  }
  HTTPClient.HandleRedirects = HTTP.HandleRedirects;
  // A script that set a cookie expects it to go with its own request too.
  StoreCookies();
  HTTPClient.HTTPMethod(method, url);
  ReadResponse();
  if (!SocketFailed()) {
    if (HTTPClient.ResultCode == 200) {
      if (!HTTP.DontLoadResult) Html.Text = ResponseText();
      SetError(geNone);
    } else {
      SetError(geLoad);
    }
  }
  HTTPClient.Clear();
  ResetRequest(true);
}

bool THTTPGate::WaitFor(int64_t ms) {
  if (ms <= 0) return !IsCancelled();
  const auto start = std::chrono::steady_clock::now();
  // Counted in milliseconds: a wait of years in nanoseconds would overflow.
  while (std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count() < ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kWaitSliceMs));
    if (IsCancelled()) return false;
  }
  return true;
}

// ---- Steps ----

bool THTTPGate::Init() {
  Stored.Clear();
  GetParam("SendInit");
  if (!HTTP.Protocol.empty()) HTTPClient.Protocol = HTTP.Protocol;
  const std::string url = ParamText("PageURL");
  if (!url.empty() && HTTPGet(url, HTTP.Referer)) Html.Text = ResponseText();
  return ErrorCode == geNone;
}

QImage THTTPGate::GetCaptcha() {
  CaptchaDescription = HasParam("ImageDescription") ? ParamText("ImageDescription") : std::string();
  std::string imageUrl, pageUrl;
  try {
    imageUrl = ParamText("ImageURL");
    pageUrl = ParamText("PageURL");
  } catch (const EEvalException&) {
    return {};
  }
  QImage picture;
  try {
    if (!HTTPGet(imageUrl, pageUrl)) return {};
    if (auto loaded = LoadBitmapFromStream(HTTPClient.Document, HTTPClient.MimeType)) picture = std::move(*loaded);
    if (picture.isNull() || !HasParam("proccessimage")) return picture;
    TImageProccess workbench(picture);
    Bind("Img", &workbench);
    TScopeExit unbind([this] { Bind("Img", nullptr); });
    GetParam("proccessimage");
    picture = workbench.GetResult();
  } catch (...) {
    // What the script made so far stands; a script error has set code 30.
  }
  return picture;
}

bool THTTPGate::Send() {
  bool ok = true;
  if (cp1251::SameText(Type, kMessageTypeMMS) && ParamBool("UploadMultimedia") && Message && Message->MultiMedia())
    ok = HTTPPost(pkUpload);
  return ok && HTTPPost(pkSend);
}

bool THTTPGate::CheckDelivery() {
  std::string referer = ParamText("cd_referer");
  if (referer.empty()) referer = ParamText("posturl");
  int64_t checks = ParamWhole("cd_maxcheckdelivery");
  if (checks == 0) checks = OptionWhole("Send\\MaxChecksDelivery");
  // Only 0 (or no number at all) asks for the option; a delay below 0, the
  // gate's or the option's, is no wait, which still looks at the cancel.
  auto delayOrOption = [](int64_t value, const char* option) { return value != 0 ? value : OptionWhole(option); };
  int64_t delay = delayOrOption(ParamWhole("cd_delay"), "Send\\CheckDeliveryDelay");
  const int64_t delta = delayOrOption(ParamWhole("cd_delta"), "Send\\CheckDeliveryDelta");
  if (checks <= 0) return true;
  for (int64_t i = 0; i < checks; ++i) {
    if (!WaitFor(delay)) break;
    if (cp1251::SameText(ParamText("cd_method"), "POST")) {
      HTTPPost(pkDeliveryCheck);
    } else if (HTTPGet(ParamText("cd_url"), referer)) {
      Html.Text = ResponseText();
      JudgeSuccess(ParamText("cd_success"), "cd_error", true);
    } else {
      SetError(geLoad);
    }
    // A gate's absurd delays must not wrap round into no wait at all.
    if (__builtin_add_overflow(delay, delta, &delay)) delay = delta > 0 ? INT64_MAX : INT64_MIN;
    if (ErrorCode != geDeliveryWait) break;
  }
  if (ErrorCode == geDeliveryWait) SetError(geDeliveryTimeout);
  return ErrorCode == geNone;
}

void THTTPGate::Done() { GetParam("SendDone"); }

void RegisterHTTPGate() {
  TGateFactory::RegisterGateClass("HTTP", [](const std::string& gateName) -> std::unique_ptr<TGateSender> {
    return TGate::Create<THTTPGate>(gateName);
  });
}
