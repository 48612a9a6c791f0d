// A fake operator site on 127.0.0.1 and the gate that sends through it, for
// end-to-end sends (the gate runner, the dispatcher, the send window, the
// pxsend tool and the application's own send test).
//
// The site behaves like an operator's web form:
//   GET  /form          the form page in Windows-1251; sets the session cookie
//                       sid=S123 and carries the hidden token T42
//   GET  /captcha.png   the captcha picture, only with that cookie and the form
//                       page as referer (403 otherwise)
//   POST /send          a right token and code: 302 to /result?id=77 (or the
//                       result page itself); a wrong code: the form again
//                       with an error block
//   GET  /result        the result page, "Сообщение принято" and the id in <b>
//   GET  /status        "queued" as often as QueuedAnswers says, then "delivered"
//   POST /upload        an MMS attachment as multipart; answers "uploaded"
//   GET  /logout        the completion step's page
//   GET  /loop          a redirect to itself, for ever
// Every request is kept as raw bytes, with the time it arrived.
//
// FakeGate() is the gate for it as gate XML (Windows-1251), with every
// parameter in a list a test can change before importing it.
#pragma once

#include <QBuffer>
#include <QImage>

#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <string>
#include <utility>
#include <vector>

#include "cp1251.h"
#include "gates/rawserver.h"
#include "importgate.h"

class FakeSite {
 public:
  // The captcha answer the site accepts.
  static constexpr const char* kCode = "7391";
  static constexpr const char* kCookie = "sid=S123";
  static constexpr const char* kToken = "T42";
  static constexpr const char* kMessageId = "77";

  struct Hit {
    std::string method;
    std::string target;  // path and query as sent
    std::chrono::steady_clock::time_point at;
  };

  FakeSite() : captchaImage_(MakeCaptcha()), png_(Png(captchaImage_)), server_([this](RawServer& server, RawConnection& c) { Serve(server, c); }) {}

