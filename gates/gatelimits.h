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
// One send's log (Send\LogSend) holds every request and answer, bodies
// included. A redirect loop of large answers, or a script that requests
// page after page, would otherwise fill the disk; the folder keeps only the
// last send, so this bounds it as a whole. Past the cap a file is cut with a
// line that says so and nothing more of the send is written; the archive
// above takes no file larger than kMaxZipFileSize anyway.
inline constexpr uint64_t kMaxSendLogSize = 32ull << 20;
// Each log file counts at least this much against that cap, since the disk
// gives it a block however small it is: many tiny files are bounded as well.
inline constexpr uint64_t kLogFileBlock = 4096;

// Gate import. A real gate list is a few megabytes of XML; the cap leaves a
// wide margin and still keeps a hostile or broken file (or a small gzip
// stream that inflates without end) from taking the machine's memory at
// start-up, where ImportGate.xml is read every time.
inline constexpr std::size_t kMaxGateXmlSize = std::size_t{64} << 20;
// Inflating reads the compressed file in pieces of this size and grows its
// output by as much, so the cap is checked long before it could be passed.
inline constexpr std::size_t kGzipChunkSize = std::size_t{256} << 10;
// Gates of one package. Each gate is a transaction of its own, committed to
// disk on the main thread, so a package imports at about a thousand gates a
// second; real lists hold a few hundred, and one of a million would freeze
// the program for a quarter of an hour.
inline constexpr std::size_t kMaxPackageGates = 10000;
// Prefix ranges and parameters of one import, each a row of its own at some
// ten microseconds: fifty for each of the gates a package may hold.
inline constexpr std::size_t kMaxImportRows = 500000;
// A gate's name is written again into every prefix and parameter row of
// the gate; real names are a word or two.
inline constexpr std::size_t kMaxGateNameLength = 255;
// Attributes of one XML element. The parser checks each attribute of a tag
// against all those before it, so one tag of a million attributes would
// hold start-up for minutes; a gate's elements carry four at most.
inline constexpr std::size_t kMaxXmlAttributes = 64;
// Namespace declarations in one XML document: the parser looks each prefix
// up through all of them in turn. Gate files declare none or one.
inline constexpr int kMaxXmlNamespaces = 16;
// Elements, attributes, comments and other markup of one XML document. The
// parser builds a node of a few hundred bytes for each, at about a
// microsecond apiece, so a file at the size cap made of nothing but tiny
// elements would take gigabytes and many seconds; a list of ten thousand
// gates, each with its prefixes and parameters, needs about 1.5 million.
inline constexpr std::size_t kMaxXmlNodes = 2000000;

// HTTP client. Gate pages, update files and proxies are outside the program's
// control, so every size and wait a remote party could stretch is bounded.
// A response body held in memory (gate pages, captchas, update descriptions)
// stops growing here: no page a gate needs comes near it, and a hostile
// server cannot make a send exhaust memory.
inline constexpr std::size_t kMaxBodyInMemory = 32u << 20;
// Response header lines of one answer together; curl bounds a single line
// but not how many of them a server sends.
inline constexpr std::size_t kMaxResponseHeaderBytes = 1u << 20;
// A body written to a file rather than held in memory stops here, whether
// the server announces more or only sends it: the only files downloaded are
// gate lists, which the import refuses above kMaxGateXmlSize, plain or
// compressed, so a larger one could only fill the disk.
inline constexpr uint64_t kMaxDownloadSize = kMaxGateXmlSize;
// Cookies, as browsers bound them: a server (or a redirect chain of them)
// that sets thousands must not make every later request carry them all.
// Beyond the count, new names are dropped; a cookie whose name and value
// pass the size is dropped whole.
inline constexpr std::size_t kMaxCookies = 1000;
inline constexpr std::size_t kMaxCookieSize = 4096;
// Connecting (name lookup, proxy and TLS handshakes included) gives up after
// this long, so that an unreachable gate fails instead of hanging the send.
inline constexpr long kConnectTimeoutMs = 30000;
// A transfer that moves fewer than kStallBytesPerSec bytes a second for
// kStallTimeoutSec ends: a stalled server must not hold a send or an update
// for ever. A client that has no overall limit asks for more bytes a second.
inline constexpr long kStallBytesPerSec = 1;
inline constexpr long kStallTimeoutSec = 60;
// One request with its answer and the redirects it follows ends after this
// long, however the server paces it: one that drips a byte now and then
// never trips the stall check, and must not hold a send or an update for
// ever.
inline constexpr long kTransferTimeoutMs = 5 * 60 * 1000;
// Redirects followed in a row before the last answer stands; enough for any
// log-in chain, and the end of a redirect loop.
inline constexpr int kMaxRedirects = 10;
// While a download goes to a file, this much of the body is gathered in
// memory before it is written out.
inline constexpr std::size_t kDownloadChunk = 65536;

// Bitmaps a captcha script may make or be given: 16 megapixels (64 MiB at
// 32 bits a pixel). Captchas are a few hundred pixels wide; a bound this far
// above them only stops a hostile script from taking the machine's memory.
inline constexpr int64_t kMaxBitmapPixels = int64_t{16} << 20;
// Characters one TextOut draws: a label on a captcha is a handful, and the
// text layout must not become the slow part of a send.
inline constexpr std::size_t kMaxTextOutChars = 4096;
// Width and precision of one Format directive in a script: "%20s" pads a
// field, while "%999999999s" would only make the program allocate.
inline constexpr int64_t kMaxFormatWidth = 4096;

// Sending. A cancel does not break into a gate script at once: a script that
// is testing the answer to a form already posted must finish, or a message
// that went out would be booked as never sent. A gate's own scripts take
// milliseconds, so one still running this long after the cancel is a runaway
// and is stopped with "User break".
inline constexpr int kScriptCancelGraceMs = 500;
// The delivery-check waits sleep in slices of this length and look at the
// cancel after each one.
inline constexpr int kWaitSliceMs = 100;
