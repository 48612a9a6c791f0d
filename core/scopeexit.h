// Work that must run when a scope ends, also on the way out of an exception
// (undoing a binding, clearing the state of a send).
#pragma once

#include <functional>
#include <utility>

class TScopeExit {
 public:
  explicit TScopeExit(std::function<void()> work) : work_(std::move(work)) {}
  ~TScopeExit() {
    if (work_) work_();
  }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

 private:
  std::function<void()> work_;
};
