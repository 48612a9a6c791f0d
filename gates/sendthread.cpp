// A send step on a worker thread.
#include "sendthread.h"

#include "gatesender.h"
#include "scriptlimits.h"

TSendThread::TSendThread(TGateSender* gate, int step) : Step(step), Gate(gate) {
  setStackSize(static_cast<uint>(kScriptThreadStackSize));
}

TSendThread::~TSendThread() { wait(); }

void TSendThread::RunStep(TGateSender& gate, int step, QImage& captcha) {
  try {
    switch (step) {
      case stInit: gate.Init(); break;
      case stCaptcha: captcha = gate.GetCaptcha(); break;
      case stSend: gate.Send(); break;
      case stCheckDelivery: gate.CheckDelivery(); break;
      case stDone: gate.Done(); break;
      default: break;
    }
  } catch (...) {
    // A step that fails in a way no request caught must never pass for a
    // success, nor end the program.
    if (gate.ErrorCode == geNone) gate.SetError(geUnknown);
  }
}

void TSendThread::run() {
  RunStep(*Gate, Step, Captcha);
  emit StepDone(Step, Captcha);
}
