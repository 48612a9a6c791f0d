// Feeds arbitrary bytes to the picture loader as a captcha answer reaches it
// (LoadBitmapFromStream on the response body, the loader the MMS preview and
// message files share): it may find no picture, but nothing may crash, leak
// or hang, and a picture it gives is an opaque bitmap within the pixel
// bound. The seeds in corpus/captcha are small PNG (one with a compressed
// text and transparency), GIF, JPEG (baseline and progressive) and BMP
// pictures.
#include <QtGlobal>

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "corelimits.h"
#include "picture.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // Every damaged picture makes the readers warn; the fuzzer's output is for
  // what it finds.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto bitmap = LoadBitmapFromStream(bytes, "image/png");
  if (bitmap && (bitmap->format() != QImage::Format_RGB32 ||
                 int64_t{bitmap->width()} * bitmap->height() > kMaxPicturePixels))
    std::abort();
  return 0;
}
