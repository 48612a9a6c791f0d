// The HTTP client over one reused curl handle. curl's own helpers (cookie
// engine, redirect following, content decoding, default request headers) stay
// off: the request lines, the cookie list and the redirects are the client's.
#include "httpsend.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <mutex>
#include <ostream>
#include <string_view>
#include <vector>

#include "cp1251.h"
#include "exceptions.h"
#include "gatelimits.h"
#include "httpcookies.h"
#include "httplogger.h"
#include "httpurl.h"
#include "options.h"
#include "sockerrors.h"
#include "strfuncs.h"
#include "systemproxy.h"

namespace {

// The default request headers of a browser-like request, in order.
constexpr const char* kDefaultHeaders[] = {
    "Accept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5",
    "Accept-Language: ru-ru,ru;q=0.8,en-us;q=0.5,en;q=0.3",
    "Accept-Charset: windows-1251,utf-8;q=0.7,*;q=0.7",
    "Pragma: no-cache",
    "Cache-Control: no-cache",
};

// Headers curl would add by itself; an empty "Name:" line tells it not to.
// Host and User-Agent never need one: the client always sends its own.
constexpr const char* kAlwaysSuppressed[] = {"Accept:", "Authorization:", "Proxy-Connection:"};

struct SocksMode {
  const char* Name;
  TSocksType Socks;
};

constexpr SocksMode kSocksModes[] = {{"SOCKS4", TSocksType::Socks4}, {"SOCKS5", TSocksType::Socks5}};

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
  }
  return out;
}

// A header line as curl gets it: CR, LF and NUL become blanks, so that text
// from scripts and options cannot start a line of its own; a line whose value
// is empty takes curl's "Name;" form, which curl sends as "Name:" instead of
// dropping it.
std::string WireLine(std::string line) {
  for (char& c : line)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  size_t colon = line.find(':');
  if (colon != std::string::npos && strfuncs::Trim(std::string_view(line).substr(colon + 1)).empty()) {
    line.resize(colon);
    line += ';';
  }
  return line;
}

long PortNumber(std::string_view text) {
  long port = 0;
  for (char c : strfuncs::Trim(text)) {
    if (!cp1251::IsDigit(c) || port > 65535) return 0;
    port = port * 10 + (c - '0');
  }
  return port <= 65535 ? port : 0;
}

std::string UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, flags) != CURLUE_OK) return {};
  std::string out = text ? text : "";
  curl_free(text);
  return out;
}

// True when a header line is of that name (any case).
bool SameName(std::string_view line, std::string_view name) {
  size_t colon = line.find(':');
  return colon != std::string_view::npos && cp1251::SameText(strfuncs::Trim(line.substr(0, colon)), name);
}

struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

std::atomic<bool> quitting{false};

}  // namespace

void SetHTTPQuitting(bool on) { quitting.store(on); }

bool HTTPQuitting() { return quitting.load(std::memory_order_relaxed); }

bool TakeHeaderLine(std::vector<std::string>& headers, std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.starts_with("HTTP/")) {
    headers.clear();
    return true;
  }
  if (!line.empty()) headers.emplace_back(line);
  return false;
}

void TakeAnswerHeaders(const std::vector<std::string>& headers, std::string& mimeType,
                       httpcookies::TCookieList& cookies) {
  mimeType = HeaderValue(headers, "Content-Type");
  for (const std::string& line : headers)
    if (SameName(line, "Set-Cookie"))
      httpcookies::ApplySetCookie(cookies, std::string_view(line).substr(line.find(':') + 1));
}

std::string RedirectTarget(const std::vector<std::string>& headers, std::string_view current) {
  std::string location = HeaderValue(headers, "Location");
  return location.empty() ? std::string() : ResolveRelativeURL(current, location);
}

std::string HeaderValue(const std::vector<std::string>& headers, std::string_view name) {
  for (const std::string& line : headers)
    if (SameName(line, name)) return std::string(strfuncs::Trim(std::string_view(line).substr(line.find(':') + 1)));
  return {};
}

bool IsValidMethod(std::string_view method) {
  if (method.empty()) return false;
  for (char c : method)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  return true;
}

void InitHTTPLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::signal(SIGPIPE, SIG_IGN);
    curl_global_init(CURL_GLOBAL_DEFAULT);
  });
}

