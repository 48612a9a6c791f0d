// Pictures through QtGui's image readers. What a reader would spend beyond
// the pixels is taken out of a file before the reader sees it: the text and
// colour profiles of a PNG, which libpng inflates whatever their size, and a
// JPEG with more scans than any encoder writes, each of which the decoder
// passes over the whole picture for.
#include "picture.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "corelimits.h"
#include "mime.h"

namespace {

// ---- PNG ----

constexpr std::string_view kPngSignature{"\x89PNG\r\n\x1A\n", 8};
// A chunk's length and type before its data, its CRC after.
constexpr size_t kPngChunkFrame = 12;
// The largest chunk length the format allows.
constexpr uint32_t kPngMaxChunkLength = 0x7FFFFFFF;
// Ancillary chunks handed on: a few bytes each, read as they stand, giving
// the transparency, gamma, chromaticities, resolution and offset the reader
// puts on the picture. Every other ancillary chunk is dropped: text (tEXt,
// zTXt, iTXt) and the colour profile (iCCP) are compressed and would be
// inflated, and the profile only tags the picture's colour space, which
// nothing here reads; the rest the reader does not look at.
constexpr std::string_view kPngKeptAncillary[] = {"tRNS", "gAMA", "cHRM", "sRGB", "pHYs", "oFFs"};

uint32_t BigEndian(std::string_view bytes) {
  uint32_t value = 0;
  for (char byte : bytes) value = value << 8 | static_cast<unsigned char>(byte);
  return value;
}

// Critical chunks (an upper-case first letter) all go on, known or not, so
// the reader refuses a picture it cannot read as it did before.
bool KeepPngChunk(std::string_view type) {
  const bool ancillary = (static_cast<unsigned char>(type[0]) & 0x20) != 0;
  return !ancillary || std::find(std::begin(kPngKeptAncillary), std::end(kPngKeptAncillary), type) !=
                           std::end(kPngKeptAncillary);
}

// The PNG without the chunks KeepPngChunk drops, ending at its IEND. Kept
// chunks are copied whole, CRC included, so the reader checks them as
// before. A chunk whose length the data cannot hold ends the copy: when it
// is kept, the rest goes on as it is, for the reader to fail there as it
// would have; when it is dropped, the picture ends before it, for libpng
// would first allocate the length it claims. Empty when nothing is dropped.
std::string PngWithoutMetadata(std::string_view png) {
  std::string kept(kPngSignature);
  bool dropped = false;
  size_t at = kPngSignature.size();
  while (png.size() - at >= kPngChunkFrame) {
    const uint32_t length = BigEndian(png.substr(at, 4));
    const std::string_view type = png.substr(at + 4, 4);
    if (length > kPngMaxChunkLength || length > png.size() - at - kPngChunkFrame) {
      if (!KeepPngChunk(type)) return kept;
      break;
    }
    const std::string_view chunk = png.substr(at, kPngChunkFrame + length);
    if (KeepPngChunk(type))
      kept += chunk;
    else
      dropped = true;
    at += chunk.size();
    if (type == "IEND") return dropped ? kept : std::string();
  }
  if (!dropped) return {};
  kept += png.substr(at);
  return kept;
}

// Hands the reader the PNG without its metadata; never refuses.
bool PreparePng(std::string_view& data, std::string& storage) {
  storage = PngWithoutMetadata(data);
  if (!storage.empty()) data = storage;
  return true;
}

// ---- JPEG ----

constexpr unsigned char kJpegMarker = 0xFF;
constexpr unsigned char kJpegStartOfScan = 0xDA;
constexpr unsigned char kJpegEnd = 0xD9;

// Markers without a length: TEM, the restart markers and the start itself.
bool StandaloneJpegMarker(unsigned char marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8); }

// The scans of a JPEG, found as the decoder finds its markers: bytes up to
// a marker byte are skipped (a stuffed zero after one is data), fill bytes
// too, and a segment is passed over by its length, so bytes inside an
// application segment are never taken for markers. Stops at the end marker.
size_t JpegScans(std::string_view jpeg) {
  size_t scans = 0, at = 2;  // after the start marker
  while ((at = jpeg.find(static_cast<char>(kJpegMarker), at)) != std::string_view::npos) {
    while (at < jpeg.size() && static_cast<unsigned char>(jpeg[at]) == kJpegMarker) ++at;
    if (at >= jpeg.size()) break;
    const unsigned char marker = static_cast<unsigned char>(jpeg[at++]);
    if (marker == kJpegEnd) break;
    if (marker == 0 || StandaloneJpegMarker(marker)) continue;
    if (jpeg.size() - at < 2) break;
    const size_t length = BigEndian(jpeg.substr(at, 2));
    if (length < 2) break;
    if (marker == kJpegStartOfScan) ++scans;
    at += length;
  }
  return scans;
}

// Refuses a JPEG with more scans than kMaxJpegScans.
bool PrepareJpeg(std::string_view& data, std::string& /*storage*/) { return JpegScans(data) <= kMaxJpegScans; }

// ---- Readers ----

struct ReaderFormat {
  std::string_view mime;
  const char* format;
  // Refuses the bytes (false) or points them at a trimmed copy in storage;
  // none for a format whose reader spends only on pixels.
  bool (*prepare)(std::string_view& data, std::string& storage);
};

constexpr ReaderFormat kReaders[] = {{"image/jpeg", "JPEG", PrepareJpeg},
                                     {"image/gif", "GIF", nullptr},
                                     {"image/png", "PNG", PreparePng},
                                     {"image/bmp", "BMP", nullptr}};

const ReaderFormat* ReaderFor(std::string_view mime) {
  for (const ReaderFormat& reader : kReaders)
    if (reader.mime == mime) return &reader;
  return nullptr;
}

}  // namespace

std::unique_ptr<QImage> LoadGraphicFromStream(std::string_view data, std::string_view /*contentType*/) {
  try {
    const ReaderFormat* reader = ReaderFor(GetImageMimeType(data.substr(0, 4)));
    if (!reader) return nullptr;
    std::string storage;
    if (reader->prepare && !reader->prepare(data, storage)) return nullptr;
    if (data.size() > static_cast<size_t>(INT_MAX)) return nullptr;
    QByteArray bytes = QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader image(&buffer, reader->format);
    const QSize size = image.size();  // the header only
    if (int64_t{size.width()} * size.height() > kMaxPicturePixels) return nullptr;
    auto picture = std::make_unique<QImage>(image.read());
    if (picture->isNull()) return nullptr;
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
