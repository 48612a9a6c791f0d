// The send window's state rules and the captcha zoom.
#include "sendformstate.h"

#include <cmath>
#include <iterator>

#include "cp1251.h"
#include "gatesender.h"

namespace {

constexpr double kZoomLevels[] = {1, 1.5, 2, 3, 4, 5, 6, 7, 8, 12, 16};
// Zooms that differ by less than this are the same level: a fitted zoom is
// a quotient and need not hit a level exactly.
constexpr double kSameZoom = 1e-9;
constexpr int kFullScale = 100;

}  // namespace

void TSendFormState::Reset() {
  Bar = 0;
  if (Operation.empty()) Operation = "Ожидание"_cp;
  OperationIsError = false;
  CodeBox = false;
  HelpLink = false;
  Cancel = true;
  Close = false;
  Retry = false;
  Feedback = false;
  AutoClose = false;
  Focus = TSendFocus::None;
}

void TSendFormState::ShowFailureButtons() {
  OperationIsError = true;
  HelpLink = true;
  Cancel = false;
  Close = true;
  Retry = true;
  Feedback = true;
  Focus = TSendFocus::Retry;
}

void TSendFormState::Progress(const TGateSender& sender, int step, int phase) {
  Bar = ProgressPosition(step, phase);
  Operation = ProgressText(sender, step, phase);
  if (phase == spFailed) {
    ShowFailureButtons();
    return;
  }
  OperationIsError = false;
  if (step == stDone && phase == spFinished) {
    Cancel = false;
    Close = true;
    AutoClose = true;
    // The focus leaves the hidden "Отмена" for the button Enter should press.
    Focus = TSendFocus::Close;
  }
}

void TSendFormState::CaptchaShown(const TGateSender& sender) {
  CodeBox = true;
  CaptchaDescription = sender.CaptchaDescription.empty() ? "Введите код, указанный на картинке"_cp
                                                         : sender.CaptchaDescription;
  Focus = TSendFocus::Code;
}

void TSendFormState::CaptchaMissing() {
  Operation = CaptchaLoadErrorText();
  ShowFailureButtons();
}

std::string ProgressText(const TGateSender& sender, int step, int phase) {
  if (phase == spFailed) {
    std::string error = sender.GetErrorText();
    return "Ошибка: "_cp + (error.empty() ? "Неизвестная ошибка"_cp : error);
  }
  std::string text;
  sender.GetStepText(step, phase, text);
  return text;
}

int ProgressPosition(int step, int phase) { return (phase == spStarted ? 0 : 1) + step * 2 + 1; }

int RoundHalfEven(double value) { return static_cast<int>(std::nearbyint(value)); }

double StoredZoom(const Variant& captchaScale) {
  int64_t scale = 0;
  if (!TryStrToInt64(std::string(VarToStr(captchaScale)), scale) || scale <= 0) scale = kFullScale;
  // Below 100 is what the window stores after fitting a wide captcha, and
  // stands; above the top level only a hand-made value gets, and drawing
  // would fit it down anyway.
  const double zoom = static_cast<double>(scale) / kFullScale;
  return zoom > std::end(kZoomLevels)[-1] ? std::end(kZoomLevels)[-1] : zoom;
}

double ZoomIn(double zoom) {
  for (double level : kZoomLevels)
    if (level > zoom + kSameZoom) return level;
  return zoom;
}

double ZoomOut(double zoom) {
  for (auto level = std::rbegin(kZoomLevels); level != std::rend(kZoomLevels); ++level)
    if (*level < zoom - kSameZoom) return *level;
  return zoom;
}

std::string ScaleText(double zoom) { return std::to_string(RoundHalfEven(zoom * kFullScale)) + "%"; }

TCaptchaFit FitCaptcha(int w, int h, double zoom, int frameWidth, int frameHeight) {
  TCaptchaFit fit;
  fit.Zoom = zoom;
  if (w <= 0 || h <= 0) return fit;
  fit.Width = RoundHalfEven(w * fit.Zoom);
  if (fit.Width > frameWidth) {
    fit.Width = frameWidth;
    fit.Zoom = static_cast<double>(fit.Width) / w;
  }
  fit.Height = RoundHalfEven(h * fit.Zoom);
  if (fit.Height > frameHeight) {
    fit.Height = frameHeight;
    fit.Zoom = static_cast<double>(fit.Height) / h;
    fit.Width = RoundHalfEven(w * fit.Zoom);
  }
  return fit;
}
