// What the HTTP client tests share: a profile whose options the client reads,
// environment variables set for one test only, and the test data folder.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "httpsend.h"
#include "options.h"
#include "support/optionsprofile.h"

// A fresh profile made the program's current one for the test: Options and
// ProfileDir point at it, and the proxy environment variables are unset, so
// that the machine's own proxy setting never reaches a test.
class HttpProfile {
 public:
  HttpProfile() : savedOptions_(Options), savedProfile_(ProfileDir) {
    Options = profile.options.get();
    ProfileDir = profile.dir.File("profile") + "/";
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                             "no_proxy", "NO_PROXY"})
      SetEnv(name, std::nullopt);
    // The default "IE" would read the environment; tests that want it say so.
    Options->WriteString("Network\\Proxy", "");
  }
  ~HttpProfile() {
    Options = savedOptions_;
    ProfileDir = savedProfile_;
    for (auto& [name, value] : savedEnv_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }
  HttpProfile(const HttpProfile&) = delete;
  HttpProfile& operator=(const HttpProfile&) = delete;

  // Sets (or, with nullopt, removes) a variable until the test ends.
  void SetEnv(const std::string& name, std::optional<std::string> value) {
    if (!savedEnv_.count(name)) {
      const char* old = std::getenv(name.c_str());
      savedEnv_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
      setenv(name.c_str(), value->c_str(), 1);
    else
      unsetenv(name.c_str());
  }

  // Network\Proxy and its companions.
  void SetProxy(const std::string& mode, const std::string& host = "", const std::string& port = "",
                const std::string& user = "", const std::string& password = "") {
    Options->WriteString("Network\\Proxy", mode);
    Options->WriteString("Network\\ProxyHost", host);
    Options->WriteString("Network\\ProxyPort", port);
    Options->WriteBool("Network\\ProxyAuth", !user.empty());
    Options->WriteString("Network\\ProxyName", user);
    Options->WriteString("Network\\ProxyPass", password);
  }

  OptionsProfile profile;

 private:
  TOptions* savedOptions_;
  std::string savedProfile_;
  std::map<std::string, std::optional<std::string>> savedEnv_;
};

// A file of the test data folder (the build names the folder).
inline std::string TestData(const std::string& name) { return std::string(PX_GATES_TEST_DATA) + "/" + name; }

// The five default request headers as they go on the wire.
inline const std::string kDefaults =
    "Accept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5\r\n"
    "Accept-Language: ru-ru,ru;q=0.8,en-us;q=0.5,en;q=0.3\r\n"
    "Accept-Charset: windows-1251,utf-8;q=0.7,*;q=0.7\r\n"
    "Pragma: no-cache\r\n"
    "Cache-Control: no-cache\r\n";

// The gate runner's browser profile on a client.
inline void MakeGateClient(TMyHTTPSend& client) {
  client.Protocol = "1.1";
  client.UserAgent = kBrowserUserAgent;
  client.KeepAlive = true;
  client.Status100 = false;
}
