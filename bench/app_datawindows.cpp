// Opening the data windows over a large profile: the history window on
// 100,000 messages (load, date tree, model, the newest message selected,
// shown and painted) and the phone book on a group of 10,000 contacts (from
// its creation until that group's list is shown and painted). The summary
// prints the best and median times against their targets (300 ms and
// 100 ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "application.h"
#include "cp1251.h"
#include "historyfrm.h"
#include "options.h"
#include "phonebookfrm.h"
#include "sqlmgr.h"
#include "support/optionsprofile.h"

namespace {

constexpr int kHistory = 100000;
constexpr int kContacts = 10000;
constexpr int kGates = 50;

struct Target {
  const char* title;
  double seconds;
};

std::map<std::string, std::vector<double>>& Times() {
  static std::map<std::string, std::vector<double>> times;
  return times;
}

// Gates with ranges covering the numbers, a group of contacts and a history
// over the last years, written straight into the databases.
void FillProfile(int& groupId) {
  TSQLiteDatabase& db = *Database;
  RunInTransaction(db, [&] {
    for (int g = 0; g < kGates; ++g) {
      std::string name = "Gate" + std::to_string(g);
      db.AddParamText(":Name", name);
      db.AddParamText(":Caption", "Шлюз "_cp + std::to_string(g));
      db.ExecSQL("INSERT INTO gates.Gate (Name, Class, Type, Caption, Version) VALUES (:Name, 'HTTP', 'SMS', :Caption, 1)");
      db.AddParamText(":Name", name);
      db.AddParamText(":Start", "79" + std::to_string(10 + g));
      db.ExecSQL("INSERT INTO gates.GatePrefix (GateName, Format, PrefixStart, PrefixEnd) VALUES (:Name, '1.3.7', "
                 ":Start, :Start)");
    }
    db.ExecSQL("INSERT INTO PhoneBookGroup (Name) VALUES ('Много')");
    groupId = static_cast<int>(db.GetLastInsertRowID());
    for (int i = 0; i < kContacts; ++i) {
      db.AddParamText(":Name", "Контакт "_cp + std::to_string(i));
      db.AddParamText(":Phone", "79" + std::to_string(10 + i % kGates) + std::to_string(1000000 + i));
      db.AddParamText(":Gate", i % 3 ? "" : "Gate" + std::to_string(i % kGates));
      db.AddParamInt(":Group", groupId);
      db.ExecSQL(
          "INSERT INTO PhoneBook (Name, Phone, GateName, ID_GROUP) VALUES (:Name, :Phone, NULLIF(:Gate, ''), :Group)");
    }
    for (int i = 0; i < kHistory; ++i) {
      db.AddParamInt(":Time", 1600000000 + i * 1500);
      db.AddParamText(":Gate", "Gate" + std::to_string(i % kGates));
      db.AddParamText(":Phone", "79" + std::to_string(10 + i % kGates) + std::to_string(1000000 + i % kContacts));
      db.AddParamText(":Msg", "Сообщение номер "_cp + std::to_string(i));
      db.ExecSQL("INSERT INTO History (DateTime, GateName, Phone, Message, Signature, DeliveryStatus) VALUES (:Time, "
                 ":Gate, :Phone, :Msg, '', 2)");
    }
  });
}

template <class Open>
void Measure(benchmark::State& state, const char* kind, Open open) {
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    open();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    Times()[kind].push_back(seconds);
  }
}

int groupId = 0;

void BM_OpenHistory(benchmark::State& state) {
  Measure(state, "history", [] {
    THistoryFrm frm;
    frm.show();
    QCoreApplication::processEvents();
    frm.repaint();
    if (frm.SelectedRow() != kHistory - 1) std::abort();
  });
}

void BM_OpenPhoneBookOnGroup(benchmark::State& state) {
  Measure(state, "phonebook", [] {
    TPhoneBookFrm frm;
    frm.show();
    frm.tvGroups->setCurrentItem(frm.tvGroups->topLevelItem(1));
    QCoreApplication::processEvents();
    frm.repaint();
    if (frm.LoadedGroupID != groupId || frm.Items().Count() != kContacts) std::abort();
  });
}

}  // namespace

BENCHMARK(BM_OpenHistory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_OpenPhoneBookOnGroup)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

int main(int argc, char** argv) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qtArgc = 1;
  TParlomixApp app(qtArgc, argv);
  OptionsProfile profile;
  Options = profile.options.get();
  OpenDatabases(profile.dir.File("Parlomix.db3"), profile.dir.File("Gates.db3"));
  FillProfile(groupId);

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const std::map<std::string, Target> targets = {
      {"history", {"history window, 100,000 messages", 0.3}},
      {"phonebook", {"phone book, group of 10,000 contacts", 0.1}},
  };
  std::printf("\nOpening the data windows:\n");
  for (auto& [kind, times] : Times()) {
    std::sort(times.begin(), times.end());
    const Target& target = targets.at(kind);
    double best = times.front(), median = times[times.size() / 2];
    std::printf("  %-38s best %7.1f ms  median %7.1f ms  %s (< %.0f ms)\n", target.title, best * 1000, median * 1000,
                median < target.seconds ? "within target" : "TARGET MISSED", target.seconds * 1000);
  }
  CloseDatabases();
  Options = nullptr;
  return 0;
}
