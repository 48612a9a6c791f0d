// The main window over a profile whose one gate is the fake operator site
// in the test's own process, with the machine's proxy kept away.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "app/mainwindow.h"
#include "cp1251.h"
#include "gates/fakesite.h"

class MainWindowSendTest : public MainWindowTest {
 protected:
  FakeSite site;
  std::map<std::string, std::optional<std::string>> savedEnv;

  void SetUp() override {
    MainWindowTest::SetUp();
    // The machine's proxy never reaches a test.
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
      const char* old = std::getenv(name);
      savedEnv[name] = old ? std::optional<std::string>(old) : std::nullopt;
      unsetenv(name);
    }
    PresetOption("Network\\Proxy", "");
    PresetOption("Message\\Signature", "Вася"_cp);
    FakeGateSpec gate = FakeGate(site);
    WithDatabase([&](TSQLiteDatabase&) { ASSERT_TRUE(gate.Import()); });
  }
  void TearDown() override {
    for (auto& [name, value] : savedEnv)
      if (value) setenv(name.c_str(), value->c_str(), 1);
    MainWindowTest::TearDown();
  }
};
