// The running program of each thread, its stack limit and its memory budget.
#include "scriptrun.h"

#include <pthread.h>

#include <algorithm>

namespace {

thread_local TScriptRunScope* tlsScope = nullptr;

// The lowest address of this thread's stack, found once per thread. Where
// the system cannot tell, a stack of 512 KiB below the first run is assumed.
const char* ThreadStackLow() {
  thread_local const char* low = [] {
    pthread_attr_t attr;
    void* base = nullptr;
    size_t size = 0;
    bool known = pthread_getattr_np(pthread_self(), &attr) == 0;
    if (known) {
      known = pthread_attr_getstack(&attr, &base, &size) == 0 && base && size;
      pthread_attr_destroy(&attr);
    }
    if (known) return static_cast<const char*>(base);
    return static_cast<const char*>(__builtin_frame_address(0)) - (size_t{512} << 10);
  }();
  return low;
}

}  // namespace

void TScriptRun::Recount(int64_t bytes) {
  const int64_t held = (Census ? Census() : 0) + building_;
  const int64_t budget = Limits.MemoryBudget;
  charged_ = held;
  if (held + bytes > budget - budget / 16) RaiseScriptOutOfMemory();
  charged_ = held + bytes;
}

TScriptRunScope::TScriptRunScope(TScriptRun& run)
    : run_(run), outer_(tlsScope), savedLimit_(run.stackLimit_) {
  run.stackLimit_ = ThreadStackLow() + run.Limits.StackMargin;
  tlsScope = this;
}

TScriptRunScope::~TScriptRunScope() {
  tlsScope = outer_;
  run_.stackLimit_ = savedLimit_;
}

TScriptRun* CurrentScriptRun() { return tlsScope ? &tlsScope->Run() : nullptr; }

const TScriptRunScope* CurrentScriptRunScope() { return tlsScope; }

void ChargeScriptMemory(int64_t bytes) {
  if (TScriptRun* run = CurrentScriptRun()) run->Charge(bytes);
}

void RaiseScriptOutOfMemory() { RaiseError(2, -1, "Out of memory"); }

void TScriptText::Grow(size_t more) {
  const size_t room = std::max(text_.size() + more, text_.capacity() * 2);
  if (run_) {
    const auto extra = static_cast<int64_t>(room - text_.capacity());
    run_->Charge(extra);
    run_->building_ += extra;
    charged_ += extra;
  }
  text_.reserve(room);
}

void TScriptText::Release() {
  if (run_) run_->building_ -= charged_;
  charged_ = 0;
}

std::string TScriptText::Take() {
  Release();
  return std::move(text_);
}
