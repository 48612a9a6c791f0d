// The lookups that run on every keystroke of the recipient field, and the
// full history load of the history window, on a large profile: 10,000
// contacts, 1,000 gates with 20 prefix ranges each, 100,000 history rows.
// And the start-up read of an options file someone has filled with keys.
#include <benchmark/benchmark.h>

#include <string>

#include "cp1251.h"
#include "history.h"
#include "inistorage.h"
#include "large_profile.h"
#include "phonebook.h"
#include "support/tempdir.h"
#include "temp_profile.h"

namespace {

// The profile's folder, filled once.
class LargeProfile {
 public:
  LargeProfile() { large_profile::Fill(); }

 private:
  TempProfile profile_;
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

// An options file of state.range(0) keys, `perSection` to a section (0: all
// in one), read as the program reads Parlomix.ini at start-up, followed by
// the read of one key.
void BM_OptionsFileRead(benchmark::State& state, int perSection) {
  const int keys = static_cast<int>(state.range(0));
  std::string text;
  for (int i = 0; i < keys; ++i) {
    if (i == 0 || (perSection && i % perSection == 0)) text += "[Section" + std::to_string(i) + "]\n";
    text += "Key" + std::to_string(i) + "=Value " + std::to_string(i) + "\n";
  }
  TempDir dir;
  std::string file = dir.Write("Parlomix.ini", text);
  std::string last = "Section" + std::to_string(perSection ? (keys - 1) / perSection * perSection : 0) + "\\Key" +
                     std::to_string(keys - 1);
  for (auto _ : state) {
    TIniStorage storage(file);
    if (storage.ReadString(last, "").empty()) state.SkipWithError("the last key was not read");
  }
  state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
}
BENCHMARK_CAPTURE(BM_OptionsFileRead, one_section, 0)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OptionsFileRead, key_per_section, 1)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