// The curl handle and what one request needs while it runs.
struct TMyHTTPSend::Transfer {
  CURL* curl = nullptr;
  CURLU* url = nullptr;
  std::unique_ptr<curl_slist, SlistDeleter> lines;
  std::string body;           // the request body while it is sent
  std::string defaultCAInfo;  // the system store, for CAFile set back to empty
  char errorBuffer[CURL_ERROR_SIZE] = {};
  size_t headerBytes = 0;
  uint64_t bodyBytes = 0;
  bool sawStatus = false;
  bool overflow = false;  // body over its cap, headers over theirs, or the target stream failed
  bool stopped = false;
  curl_off_t lastTotal = -1, lastNow = -1;

  ~Transfer() {
    lines.reset();
    curl_url_cleanup(url);
    curl_easy_cleanup(curl);
  }

  // The sockets curl has open, so that a stop from another thread can shut
  // them down: curl looks at its progress callback only about once a second
  // while a server is silent. Guarded by socketLock, which also keeps a
  // socket from being closed (and its number reused) during a shutdown.
  std::mutex socketLock;
  std::vector<curl_socket_t> sockets;

  // curl's callbacks; `user` is the transfer for the socket ones, else the
  // client.
  static curl_socket_t OnOpenSocket(void* user, curlsocktype purpose, curl_sockaddr* address);
  static int OnCloseSocket(void* user, curl_socket_t socket);
  static size_t OnHeader(char* data, size_t size, size_t count, void* user);
  static size_t OnBody(char* data, size_t size, size_t count, void* user);
  static int OnProgress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t);
};

curl_socket_t TMyHTTPSend::Transfer::OnOpenSocket(void* user, curlsocktype, curl_sockaddr* address) {
  Transfer& t = *static_cast<Transfer*>(user);
  curl_socket_t socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  if (socket == CURL_SOCKET_BAD) return socket;
  std::lock_guard guard(t.socketLock);
  t.sockets.push_back(socket);
  return socket;
}

int TMyHTTPSend::Transfer::OnCloseSocket(void* user, curl_socket_t socket) {
  Transfer& t = *static_cast<Transfer*>(user);
  std::lock_guard guard(t.socketLock);
  std::erase(t.sockets, socket);
  return ::close(socket);
}

// The final answer's header lines: a status line starts a new block, so that
// interim 1xx answers leave nothing behind.
size_t TMyHTTPSend::Transfer::OnHeader(char* data, size_t size, size_t count, void* user) {
  TMyHTTPSend& client = *static_cast<TMyHTTPSend*>(user);
  Transfer& t = *client.transfer_;
  size_t length = size * count;
  t.headerBytes += length;
  if (t.headerBytes > kMaxResponseHeaderBytes) {
    t.overflow = true;
    return 0;
  }
  if (TakeHeaderLine(client.Headers, std::string_view(data, length))) {
    t.sawStatus = true;
    t.bodyBytes = 0;
  }
  return length;
}

size_t TMyHTTPSend::Transfer::OnBody(char* data, size_t size, size_t count, void* user) {
  TMyHTTPSend& client = *static_cast<TMyHTTPSend*>(user);
  Transfer& t = *client.transfer_;
  size_t length = size * count;
  std::string& held = client.Document;
  if (!client.OutputStream) {
    if (held.size() + length > kMaxBodyInMemory) {
      t.overflow = true;
      return 0;
    }
    held.append(data, length);
    return length;
  }
  // A body too large for its file is refused at its first byte when the
  // answer says so, else when it gets there.
  curl_off_t announced = -1;
  if (t.bodyBytes == 0 && curl_easy_getinfo(t.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
      announced > 0 && static_cast<uint64_t>(announced) > client.MaxDownloadSize) {
    t.overflow = true;
    return 0;
  }
  t.bodyBytes += length;
  if (t.bodyBytes > client.MaxDownloadSize) {
    t.overflow = true;
    return 0;
  }
  held.append(data, length);
  if (held.size() <= kDownloadChunk) return length;
  client.OutputStream->write(held.data(), static_cast<std::streamsize>(held.size()));
  held.clear();
  if (*client.OutputStream) return length;
  t.overflow = true;
  return 0;
}

// Called by curl at least once a second and after every piece of data, so a
// stop takes effect at once, also while the server sends nothing.
int TMyHTTPSend::Transfer::OnProgress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
  TMyHTTPSend& client = *static_cast<TMyHTTPSend*>(user);
  Transfer& t = *client.transfer_;
  if (HTTPQuitting() || (client.stop_.load(std::memory_order_relaxed) && client.stop_.exchange(false))) {
    t.stopped = true;
    return 1;
  }
  if (client.OnProgress && (total != t.lastTotal || now != t.lastNow)) {
    t.lastTotal = total;
    t.lastNow = now;
    client.OnProgress(total, now);
  }
  return 0;
}

