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

// Gate import. A real gate list is a few megabytes of XML; the cap leaves a
// wide margin and still keeps a hostile or broken file (or a small gzip
// stream that inflates without end) from taking the machine's memory at
// start-up, where ImportGate.xml is read every time.
inline constexpr std::size_t kMaxGateXmlSize = std::size_t{64} << 20;
// Inflating reads the compressed file in pieces of this size and grows its
// output by as much, so the cap is checked long before it could be passed.
inline constexpr std::size_t kGzipChunkSize = std::size_t{256} << 10;
