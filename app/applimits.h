// Limits of the application layer, in one place.
#pragma once

#include <cstddef>
#include <cstdint>

// A saved window or pane extent above this is no size a screen shows; a
// Placemnt.ini edited by hand or damaged must not make a window that large.
inline constexpr int kMaxSavedWindowExtent = 100000;

// How often a window hidden to the tray looks whether the tray is still
// there: a panel that quits or crashes takes the only way back with it, and
// the window is then shown again within this time.
inline constexpr int kTrayWatchIntervalMs = 1000;

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

// An update description is a few hundred bytes of XML. A captive portal or a
// misconfigured server may answer with anything, so more than this is not
// read and the check fails.
inline constexpr std::size_t kMaxUpdateDescriptionSize = 1u << 20;
// Update requests, like gate requests, give up on a server that cannot be
// reached in this time or that sends nothing for this long: a check running
// in the background must end. (The gate-list file itself is a long transfer,
// bounded by its pace below.)
inline constexpr long kUpdateConnectTimeoutMs = 30000;
inline constexpr long kUpdateStallTimeoutSec = 60;
// Redirects a download follows in a row (mirrors of an update server).
inline constexpr int kMaxUpdateRedirects = 10;
// A file name taken from a download address longer than this keeps its end
// (where the extension is): file systems refuse longer names.
inline constexpr std::size_t kMaxDownloadFileName = 200;

// The feedback form and its log archive go out at once; a server that does
// not take them in this time is taken as down.
inline constexpr long kFeedbackConnectTimeoutMs = 30000;

// The gate-list download and the feedback upload with its log archive can
// be tens of megabytes on a slow link, where any overall time limit would
// make them impossible below some speed. They have none; they end when they
// stall instead, moving fewer than this many bytes a second for this long.
// Their size caps and the user's cancel still apply.
inline constexpr long kLongTransferBytesPerSec = 1024;
inline constexpr long kLongTransferStallSec = 60;

// An older version's phone book is a text file of a few hundred lines; one
// larger than this is no phone book and is not read into memory.
inline constexpr std::uint64_t kMaxOldPhoneBookSize = 16 * 1024 * 1024;

// An attachment is read whole into memory and sent in one request; gates
// take far less (their MaxMultimediaSize), and a file larger than this is no
// message picture or sound but a mistaken choice that would only fill memory.
inline constexpr int64_t kMaxAttachmentSize = 16 * 1024 * 1024;

// The message memo wraps its lines at word ends, and lays out a run of
// characters without a blank once more for every line the run spans: the
// cost grows with the square of the run, 150 ms a keystroke at the longest
// message text. A run longer than this, which no word is, makes the memo
// break its lines anywhere, which lays each run out once.
inline constexpr int kMaxWordWrapRun = 1000;
