// The process-wide generator behind a lock: send steps, uploads and the
// main thread may all draw from it. It is seeded exactly once, so no two
// callers can reset it to a sequence another has already drawn from.
#include "random.h"

#include <chrono>
#include <mutex>
#include <random>

#include "exceptions.h"

namespace {

std::mutex generatorLock;
std::once_flag seeded;
std::mt19937_64 generator;

void Seed() {
  std::random_device entropy;
  const auto ticks = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::seed_seq seed{entropy(), entropy(), static_cast<unsigned>(ticks), static_cast<unsigned>(ticks >> 32)};
  std::lock_guard lock(generatorLock);
  generator.seed(seed);
}

int64_t DrawLocked(int64_t range) {
  return std::uniform_int_distribution<int64_t>(0, range - 1)(generator);
}

}  // namespace

void Randomize() { std::call_once(seeded, Seed); }

int64_t Random(int64_t range) {
  if (range < 1) return 0;
  Randomize();
  std::lock_guard lock(generatorLock);
  return DrawLocked(range);
}

double RandomFloat() {
  Randomize();
  std::lock_guard lock(generatorLock);
  // 53 random bits: every value a double can hold in [0, 1) at that spacing.
  return static_cast<double>(generator() >> 11) * 0x1.0p-53;
}

std::string RandomString(std::string_view alphabet, int64_t len) {
  if (len < 1) return {};
  if (alphabet.empty()) throw Exception("RandomString: the alphabet is empty");
  Randomize();
  std::string text(static_cast<size_t>(len), '\0');
  std::lock_guard lock(generatorLock);
  for (char& c : text) c = alphabet[static_cast<size_t>(DrawLocked(static_cast<int64_t>(alphabet.size())))];
  return text;
}
