// The lookups that run on every keystroke of the recipient field, and the
// full history load of the history window, on a large profile: 10,000
// contacts, 1,000 gates with 20 prefix ranges each, 100,000 history rows.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "cp1251.h"
#include "history.h"
#include "phonebook.h"
#include "sqlmgr.h"
#include "temp_profile.h"

namespace {

constexpr int kGates = 1000;
constexpr int kRangesPerGate = 20;
constexpr int kContacts = 10000;
constexpr int kHistoryRows = 100000;
constexpr int kHistoryNumbers = 2000;

const char* const kSyllables[] = {"ив", "ан", "пет", "ров", "сид", "ор", "ма", "ри", "на", "ол",
                                  "ег", "ка", "тя", "ни", "ко", "ла", "ев", "ов", "ин", "ва"};

std::string Digits(std::mt19937& rng, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += char('0' + rng() % 10);
  return s;
}

// One of the 20 gates whose ranges cover a number (`which` picks among
// two); any gate for a foreign number.
std::string GateFor(const std::string& phone, int which) {
  if (phone[0] != '7') return "Gate" + std::to_string(which);
  int prefix = std::stoi(phone.substr(1, 3));
  return "Gate" + std::to_string((prefix / kRangesPerGate + which * 50) % kGates);
}

// Every 4-digit prefix 7000 to 7999 is covered by 20 gates; one contact in
// ten has a foreign number no range covers.
class LargeProfile {
 public:
  LargeProfile() {
    TSQLiteDatabase& db = *Database;
    std::mt19937 rng(42);
    RunInTransaction(db, [&] {
      for (int g = 0; g < kGates; ++g) {
        std::string gate = "Gate" + std::to_string(g);
        db.AddParamText(":Name", gate);
        db.ExecSQL("INSERT INTO gates.Gate (Name, Class, Type, Caption, Version) VALUES (:Name, 'HTTP', 'SMS', :Name, 1)");
        for (int r = 0; r < kRangesPerGate; ++r) {
          std::string prefix = "7" + std::to_string(1000 + (g * kRangesPerGate + r) % 1000).substr(1);
          db.AddParamText(":Name", gate);
          db.AddParamText(":Start", prefix);
          db.ExecSQL(
              "INSERT INTO gates.GatePrefix (GateName, Format, PrefixStart, PrefixEnd) VALUES (:Name, '1.3.7', :Start, "
              ":Start)");
        }
      }
      for (int c = 0; c < kContacts; ++c) {
        TPhoneBookItem item;
        for (int s = 0; s < 3; ++s) item.Name += cp1251::FromUtf8(kSyllables[rng() % std::size(kSyllables)]);
        item.Name[0] = cp1251::Upper(item.Name[0]);
        item.Name += " " + std::to_string(c);
        item.Phone = c % 10 == 9 ? "49" + Digits(rng, 10) : "7" + Digits(rng, 10);
        if (c % 2 && item.Phone[0] == '7') item.GateName = GateFor(item.Phone, c % 4 == 1);
        TPhoneBook::AddItem(item);
        if (c < kHistoryNumbers) numbers_.push_back(item.Phone);
      }
      for (int h = 0; h < kHistoryRows; ++h) {
        THistoryItem item;
        size_t n = rng() % numbers_.size();
        item.Phone = numbers_[n];
        item.GateName = GateFor(item.Phone, n % 2);
        item.Message = "Привет! Буду через полчаса, жди у метро."_cp;
        item.Signature = "Вася"_cp;
        item.DeliveryStatus = dsDelivered;
        THistory::Add(item, 45000 + h / 1440.0);
      }
    });
  }

 private:
  TempProfile profile_;
  std::vector<std::string> numbers_;
};

LargeProfile& Profile() {
  static LargeProfile profile;
  return profile;
}

void BM_FindByText(benchmark::State& state, const std::string& text) {
  Profile();
  size_t found = 0;
  for (auto _ : state) {
    TPhoneBookItemList list;
    TPhoneBook::FindByText(text, list);
    found = list.Count();
  }
  state.counters["found"] = double(found);
}
BENCHMARK_CAPTURE(BM_FindByText, name_substring, "ив"_cp)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindByText, one_letter, "а"_cp)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindByText, digits, std::string("916"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindByText, name_prefix, "Ив ["_cp)->Unit(benchmark::kMillisecond);

void BM_HistorySuggestions(benchmark::State& state, const std::string& digits) {
  Profile();
  size_t found = 0;
  for (auto _ : state) {
    THistoryItemList list;
    found = THistory::LoadFiltered(list, digits, THistory::kMatchSubstring | THistory::kDistinctNumbers, 100);
  }
  state.counters["found"] = double(found);
}
BENCHMARK_CAPTURE(BM_HistorySuggestions, common, std::string("916"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HistorySuggestions, rare, std::string("9161"))->Unit(benchmark::kMillisecond);

void BM_HistoryLoadAll(benchmark::State& state) {
  Profile();
  for (auto _ : state) {
    THistoryItemList list;
    benchmark::DoNotOptimize(THistory::Load(list, ""));
  }
}
BENCHMARK(BM_HistoryLoadAll)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
