// MIME type tables.
#include "mime.h"

#include "cp1251.h"

namespace {

struct ExtensionType {
  std::string_view ext, mime;
};

constexpr ExtensionType kByExtension[] = {
    {".jpg", "image/jpeg"}, {".gif", "image/gif"},  {".png", "image/png"}, {".bmp", "image/bmp"},
    {".wav", "audio/x-wav"}, {".mp3", "audio/mpeg"}, {".mid", "audio/mid"}, {".mmf", "application/vnd.smaf"},
};

// A signature: its bytes at an offset into the header.
struct Signature {
  size_t offset;
  std::string_view bytes, mime;
};

// JPEG is recognised by its start-of-image marker and the marker that
// follows, whatever it is: JFIF (E0), Exif (E1) or a bare table (DB...).
constexpr Signature kByContent[] = {
    {0, "\xFF\xD8\xFF", "image/jpeg"},
    {0, "GIF", "image/gif"},
    {1, "PNG", "image/png"},
    {0, "BM", "image/bmp"},
};

}  // namespace

std::string GetMimeTypeByExt(std::string_view ext) {
  for (const ExtensionType& row : kByExtension)
    if (cp1251::SameText(row.ext, ext)) return std::string(row.mime);
  return {};
}

std::string GetImageMimeType(std::string_view header) {
  if (header.size() < 4) return {};
  for (const Signature& sig : kByContent)
    if (header.substr(sig.offset, sig.bytes.size()) == sig.bytes) return std::string(sig.mime);
  return {};
}
