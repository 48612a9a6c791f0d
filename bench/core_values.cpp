// The text layer and generic values sit under every lookup and conversion.
#include <benchmark/benchmark.h>

#include "cp1251.h"
#include "proplist.h"
#include "variant.h"

static void BM_CompareText(benchmark::State& state) {
  std::string a = "Отправка сообщения через шлюз"_cp, b = "ОТПРАВКА СООБЩЕНИЯ ЧЕРЕЗ ШЛЮЗ"_cp;
  for (auto _ : state) benchmark::DoNotOptimize(cp1251::CompareText(a, b));
}
BENCHMARK(BM_CompareText);

static void BM_Utf8RoundTrip(benchmark::State& state) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += "Привет, мир! Hello, world! "_cp;
  for (auto _ : state) benchmark::DoNotOptimize(cp1251::FromUtf8(cp1251::ToUtf8(text)));
  state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_Utf8RoundTrip);

static void BM_VariantStringToInteger(benchmark::State& state) {
  Variant v = Variant::String("123456");
  for (auto _ : state) benchmark::DoNotOptimize(v.AsInteger());
}
BENCHMARK(BM_VariantStringToInteger);

static void BM_VariantFloatToString(benchmark::State& state) {
  Variant v = Variant::Double(3.14159265358979);
  for (auto _ : state) benchmark::DoNotOptimize(v.AsString());
}
BENCHMARK(BM_VariantFloatToString);

// A message's worth of keys, looked up by name as the gate scripts do.
static void BM_PropListLookup(benchmark::State& state) {
  TPropList list;
  const char* keys[] = {"MessageType", "Phone", "GateName", "Text", "Message", "Signature", "Delivery",
                        "DeliveryTime", "Flash", "Translit", "PhoneFormat", "Phone_Number", "MaxSymbols"};
  for (const char* k : keys) list.SetItemNamed(k, Variant::String(k));
  for (auto _ : state) benchmark::DoNotOptimize(list.GetItemNamed("maxsymbols"));
}
BENCHMARK(BM_PropListLookup);

BENCHMARK_MAIN();
