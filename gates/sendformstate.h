// What the send window shows, decided without a display: the progress
// text, its colour, the bar and which controls are visible after each report
// of the dispatcher, and the captcha zoom with its levels and its fitting
// into the picture frame. The window only paints this state; the headless
// view keeps the same state, so both behave alike.
#pragma once

#include <string>

#include "variant.h"

class TGateSender;

// The control that receives the focus after a change.
enum class TSendFocus { None, Retry, Code, Progress, Close };

struct TSendFormState {
  int Bar = 0;                      // 0..10
  std::string Operation;            // lbOperation, Windows-1251
  bool OperationIsError = false;    // shown in red
  bool CodeBox = false;             // gbCode
  std::string CaptchaDescription;   // lbCaptchaDesc
  bool HelpLink = false;
  bool Cancel = true;
  bool CancelEnabled = true;
  bool Close = false;
  bool Retry = false;
  bool Feedback = false;
  bool AutoClose = false;           // chbAutoClose
  TSendFocus Focus = TSendFocus::None;

  TSendFormState() { Reset(); }
  // The view on show and on retry: bar 0, normal colour, only Cancel shown.
  // The progress text stays as it was ("Ожидание" at first).
  void Reset();
  // A report of the dispatcher: phase 0 started, 1 finished, 2 failed.
  void Progress(const TGateSender& sender, int step, int phase);
  // The captcha arrived: the code box with the sender's description (or
  // the default one).
  void CaptchaShown(const TGateSender& sender);
  // Step 1 ended without a picture: the error view.
  void CaptchaMissing();
  // The code box hidden again (code sent, captcha reloaded).
  void CodeBoxHidden() { CodeBox = false; }

 private:
  void ShowFailureButtons();
};

// The progress text of a report: "Ошибка: " and the sender's error text
// (or "Неизвестная ошибка") for phase 2, else the sender's step text.
std::string ProgressText(const TGateSender& sender, int step, int phase);
// Bar position of a report: (0,0) gives 1, (4,1) gives 10; phase 2 counts
// as 1.
int ProgressPosition(int step, int phase);

// ---- Captcha zoom ----

// A whole number rounded to the nearest, halves to even.
int RoundHalfEven(double value);
// The zoom a captcha opens with: the gate's stored CaptchaScale / 100; a
// value that is missing, no number, 0 or below means 100; a zoom above the
// top level is taken as the top level.
double StoredZoom(const Variant& captchaScale);
// The next level above / below `zoom`; `zoom` itself when there is none.
double ZoomIn(double zoom);
double ZoomOut(double zoom);
// "150%": the zoom in percent, rounded.
std::string ScaleText(double zoom);

// A picture of w by h at `zoom` made to fit the frame: its size and the
// zoom lowered to what fits.
struct TCaptchaFit {
  int Width = 0;
  int Height = 0;
  double Zoom = 1;
};
TCaptchaFit FitCaptcha(int w, int h, double zoom, int frameWidth, int frameHeight);
