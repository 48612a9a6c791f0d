// Work held back while a send is under way: an update result must not
// import gates under a running send nor open a window over the send window
// while it waits for a captcha code.
#pragma once

#include <QObject>
#include <functional>

// True while the send dispatcher runs a send: from the moment its sender
// exists (the send window opens right after) until the after-send hook has
// booked the outcome.
bool SendInProgress();

// Runs `work` at once when no send is under way; otherwise holds it and runs
// it on the main thread soon after the send has ended, held work in the
// order it came. Work whose `context` is destroyed before then is dropped.
// Main thread only.
void RunWhenNoSend(QObject* context, std::function<void()> work);
