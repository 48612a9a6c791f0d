// Limits of the core layer, in one place.
#pragma once

#include <cstdint>

// A message file holds one message with at most one attachment, written as
// hexadecimal: a bigger file is not a message of ours, and reading it whole
// (the parsed tree and the decoded attachment come on top) must not exhaust
// memory.
inline constexpr uint64_t kMaxMessageFileSize = 64ull << 20;

// How long a statement waits for a lock another connection holds before it
// fails with "database is locked": a backup tool or a second copy of the
// program holds one for moments, and a user would rather wait that long
// than lose a message's history row; a lock held longer than this is stuck
// and is better reported than waited on.
inline constexpr int kDatabaseBusyTimeoutMs = 5000;
