// Pictures through QtGui's image readers.
#include "picture.h"

#include <QPainter>

#include <climits>

#include "mime.h"

namespace {

struct ReaderFormat {
  std::string_view mime;
  const char* format;
};

constexpr ReaderFormat kReaders[] = {
    {"image/jpeg", "JPEG"}, {"image/gif", "GIF"}, {"image/png", "PNG"}, {"image/bmp", "BMP"}};

const char* ReaderFor(std::string_view mime) {
  for (const ReaderFormat& reader : kReaders)
    if (reader.mime == mime) return reader.format;
  return nullptr;
}

}  // namespace

std::unique_ptr<QImage> LoadGraphicFromStream(std::string_view data, std::string_view /*contentType*/) {
  try {
    const char* format = ReaderFor(GetImageMimeType(data.substr(0, 4)));
    if (!format || data.size() > static_cast<size_t>(INT_MAX)) return nullptr;
    auto picture = std::make_unique<QImage>();
    if (!picture->loadFromData(reinterpret_cast<const uchar*>(data.data()), static_cast<int>(data.size()), format) ||
        picture->isNull())
      return nullptr;
    return picture;
  } catch (...) {
    // A reader that fails in a way of its own still only means "no picture".
    return nullptr;
  }
}

std::unique_ptr<QImage> LoadBitmapFromStream(std::string_view data, std::string_view contentType) {
  try {
    const std::unique_ptr<QImage> picture = LoadGraphicFromStream(data, contentType);
    if (!picture) return nullptr;
    auto bitmap = std::make_unique<QImage>(picture->size(), QImage::Format_RGB32);
    if (bitmap->isNull()) return nullptr;
    bitmap->fill(Qt::white);
    QPainter painter(bitmap.get());
    painter.drawImage(0, 0, *picture);
    painter.end();
    return bitmap;
  } catch (...) {
    return nullptr;
  }
}
