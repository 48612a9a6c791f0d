// Files of the HTTP log.
#include "httplogger.h"

#include "cp1251.h"
#include "datetime.h"
#include "files.h"
#include "httpsend.h"
#include "options.h"
#include "systemproxy.h"

namespace {

struct ExtensionRow {
  const char* Contains;
  const char* Extension;
};

// The first row whose type the lower-cased Content-Type contains wins.
constexpr ExtensionRow kExtensions[] = {
    {"image/jpeg", ".jpg"}, {"image/jpg", ".jpg"}, {"image/pjpeg", ".jpg"},
    {"image/gif", ".gif"},  {"image/png", ".png"}, {"text/html", ".htm"},
};

// n in decimal with leading zeros up to width digits.
std::string Padded(int n, int width = 2) {
  std::string text = std::to_string(n);
  return std::string(text.size() < static_cast<size_t>(width) ? width - text.size() : 0, '0') + text;
}

// "dd mm yyyy hh:nn:ss:zzz" of the local time.
std::string CurTime() {
  DateTimeParts p = DecodeDateTime(Now());
  return Padded(p.day) + " " + Padded(p.month) + " " + Padded(p.year, 4) + " " + Padded(p.hour) + ":" +
         Padded(p.minute) + ":" + Padded(p.second) + ":" + Padded(p.msec, 3);
}

}  // namespace

std::string LogFileExtension(const std::string& mimeType) {
  std::string lower = cp1251::LowerCase(mimeType);
  for (const ExtensionRow& row : kExtensions)
    if (lower.find(row.Contains) != std::string::npos) return row.Extension;
  return ".txt";
}

std::string THTTPLogger::GetFolder() const { return ProfileDir + "Log/HTTP/"; }

void THTTPLogger::Start() {
  TSendLogger::Start();
  if (!Options) return;
  std::string mode = Options->ReadString("Network\\Proxy");
  TProxySetting proxy;
  if (cp1251::SameText(mode, "IE")) {
    proxy = GetSystemProxy();
  } else {
    proxy.Host = Options->ReadString("Network\\ProxyHost");
    proxy.Port = Options->ReadString("Network\\ProxyPort");
  }
  std::string lines = "\r\nProxyMethod: " + mode + "\r\nProxyHost: " + proxy.Host + "\r\nProxyPort: " + proxy.Port + "\r\n";
  if (Options->ReadBool("Network\\ProxyAuth"))
    lines += "ProxyUser: " + Options->ReadString("Network\\ProxyName") + "\r\n" +
             ProxyPasswordLine(Options->ReadString("Network\\ProxyPass"));
  AppendToInfo(lines);
}

void THTTPLogger::LogRequest(const TMyHTTPSend& client, const std::string& method, bool answer) {
  if (!IsValidMethod(method)) throw EFileError("Not a request method: " + method);
  std::string prefix = CounterText() + "_" + method + "_" + (answer ? "r" : "s");
  std::string text;
  if (!answer) text += method + " " + client.CurrentURL + " HTTP " + client.Protocol + "\r\n";
  for (const std::string& line : client.Headers) text += line + "\r\n";
  text += "Cookies:\r\n";
  for (const std::string& line : client.Cookies) text += line + "\r\n";
  text += "CurTime: " + CurTime();
  WriteLogFile(prefix + "_1h.txt", text);
  if (!client.Document.empty()) WriteLogFile(prefix + "_2c" + LogFileExtension(client.MimeType), client.Document);
  IncCounter();
}
