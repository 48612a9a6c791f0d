// The HTTP client's text rules that need no connection: URL escaping and
// resolving, the cookie list, proxy texts and the socket error table.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "cp1251.h"
#include "gatelimits.h"
#include "gates/httptestenv.h"
#include "httpcookies.h"
#include "httpurl.h"
#include "sockerrors.h"
#include "systemproxy.h"

namespace {

TEST(EscapeURL, EscapesTheSetAndNothingElse) {
  EXPECT_EQ(EscapeURL("http://h/a b"), "http://h/a%20b");
  EXPECT_EQ(EscapeURL("http://h/?t=" + "Жа"_cp), "http://h/?t=%C6%E0");
  EXPECT_EQ(EscapeURL("http://h/?a=%3D"), "http://h/?a=%253D");
  EXPECT_EQ(EscapeURL("\"<>[\\]^{|}~`"), "%22%3C%3E%5B%5C%5D%5E%7B%7C%7D%7E%60");
  EXPECT_EQ(EscapeURL(std::string("\x00\x1F\x7F\xFF", 4)), "%00%1F%7F%FF");
  EXPECT_EQ(EscapeURL("\r\n"), "%0D%0A");
  const std::string kept = "http://h:8/p_-.?x=1&y=+#;!$'()*,:/";
  EXPECT_EQ(EscapeURL(kept), kept);
}

TEST(EscapeURL, KeepsExistingEscapesOnlyWhenAsked) {
  EXPECT_EQ(EscapeURL("/a%41b%zz%4", true), "/a%41b%25zz%254");
  EXPECT_EQ(EscapeURL("/a%41b%e9 c", true), "/a%41b%e9%20c");
  EXPECT_EQ(EscapeURL("/a%41b", false), "/a%2541b");
}

TEST(IsAbsoluteURL, NeedsASchemeAtTheStart) {
  EXPECT_TRUE(IsAbsoluteURL("http://h/"));
  EXPECT_TRUE(IsAbsoluteURL("svn+ssh://h"));
  EXPECT_FALSE(IsAbsoluteURL("/go?to=http://h/"));
  EXPECT_FALSE(IsAbsoluteURL("//h/p"));
  EXPECT_FALSE(IsAbsoluteURL("1http://h"));
  EXPECT_FALSE(IsAbsoluteURL("://h"));
}

TEST(ResolveRelativeURL, TheRedirectExamples) {
  const std::string base = "http://host/a/b.php?x=1";
  EXPECT_EQ(ResolveRelativeURL(base, "/next"), "http://host/next");
  EXPECT_EQ(ResolveRelativeURL(base, "?y=2"), "http://host/a/b.php?y=2");
  EXPECT_EQ(ResolveRelativeURL(base, "../c"), "http://host/c");
  EXPECT_EQ(ResolveRelativeURL(base, "d/"), "http://host/a/d/");
  EXPECT_EQ(ResolveRelativeURL(base, "https://other/x?y"), "https://other/x?y");
}

TEST(ResolveRelativeURL, SegmentsAndSpecialForms) {
  EXPECT_EQ(ResolveRelativeURL("https://h/a/b", "//cdn.h/p"), "https://cdn.h/p");
  EXPECT_EQ(ResolveRelativeURL("http://h/a/b", "/go?to=http://x/"), "http://h/go?to=http://x/");
  EXPECT_EQ(ResolveRelativeURL("http://h/a/b/c", "./d/../e"), "http://h/a/b/e");
  EXPECT_EQ(ResolveRelativeURL("http://h/a", "../../../x"), "http://h/x");
  EXPECT_EQ(ResolveRelativeURL("http://h", "x"), "http://h/x");
  EXPECT_EQ(ResolveRelativeURL("http://h/a/b", "/"), "http://h/");
  // The base's query is not part of its folder, nor the target's of its segments.
  EXPECT_EQ(ResolveRelativeURL("http://h/a/b?u=/x/y", "c"), "http://h/a/c");
  EXPECT_EQ(ResolveRelativeURL("http://h/a/b", "c?p=../x/y"), "http://h/a/c?p=../x/y");
  EXPECT_EQ(ResolveRelativeURL("no-scheme/a", "b"), "b");
}

TEST(Cookies, SetCookieAddsReplacesInPlaceAndRemoves) {
  httpcookies::TCookieList list;
  httpcookies::ApplySetCookie(list, " a=1; path=/; HttpOnly");
  httpcookies::ApplySetCookie(list, "b=x=y");
  httpcookies::ApplySetCookie(list, "c=3");
  EXPECT_EQ(httpcookies::Join(list), "a=1; b=x=y; c=3");
  httpcookies::ApplySetCookie(list, "A=2; expires=Thu, 01 Jan 2099 00:00:00 GMT");
  EXPECT_EQ(list, (httpcookies::TCookieList{"A=2", "b=x=y", "c=3"}));
  httpcookies::ApplySetCookie(list, "b=; expires=Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(list, (httpcookies::TCookieList{"A=2", "c=3"}));
  EXPECT_EQ(httpcookies::Value(list, "a"), "2");
  EXPECT_EQ(httpcookies::Value(list, "b"), "");
}

TEST(Cookies, MalformedSetCookieChangesNothing) {
  httpcookies::TCookieList list{"a=1"};
  for (const char* value : {"novalue", "=orphan", " ; a=2", ""}) httpcookies::ApplySetCookie(list, value);
  EXPECT_EQ(list, (httpcookies::TCookieList{"a=1"}));
}

TEST(Cookies, AFloodIsCappedAsBrowsersDoAndWhatIsKeptStillChanges) {
  httpcookies::TCookieList list;
  httpcookies::ApplySetCookie(list, "Сессия=1"_cp);
  for (size_t i = 0; i < kMaxCookies + 500; ++i) httpcookies::ApplySetCookie(list, "n" + std::to_string(i) + "=v");
  ASSERT_EQ(list.size(), kMaxCookies);
  EXPECT_EQ(httpcookies::Value(list, "n998"), "v");
  EXPECT_EQ(httpcookies::Value(list, "n999"), "") << "new names beyond the cap are dropped";
  httpcookies::ApplySetCookie(list, "СЕССИЯ=2"_cp);
  EXPECT_EQ(*list.begin(), "СЕССИЯ=2"_cp) << "a kept cookie is still replaced in place";
  httpcookies::ApplySetCookie(list, "n5=");
  httpcookies::ApplySetCookie(list, "late=1");
  EXPECT_EQ(httpcookies::Value(list, "LATE"), "1") << "a removal makes room";
  EXPECT_EQ(list.size(), kMaxCookies);

  httpcookies::TCookieList sized;
  const std::string name = "big=";
  httpcookies::ApplySetCookie(sized, name + std::string(kMaxCookieSize - 3, 'x'));
  EXPECT_EQ(httpcookies::Value(sized, "big").size(), kMaxCookieSize - 3);
  httpcookies::ApplySetCookie(sized, name + std::string(kMaxCookieSize - 2, 'y'));
  EXPECT_EQ(httpcookies::Value(sized, "big"), std::string(kMaxCookieSize - 3, 'x')) << "an oversized one is dropped whole";
}

TEST(ProxyText, PicksTheHttpEntryOrTheLastPlainOne) {
  auto parse = [](const char* text) {
    TProxySetting s = ParseProxyText(text, "http");
    return s.Host + "|" + s.Port;
  };
  EXPECT_EQ(parse("proxy.lan:3128"), "proxy.lan|3128");
  EXPECT_EQ(parse("ftp=f:21 HTTP=h:8080 https=s:443"), "h|8080");
  EXPECT_EQ(parse("https=s:443,x:1 y:2"), "y|2");
  EXPECT_EQ(parse("ftp=f:21"), "|");
  EXPECT_EQ(parse("host-only"), "host-only|");
  EXPECT_EQ(parse(""), "|");
}

TEST(ProxyText, EnvironmentValuesLoseSchemeCredentialsAndPath) {
  EXPECT_EQ(ProxyTextOfURL("http://user:pa@ss@proxy:3128/"), "proxy:3128");
  EXPECT_EQ(ProxyTextOfURL(" proxy:8080 "), "proxy:8080");
  EXPECT_EQ(ProxyTextOfURL("http://proxy"), "proxy");
}

TEST(SystemProxy, ComesFromTheEnvironment) {
  HttpProfile env;
  EXPECT_EQ(GetSystemProxy().Host, "");
  env.SetEnv("HTTP_PROXY", "http://upper:1");
  EXPECT_EQ(GetSystemProxy().Host, "upper");
  env.SetEnv("http_proxy", "http://lower:3128/");
  env.SetEnv("NO_PROXY", "localhost,.lan");
  TProxySetting s = GetSystemProxy();
  EXPECT_EQ(s.Host + "|" + s.Port + "|" + s.Bypass, "lower|3128|localhost,.lan");
  env.SetEnv("http_proxy", "");
  EXPECT_EQ(GetSystemProxy().Host, "upper");
}

TEST(SockErrors, CurlOutcomesMapToWinsockNumbers) {
  auto map = [](CURLcode result, long os = 0, long connect = 0, long proxy = 0) {
    return SockErrorFromCurl({result, os, connect, proxy});
  };
  EXPECT_EQ(map(CURLE_OK), 0);
  EXPECT_EQ(map(CURLE_COULDNT_CONNECT, ECONNREFUSED), 10061);
  EXPECT_EQ(map(CURLE_COULDNT_CONNECT, EHOSTUNREACH), 10065);
  EXPECT_EQ(map(CURLE_OPERATION_TIMEDOUT), 10060);
  EXPECT_EQ(map(CURLE_COULDNT_RESOLVE_HOST), 11001);
  EXPECT_EQ(map(CURLE_RECV_ERROR, ECONNRESET), 10054);
  EXPECT_EQ(map(CURLE_PEER_FAILED_VERIFICATION), 12045);
  EXPECT_EQ(map(CURLE_SSL_CONNECT_ERROR), 12157);
  EXPECT_EQ(map(CURLE_PROXY, 0, 0, CURLPX_USER_REJECTED), 10013);
  // A refused CONNECT is the proxy's doing, not a reset after an answer.
  EXPECT_EQ(map(CURLE_RECV_ERROR, 0, 407), 10013);
  EXPECT_EQ(map(CURLE_RECV_ERROR, 0, 403), 10061);
  // Unknown failures must never pass for the tolerated reset.
  EXPECT_EQ(map(CURLE_RECV_ERROR), 10053);
  EXPECT_EQ(map(CURLE_FUNCTION_NOT_FOUND), 10053);
  EXPECT_EQ(SockErrorText(10061), "Connection refused");
  EXPECT_EQ(SockErrorText(0), "");
}

}  // namespace
