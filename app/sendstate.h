// Whether a send is under way, and work held back until it has ended: an
// update result must not import gates under a running send nor open a
// window over the send window while it waits for a captcha code.
#pragma once

#include <QObject>
#include <functional>

// True while a send runs (its window is open, or its outcome is being
// booked).
bool SendInProgress();

// Replaces what SendInProgress asks; an empty probe brings back the
// default, the count of TSendScope objects alive.
void SetSendInProgressProbe(std::function<bool()> probe);

// Marks a send as under way for as long as it lives; made around the call
// that shows the send window.
class TSendScope {
 public:
  TSendScope();
  ~TSendScope();
  TSendScope(const TSendScope&) = delete;
  TSendScope& operator=(const TSendScope&) = delete;
};

// Runs `work` at once when no send is under way; otherwise holds it and runs
// it on the main thread soon after the send has ended, held work in the
// order it came. Work whose `context` is destroyed before then is dropped.
// Main thread only.
void RunWhenNoSend(QObject* context, std::function<void()> work);
