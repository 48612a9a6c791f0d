// pxsend: sends one message through the real gate import, gate list,
// dispatcher and gate runner without a window, for trying gates by hand.
//
//   pxsend --profile DIR [--import FILE]... [--package FILE] [--gate NAME]
//          [--code CODE] [--captcha FILE.png] [--set Section\Name=Value]...
//          [--mms --subject TEXT --attach FILE] [--signature TEXT] [--flash]
//          PHONE TEXT
//
// The profile folder is made as the program makes it (both ini files, both
// databases). Imports are forced. Without --gate the first gate offered for
// the number is used. The captcha is saved as PNG (DIR/captcha.png unless
// --captcha says otherwise) and its code taken from --code or from a line of
// standard input. Prints, in UTF-8, "gate: NAME", one "step S phase P: TEXT"
// line per progress report, and last "result: status=S error=C text=T".
// Exit code 0 for status 0 or 1, 1 otherwise, 2 for bad usage.
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "corelimits.h"
#include "cp1251.h"
#include "files.h"
#include "gatefactory.h"
#include "gatesender.h"
#include "httpgate.h"
#include "importgate.h"
#include "inistorage.h"
#include "messages.h"
#include "mime.h"
#include "options.h"
#include "phone.h"
#include "picture.h"
#include "senddisp.h"
#include "sendview.h"
#include "sqlmgr.h"
#include "textutils.h"

namespace {

constexpr const char* kUsage =
    "usage: pxsend --profile DIR [--import FILE]... [--package FILE] [--gate NAME] [--code CODE]\n"
    "              [--captcha FILE.png] [--set Section\\Name=Value]... [--mms --subject TEXT --attach FILE]\n"
    "              [--signature TEXT] [--flash] PHONE TEXT\n";

// An attachment is read whole into memory, as the composer reads it.
constexpr uint64_t kMaxAttachmentSize = 64ull << 20;

// A 1x1 GIF: what an MMS without an attachment carries to a gate that wants
// one, as the composer sends it.
constexpr unsigned char kEmptyGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80,
                                       0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x21, 0xF9, 0x04,
                                       0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01,
                                       0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};

struct TArguments {
  std::string profile;
  std::vector<std::string> imports;
  std::string package;
  std::string gate;
  std::optional<std::string> code;
  std::string captcha;
  std::vector<std::pair<std::string, std::string>> settings;
  bool mms = false;
  std::optional<std::string> subject;
  std::string attach;
  std::string signature;
  bool flash = false;
  std::string phone;
  std::string text;
};

// Reads the command line (UTF-8); false on bad usage.
bool ParseArguments(int argc, char** argv, TArguments& a) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "--profile") {
      if (!value(a.profile)) return false;
    } else if (arg == "--import") {
      if (!value(v)) return false;
      a.imports.push_back(v);
    } else if (arg == "--package") {
      if (!a.package.empty() || !value(a.package)) return false;
    } else if (arg == "--gate") {
      if (!value(a.gate)) return false;
    } else if (arg == "--code") {
      if (!value(v)) return false;
      a.code = v;
    } else if (arg == "--captcha") {
      if (!value(a.captcha)) return false;
    } else if (arg == "--set") {
      if (!value(v)) return false;
      const size_t eq = v.find('=');
      if (eq == std::string::npos || v.find('\\') > eq) return false;
      a.settings.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    } else if (arg == "--mms") {
      a.mms = true;
    } else if (arg == "--subject") {
      if (!value(v)) return false;
      a.subject = v;
    } else if (arg == "--attach") {
      if (!value(a.attach)) return false;
    } else if (arg == "--signature") {
      if (!value(a.signature)) return false;
    } else if (arg == "--flash") {
      a.flash = true;
    } else if (arg.starts_with("--")) {
      return false;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2 || a.profile.empty()) return false;
  if (!a.mms && (a.subject || !a.attach.empty())) return false;
  a.phone = positional[0];
  a.text = positional[1];
  return true;
}

std::string Cp(const std::string& utf8) { return cp1251::FromUtf8(utf8); }
std::string Utf(const std::string& cp) { return cp1251::ToUtf8(cp); }

void PrintLine(const std::string& utf8) {
  std::cout << utf8 << '\n';
  std::cout.flush();
}

int Fail(const std::string& utf8) {
  std::cerr << "pxsend: " << utf8 << '\n';
  return 1;
}

