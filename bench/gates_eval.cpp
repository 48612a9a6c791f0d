// Evaluating a typical gate parameter: a 30-line block that cuts values out
// of a 200 KB page with Html.StrBetween and RegExp, fills PostData and
// builds a string. Cold: a new evaluator (as a new gate object has) for
// every evaluation; warm: the same evaluator again.
#include <benchmark/benchmark.h>

#include <string>

#include "eval.h"
#include "gates/sendobjects.h"

namespace {

constexpr char kScript[] =
    "eval(var sid, token, captcha, phone, text, body: string;\r\n"
    "    i: integer;\r\n"
    "begin\r\n"
    "  sid := Html.StrBetween('name=\"sid\" value=\"', '\"');\r\n"
    "  token := Html.RegExp('name=\"token\" value=\"([0-9a-f]+)\"', 1);\r\n"
    "  captcha := Html.StrBetween('<img id=\"captcha\" src=\"', '\"');\r\n"
    "  if sid = '' then\r\n"
    "    sid := RegExp(captcha, 'sid=(\\w+)', 1);\r\n"
    "  phone := SMS['Phone'];\r\n"
    "  text := SMS['Text'];\r\n"
    "  PostData.Clear;\r\n"
    "  PostData.Add('sid', sid);\r\n"
    "  PostData.Add('token', token);\r\n"
    "  PostData.Add('prefix', Copy(phone, 2, 3));\r\n"
    "  PostData.Add('number', Copy(phone, 5, 7));\r\n"
    "  PostData.Add('message', text);\r\n"
    "  PostData.Add('translit', '0');\r\n"
    "  PostData.Add('code', SMS['Code']);\r\n"
    "  body := '';\r\n"
    "  for i := 1 to 10 do\r\n"
    "  begin\r\n"
    "    body := body + '&f' + VarToStr(i) + '=' + sid;\r\n"
    "    if Length(body) > 1000 then\r\n"
    "      break;\r\n"
    "  end;\r\n"
    "  Stored['sid'] := sid;\r\n"
    "  Stored['captcha'] := 'http://sms.example.org' + captcha;\r\n"
    "  HTTP.Referer := 'http://sms.example.org/send';\r\n"
    "  Result := body + '&token=' + token;\r\n"
    "end;)";

// 200 KB of news items with the send form three quarters down.
std::string Page() {
  std::string page = "<html><head><title>SMS</title></head><body>\n";
  const std::string item =
      "<div class=\"news\"><a href=\"/news/item\">Operator news</a> <p>Lorem ipsum dolor sit amet, consectetur "
      "adipiscing elit, sed do eiusmod tempor incididunt ut labore.</p></div>\n";
  const std::string form =
      "<form action=\"/send\" method=\"post\"><input type=\"hidden\" name=\"sid\" value=\"a81f09c2\">"
      "<input type=\"hidden\" name=\"token\" value=\"9f86d081884c7d65\">"
      "<img id=\"captcha\" src=\"/captcha.php?sid=a81f09c2\"></form>\n";
  while (page.size() < 150 * 1024) page += item;
  page += form;
  while (page.size() < 200 * 1024) page += item;
  return page + "</body></html>";
}

// The objects of a send, with the page and the message.
struct Send : SendObjects {
  Send() {
    Html.Text = Page();
    SMS.SetItemNamed("Phone", Variant::String("79161234567"));
    SMS.SetItemNamed("Text", Variant::String("Hello, this is a test message"));
    SMS.SetItemNamed("Code", Variant::String("4711"));
  }
};

void Check(benchmark::State& state, const Variant& result) {
  if (result.AsString().find("&f10=a81f09c2&token=9f86d081884c7d65") == std::string::npos)
    state.SkipWithError("wrong result");
}

void BM_EvalCold(benchmark::State& state) {
  Send send;
  Variant result;
  for (auto _ : state) {
    TEvalutor eval;
    send.BindTo(eval);
    eval.Evaluate(kScript, result);
  }
  Check(state, result);
}
BENCHMARK(BM_EvalCold)->Unit(benchmark::kMicrosecond);

void BM_EvalWarm(benchmark::State& state) {
  Send send;
  TEvalutor eval;
  send.BindTo(eval);
  Variant result;
  for (auto _ : state) eval.Evaluate(kScript, result);
  Check(state, result);
}
BENCHMARK(BM_EvalWarm)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
