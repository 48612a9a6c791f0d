#include "sendstate.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <deque>

#include "senddisp.h"

namespace {

struct THeldWork {
  QPointer<QObject> context;
  std::function<void()> work;
};
std::deque<THeldWork> Held;

// How often held work looks whether the send has ended: soon enough that a
// result seems to arrive as the send window closes.
constexpr int kHeldRetryMs = 100;

void RetryHeld();

void ScheduleRetry() {
  if (QCoreApplication* app = QCoreApplication::instance()) QTimer::singleShot(kHeldRetryMs, app, RetryHeld);
}

void RetryHeld() {
  if (SendInProgress()) {
    ScheduleRetry();
    return;
  }
  // Work run now may start a send of its own, or hold more work.
  while (!Held.empty() && !SendInProgress()) {
    THeldWork next = std::move(Held.front());
    Held.pop_front();
    if (next.context) next.work();
  }
  if (!Held.empty()) ScheduleRetry();
}

}  // namespace

bool SendInProgress() { return TSendDisp::Sender() != nullptr; }

void RunWhenNoSend(QObject* context, std::function<void()> work) {
  if (!SendInProgress() && Held.empty()) {
    work();
    return;
  }
  bool idle = Held.empty();
  Held.push_back({context, std::move(work)});
  if (idle) ScheduleRetry();
}
