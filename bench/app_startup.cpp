// Start-up of the main window: from its creation until it is shown and
// painted, over an empty profile and over a full one (10,000 contacts,
// 100,000 history rows, 1,000 gates with their ranges and parameters).
// Every run starts as the first run of a day, so the statistics cleanup
// runs each time, and restores a message whose number the gates cover. The summary prints the best and median times and
// whether the full profile stays under 500 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app_bench.h"
#include "application.h"
#include "cp1251.h"
#include "inistorage.h"
#include "options.h"
#include "smsfrm.h"
#include "sqlmgr.h"
#include "support/tempdir.h"

namespace {

constexpr int kContacts = 10000;
constexpr int kHistory = 100000;
constexpr int kGates = 1000;
constexpr int kPrefixes = 10;
constexpr int kParams = 20;

std::map<std::string, std::vector<double>>& Times() {
  static std::map<std::string, std::vector<double>> times;
  return times;
}

// Rows written straight into the profile's databases, each table in one
// transaction.
void FillProfile(const std::string& profile) {
  OpenDatabases(profile + "Parlomix.db3", profile + "Gates.db3");
  TSQLiteDatabase& db = *Database;
  RunInTransaction(db, [&] {
    for (int i = 0; i < kContacts; ++i) {
      db.AddParamText(":Name", "Контакт "_cp + std::to_string(i));
      db.AddParamText(":Phone", "7916" + std::to_string(1000000 + i));
      db.ExecSQL("INSERT INTO PhoneBook (Name, Phone) VALUES (:Name, :Phone)");
    }
  });
  RunInTransaction(db, [&] {
    for (int i = 0; i < kHistory; ++i) {
      db.AddParamInt(":Time", 1700000000 + i * 60);
      db.AddParamText(":Gate", "Gate" + std::to_string(i % kGates));
      db.AddParamText(":Phone", "7916" + std::to_string(1000000 + i % kContacts));
      db.AddParamText(":Msg", "Сообщение номер "_cp + std::to_string(i));
      db.ExecSQL("INSERT INTO History (DateTime, GateName, Phone, Message, Signature, DeliveryStatus) VALUES (:Time, "
                 ":Gate, :Phone, :Msg, '', 2)");
    }
  });
  RunInTransaction(db, [&] {
    for (int g = 0; g < kGates; ++g) {
      std::string name = "Gate" + std::to_string(g);
      db.AddParamText(":Name", name);
      db.AddParamText(":Caption", "Шлюз "_cp + std::to_string(g));
      db.ExecSQL("INSERT INTO gates.Gate (Name, Class, Type, Caption, Version) VALUES (:Name, 'HTTP', 'SMS', :Caption, 1)");
      for (int p = 0; p < kPrefixes; ++p) {
        db.AddParamText(":Name", name);
        db.AddParamText(":Start", "79" + std::to_string(100 + g % 800) + std::to_string(10 + p));
        db.ExecSQL("INSERT INTO gates.GatePrefix (GateName, Format, PrefixStart, PrefixEnd) VALUES (:Name, '1.3.7', "
                   ":Start, :Start)");
      }
      for (int p = 0; p < kParams; ++p) {
        db.AddParamText(":Name", name);
        db.AddParamText(":Param", "Param" + std::to_string(p));
        db.AddParamInt(":Class", p % 2);
        db.ExecSQL("INSERT INTO gates.GateParam (GateName, ParamName, ParamClass, ParamValue) VALUES (:Name, :Param, "
                   ":Class, 'value')");
      }
    }
  });
  CloseDatabases();
}

// One start of the main window, timed until it is shown and painted.
double StartOnce() {
  // The first start of a day: the statistics cleanup runs.
  {
    TIniStorage options(ProfileDir + "Parlomix.ini");
    options.WriteString("Stats\\LastCleanup", "0");
    options.Flush();
  }
  auto start = std::chrono::steady_clock::now();
  TSMSFrm frm({});
  if (frm.FormCreate() != TSMSFrm::TCreateResult::Running) std::abort();
  frm.show();
  QCoreApplication::processEvents();
  frm.repaint();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return seconds;
}

void Run(benchmark::State& state, const char* kind, bool full) {
  TempDir profile, runtime;
  setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
  ProfileDir = profile.Path().string() + "/";
  if (full) FillProfile(ProfileDir);
  MarkFirstRunDone(ProfileDir);
  StartOnce();  // the first start creates what an empty profile lacks
  // The message left at the last exit names a number some gates cover, so
  // each start looks the gates up for it.
  profile.Write("autosave.plmx",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<message type=\"SMS\">\n  <to>79100101234</to>\n"
                "  <text>Hello</text>\n</message>\n");
  for (auto _ : state) {
    double seconds = StartOnce();
    state.SetIterationTime(seconds);
    Times()[kind].push_back(seconds);
  }
}

void BM_StartEmptyProfile(benchmark::State& state) { Run(state, "empty", false); }
void BM_StartFullProfile(benchmark::State& state) { Run(state, "full", true); }

}  // namespace

BENCHMARK(BM_StartEmptyProfile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_StartFullProfile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) {
  PrepareWindowBench();
  int qtArgc = 1;
  QElapsedTimer appClock;
  appClock.start();
  TParlomixApp app(qtArgc, argv);
  double appMs = appClock.nsecsElapsed() / 1e6;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\nMain window start-up to shown, %d contacts, %d history rows, %d gates in the full profile:\n",
              kContacts, kHistory, kGates);
  std::printf("  the application object before it (once per process): %.1f ms\n", appMs);
  for (auto& [kind, times] : Times()) {
    std::sort(times.begin(), times.end());
    double best = times.front(), median = times[times.size() / 2];
    std::printf("  %-6s profile  best %7.1f ms  median %7.1f ms  %s\n", kind.c_str(), best * 1000, median * 1000,
                median < 0.5 ? "within target (< 500 ms)" : "TARGET MISSED (< 500 ms)");
  }
  return 0;
}
