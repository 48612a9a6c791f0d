// The worker of one send step: runs the step's operation on a thread of its
// own (with the stack scripts need) and hands the outcome to the main thread
// as a value in a queued signal.
#pragma once

#include <QImage>
#include <QThread>

class TGateSender;

class TSendThread : public QThread {
  Q_OBJECT
 public:
  // A thread for `step` (TSendStep) of `gate` (not owned), not yet started.
  TSendThread(TGateSender* gate, int step);
  // Waits for the step to end: a thread is never freed while it runs.
  ~TSendThread() override;

  const int Step;
  TGateSender* const Gate;
  // The picture step 1 returned; null for the other steps.
  QImage Captcha;

  // Runs one step's operation on the calling thread. Whatever it raises
  // ends here: the outcome is the sender's ErrorCode, and a failure that set
  // no code becomes 999 (a script error has set 30 already).
  static void RunStep(TGateSender& gate, int step, QImage& captcha);

 signals:
  // Emitted last on the worker thread; connect it queued to a receiver on
  // the main thread, which then waits for the thread and frees it.
  void StepDone(int step, QImage captcha);

 protected:
  void run() override;
};