  // "http://127.0.0.1:port" + path.
  std::string URL(const std::string& path) const { return server_.URL(path); }
  int Port() const { return server_.Port(); }
  // The requests as they arrived, byte for byte.
  std::vector<std::string> Requests() const { return server_.Requests(); }
  std::vector<Hit> Hits() const {
    std::lock_guard lock(mutex_);
    return hits_;
  }
  // "GET /form", "POST /send", ... in order.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const Hit& hit : Hits()) lines.push_back(hit.method + " " + hit.target);
    return lines;
  }
  // The picture /captcha.png serves.
  const QImage& Captcha() const { return captchaImage_; }

  // ---- Behaviour, set before a send ----
  // "queued" answers of /status before "delivered".
  int QueuedAnswers = 0;
  // /captcha.png serves an HTML page instead of the picture.
  bool CaptchaAsHtml = false;
  // POST /send answers with a redirect to /loop, which redirects to itself.
  bool RedirectLoop = false;
  // The answer to POST /send is followed by a TCP reset.
  bool ResetAfterAnswer = false;
  // POST /send answers a right code with the result page itself.
  bool ResultWithoutRedirect = false;
  // /captcha.png answers this much later.
  int CaptchaDelayMs = 0;

 private:
  struct Request {
    std::string method, target, path, body;
    std::map<std::string, std::string> headers;  // lower-case names
  };

  static QImage MakeCaptcha() {
    QImage image(120, 40, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        image.setPixel(x, y, qRgb((x * 2) & 0xFF, (y * 6) & 0xFF, ((x / 30) & 1) ? 0xC0 : 0x20));
    return image;
  }
  static std::string Png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
  }

  static Request Parse(const std::string& raw) {
    Request r;
    size_t end = raw.find("\r\n\r\n");
    std::istringstream head(raw.substr(0, end));
    std::string line;
    std::getline(head, line);
    std::istringstream first(line);
    first >> r.method >> r.target;
    r.path = r.target.substr(0, r.target.find('?'));
    while (std::getline(head, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      size_t colon = line.find(':');
      if (colon == std::string::npos) continue;
      std::string value = line.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.erase(0, 1);
      r.headers[cp1251::LowerCase(line.substr(0, colon))] = value;
    }
    r.body = end == std::string::npos ? std::string() : raw.substr(end + 4);
    return r;
  }

  // The fields of an url-encoded body, decoded to bytes.
  static std::map<std::string, std::string> Fields(const std::string& body) {
    std::map<std::string, std::string> fields;
    std::istringstream in(body);
    for (std::string pair; std::getline(in, pair, '&');) {
      size_t eq = pair.find('=');
      fields[FormDecode(pair.substr(0, eq))] = eq == std::string::npos ? "" : FormDecode(pair.substr(eq + 1));
    }
    return fields;
  }

  static std::string Page(const std::string& utf8Body) {
    return Answer("200 OK", "Content-Type: text/html; charset=windows-1251\r\n", cp1251::FromUtf8(utf8Body));
  }

  std::string FormPage(const std::string& error) const {
    return Answer("200 OK", "Content-Type: text/html; charset=windows-1251\r\nSet-Cookie: " + std::string(kCookie) +
                                "; path=/\r\n",
                  cp1251::FromUtf8("<html><body><h1>Отправка SMS</h1>" + error +
                                   "<form method=\"post\" action=\"/send\"><input type=\"hidden\" name=\"token\" "
                                   "value=\"" + kToken + "\"></form></body></html>"));
  }

  static std::string ResultPage() {
    return Page("<html><body>Сообщение принято. Номер: <b>" + std::string(kMessageId) + "</b></body></html>");
  }

  std::string Route(const Request& r) {
    const bool session = r.headers.count("cookie") && r.headers.at("cookie").find(kCookie) != std::string::npos;
    if (r.method == "GET" && r.path == "/form") return FormPage("");
    if (r.method == "GET" && r.path == "/captcha.png") {
      const bool fromForm = r.headers.count("referer") && r.headers.at("referer") == URL("/form");
      if (!session || !fromForm) return Answer("403 Forbidden", "", "");
      std::this_thread::sleep_for(std::chrono::milliseconds(CaptchaDelayMs));
      if (CaptchaAsHtml) return Page("<html><body>Картинка недоступна</body></html>");
      return Answer("200 OK", "Content-Type: image/png\r\n", png_);
    }
    if (r.method == "POST" && r.path == "/send") {
      if (RedirectLoop) return Answer("302 Found", "Location: /loop\r\n", "");
      auto fields = Fields(r.body);
      if (!session || fields["token"] != kToken || fields["code"] != kCode)
        return FormPage("<div class=\"error\"><b>Неверно</b> введен код</div>");
      if (ResultWithoutRedirect) return ResultPage();
      return Answer("302 Found", "Location: /result?id=" + std::string(kMessageId) + "\r\n", "");
    }
    if (r.method == "GET" && r.path == "/loop") return Answer("302 Found", "Location: /loop\r\n", "");
    if (r.method == "GET" && r.path == "/result") return ResultPage();
    if (r.method == "GET" && r.path == "/status") {
      std::lock_guard lock(mutex_);
      return Page(++statusChecks_ <= QueuedAnswers ? "<html>queued</html>" : "<html>delivered</html>");
    }
    if (r.method == "POST" && r.path == "/upload") return Page("<html>uploaded</html>");
    if (r.method == "GET" && r.path == "/logout") return Page("<html>bye</html>");
    return Answer("404 Not Found", "", "");
  }

  void Serve(RawServer& server, RawConnection& connection) {
    for (std::string raw; !(raw = server.Read(connection)).empty();) {
      Request request = Parse(raw);
      {
        std::lock_guard lock(mutex_);
        hits_.push_back({request.method, request.target, std::chrono::steady_clock::now()});
      }
      if (!connection.Send(Route(request))) return;
      // A proxy that asked for the end of the connection relays whatever
      // follows on it as it is.
      if (request.headers.count("connection") && cp1251::SameText(request.headers.at("connection"), "close")) return;
      if (ResetAfterAnswer && request.path == "/send") {
        connection.Reset();
        return;
      }
    }
  }

  QImage captchaImage_;
  std::string png_;
  mutable std::mutex mutex_;
  std::vector<Hit> hits_;
  int statusChecks_ = 0;
  RawServer server_;  // last: its threads stop before the rest goes
};

// ---- The gate ----