void TMyHTTPSend::Stop() {
  stop_.store(true);
  Transfer& t = *transfer_;
  std::lock_guard guard(t.socketLock);
  for (curl_socket_t socket : t.sockets) ::shutdown(socket, SHUT_RDWR);
}

TMyHTTPSend::TMyHTTPSend()
    : ConnectTimeoutMs(kConnectTimeoutMs),
      StallBytesPerSec(kStallBytesPerSec),
      StallTimeoutSec(kStallTimeoutSec),
      TransferTimeoutMs(kTransferTimeoutMs),
      MaxDownloadSize(kMaxDownloadSize),
      transfer_(std::make_unique<Transfer>()) {
  InitHTTPLibrary();
  Transfer& t = *transfer_;
  t.curl = curl_easy_init();
  t.url = curl_url();
  if (!t.curl || !t.url) throw Exception("Cannot create an HTTP client");
  CURL* c = t.curl;
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CURLU, t.url);
  curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &Transfer::OnOpenSocket);
  curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, &t);
  curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, &Transfer::OnCloseSocket);
  curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, &t);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, t.errorBuffer);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(c, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(c, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(c, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(c, CURLOPT_HEADEROPT, CURLHEADER_SEPARATE);
  curl_easy_setopt(c, CURLOPT_PROXYAUTH, CURLAUTH_BASIC);
  // A stop during a name lookup that hangs leaves its resolver thread to
  // end by itself instead of waiting for it: the program may be quitting.
  curl_easy_setopt(c, CURLOPT_QUICK_EXIT, 1L);
  char* caInfo = nullptr;
  if (curl_easy_getinfo(c, CURLINFO_CAINFO, &caInfo) == CURLE_OK && caInfo) t.defaultCAInfo = caInfo;
  ApplyProxy();
}

TMyHTTPSend::~TMyHTTPSend() = default;

void TMyHTTPSend::Clear() {
  Document.clear();
  Headers.clear();
  MimeType = "text/html";
}

void TMyHTTPSend::ResetHeaders() {
  Clear();
  Headers.assign(std::begin(kDefaultHeaders), std::end(kDefaultHeaders));
}

void TMyHTTPSend::ApplyProxy() {
  ProxyHost.clear();
  ProxyPort.clear();
  ProxyUser.clear();
  ProxyPass.clear();
  ProxyBypass.clear();
  SocksType = TSocksType::None;
  SocksIP.clear();
  SocksPort.clear();
  SocksUsername.clear();
  SocksPassword.clear();
  if (!Options) return;
  std::string mode = Options->ReadString("Network\\Proxy");
  bool auth = Options->ReadBool("Network\\ProxyAuth");
  if (cp1251::SameText(mode, "IE")) {
    TProxySetting system = GetSystemProxy();
    ProxyHost = system.Host;
    ProxyPort = system.Port;
    ProxyBypass = system.Bypass;
    return;
  }
  if (cp1251::SameText(mode, "HTTP")) {
    ProxyHost = Options->ReadString("Network\\ProxyHost");
    ProxyPort = Options->ReadString("Network\\ProxyPort");
    if (!auth) return;
    ProxyUser = Options->ReadString("Network\\ProxyName");
    ProxyPass = Options->ReadString("Network\\ProxyPass");
    return;
  }
  for (const SocksMode& socks : kSocksModes) {
    if (!cp1251::SameText(mode, socks.Name)) continue;
    SocksType = socks.Socks;
    SocksIP = Options->ReadString("Network\\ProxyHost");
    SocksPort = Options->ReadString("Network\\ProxyPort");
    if (!auth) return;
    SocksUsername = Options->ReadString("Network\\ProxyName");
    SocksPassword = Options->ReadString("Network\\ProxyPass");
  }
}

void TMyHTTPSend::Fail(int code, const std::string& detail) {
  lastError_ = code;
  lastErrorDesc_ = SockErrorText(code);
  if (!detail.empty()) lastErrorDesc_ += " (" + detail + ")";
}

void TMyHTTPSend::SafeLog(const std::string& method, bool answer) {
  if (!Logger) return;
  // A POST already sent must not turn into a failure (and invite a second
  // send) because its log could not be written.
  try {
    Logger->LogRequest(*this, method, answer);
  } catch (const std::exception& e) {
    std::cerr << "HTTP log not written: " << e.what() << std::endl;
  }
}

bool TMyHTTPSend::Refuse(int code) {
  ResultCode = 500;
  DownloadSize = 0;
  Headers.clear();
  Document.clear();
  Fail(code);
  return false;
}

bool TMyHTTPSend::HTTPMethod(const std::string& method, const std::string& url, bool keepEscapes) {
  deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(TransferTimeoutMs);
  bool ok = RequestLogged(method, url, keepEscapes);
  if (HandleRedirects && ok) ok = FollowRedirects();
  return ok;
}

bool TMyHTTPSend::RequestLogged(const std::string& method, const std::string& url, bool keepEscapes) {
  CurrentURL = EscapeURL(url, keepEscapes);
  // Letters only: a method goes into the request line and into log file names.
  if (!IsValidMethod(method)) return Refuse(sockerr::kInvalidArgument);
  if (HTTPQuitting()) return Refuse(sockerr::kConnectionAborted);
  SafeLog(method, false);
  bool ok = Perform(method);
  if (!ok && lastError_ == sockerr::kConnectionReset) {
    Fail(sockerr::kNone);
    ok = true;
  }
  SafeLog(method, true);
  return ok;
}

bool TMyHTTPSend::FollowRedirects() {
  bool result = true;
  for (int step = 0; step < kMaxRedirects && ResultCode >= 300 && ResultCode <= 399; ++step) {
    std::string target = RedirectTarget(Headers, CurrentURL);
    if (target.empty()) continue;
    ResetHeaders();
    result = RequestLogged("GET", target, true);
  }
  return result;
}

bool TMyHTTPSend::Perform(const std::string& method) {
  Transfer& t = *transfer_;
  CURL* c = t.curl;
  // An address without a scheme is a plain HTTP one, as browsers and the
  // gates written for them take it (curl's own default would be TLS).
  const std::string address = IsAbsoluteURL(CurrentURL) ? CurrentURL : "http://" + CurrentURL;
  if (curl_url_set(t.url, CURLUPART_URL, address.c_str(), CURLU_NON_SUPPORT_SCHEME | CURLU_PATH_AS_IS) != CURLUE_OK)
    return Refuse(sockerr::kInvalidArgument);
  std::string scheme = cp1251::LowerCase(UrlPart(t.url, CURLUPART_SCHEME));
  if (scheme != "http" && scheme != "https") return Refuse(sockerr::kProtocolNotSupported);
  std::string host = UrlPart(t.url, CURLUPART_HOST);
  std::string port = UrlPart(t.url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
  // What the request's time has left; a redirect past it is not sent.
  long timeLeftMs = 0;
  if (TransferTimeoutMs > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) return Refuse(sockerr::kTimedOut);
    timeLeftMs = static_cast<long>(left.count());
  }
  Fail(sockerr::kNone);
  ResultCode = 500;
  DownloadSize = 0;
  t.body = std::move(Document);
  Document.clear();

  bool socks = SocksType != TSocksType::None && !SocksIP.empty();
  bool httpProxy = !socks && !ProxyHost.empty();
  // Through an HTTP proxy a plain request carries the proxy's credentials in
  // our own line; a TLS request is tunnelled, and curl authenticates CONNECT.
  bool plainThroughProxy = httpProxy && scheme == "http";
  bool hasBody = !t.body.empty();

  std::vector<std::string> lines;
  lines.push_back("Host: " + host + (port == "80" ? "" : ":" + port));
  if (plainThroughProxy && !ProxyUser.empty())
    lines.push_back("Proxy-Authorization: Basic " + Base64(ProxyUser + ":" + ProxyPass));
  if (!KeepAlive) lines.push_back("Connection: close");
  if (!Cookies.empty()) lines.push_back("Cookie: " + httpcookies::Join(Cookies));
  lines.push_back("User-Agent: " + UserAgent);
  if (hasBody) {
    lines.push_back("Content-Type: " + MimeType);
    lines.push_back("Content-Length: " + std::to_string(t.body.size()));
  }
  lines.insert(lines.end(), Headers.begin(), Headers.end());
  bool expect100 = Status100 && hasBody;
  if (expect100) lines.push_back("Expect: 100-continue");

  curl_slist* list = nullptr;
  auto append = [&list](const std::string& line) {
    curl_slist* grown = curl_slist_append(list, line.c_str());
    if (grown) list = grown;
  };
  for (std::string& line : lines) append(WireLine(std::move(line)));
  for (const char* line : kAlwaysSuppressed) append(line);
  if (!expect100) append("Expect:");
  if (!hasBody) {
    append("Content-Type:");
    append("Content-Length:");
  }
  t.lines.reset(list);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, list);

  curl_easy_setopt(c, CURLOPT_NOBODY, 0L);
  curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, static_cast<char*>(nullptr));
  if (hasBody || method == "POST") {
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t.body.size()));
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, t.body.data());
    if (method != "POST") curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.c_str());
  } else if (method == "HEAD") {
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
  } else {
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    if (method != "GET") curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.c_str());
  }

  // curl never picks a proxy by itself: an empty proxy and an empty bypass
  // list keep it from the environment's.
  const char* noUser = nullptr;
  if (socks) {
    curl_easy_setopt(c, CURLOPT_PROXY, SocksIP.c_str());
    curl_easy_setopt(c, CURLOPT_PROXYPORT, PortNumber(SocksPort));
    curl_easy_setopt(c, CURLOPT_PROXYTYPE,
                     SocksType == TSocksType::Socks4 ? CURLPROXY_SOCKS4A : CURLPROXY_SOCKS5_HOSTNAME);
    curl_easy_setopt(c, CURLOPT_PROXYUSERNAME, SocksUsername.empty() ? noUser : SocksUsername.c_str());
    curl_easy_setopt(c, CURLOPT_PROXYPASSWORD, SocksUsername.empty() ? noUser : SocksPassword.c_str());
  } else {
    bool tunnelUser = httpProxy && !plainThroughProxy && !ProxyUser.empty();
    curl_easy_setopt(c, CURLOPT_PROXY, httpProxy ? ProxyHost.c_str() : "");
    curl_easy_setopt(c, CURLOPT_PROXYPORT, PortNumber(ProxyPort));
    curl_easy_setopt(c, CURLOPT_PROXYTYPE, CURLPROXY_HTTP);
    curl_easy_setopt(c, CURLOPT_PROXYUSERNAME, tunnelUser ? ProxyUser.c_str() : noUser);
    curl_easy_setopt(c, CURLOPT_PROXYPASSWORD, tunnelUser ? ProxyPass.c_str() : noUser);
  }
  curl_easy_setopt(c, CURLOPT_NOPROXY, ProxyBypass.c_str());

  std::string_view protocol = strfuncs::Trim(Protocol);
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION, protocol == "1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(c, CURLOPT_FORBID_REUSE, KeepAlive ? 0L : 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, ConnectTimeoutMs);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, StallBytesPerSec);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, StallTimeoutSec);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, timeLeftMs);
  const std::string& caFile = CAFile.empty() ? t.defaultCAInfo : CAFile;
  curl_easy_setopt(c, CURLOPT_CAINFO, caFile.empty() ? noUser : caFile.c_str());

  Headers.clear();
  t.headerBytes = 0;
  t.bodyBytes = 0;
  t.sawStatus = false;
  t.overflow = false;
  t.stopped = false;
  t.lastTotal = t.lastNow = -1;
  t.errorBuffer[0] = '\0';
  CURLcode result = curl_easy_perform(c);
  // A stop that shut the connection down ends the request before curl asks
  // the progress callback: it is a stop all the same, not a peer's reset.
  if (result != CURLE_OK && stop_.load() && stop_.exchange(false)) t.stopped = true;

  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  ResultCode = status > 0 ? static_cast<int>(status) : 500;
  if (t.sawStatus) TakeAnswerHeaders(Headers, MimeType, Cookies);
  curl_off_t announced = -1;
  curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  DownloadSize = announced > 0 ? announced : 0;
  if (OutputStream && !Document.empty()) {
    OutputStream->write(Document.data(), static_cast<std::streamsize>(Document.size()));
    Document.clear();
    if (!*OutputStream) t.overflow = true;
  }
  std::string().swap(t.body);

  if (result == CURLE_OK && !t.overflow) {
    // A proxy that refuses our credentials answers a plain request itself.
    if (plainThroughProxy && ResultCode == 407) Fail(sockerr::kProxyDenied);
    return lastError_ == 0;
  }
  if (t.overflow) {
    Fail(sockerr::kNoBuffer);
    return false;
  }
  if (t.stopped) {
    Fail(sockerr::kConnectionAborted);
    return false;
  }
  TCurlOutcome outcome;
  outcome.Result = result;
  curl_easy_getinfo(c, CURLINFO_OS_ERRNO, &outcome.OsErrno);
  curl_easy_getinfo(c, CURLINFO_HTTP_CONNECTCODE, &outcome.ConnectCode);
  curl_easy_getinfo(c, CURLINFO_PROXY_ERROR, &outcome.ProxyError);
  int code = SockErrorFromCurl(outcome);
  bool explain = code == sockerr::kTlsNotTrusted || code == sockerr::kTlsHandshake || code == sockerr::kConnectionAborted;
  Fail(code, explain ? std::string(t.errorBuffer[0] ? t.errorBuffer : curl_easy_strerror(result)) : std::string());
  return false;
}
