// Limits of the application layer, in one place.
#pragma once

#include <cstddef>
#include <cstdint>

// A saved window or pane extent above this is no size a screen shows; a
// Placemnt.ini edited by hand or damaged must not make a window that large.
inline constexpr int kMaxSavedWindowExtent = 100000;

// A second copy hands its command line to the running one; a message larger
// than this is no command line of ours and is dropped unread.
inline constexpr std::size_t kMaxInstanceMessageSize = 64 * 1024;
// How long a second copy tries to reach the running one before it starts on
// its own: the running copy may be between taking its lock and listening.
inline constexpr int kInstanceConnectTimeoutMs = 3000;
// How long the running copy waits for a connected copy's whole message.
inline constexpr int kInstanceReadTimeoutMs = 2000;

// The weekly statistics upload is a few lines; a server that does not answer
// in this time is taken as down, and the next start tries again.
inline constexpr int kStatsUploadTimeoutMs = 30000;

// An attachment is read whole into memory and sent in one request; gates
// take far less (their MaxMultimediaSize), and a file larger than this is no
// message picture or sound but a mistaken choice that would only fill memory.
inline constexpr int64_t kMaxAttachmentSize = 16 * 1024 * 1024;
