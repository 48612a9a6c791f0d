// Sets of token kinds, each answered with one table read: the reader asks
// them at every token it passes, where a chain of comparisons would cost
// more than the token itself.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

class TTokenSet {
public:
  constexpr TTokenSet(std::initializer_list<int32_t> kinds) {
    for (int32_t k : kinds)
      Add(k);
  }
  // The kinds from `first` to `last`, both included, joined to this set.
  constexpr TTokenSet WithRange(int32_t first, int32_t last) const {
    TTokenSet s = *this;
    for (int32_t k = first; k <= last; ++k)
      s.Add(k);
    return s;
  }
  constexpr bool Has(int32_t kind) const {
    return kind >= 0 && kind < kSize && in_[static_cast<size_t>(kind)];
  }

private:
  static constexpr int32_t kSize = 128;
  constexpr void Add(int32_t kind) {
    if (kind >= 0 && kind < kSize)
      in_[static_cast<size_t>(kind)] = true;
  }
  std::array<bool, kSize> in_{};
};
