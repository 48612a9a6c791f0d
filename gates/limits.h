// Limits of the gates layer, each with the reason it has the value it has.

// This folder is on the include path of everything built on the gates
// layer, so <limits.h> from the C++ library, libxml2 or zlib lands here
// first. The system header is passed on every time, outside the guard:
// the compiler's own limits.h reaches the C library's through a second
// round here, and a guard (or #pragma once) would cut that chain.
#include_next <limits.h>

#if defined(__cplusplus) && !defined(PARLOMIX_GATES_LIMITS_H)
#define PARLOMIX_GATES_LIMITS_H
#include <cstddef>

// Gate import. A real gate list is a few megabytes of XML; the cap leaves a
// wide margin and still keeps a hostile or broken file (or a small gzip
// stream that inflates without end) from taking the machine's memory at
// start-up, where ImportGate.xml is read every time.
inline constexpr std::size_t kMaxGateXmlSize = std::size_t{64} << 20;
// Inflating reads the compressed file in pieces of this size and grows its
// output by as much, so the cap is checked long before it could be passed.
inline constexpr std::size_t kGzipChunkSize = std::size_t{256} << 10;
#endif
