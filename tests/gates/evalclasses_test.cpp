// The script classes as gate scripts use them: property lists, the page
// text, the POST body and the HTTP options.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter.h"
#include "eval_support.h"
#include "evalreg.h"
#include "support/stackthread.h"
#include "units.h"
#include "values.h"

namespace {

using ScriptClasses = EvalTest;

TEST_F(ScriptClasses, PropertyListsReadByNameIndexOrDefault) {
  send.SMS.SetItemNamed("MessageType", Variant::String("SMS"));
  send.SMS.SetItemNamed("Phone", Variant::String("79161234567"));
  const int phone = send.SMS.IndexOf("Phone");
  EXPECT_EQ(Text("SMS.ItemsNamed['Phone']"), "79161234567");
  EXPECT_EQ(Text("SMS['phone']"), "79161234567");
  EXPECT_EQ(Text("SMS.Items[" + std::to_string(phone) + "]"), "79161234567");
  EXPECT_TRUE(Run("SMS['Missing']").IsEmpty());
  EXPECT_TRUE(Run("SMS.ItemsNamed['Missing']").IsEmpty());
  EXPECT_TRUE(Run("SMS.Exists('PHONE')").AsBoolean());
  EXPECT_FALSE(Run("SMS.Exists('Missing')").AsBoolean());
  EXPECT_EQ(Run("SMS.Count").AsInteger(), 2);
  EXPECT_EQ(Cause("SMS.Items[5]"), "List index out of bounds (5)");
}

TEST_F(ScriptClasses, PropertyListsAreWrittenInPlace) {
  Run("begin Stored['a'] := 1; Stored.ItemsNamed['b'] := 'two'; Stored['A'] := 3; Stored.Items[1] := 'zwei'; end;");
  ASSERT_EQ(send.Stored.Count(), 2);
  EXPECT_EQ(send.Stored.GetName(0), "a");
  EXPECT_EQ(send.Stored.GetItem(0).AsInteger(), 3);
  EXPECT_EQ(send.Stored.GetItem(1).AsString(), "zwei");
  Run("begin Cookies['s'] := 'x'; Cookies['t'] := 'y'; Cookies['u'] := 'z'; Cookies.Remove(0); "
      "Cookies.RemoveNamed('U'); end;");
  ASSERT_EQ(send.Cookies.Count(), 1);
  EXPECT_EQ(send.Cookies.GetName(0), "t");
  Run("Cookies.Clear");
  EXPECT_EQ(send.Cookies.Count(), 0);
  // A record kept in a list is shared, not copied: a chain of them deeper
  // than native recursion could go is freed, on a small stack.
  std::string chain;
  RunOnStack(size_t{1} << 20, [&] {
    chain = Text("unit U; type R = record a: variant; end; function main: integer; var head, link: R; i: integer; "
                 "begin Stored['tail'] := head; for i := 1 to 50000 do begin Stored.ItemsNamed['tail'].a := link; "
                 "Stored.ItemsNamed['tail'] := Stored.ItemsNamed['tail'].a; end; Result := i; end; end.");
  });
  EXPECT_EQ(chain, "50000");
  EXPECT_EQ(Cause("Cookies.Remove(0)"), "List index out of bounds (0)");
  // What the lists keep for a script counts against its memory budget.
  eval.Program().Limits().MemoryBudget = 4 << 20;
  EXPECT_EQ(Cause("var i: integer; s: string; begin s := RandomString('a', 1000000); "
                  "for i := 1 to 20 do Stored['k' + VarToStr(i)] := s + VarToStr(i); end;"),
            "Internal interpreter error: Out of memory");
}

TEST_F(ScriptClasses, ObjectsStoredInListsComeBackAsThemselves) {
  Run("begin Stored['x'] := PostData; Stored.ItemsNamed['y'] := HTTP; Stored.Items[1] := Html; end;");
  EXPECT_EQ(Text("Stored['x'].Bound"), send.PostData.Boundary());
  EXPECT_EQ(ValueToObject(Run("Stored['x']")), &send.PostData);
  EXPECT_EQ(send.Stored.GetObjectNamed("x"), &send.PostData);
  EXPECT_EQ(send.Stored.GetObject(1), &send.Html);
  // An object the host put in a list reads as an object value too.
  send.GateInfo.SetObjectNamed("Page", &send.Html);
  send.Html.Text = "page";
  EXPECT_EQ(Text("GateInfo['Page'].Text"), "page");
  EXPECT_EQ(Text("GateInfo.Items[0].Text"), "page");
  // A member of another class is not found, whatever a cast says.
  EXPECT_EQ(Cause("TPropList(Html).Count"), "Undeclared Identifier 'Count'");
  EXPECT_EQ(Cause("TText(Stored).Text"), "Undeclared Identifier 'Text'");
}

TEST_F(ScriptClasses, ThePageTextIsSearchedAndCannotBeWritten) {
  send.Html.Text = "x[b]y[/b]z abca";
  EXPECT_EQ(Text("Html.StrBetween('[b]', '[/b]')"), "y");
  EXPECT_EQ(Text("Html.StrBetween('[b]', '[i]')"), "");
  EXPECT_EQ(Text("Html.StrBetween('', '[')"), "x");
  EXPECT_EQ(Text("Html.StrBetweenRev('[', ']')"), "b");
  EXPECT_TRUE(Run("Html.ExistsStr('abc')").AsBoolean());
  EXPECT_FALSE(Run("Html.ExistsStr('abd')").AsBoolean());
  EXPECT_EQ(Run("Html.Pos('a')").AsInteger(), 12);
  EXPECT_EQ(Run("Html.PosEx('a', 13)").AsInteger(), 15);
  EXPECT_EQ(Run("Html.LastPos('a')").AsInteger(), 15);
  EXPECT_EQ(Text("Html.RegExp('\\[(\\w)\\](\\w)', 2)"), "y");
  send.Html.Text = "abca";
  EXPECT_EQ(Run("Html.LastPosEx('a', 1)").AsInteger(), 4);
  EXPECT_EQ(Run("Html.LastPosEx('a', 2)").AsInteger(), 1);
  EXPECT_EQ(Cause("begin Html.Text := 'x'; end;"), "Undeclared Identifier 'Text'");
  EXPECT_EQ(send.Html.Text, "abca");
}

TEST_F(ScriptClasses, ThePostBodyThroughItsMembers) {
  send.PostData.SetMultiPart(true);
  send.PostData.Add("old", "field");
  EXPECT_TRUE(Run("PostData.MultiPart").AsBoolean());
  EXPECT_EQ(Text("begin PostData.MultiPart := False; PostData.Add('a', 'b'); Result := PostData.Text; end;"), "a=b");
  EXPECT_EQ(Text("PostData.Bound"), send.PostData.Boundary());
  Run("begin PostData.Clear; PostData.Add(1, 2.5); PostData.AddRawData('&raw'); end;");
  EXPECT_EQ(send.PostData.GetText(), "1=2.5&raw");
  EXPECT_EQ(ValueToObject(Run("PostData.Data")), &send.PostData.GetStream());
  // Attachments from the message; anything but a property list is refused.
  auto content = std::make_shared<TMMSContentData>();
  content->SetItemNamed("FileName", Variant::String("a.gif"));
  content->SetItemNamed("ContentType", Variant::String("image/gif"));
  content->SetStream(std::make_shared<TMemoryStream>("GIF89a"));
  send.SMS.SetMultiMedia(content);
  Run("begin PostData.MultiPart := True; PostData.AddData('pic', SMS['MultiMedia']); "
      "PostData.AddData('none', nil); end;");
  const std::string body = send.PostData.GetText();
  EXPECT_NE(body.find("name=\"pic\"; filename=\"a.gif\"\r\nContent-Type: image/gif\r\n\r\nGIF89a\r\n"), std::string::npos);
  EXPECT_NE(body.find("name=\"none\"; filename=\"\"\r\n\r\n\r\n"), std::string::npos);
  EXPECT_EQ(Text("SMS['MultiMedia'].ItemsNamed['FileName']"), "a.gif");
  Run("begin SMS['MultiMedia'] := SMS['MultiMedia']; end;");  // written back, still the attachment
  EXPECT_EQ(send.SMS.MultiMedia(), content.get());
  EXPECT_EQ(Run("TMMSContentData(SMS['MultiMedia']).Count").AsInteger(), 3);
  EXPECT_EQ(Cause("PostData.AddData('x', Html)"), "Type mismatch");
  EXPECT_EQ(Cause("PostData.AddData('x', 'text')"), "Type mismatch");
  // So does the body a script fills.
  eval.Program().Limits().MemoryBudget = 4 << 20;
  EXPECT_EQ(Cause("var i: integer; s: string; begin s := RandomString('a', 1000000); "
                  "for i := 1 to 20 do PostData.Add('n', s); end;"),
            "Internal interpreter error: Out of memory");
}

TEST_F(ScriptClasses, TheHTTPOptionsAndTheRequestHandler) {
  EXPECT_TRUE(Run("HTTP.HandleRedirects").AsBoolean());
  EXPECT_FALSE(Run("HTTP.DontLoadResult").AsBoolean());
  EXPECT_EQ(Text("HTTP.Referer + HTTP.CustomMime + HTTP.CustomUserAgent + HTTP.Protocol"), "");
  Run("begin HTTP.HandleRedirects := 0; HTTP.DontLoadResult := 'true'; HTTP.Referer := 5; "
      "HTTP.CustomMime := 'text/xml'; HTTP.CustomUserAgent := 'UA'; HTTP.Protocol := '1.0'; "
      "HTTP.Headers['X-Token'] := 'abc'; end;");
  EXPECT_FALSE(send.HTTP.HandleRedirects);
  EXPECT_TRUE(send.HTTP.DontLoadResult);
  EXPECT_EQ(send.HTTP.Referer, "5");
  EXPECT_EQ(send.HTTP.CustomMime, "text/xml");
  EXPECT_EQ(send.HTTP.CustomUserAgent, "UA");
  EXPECT_EQ(send.HTTP.Protocol, "1.0");
  EXPECT_EQ(send.HTTP.Headers.GetItemNamed("x-token").AsString(), "abc");
  // Without a handler a request does nothing.
  Run("HTTP.HTTPMethod('GET', 'http://example.org/')");
  std::vector<std::string> calls;
  send.HTTP.RequestHandler = [&](THTTPClient& client, const std::string& method, const std::string& url) {
    calls.push_back(method + " " + url);
    EXPECT_EQ(&client, &send.HTTP);
    client.SetItemNamed("URL", Variant::String(url + "final"));
    client.SetItemNamed("Content-Type", Variant::String("text/html"));
  };
  EXPECT_EQ(Text("begin HTTP.HTTPMethod('POST', 'http://a/'); Result := HTTP['URL'] + ' ' + HTTP['content-type']; end;"),
            "http://a/final text/html");
  EXPECT_EQ(calls, std::vector<std::string>{"POST http://a/"});
  send.HTTP.RequestHandler = [](THTTPClient&, const std::string&, const std::string&) {
    throw Exception("10054: Connection reset by peer");
  };
  EXPECT_EQ(Cause("HTTP.HTTPMethod('GET', 'x')"), "10054: Connection reset by peer");
}

TEST(ScriptApi, EveryClassIsRegisteredUnderItsOwnName) {
  TEvalutor eval;  // registers the API
  TInterpreterAdapter& a = GetGlobalAdapter();
  for (const char* name : {"TPropList", "TMMSContentData", "TText", "TPostData", "THTTPClient", "TImageProccess"})
    EXPECT_NE(a.Classes().FindByName("Dummy", name), nullptr) << name;
  EXPECT_NE(a.FindRecordType("TPoint"), nullptr);
  EXPECT_NE(a.FindRecordType("TRect"), nullptr);
  EXPECT_TRUE(a.UnitExists("Types"));
  EXPECT_TRUE(a.UnitExists("Dummy"));
}

}  // namespace
