// Measures the memory script values hold: strings, arrays and records, each
// counted once however many values share it, with the values inside arrays
// and records counted in turn. The memory budget uses it to learn what a
// program still holds once values it counted have gone away.
#pragma once

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "variant.h"

class TValueCensus {
 public:
  // Counts a value and everything it holds that was not counted yet.
  void Add(const Variant& value);
  // Counts storage of the program's own that grows with what scripts do.
  void AddBytes(int64_t bytes) { bytes_ += bytes; }
  int64_t Bytes() const { return bytes_; }

 private:
  void Visit(const Variant& value);
  // Counts a shared block once; true when it is new.
  bool First(const void* block) { return seen_.insert(block).second; }

  int64_t bytes_ = 0;
  std::unordered_set<const void*> seen_;
  // Values still to visit: nested values are walked without recursion.
  std::vector<const Variant*> pending_;
};
