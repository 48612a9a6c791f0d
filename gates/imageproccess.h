// The captcha picture's workbench, bound as `Img` while a gate's captcha
// script runs: the script copies character cells out of the loaded picture
// and composes a new one, which then replaces the captcha. QImage only, so
// it works on a send's step thread and without a display.
//
// Rectangles follow the platform's bitmap rule: right and bottom are
// excluded, so Rect(l, t, r, b) covers r - l by b - t pixels.
#pragma once

#include <QImage>

#include <string>

#include "object.h"
#include "typesunit.h"

class TImageProccess : public TObject {
  PX_CLASS(TImageProccess, TObject)
 public:
  // Source := a copy of `picture` at its own size (transparent parts over
  // white); Result := an empty (0 by 0) bitmap. Raises Exception when the
  // picture exceeds kMaxBitmapPixels.
  explicit TImageProccess(const QImage& picture);

  const QImage& Source() const { return source_; }
  // The composed picture; the caller copies it (a null image until SetSize).
  const QImage& GetResult() const { return result_; }

  // Result becomes width by height pixels filled with the button-face
  // colour, which is also the brush behind TextOut. Raises Exception for a
  // negative size or one beyond kMaxBitmapPixels.
  void SetSize(int width, int height);
  // Copies `rect` of Source (normalised, clipped to Source) to Result with
  // its top-left corner at (x, y), unscaled; what falls outside Result is
  // dropped.
  void CopyRect(int x, int y, const TRect& rect);
  // Writes `text` (Windows-1251) on Result in bold at 16 pixels (12 points
  // at 96 dpi) in black, its cell (advance by line height) filled with the
  // brush first; (x, y) is the cell's top-left corner. At most
  // kMaxTextOutChars characters are drawn. Needs the application object,
  // whose font database holds the face; raises Exception without one.
  void TextOut(int x, int y, const std::string& text);

  // The button-face colour and the face TextOut draws with.
  static QColor ButtonFace();
  static QFont TextFont();

 private:
  QImage source_;
  QImage result_;
};