// The message text followed by the signature, as the composer forms it:
// the delimiter option with "\n" as line breaks, and the signature put in
// place of every "\s" or else after it.
std::string FinalText(const std::string& text, const std::string& signature) {
  if (signature.empty()) return text;
  std::string delimiter = ExpandLineBreaks(Options->ReadString("Message\\SignatureDelimiter"));
  if (delimiter.find("\\s") == std::string::npos) return text + delimiter + signature;
  for (size_t at = 0; (at = delimiter.find("\\s", at)) != std::string::npos; at += signature.size())
    delimiter.replace(at, 2, signature);
  return text + delimiter;
}

// The attachment of an MMS: the file, or the 1x1 placeholder when there is
// none and the gate does not send without one; for a gate that does, an
// item with nothing in it, as the composer gives.
std::shared_ptr<TMMSContentData> Attachment(const std::string& file, std::string bytes, const std::string& gateName) {
  auto content = std::make_shared<TMMSContentData>();
  std::string name, type;
  if (!file.empty()) {
    const std::filesystem::path path(file);
    name = Cp(path.filename().string());
    type = GetMimeTypeByExt(path.extension().string());
  } else {
    const Variant sendsWithout = TGateFactory::CreateGate(gateName)->Info.GetItemNamed("SendWOMultimedia");
    bool without = false;
    try {
      without = sendsWithout.AsBoolean();
    } catch (const std::exception&) {
    }
    if (without) return content;
    bytes.assign(reinterpret_cast<const char*>(kEmptyGif), sizeof kEmptyGif);
    name = "empty.gif";
    type = "image/gif";
  }
  content->SetItemNamed(ContentKey::FileName, Variant::String(name));
  content->SetItemNamed(ContentKey::ContentType, Variant::String(type));
  const std::string lower = cp1251::LowerCase(type);
  const int kind = lower.find("image") != std::string::npos ? mtImage
                   : lower.find("audio") != std::string::npos || lower.find("smaf") != std::string::npos ? mtAudio
                                                                                                          : mtUnknown;
  content->SetItemNamed(ContentKey::Type, Variant::Integer(kind));
  std::string dimension;
  if (kind == mtImage)
    if (auto picture = LoadGraphicFromStream(bytes, type))
      dimension = std::to_string(picture->width()) + "x" + std::to_string(picture->height());
  content->SetItemNamed(ContentKey::ImageDimension, Variant::String(dimension));
  auto stream = std::make_shared<TMemoryStream>();
  stream->Write(bytes);
  stream->SetPosition(0);
  content->SetStream(stream);
  return content;
}

// The message as the main window builds it.
std::unique_ptr<TSMS> BuildMessage(const TArguments& a, std::string attachment, const std::string& phone,
                                   const std::string& gateName) {
  std::unique_ptr<TSMS> message = a.mms ? std::make_unique<TMMS>() : std::make_unique<TSMS>();
  const std::string text = Cp(a.text), signature = Cp(a.signature);
  message->SetItemNamed(MsgKey::MessageType, Variant::String(a.mms ? "MMS" : "SMS"));
  if (a.mms) {
    const std::string subject = Cp(a.subject.value_or(""));
    message->SetItemNamed(MsgKey::Subject_Orig, Variant::String(subject));
    message->SetItemNamed(MsgKey::Subject, Variant::String(subject));
    message->SetMultiMedia(Attachment(a.attach, std::move(attachment), gateName));
  }
  message->SetItemNamed(MsgKey::Text, Variant::String(FinalText(text, signature)));
  message->SetItemNamed(MsgKey::Message, Variant::String(text));
  message->SetItemNamed(MsgKey::Signature, Variant::String(signature));
  message->SetItemNamed(MsgKey::Phone, Variant::String(phone));
  message->SetItemNamed(MsgKey::Delivery, Variant::Boolean(false));
  message->SetItemNamed(MsgKey::DeliveryTime, Variant::Date(Now()));
  message->SetItemNamed(MsgKey::Flash, Variant::Boolean(a.flash));
  message->SetItemNamed(MsgKey::Translit, Variant::Boolean(false));
  message->SetItemNamed(MsgKey::GateName, Variant::String(gateName));
  return message;
}

// Imports what the command line names, forced. False after a failure,
// which has been told on standard error.
bool ImportGates(const TArguments& a) {
  std::string failed;
  try {
    for (const std::string& file : a.imports)
      if (failed.empty() && !ImportGateFile(file, true)) failed = file;
    if (failed.empty() && !a.package.empty() && !ImportGatePackage(a.package, true)) failed = a.package;
  } catch (const std::exception& e) {
    Fail(Utf(e.what()));
    return false;
  }
  if (failed.empty()) return true;
  Fail("import of " + failed + " failed");
  return false;
}

