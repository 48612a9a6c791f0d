// The program's one HTTP client, over libcurl: every request to a gate, the
// update server, the statistics server and the feedback form goes through it.
// It composes the request lines itself, keeps one flat cookie list, follows
// redirects itself and reports failures as Winsock-style socket errors.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "httpcookies.h"
#include "object.h"

class THTTPLogger;

// curl's process-wide set-up, and SIGPIPE ignored (a peer that goes away must
// not end the program). Call once at start-up before any thread starts; later
// calls do nothing. Every client calls it as well.
void InitHTTPLibrary();

// True when a request method is made of ASCII letters only; nothing else may
// reach the request line or the names of log files.
bool IsValidMethod(std::string_view method);

// The value of the first line "Name: value" of that name (any case) in
// `headers`, trimmed; empty when there is none.
std::string HeaderValue(const std::vector<std::string>& headers, std::string_view name);

// The program is quitting (true): every transfer of the process ends, those
// under way within a second (curl asks their progress callback at least
// that often, also while a server is silent) and later ones before they
// start, all with socket error 10053, so that no thread keeps the program
// waiting on a server. False lets requests run again. Safe from any thread.
void SetHTTPQuitting(bool quitting);
bool HTTPQuitting();

// --- An answer's head, as the client reads it (no socket needed) ---
// Takes one line of an answer's head as curl hands it over, line end
// included: a status line starts the header list anew, so that interim 1xx
// answers leave nothing behind; any other line but the empty one ending the
// head is kept without its line end. True for a status line.
bool TakeHeaderLine(std::vector<std::string>& headers, std::string_view line);
// What the final answer's header lines set: the Content-Type as `mimeType`
// (empty without one) and the cookies of its Set-Cookie lines, in order.
void TakeAnswerHeaders(const std::vector<std::string>& headers, std::string& mimeType,
                       httpcookies::TCookieList& cookies);
// Where a redirect answer sends the client: its Location resolved against
// `current`, the URL that answered; empty when it names no target.
std::string RedirectTarget(const std::vector<std::string>& headers, std::string_view current);

enum class TSocksType { None, Socks4, Socks5 };

// The gate runner's browser profile.
inline constexpr const char* kBrowserUserAgent =
    "Mozilla/5.0 (Windows; U; Windows NT 5.1; ru; rv:1.8.1.11) Gecko/20071127 Firefox/2.0.0.11";

// One client owns one curl handle for its whole life, so that keep-alive
// connections carry over from request to request. A client and its logger are
// used by one thread at a time; only Stop may be called from another thread.
class TMyHTTPSend : public TObject {
  PX_CLASS(TMyHTTPSend, TObject)
 public:
  // A fresh client: protocol "1.0", keep-alive off, MimeType "text/html",
  // HandleRedirects off, empty header and cookie lists; the proxy comes from
  // the options through ApplyProxy.
  TMyHTTPSend();
  // The logger is not freed.
  ~TMyHTTPSend() override;
  TMyHTTPSend(const TMyHTTPSend&) = delete;
  TMyHTTPSend& operator=(const TMyHTTPSend&) = delete;

  // --- The request ---
  // "1.0" or "1.1"; any other text is sent as 1.1.
  std::string Protocol = "1.0";
  std::string UserAgent = "Mozilla/4.0 (compatible; Parlomix)";
  // Off: "Connection: close" is sent and the connection is not reused.
  bool KeepAlive = false;
  // On: a request with a body waits for the server's interim 100 answer.
  bool Status100 = false;
  // Content-Type of the request body; after an answer, the answer's.
  std::string MimeType = "text/html";
  // Lines "Name: value" sent after the client's own lines; after a request,
  // the final answer's header lines (no status line).
  std::vector<std::string> Headers;
  // Lines "name=value", sent as one Cookie header and updated by the answers.
  httpcookies::TCookieList Cookies;
  // The request body before a request, the answer's body after it.
  std::string Document;

  // --- The answer ---
  // The final answer's status; 500 when no status line arrived.
  int ResultCode = 0;
  // The size the answer announced (Content-Length); 0 when it named none.
  int64_t DownloadSize = 0;
  // The socket error number of the last request, 0 after success, and its text.
  int LastError() const { return lastError_; }
  const std::string& LastErrorDesc() const { return lastErrorDesc_; }

