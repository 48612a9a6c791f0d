// Loading of captcha pictures and MMS images (JPEG, GIF, PNG, BMP). Works
// without a GUI application object, so send steps and tests can use it.
#pragma once

#include <QImage>

#include <memory>
#include <string_view>

// The picture in data, its type taken from its first bytes (contentType is
// accepted for the callers' sake and not used). A PNG's text and colour
// profile are not read, so the picture carries none. Null when the data is
// not a picture of those four types, its body cannot be decoded, it has
// more than kMaxPicturePixels pixels or it is a JPEG of more than
// kMaxJpegScans scans (corelimits.h). Never throws.
std::unique_ptr<QImage> LoadGraphicFromStream(std::string_view data, std::string_view contentType);

// LoadGraphicFromStream made into an opaque 32-bit bitmap; transparent parts
// are laid over white. Null when the data is not a picture. Never throws.
std::unique_ptr<QImage> LoadBitmapFromStream(std::string_view data, std::string_view contentType);