int Send(const TArguments& a) {
  for (const auto& [key, value] : a.settings) Options->WriteString(Cp(key), Cp(value));
  // Both ini files exist from the start, as the program writes them.
  Options->Storage()->Flush();
  if (!ImportGates(a)) return 1;
  std::string phone = ExtractDigits(ExtractBracketed(Cp(a.phone)));
  if (phone.empty()) phone = ExtractDigits(Cp(a.phone));
  std::string gateName = Cp(a.gate);
  if (gateName.empty()) {
    std::vector<std::string> gates;
    if (!TGateFactory::FindGatesForPhone(phone, a.mms ? gkMMS : gkSMS, gates)) return Fail("no gate for " + a.phone);
    gateName = gates.front();
  }
  std::string attachment;
  if (a.mms && !a.attach.empty()) {
    const TReadFailure failure = ReadWholeFile(a.attach, kMaxAttachmentSize, attachment);
    if (failure != TReadFailure::None) {
      std::cerr << "pxsend: cannot read " << a.attach << ": " << Utf(ReadFailureText(failure, kMaxAttachmentSize))
                << '\n';
      return 2;
    }
  }
  std::unique_ptr<TSMS> message = BuildMessage(a, std::move(attachment), phone, gateName);
  PrintLine("gate: " + Utf(gateName));

  const std::string captchaFile = a.captcha.empty() ? ProfileDir + "captcha.png" : a.captcha;
  THeadlessSendView view;
  view.OnProgress = [](THeadlessSendView&, int step, int phase, const std::string& text) {
    PrintLine("step " + std::to_string(step) + " phase " + std::to_string(phase) + ": " + Utf(text));
  };
  view.OnCaptcha = [&](THeadlessSendView& v, const QImage& picture) {
    if (picture.isNull()) return v.Close();
    if (!picture.save(QString::fromStdString(captchaFile), "PNG")) std::cerr << "pxsend: cannot write " << captchaFile << '\n';
    std::string code;
    if (a.code) {
      code = *a.code;
    } else if (!std::getline(std::cin, code)) {
      return v.Cancel();
    }
    if (!code.empty() && code.back() == '\r') code.pop_back();
    v.SendCode(Cp(code));
  };
  view.OnError = [](const std::string& text) { std::cerr << "pxsend: " << Utf(text) << '\n'; };
  int status = ssCancelled;
  TSendDisp::SetAfterSendHook([&status](const std::string&, TSMS&, uint8_t result, const std::string& text) {
    status = result;
    const TGateSender* sender = TSendDisp::Sender();
    PrintLine("result: status=" + std::to_string(result) + " error=" + std::to_string(sender ? sender->ErrorCode : 0) +
              " text=" + Utf(text));
  });
  TSendDisp::Send(*message, gateName, view);
  TSendDisp::SetAfterSendHook(nullptr);
  return status == ssSent || status == ssDelivered ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  TArguments arguments;
  if (!ParseArguments(argc, argv, arguments)) {
    std::cerr << kUsage;
    return 2;
  }
  // No window is ever shown; captcha scripts still need fonts.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qtArgc = 1;
  char name[] = "pxsend";
  char* qtArgv[] = {name, nullptr};
  QGuiApplication app(qtArgc, qtArgv);

  std::error_code ignored;
  std::filesystem::create_directories(arguments.profile, ignored);
  ProfileDir = PrepareFolder(arguments.profile);
  ReadProgramVersion();
  try {
    CheckProfileDir();
  } catch (const EProfileFolderError& e) {
    return Fail(Utf(e.Message()));
  }
  TIniStorage placement(ProfileDir + "Placemnt.ini");
  TIniStorage storage(ProfileDir + "Parlomix.ini");
  // Options that cannot be read would send with other settings than asked.
  for (const TIniStorage* file : {&placement, &storage})
    if (TReadFailure failure = file->LoadFailure(); failure != TReadFailure::None)
      return Fail("cannot read " + file->FileName() + ": " + Utf(ReadFailureText(failure, kMaxIniFileSize)));
  placement.AddSubStorage("Configuration", &storage);
  TOptions options(&placement);
  Options = &options;
  CreateEmptyFile(ProfileDir + "Placemnt.ini");
  CreateEmptyFile(ProfileDir + "Parlomix.ini");
  int exitCode = 1;
  try {
    OpenDatabases(ProfileDir + "Parlomix.db3", ProfileDir + "Gates.db3");
    InitHTTPLibrary();
    RegisterHTTPGate();
    exitCode = Send(arguments);
    CloseDatabases();
  } catch (const std::exception& e) {
    exitCode = Fail(Utf(e.what()));
  }
  placement.Flush();
  Options = nullptr;
  return exitCode;
}
