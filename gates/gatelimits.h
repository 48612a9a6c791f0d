// Limits of the gates layer, in one place.
#pragma once

#include <cstddef>
#include <cstdint>

// The send-log archive goes out with a feedback form: one runaway response
// (a video a gate served by mistake) must not make it unsendable, and the
// whole archive must stay small enough to post and to hold in memory.
inline constexpr uint64_t kMaxZipFileSize = 16ull << 20;
inline constexpr uint64_t kMaxZipArchiveSize = 64ull << 20;
// The entry count field of an archive without the 64-bit extension.
inline constexpr int kMaxZipEntries = 0xFFFF;

// Bitmaps a captcha script may make or be given: 16 megapixels (64 MiB at
// 32 bits a pixel). Captchas are a few hundred pixels wide; a bound this far
// above them only stops a hostile script from taking the machine's memory.
inline constexpr int64_t kMaxBitmapPixels = int64_t{16} << 20;
// Characters one TextOut draws: a label on a captcha is a handful, and the
// text layout must not become the slow part of a send.
inline constexpr size_t kMaxTextOutChars = 4096;
// Width and precision of one Format directive in a script: "%20s" pads a
// field, while "%999999999s" would only make the program allocate.
inline constexpr int64_t kMaxFormatWidth = 4096;
