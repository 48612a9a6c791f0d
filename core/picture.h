// Loading of captcha pictures and MMS images (JPEG, GIF, PNG, BMP). Works
// without a GUI application object, so send steps and tests can use it.
#pragma once

#include <QImage>

#include <memory>
#include <string_view>

// The picture in data, its type taken from its first bytes (contentType is
// accepted for the callers' sake and not used). Null when the data is not a
// picture of those four types or its body cannot be decoded. Never throws.
std::unique_ptr<QImage> LoadGraphicFromStream(std::string_view data, std::string_view contentType);

// LoadGraphicFromStream made into an opaque 32-bit bitmap; transparent parts
// are laid over white. Null when the data is not a picture. Never throws.
std::unique_ptr<QImage> LoadBitmapFromStream(std::string_view data, std::string_view contentType);