  // --- Proxies (set by ApplyProxy; read at every request) ---
  std::string ProxyHost, ProxyPort, ProxyUser, ProxyPass;
  // Hosts that bypass the HTTP proxy (the system setting's list).
  std::string ProxyBypass;
  TSocksType SocksType = TSocksType::None;
  std::string SocksIP, SocksPort, SocksUsername, SocksPassword;

  // --- Connection ---
  // Certificates that verify servers; empty means the system's store.
  std::string CAFile;
  long ConnectTimeoutMs;
  // A transfer slower than StallBytesPerSec for StallTimeoutSec seconds
  // ends with socket error 10060.
  long StallBytesPerSec;
  long StallTimeoutSec;
  // A request with its answer and the redirects it follows; one that takes
  // longer ends with socket error 10060. 0: no limit.
  long TransferTimeoutMs;

  // --- Own fields ---
  // The URL of the request under way as it was sent (escaped); after
  // redirects, the URL that gave the last answer.
  std::string CurrentURL;
  bool HandleRedirects = false;
  // Not owned; set by the owner when sends are logged.
  THTTPLogger* Logger = nullptr;

  // --- Downloads ---
  // Called while an answer arrives with the announced size (0 when unknown)
  // and the body bytes received so far.
  std::function<void(int64_t total, int64_t received)> OnProgress;
  // Not owned. When set, the body goes to this stream in pieces instead of
  // Document, which is empty after the request.
  std::ostream* OutputStream = nullptr;
  // A body for OutputStream larger than this ends the request with socket
  // error 10055: refused before a byte is written when the answer announces
  // more, else once the bytes received pass it (no more than this is written).
  uint64_t MaxDownloadSize;
  // Ends the request under way at once (or the next one, when none runs) with
  // socket error 10053, also one waiting on a server that sends nothing: its
  // connection is shut down. Safe from any thread while the client exists.
  void Stop();

  // Performs one request (and its redirects when HandleRedirects is on):
  // escapes the URL into CurrentURL, logs the request and the answer, and
  // counts a connection reset after the request (10054) as success with
  // whatever arrived. Returns false when a socket error remains; callers judge
  // the outcome by LastError and ResultCode. A method of anything but letters,
  // a malformed URL and a scheme other than http and https fail with 10022 and
  // 10043 without sending anything; an address without a scheme is plain
  // HTTP. With keepEscapes a "%" already followed
  // by two hexadecimal digits is sent as it is, as for a redirect target: an
  // address that comes from a server rather than a gate is escaped already.
  bool HTTPMethod(const std::string& method, const std::string& url, bool keepEscapes = false);

  // Empties Document and Headers and sets MimeType back to "text/html".
  void Clear();
  // Clear, then the five default browser headers. Cookies stay.
  void ResetHeaders();
  // Follows up to 10 redirects in a row from the last answer, each as a GET
  // with the default headers only, within the time left to the HTTPMethod
  // that got that answer. True when no redirect request was made, else the
  // result of the last one.
  bool FollowRedirects();
  // Sets the proxy from the options (Network\Proxy: "IE" the system setting,
  // "HTTP", "SOCKS4", "SOCKS5", anything else a direct connection). The
  // constructor calls it; changes of the options reach later clients only.
  void ApplyProxy();

 private:
  struct Transfer;

  // Steps 1 to 5 of a request: escape, log, send, tolerate a reset, log.
  bool RequestLogged(const std::string& method, const std::string& url, bool keepEscapes);
  bool Perform(const std::string& method);
  // Ends a request that cannot be sent: no answer, socket error `code`.
  bool Refuse(int code);
  void SafeLog(const std::string& method, bool answer);
  void Fail(int code, const std::string& detail = {});

  std::unique_ptr<Transfer> transfer_;
  // When the request under way, redirects included, must have ended.
  std::chrono::steady_clock::time_point deadline_;
  int lastError_ = 0;
  std::string lastErrorDesc_;
  std::atomic<bool> stop_{false};
};
