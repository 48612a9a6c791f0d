// Limits of the core layer, in one place.
#pragma once

#include <cstddef>
#include <cstdint>

// A message file holds one message with at most one attachment, written as
// hexadecimal: a bigger file is not a message of ours, and reading it whole
// (the parsed tree and the decoded attachment come on top) must not exhaust
// memory.
inline constexpr uint64_t kMaxMessageFileSize = 64ull << 20;

// An ini file (options, window placements, a transliteration table) is a
// few kilobytes; one of hundreds of thousands of keys still fits. A larger
// one is no file of ours, and is not read into memory at start-up.
inline constexpr uint64_t kMaxIniFileSize = 16ull << 20;

// How long a statement waits for a lock another connection holds before it
// fails with "database is locked": a backup tool or a second copy of the
// program holds one for moments, and a user would rather wait that long
// than lose a message's history row; a lock held longer than this is stuck
// and is better reported than waited on.
inline constexpr int kDatabaseBusyTimeoutMs = 5000;

// The longest text of a message, in characters, each line break counting
// one as the composer holds it. A real SMS is a few hundred characters and
// an MMS text a few thousand, so this is far above any of them; it bounds
// what the composer must lay out and count on every keystroke, and a
// message file with a longer text (the message's or any other) is taken as
// damaged.
inline constexpr size_t kMaxMessageText = 65536;

// Pictures: captchas from gate servers, MMS attachments and the pictures in
// message files, all decoded by QtGui's readers. The pixels of one picture:
// what those readers allow by default (128 MiB at four bytes a pixel,
// whatever the file holds), fixed here because the environment can lift
// their limit, and a captcha is copied at four bytes a pixel once more.
// Captchas are a few hundred pixels across, a camera's photo a dozen
// megapixels.
inline constexpr int64_t kMaxPicturePixels = int64_t{32} << 20;
// The scans of one JPEG. A progressive JPEG as encoders write it has ten
// (eighteen for a CMYK one); the decoder passes over all of a picture's
// blocks once per scan, some 25 ms a scan at kMaxPicturePixels, so this
// keeps any JPEG it accepts within about a second of decoding, while a file
// of thousands of near-empty scans would take minutes.
inline constexpr size_t kMaxJpegScans = 32;
