// MIME types of MMS attachments and captcha pictures, by file extension and
// by the first bytes of the content.
#pragma once

#include <string>
#include <string_view>

// The MIME type of a file extension written with its dot (".jpg"), case
// ignored; empty for an extension the program does not send.
std::string GetMimeTypeByExt(std::string_view ext);

// "image/jpeg", "image/gif", "image/png" or "image/bmp" as the first four
// bytes of a picture say; empty for anything else or fewer than four bytes.
std::string GetImageMimeType(std::string_view header);
