// Gate files written the way gate authors write them, each leaning on a
// different part of the script interface and of the runner, sent by the
// pxsend tool against a site of their own on 127.0.0.1 (data/gateauthor;
// "{SITE}" in a file stands for the site's address).
#include <iconv.h>

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "cp1251.h"
#include "gatefactory.h"
#include "gates/encoded_bytes.h"
#include "gates/gifwriter.h"
#include "gates/pxsendrun.h"
#include "gates/rawserver.h"
#include "sqlmgr.h"
#include "support/tempdir.h"

namespace {

using namespace std::string_literals;

// Bytes from one charset to another, by the system's iconv (not the program's).
std::string Recode(const std::string& bytes, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  std::string out(bytes.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  char* at = out.data();
  size_t inLeft = bytes.size(), outLeft = out.size();
  iconv(cd, &in, &inLeft, &at, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

std::string FromUtf8(const std::string& utf8, const char* charset) { return Recode(utf8, "UTF-8", charset); }
std::string ToUtf8(const std::string& bytes, const char* charset) { return Recode(bytes, charset, "UTF-8"); }

// One request as the site saw it.
struct Seen {
  std::string raw, method, target, path, body;
  std::map<std::string, std::string> headers;  // lower-case names
  std::string Header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
  }
  bool HasCookie(const std::string& pair) const { return (Header("cookie") + ";").find(pair + ";") != std::string::npos; }
  // The first line, "GET /path HTTP/1.1".
  std::string RequestLine() const { return raw.substr(0, raw.find("\r\n")); }
  std::chrono::steady_clock::time_point at;
};

std::string Query(const Seen& r) { return r.target.substr(r.target.find('?') + 1); }

Seen ParseRequest(const std::string& raw) {
  Seen r;
  r.raw = raw;
  r.at = std::chrono::steady_clock::now();
  const size_t end = raw.find("\r\n\r\n");
  std::istringstream head(raw.substr(0, end));
  std::string line;
  std::getline(head, line);
  std::istringstream(line) >> r.method >> r.target;
  r.path = r.target.substr(0, r.target.find('?'));
  while (std::getline(head, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon), value = line.substr(colon + 1);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    while (!value.empty() && value.front() == ' ') value.erase(0, 1);
    r.headers[name] = value;
  }
  r.body = end == std::string::npos ? std::string() : raw.substr(end + 4);
  return r;
}

// The fields of an url-encoded text, "%XX" and "+" decoded, in order.
std::vector<std::pair<std::string, std::string>> FormFields(const std::string& body) {
  std::vector<std::pair<std::string, std::string>> fields;
  std::istringstream in(body);
  for (std::string pair; std::getline(in, pair, '&');) {
    const size_t eq = pair.find('=');
    fields.emplace_back(FormDecode(pair.substr(0, eq)), eq == std::string::npos ? "" : FormDecode(pair.substr(eq + 1)));
  }
  return fields;
}

std::string Field(const std::string& body, const std::string& name) {
  for (const auto& [n, v] : FormFields(body))
    if (n == name) return v;
  return "<missing " + name + ">";
}

// A site made of routes: path to a function of the request giving the
// whole answer. Every request is kept.
class AuthorSite {
 public:
  using Route = std::function<std::string(const Seen&)>;
  explicit AuthorSite(std::map<std::string, Route> routes)
      : routes_(std::move(routes)), server_(Replying([this](const std::string& raw) { return Serve(raw); })) {}

  std::string URL(const std::string& path) const { return server_.URL(path); }
  std::vector<Seen> Requests() const {
    std::lock_guard lock(mutex_);
    return seen_;
  }
  // "GET /path" for every request, in order.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const Seen& s : Requests()) lines.push_back(s.method + " " + s.path);
    return lines;
  }
  // The first request for `path`; an empty one when none came.
  Seen First(const std::string& path) const {
    for (const Seen& s : Requests())
      if (s.path == path) return s;
    return {};
  }
  std::vector<Seen> All(const std::string& path) const {
    std::vector<Seen> all;
    for (const Seen& s : Requests())
      if (s.path == path) all.push_back(s);
    return all;
  }

 private:
  std::string Serve(const std::string& raw) {
    Seen request = ParseRequest(raw);
    {
      std::lock_guard lock(mutex_);
      seen_.push_back(request);
    }
    auto route = routes_.find(request.path);
    if (route == routes_.end()) return Answer("404 Not Found", "", "");
    return route->second(request);
  }

  std::map<std::string, Route> routes_;
  mutable std::mutex mutex_;
  std::vector<Seen> seen_;
  RawServer server_;  // last: its threads stop before the rest goes
};

std::string KoiPage(const std::string& utf8, const std::string& headers = "") {
  return Answer("200 OK", "Content-Type: text/html; charset=koi8-r\r\n" + headers, FromUtf8(utf8, "KOI8-R"));
}

std::string Redirect(const std::string& to, const std::string& headers = "") {
  return Answer("302 Found", "Location: " + to + "\r\n" + headers, "");
}

// The gate file `name` with the site's address put in, written as `as`,
// UTF-16 (little-endian, with its mark) when asked.
std::string GateFile(const TempDir& dir, const std::string& name, const std::string& site, const std::string& as,
                     bool utf16 = false) {
  std::string text = FileForSite(std::string(PX_GATES_TEST_DATA) + "/gateauthor/" + name, site);
  EXPECT_FALSE(text.empty()) << name;
  return dir.Write(as, utf16 ? Utf16(text, false) : text);
}

// ---- A KOI8-R site with a login through redirects ----

class Koi8Login : public ::testing::Test {
 protected:
  Koi8Login()
      : site({
            {"/k/login",
             [](const Seen& r) {
               const bool right = Field(r.body, "user") == FromUtf8("Вася", "KOI8-R") &&
                                  Field(r.body, "pass") == FromUtf8("секрет 1", "KOI8-R");
               if (!right) return KoiPage("<h1>Нет доступа</h1>");
               return Redirect("/k/hop1", "Set-Cookie: sess=K1; path=/\r\n");
             }},
            {"/k/hop1", [](const Seen&) { return Redirect("/k/hop2", "Set-Cookie: stage=2; path=/\r\n"); }},
            {"/k/hop2", [this](const Seen&) { return Redirect(site.URL("/k/welcome")); }},
            {"/k/welcome",
             [](const Seen& r) {
               if (!r.HasCookie("sess=K1") || !r.HasCookie("stage=2")) return KoiPage("<h1>Войдите</h1>");
               return KoiPage("<html><h1> Добро пожаловать, Вася </h1></html>");
             }},
            {"/k/form",
             [](const Seen&) {
               return KoiPage("<html><b>Отправка сообщений</b><form><input name=\"tok\" value=\"Ж7\"></form></html>");
             }},
            {"/k/send",
             [](const Seen& r) {
               if (Field(r.body, "tok") != FromUtf8("Ж7", "KOI8-R"))
                 return KoiPage("<p class=\"err\">Сессия <i>устарела</i></p>");
               return Redirect("/k/sent?id=K-55");
             }},
            {"/k/sent", [](const Seen&) { return KoiPage("<html>Сообщение K-55 принято</html>"); }},
            {"/k/status",
             [this](const Seen&) {
               std::lock_guard lock(mutex);
               if (++checks <= queued) return KoiPage("<p>в очереди</p>");
               return KoiPage(lost ? "<p class=\"err\">Не <b>дошло</b>: номер выключен</p>" : "<p>доставлено</p>");
             }},
            {"/k/logout", [](const Seen&) { return KoiPage("<html>До свидания</html>"); }},
        }) {}

  ToolRun Send(const std::string& phone, const std::string& text) {
    return RunPxsend({"--profile", dir.File("profile"), "--import",
                      GateFile(dir, "koi8_login.xml", site.URL(""), "gate.xml"), phone, text});
  }

  std::mutex mutex;
  int checks = 0, queued = 2;
  bool lost = false;
  TempDir dir;
  AuthorSite site;
};

TEST_F(Koi8Login, LogsInThroughRedirectsSendsAndPollsByPost) {
  const auto start = std::chrono::steady_clock::now();
  ToolRun run = Send("+380 (50) 123-45-67", "Привет");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  std::vector<std::string> lines = DeliveredSendLines("Сибирь-КОИ");
  lines.erase(lines.begin() + 3, lines.begin() + 5);  // no captcha
  EXPECT_EQ(run.Lines(), lines);
  EXPECT_EQ(site.Lines(), (std::vector<std::string>{"POST /k/login", "GET /k/hop1", "GET /k/hop2", "GET /k/welcome",
                                                    "GET /k/form", "POST /k/send", "GET /k/sent",
                                                    "POST /k/status", "POST /k/status", "POST /k/status",
                                                    "GET /k/logout"}));
  EXPECT_EQ(ToUtf8(Field(Query(site.First("/k/logout")), "who"), "KOI8-R"), "Добро пожаловать, Вася") << site.First("/k/logout").raw;
  // The script's login: its own headers, user agent and referer, a body in
  // the gate's charset.
  const Seen login = site.First("/k/login");
  EXPECT_EQ(login.Header("x-requested-with"), "XMLHttpRequest");
  EXPECT_EQ(login.Header("user-agent"), "GateAuthor/1.0 (Linux)");
  EXPECT_EQ(login.Header("referer"), site.URL("/k/"));
  EXPECT_EQ(login.Header("content-type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(login.body, "user=%F7%C1%D3%D1&pass=%D3%C5%CB%D2%C5%D4%201");
  // The user agent stays for the gate's later requests; the headers do not.
  const Seen form = site.First("/k/form");
  EXPECT_EQ(form.Header("user-agent"), "GateAuthor/1.0 (Linux)");
  EXPECT_EQ(form.Header("x-requested-with"), "");
  EXPECT_EQ(form.Header("referer"), site.URL("/k/"));
  EXPECT_TRUE(form.HasCookie("sess=K1") && form.HasCookie("stage=2")) << form.raw;
  // The form: the token read from the KOI8-R page, the phone parts by the
  // longer prefix range, the symbols left, the greeting and the cookie.
  const Seen send = site.First("/k/send");
  EXPECT_EQ(send.Header("referer"), site.URL("/k/form"));
  EXPECT_EQ(ToUtf8(Field(send.body, "tok"), "KOI8-R"), "Ж7");
  EXPECT_EQ(Field(send.body, "to"), "+380 (50) 1234567");
  EXPECT_EQ(ToUtf8(Field(send.body, "msg"), "KOI8-R"), "Привет");
  EXPECT_EQ(Field(send.body, "left"), "54");
  EXPECT_EQ(Field(send.body, "tag"), "7");
  EXPECT_EQ(ToUtf8(Field(send.body, "who"), "KOI8-R"), "Добро пожаловать, Вася");
  EXPECT_EQ(Field(send.body, "sess"), "K1");
  // The checks: POST bodies of the script, the referer given, d, d+Δ, d+2Δ.
  const std::vector<Seen> checks = site.All("/k/status");
  ASSERT_EQ(checks.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(checks[i].body, "id=K-55&n=00" + std::to_string(i + 1));
    EXPECT_EQ(checks[i].Header("referer"), site.URL("/k/sent"));
    EXPECT_EQ(checks[i].Header("content-type"), "application/x-www-form-urlencoded");
    EXPECT_TRUE(checks[i].HasCookie("sess=K1")) << checks[i].raw;
  }
  const Seen sent = site.First("/k/sent");
  auto ms = [](auto from, auto to) { return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count(); };
  EXPECT_GE(ms(sent.at, checks[0].at), 60);
  EXPECT_GE(ms(checks[0].at, checks[1].at), 100);
  EXPECT_GE(ms(checks[1].at, checks[2].at), 140);
  EXPECT_LT(ms(start, std::chrono::steady_clock::now()), 8000);
}

// The values the program stores per gate (as the gate manager and the send
// window store them) outlive a forced re-import and rule the next send.
TEST_F(Koi8Login, AStoredWishNotToCheckDeliveryOutlivesTheReimport) {
  ASSERT_EQ(Send("79131234567", "x").exitCode, 0);
  const std::string gate = cp1251::FromUtf8("Сибирь-КОИ");
  ASSERT_TRUE(OpenDatabases(dir.File("profile/Parlomix.db3"), dir.File("profile/Gates.db3")));
  TGateFactory::CreateGate(gate)->SetStoredParam("DontCheckDelivery", Variant::Boolean(true));
  TGateFactory::CreateGate(gate)->SetStoredParam("CaptchaScale", Variant::Int64(250));
  CloseDatabases();
  const size_t checksBefore = site.All("/k/status").size();

  ToolRun run = Send("79131234567", "x");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  ASSERT_GE(run.Lines().size(), 2u) << run.err;
  EXPECT_EQ(run.Lines()[run.Lines().size() - 2],
            "step 4 phase 1: Сообщение отправлено. Проверка доставки не поддерживается или отключена.");
  EXPECT_EQ(run.Lines().back(), "result: status=0 error=0 text=");
  EXPECT_EQ(site.All("/k/status").size(), checksBefore);
  ASSERT_TRUE(OpenDatabases(dir.File("profile/Parlomix.db3"), dir.File("profile/Gates.db3")));
  EXPECT_EQ(VarToStr(TGateFactory::CreateGate(gate)->Info.GetItemNamed("CaptchaScale")), "250");
  CloseDatabases();
}

TEST_F(Koi8Login, AnUndeliveredMessageReportsTheSitesTextWithoutTags) {
  lost = true;
  queued = 0;
  ToolRun run = Send("79131234567", "x");
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  ASSERT_FALSE(run.Lines().empty()) << run.err;
  EXPECT_EQ(run.Lines().back(), "result: status=2 error=20 text=Не дошло: номер выключен");
  EXPECT_EQ(Field(site.First("/k/send").body, "tag"), "2");
  EXPECT_EQ(Field(site.First("/k/send").body, "to"), "+7 (913) 1234567");
}

// ---- A service that wants many computed fields ----

// Sets the time zone of the processes the test starts, for its lifetime.
class ZoneForChildren {
 public:
  explicit ZoneForChildren(const char* zone) {
    if (const char* old = getenv("TZ")) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneForChildren() {
    if (old_.empty())
      unsetenv("TZ");
    else
      setenv("TZ", old_.c_str(), 1);
    tzset();
  }

 private:
  std::string old_;
};

// The time of `unix` seconds read as local time and taken back to UTC the
// way the scripts' AdjustTimeZone(.., 0, True) does: less the zone's offset
// now and an hour more while summer time is on.
std::string ZoneFields(time_t unix) {
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  const long minutes = local.tm_gmtoff / 60;
  char zone[40];
  snprintf(zone, sizeof zone, "%c%02ld%02ld", minutes < 0 ? '-' : '+', labs(minutes) / 60, labs(minutes) % 60);
  const time_t utc = unix - local.tm_gmtoff - (local.tm_isdst > 0 ? 3600 : 0);
  tm parts{};
  gmtime_r(&utc, &parts);
  char stamp[32];
  strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M", &parts);
  return std::string(zone) + "|" + std::to_string(minutes) + "|" + (local.tm_isdst > 0 ? "True" : "False") + "|" +
         stamp;
}

TEST(GateAuthor, ALibraryHeavyGateInWindows1251WithCrLfLines) {
  // Half an hour off the hour and summer time from October to April: no
  // zone file needed, and the signs of both are seen.
  ZoneForChildren zone("<+0930>-9:30<+1030>,M10.1.0,M4.1.0/3");
  AuthorSite site({
      {"/api/page",
       [](const Seen& r) {
         if (!r.HasCookie("lang=ru")) return Answer("403 Forbidden", "", "");
         return Answer("200 OK", "Content-Type: text/html; charset=utf-8\r\nSet-Cookie: csrf=Q1; path=/\r\n",
                       "<html>Форма</html>");
       }},
      {"/api/send",
       [](const Seen& r) {
         if (Field(r.body, "csrf") != "Q1") return Answer("200 OK", "", "{\"status\": \"fail\", \"message\": \"Нет токена\"}");
         return Answer("200 OK", "Content-Type: application/json\r\n", "{\"status\": \"ok\"}");
       }},
  });
  TempDir dir;
  ToolRun run = RunPxsend({"--profile", dir.File("profile"), "--import",
                           GateFile(dir, "api_probe.xml", site.URL(""), "gate.xml"), "--flash", "79991234567", "Привет"});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  ASSERT_FALSE(run.Lines().empty()) << run.err;
  EXPECT_EQ(run.Lines().back(), "result: status=0 error=0 text=") << run.out;
  ASSERT_EQ(site.Lines(), (std::vector<std::string>{"GET /api/page", "POST /api/send"}));
  // The protocol a script chose goes with the page request.
  EXPECT_EQ(site.First("/api/page").RequestLine(), "GET /api/page HTTP/1.0");
  const std::string body = site.First("/api/send").body;
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"edit", "aXYef"},
      {"upper", "ПРИВЕТ ABC"},
      {"lower", "ёлка xy"},
      {"trim", "[a b]x | y|"},
      {"copy", "bcd"},
      {"pos", "2,5,5,1"},
      {"between", "y1"},
      {"same", "TrueFalse"},
      {"fmt", "a|   42|FF|007|z  |"},
      {"hex", "Hi !"},
      {"rx", "34"},
      {"rep", "a::b::c"},
      {"dec", "a b!"},
      {"enc", "a%20b%26c"},
      {"ascii", "TrueFalse"},
      {"rnd", "6"},
      {"rint", "ok"},
      {"date", "2023-11-14 22:13:20"},
      {"unix", "31539600"},
      {"month", "Ноября"},
      {"arr", "0:2:3"},
      {"vt", "3/5/11/3"},
      {"phone", "999/9"},
      {"hexcaps", "abcdefFZa"},
      {"mt", "012"},
      {"vars", "256,16384,4095,20"},
      {"region", "Север"},
      {"csrf", "Q1"},
      {"flash", "1"},
      {"text", "Привет"},
      {"empty", "True"},
      {"loop", "6"},
      {"zone", ZoneFields(1700000000)},
  };
  for (const auto& [name, value] : expected) EXPECT_EQ(Field(body, name), value) << name;
  EXPECT_EQ(FormFields(body).size(), expected.size()) << body;
}

// ---- An MMS gate: an upload of its own, then a multipart form ----

// One multipart text field as the program writes it.
std::string TextPart(const std::string& boundary, const std::string& name, const std::string& value) {
  return "--" + boundary + "\r\ncontent-disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

TEST(GateAuthor, AnMmsGateInUtf16UploadsAudioAndReadsTheRedirectItDoesNotFollow) {
  AuthorSite site({
      {"/m/", [](const Seen&) { return Answer("200 OK", "Content-Type: text/html\r\n", "<html>MMS</html>"); }},
      {"/m/upload", [](const Seen&) { return Answer("200 OK", "Content-Type: text/plain\r\n", "media=M9;"); }},
      {"/m/send",
       [](const Seen& r) {
         if (r.body.find("name=\"media\"\r\n\r\nM9\r\n") == std::string::npos) return Answer("200 OK", "", "bad");
         return Redirect("/m/ok?id=1");
       }},
  });
  TempDir dir;
  const std::string sound = "ID3\x03\x00\x00\x00\x00\x00\x00\xFF\xFB\x90\x00"s;
  ToolRun run = RunPxsend({"--profile", dir.File("profile"), "--import",
                           GateFile(dir, "mms_audio.xml", site.URL(""), "gate.xml", true), "--mms", "--attach",
                           dir.Write("звук.mp3", sound), "79261234567", "Привет"});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(run.Lines(), (std::vector<std::string>{
                             "gate: Мульти MMS",
                             "step 0 phase 0: Инициализация",
                             "step 0 phase 1: Инициализация",
                             "step 2 phase 0: Отправка сообщения",
                             "step 2 phase 1: Отправка сообщения",
                             "step 3 phase 0: Проверка статуса доставки",
                             "step 3 phase 1: Проверка статуса доставки",
                             "step 4 phase 0: Завершение",
                             "step 4 phase 1: Сообщение отправлено. Проверка доставки не поддерживается или отключена.",
                             "result: status=0 error=0 text=",
                         }));
  // The gate's own stored wish: no delivery check; the redirect not followed.
  EXPECT_EQ(site.Lines(), (std::vector<std::string>{"GET /m/", "POST /m/upload", "POST /m/send"}));

  const Seen upload = site.First("/m/upload");
  const std::string mime = upload.Header("content-type");
  const std::string prefix = "multipart/mixed; boundary=";
  ASSERT_TRUE(mime.starts_with(prefix)) << mime;
  const std::string boundary = mime.substr(prefix.size());
  ASSERT_EQ(boundary.size(), 26u);
  EXPECT_EQ(boundary.find_first_not_of("0123456789ABCDEF"), 8u);
  EXPECT_EQ(boundary.substr(8), "_Parlomix_boundary");
  EXPECT_EQ(upload.body,
            "--" + boundary + "\r\nContent-disposition: form-data; name=\"media\"; filename=\"" +
                "%D0%B7%D0%B2%D1%83%D0%BA.mp3\"\r\nContent-Type: audio/mpeg\r\n\r\n" + sound + "\r\n" +
                TextPart(boundary, "kind", "audio") + TextPart(boundary, "name", "звук.mp3") +
                TextPart(boundary, "mime", "audio/mpeg") + "--" + boundary + "--\r\n");

  // The form: the same boundary, UTF-8 values unescaped, the subject the
  // dispatcher gives an MMS without one, the raw part as the script wrote it.
  const Seen send = site.First("/m/send");
  EXPECT_EQ(send.Header("content-type"), "multipart/form-data; boundary=" + boundary);
  EXPECT_EQ(send.Header("referer"), site.URL("/m/"));
  EXPECT_EQ(send.body, TextPart(boundary, "to", "79261234567") + TextPart(boundary, "subject", "Без темы") +
                           TextPart(boundary, "text", "Привет") + TextPart(boundary, "media", "M9") + "--" +
                           boundary + "\r\nX-Note: raw\r\n\r\n" + FromUtf8("сырой", "CP1251") + "\r\n--" +
                           boundary + "--\r\n");
}

// ---- A captcha cut into cells by the gate's script ----

class CaptchaCells : public ::testing::TestWithParam<const char*> {
 protected:
  CaptchaCells()
      : picture(Picture()),
        site({
            {"/c/form",
             [](const Seen&) {
               return Answer("200 OK", "Set-Cookie: cs=77; path=/\r\n",
                             FromUtf8("<html>Код: <img src=\"/c/pic?n=1\"></html>", "CP1251"));
             }},
            {"/c/pic",
             [this](const Seen& r) {
               if (!r.HasCookie("cs=77")) return Answer("403 Forbidden", "", "");
               QByteArray bytes;
               QBuffer buffer(&bytes);
               buffer.open(QIODevice::WriteOnly);
               picture.save(&buffer, GetParam());
               const std::string data = std::string(GetParam()) == "GIF" ? EncodeGif(picture) : bytes.toStdString();
               return Answer("200 OK", "Content-Type: application/octet-stream\r\n", data);
             }},
            {"/c/send",
             [](const Seen& r) {
               return Answer("200 OK", "", Field(r.body, "code") == "48 21" ? "<html>OK</html>" : "<html>bad</html>");
             }},
        }) {}

  // A picture of 8 x 4 blocks, each of its own colour (150 in all, so that
  // GIF holds it too).
  static QImage Picture() {
    QImage image(120, 40, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(x / 8 * 16, y / 4 * 24, (x / 8 + y / 4) % 2 * 200));
    return image;
  }
  ToolRun Send(const std::string& code) {
    return RunPxsend({"--profile", dir.File("profile"), "--import",
                      GateFile(dir, "captcha_cells.xml", site.URL(""), "gate.xml"), "79501234567", "Код"},
                     code + "\n");
  }
  QImage Shown() const {
    return QImage(QString::fromStdString(dir.File("profile/captcha.png"))).convertToFormat(QImage::Format_RGB32);
  }

  QImage picture;
  TempDir dir;
  AuthorSite site;
};

TEST_P(CaptchaCells, TheScriptsPictureIsShownAndTheCodeTypedIsSent) {
  ToolRun run = Send("48 21");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  ASSERT_FALSE(run.Lines().empty()) << run.err;
  EXPECT_EQ(run.Lines().back(), "result: status=0 error=0 text=");
  EXPECT_EQ(site.Lines(), (std::vector<std::string>{"GET /c/form", "GET /c/pic", "POST /c/send"}));
  EXPECT_EQ(site.First("/c/pic").Header("referer"), site.URL("/c/form"));
  EXPECT_EQ(site.First("/c/send").body, "code=48%2021&cs=77&text=%CA%EE%E4");
  const QImage shown = Shown();
  ASSERT_EQ(shown.size(), QSize(100, 30));
  if (std::string(GetParam()) != "JPEG") {
    EXPECT_EQ(shown.copy(0, 0, 30, 30), picture.copy(10, 5, 30, 30));
    EXPECT_EQ(shown.copy(35, 0, 30, 30), picture.copy(60, 5, 30, 30));
  }
  // Between the cells the background; the label drawn right of them.
  EXPECT_EQ(shown.pixel(32, 15), shown.pixel(99, 29));
  bool labelled = false;
  for (int y = 0; y < 30; ++y)
    for (int x = 70; x < 100; ++x) labelled = labelled || shown.pixel(x, y) != shown.pixel(32, 15);
  EXPECT_TRUE(labelled);
}

TEST_P(CaptchaCells, AWrongCodeGivesThePlainErrorTextWithoutItsMarkup) {
  ToolRun run = Send("0000");
  EXPECT_EQ(run.exitCode, 1);
  ASSERT_FALSE(run.Lines().empty()) << run.err;
  EXPECT_EQ(run.Lines().back(), "result: status=2 error=20 text=Ошибка сайта");
}

INSTANTIATE_TEST_SUITE_P(Formats, CaptchaCells, ::testing::Values("BMP", "JPEG", "GIF"));

// ---- A package of two gates for the same numbers ----

class TwinPackage : public ::testing::Test {
 protected:
  ToolRun Send(std::vector<std::string> options) {
    std::vector<std::string> args = {"--profile", dir.File("profile"), "--package",
                                     GateFile(dir, "twin_package.xml", site.URL(""), "twins.xml")};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {"--signature", "Вася", "79601234567", "Привет"});
    return RunPxsend(args);
  }

  TempDir dir;
  AuthorSite site{{
      {"/t/form", [](const Seen&) { return Answer("200 OK", "", "<html>form</html>"); }},
      {"/t/send", [](const Seen&) { return Answer("200 OK", "X-Result: Accepted\r\n", "<html>sent</html>"); }},
      {"/t/status", [](const Seen&) { return Answer("200 OK", "", "<html>queued</html>"); }},
  }};
};

TEST_F(TwinPackage, TheHigherPriorityGateSendsAndItsChecksRunOut) {
  ToolRun run = Send({});
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  ASSERT_GE(run.Lines().size(), 3u) << run.err;
  EXPECT_EQ(run.Lines().front(), "gate: Близнец-2");
  const std::string timedOut = "Превышен интервал ожидания подтверждения доставки";
  EXPECT_EQ(run.Lines()[run.Lines().size() - 2], "step 3 phase 2: Ошибка: " + timedOut);
  EXPECT_EQ(run.Lines().back(), "result: status=2 error=50 text=" + timedOut);
  EXPECT_EQ(site.Lines(),
            (std::vector<std::string>{"GET /t/form", "POST /t/send", "GET /t/status", "GET /t/status"}));
  EXPECT_EQ(site.First("/t/form").target, "/t/form?g=2");
  // The list members of the init script; the message keys; the response
  // header the success test reads.
  EXPECT_EQ(site.First("/t/send").body, "b=B&count=1&name=%C1%EB%E8%E7%ED%E5%F6-2&sig=%C2%E0%F1%FF"
                                        "&msg=%CF%F0%E8%E2%E5%F2&text=%CF%F0%E8%E2%E5%F2%0D%0A%C2%E0%F1%FF&left=58");
  EXPECT_EQ(site.First("/t/send").Header("x-trace"), "");
  for (const Seen& check : site.All("/t/status")) {
    EXPECT_EQ(check.target, "/t/status?id=B");
    EXPECT_EQ(check.Header("referer"), site.URL("/t/send"));
  }
}

TEST_F(TwinPackage, TheOtherGateByNameWithTheDeliveryCheckSwitchedOff) {
  ToolRun run = Send({"--gate", "Близнец-1", "--set", "Send\\CheckDelivery=FALSE"});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  ASSERT_FALSE(run.Lines().empty()) << run.err;
  EXPECT_EQ(run.Lines().front(), "gate: Близнец-1");
  EXPECT_EQ(run.Lines().back(), "result: status=0 error=0 text=");
  // No page to load; the referer and the content type the gate names; the
  // body its script returns.
  EXPECT_EQ(site.Lines(), (std::vector<std::string>{"POST /t/send"}));
  const Seen send = site.First("/t/send");
  EXPECT_EQ(send.body, "gate=1");
  EXPECT_EQ(send.Header("referer"), site.URL("/t/ref"));
  EXPECT_EQ(send.Header("content-type"), "text/plain; charset=windows-1251");
}

}  // namespace