inline std::string XmlText(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// A gate as gate XML; parameters in order, values in UTF-8 as a test writes
// them (the file is written in Windows-1251).
struct FakeGateSpec {
  std::string name = "FakeOperator";
  std::string caption = "Фейковый оператор";
  std::string type = "SMS";
  std::string version = "3";
  std::vector<std::pair<std::string, std::string>> info;
  std::vector<std::pair<std::string, std::string>> params;

  // The value of a parameter; "" when missing.
  std::string Param(const std::string& name) const {
    for (const auto& [n, v] : params)
      if (n == name) return v;
    return {};
  }
  // Sets (or adds) a parameter.
  void Set(const std::string& name, const std::string& value) {
    for (auto& [n, v] : params)
      if (n == name) {
        v = value;
        return;
      }
    params.emplace_back(name, value);
  }
  void Remove(const std::string& name) {
    std::erase_if(params, [&](const auto& p) { return p.first == name; });
  }
  void SetInfo(const std::string& name, const std::string& value) {
    for (auto& [n, v] : info)
      if (n == name) {
        v = value;
        return;
      }
    info.emplace_back(name, value);
  }

  // The single-gate file, in Windows-1251.
  std::string Xml() const {
    std::string xml = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<gate>\r\n";
    xml += "<name>" + XmlText(name) + "</name>\r\n<caption>" + XmlText(caption) + "</caption>\r\n";
    xml += "<type>" + type + "</type>\r\n<class>HTTP</class>\r\n<version>" + version + "</version>\r\n";
    xml += "<priority>10</priority>\r\n";
    xml += "<prefixlist><prefix start=\"7916\" end=\"7916\" format=\"1.3.7\" tag=\"5\"/></prefixlist>\r\n<info>";
    for (const auto& [n, v] : info) xml += "<" + n + ">" + XmlText(v) + "</" + n + ">";
    xml += "</info>\r\n<classprops>\r\n";
    for (const auto& [n, v] : params) xml += "<" + n + ">" + XmlText(v) + "</" + n + ">\r\n";
    xml += "</classprops>\r\n</gate>\r\n";
    return cp1251::FromUtf8(xml);
  }
  // Imports the gate, forced, through the program's gate import.
  bool Import() const {
    std::istringstream in(Xml());
    return ImportGateStream(in, true);
  }
};

// The gate of the fake site: captcha, a send POST with the token, the phone
// parts, the text and the code, delivery checks after cd_delay, cd_delay +
// cd_delta, ... ms (100 and 50 here), and a logout as its completion step. `message` is the
// script name of the message: SMS, or MMS for an MMS gate.
inline FakeGateSpec FakeGate(const FakeSite& site, const std::string& message = "SMS") {
  FakeGateSpec gate;
  if (message == "MMS") gate.type = "MMS";
  gate.info = {{"Captcha", "1"}, {"SupportCheckDelivery", "1"}, {"MaxSymbols", "160"}, {"MaxUnicodeSymbols", "70"}};
  gate.params = {
      {"Encoding", "windows-1251"},
      {"PageURL", site.URL("/form")},
      {"ImageURL", site.URL("/captcha.png")},
      {"posturl", site.URL("/send")},
      {"postdata",
       "eval(begin PostData.Add('token', iff(Stored.Exists('token'), Stored['token'], "
       "Html.StrBetween('name=\"token\" value=\"', '\"'))); "
       "PostData.Add('phone', " + message + "['Phone_DEF'] + " + message + "['Phone_Number']); "
       "PostData.Add('text', " + message + "['Text']); PostData.Add('code', " + message + "['Code']); "
       "Result := ''; end;)"},
      {"success", "eval(begin Stored['id'] := Html.StrBetween('<b>', '</b>'); Result := Html.ExistsStr('принято'); end;)"},
      {"error", "eval(Html.StrBetween('<div class=\"error\">', '</div>'))"},
      {"cd_url", "eval('" + site.URL("/status?id=") + "' + Stored['id'])"},
      {"cd_success", "eval(iff(Html.ExistsStr('delivered'), 'true', iff(Html.ExistsStr('queued'), 'wait', 'false')))"},
      {"cd_maxcheckdelivery", "5"},
      {"cd_delay", "100"},
      {"cd_delta", "50"},
      {"Done", "1"},
      {"SendDone", "eval(HTTP.HTTPMethod('GET', '" + site.URL("/logout") + "'))"},
  };
  if (message == "MMS") {
    gate.SetInfo("SupportMultiMedia", "1");
    gate.params.insert(gate.params.begin() + 4,
                       {{"UploadMultimedia", "1"},
                        {"mu_multipart", "1"},
                        {"mu_posturl", site.URL("/upload")},
                        {"mu_postdata",
                         "eval(begin Stored['token'] := Html.StrBetween('name=\"token\" value=\"', '\"'); "
                         "PostData.Add('subject', MMS['Subject']); PostData.AddData('file', "
                         "MMS['MultiMedia']); Result := ''; end;)"},
                        {"mu_success", "eval(Html.ExistsStr('uploaded'))"}});
  }
  return gate;
}

// A gate file of the test data with "{SITE}" put as the site's address ("").
inline std::string SiteGateFile(const std::string& path, const FakeSite& site) {
  return FileForSite(path, site.URL(""));
}
