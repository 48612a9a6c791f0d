// Limits of the gates layer, in one place.
#pragma once

#include <cstdint>

// The send-log archive goes out with a feedback form: one runaway response
// (a video a gate served by mistake) must not make it unsendable, and the
// whole archive must stay small enough to post and to hold in memory.
inline constexpr uint64_t kMaxZipFileSize = 16ull << 20;
inline constexpr uint64_t kMaxZipArchiveSize = 64ull << 20;
// The entry count field of an archive without the 64-bit extension.
inline constexpr int kMaxZipEntries = 0xFFFF;
