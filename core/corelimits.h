// Limits of the core layer, in one place.
#pragma once

#include <cstdint>

// A message file holds one message with at most one attachment, written as
// hexadecimal: a bigger file is not a message of ours, and reading it whole
// (the parsed tree and the decoded attachment come on top) must not exhaust
// memory.
inline constexpr uint64_t kMaxMessageFileSize = 64ull << 20;
