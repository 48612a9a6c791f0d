// Tables from curl's outcomes to Winsock-style socket error numbers.
#include "sockerrors.h"

#include <curl/curl.h>

#include <cerrno>

namespace {

struct ErrorText {
  int Code;
  const char* Text;
};

constexpr ErrorText kTexts[] = {
    {sockerr::kProxyDenied, "Proxy authentication failed"},
    {sockerr::kInvalidArgument, "Invalid argument"},
    {sockerr::kProtocolNotSupported, "Protocol not supported"},
    {sockerr::kNetworkUnreachable, "Network is unreachable"},
    {sockerr::kConnectionAborted, "Connection aborted"},
    {sockerr::kConnectionReset, "Connection reset by peer"},
    {sockerr::kNoBuffer, "No buffer space available"},
    {sockerr::kTimedOut, "Connection timed out"},
    {sockerr::kConnectionRefused, "Connection refused"},
    {sockerr::kHostUnreachable, "No route to host"},
    {sockerr::kHostNotFound, "Host not found"},
    {sockerr::kTlsNotTrusted, "TLS certificate not trusted"},
    {sockerr::kTlsHandshake, "TLS handshake failed"},
};

// One curl result, optionally narrowed by the system's errno (0: any errno);
// the first matching row wins.
struct CurlRow {
  CURLcode Result;
  int OsErrno;
  int Code;
};

constexpr CurlRow kCurlRows[] = {
    {CURLE_COULDNT_RESOLVE_HOST, 0, sockerr::kHostNotFound},
    {CURLE_COULDNT_RESOLVE_PROXY, 0, sockerr::kHostNotFound},
    {CURLE_COULDNT_CONNECT, ETIMEDOUT, sockerr::kTimedOut},
    {CURLE_COULDNT_CONNECT, EHOSTUNREACH, sockerr::kHostUnreachable},
    {CURLE_COULDNT_CONNECT, ENETUNREACH, sockerr::kNetworkUnreachable},
    {CURLE_COULDNT_CONNECT, 0, sockerr::kConnectionRefused},
    {CURLE_OPERATION_TIMEDOUT, 0, sockerr::kTimedOut},
    // The peer went away after the request: a reset, an early close inside
    // the body, or a close before any answer.
    {CURLE_RECV_ERROR, ECONNRESET, sockerr::kConnectionReset},
    {CURLE_SEND_ERROR, ECONNRESET, sockerr::kConnectionReset},
    {CURLE_SEND_ERROR, EPIPE, sockerr::kConnectionReset},
    {CURLE_PARTIAL_FILE, 0, sockerr::kConnectionReset},
    {CURLE_GOT_NOTHING, 0, sockerr::kConnectionReset},
    {CURLE_PEER_FAILED_VERIFICATION, 0, sockerr::kTlsNotTrusted},
    {CURLE_SSL_CACERT_BADFILE, 0, sockerr::kTlsNotTrusted},
    {CURLE_SSL_ISSUER_ERROR, 0, sockerr::kTlsNotTrusted},
    {CURLE_SSL_INVALIDCERTSTATUS, 0, sockerr::kTlsNotTrusted},
    {CURLE_SSL_PINNEDPUBKEYNOTMATCH, 0, sockerr::kTlsNotTrusted},
    {CURLE_SSL_CONNECT_ERROR, 0, sockerr::kTlsHandshake},
    {CURLE_SSL_CERTPROBLEM, 0, sockerr::kTlsHandshake},
    {CURLE_SSL_CIPHER, 0, sockerr::kTlsHandshake},
    {CURLE_SSL_CLIENTCERT, 0, sockerr::kTlsHandshake},
    {CURLE_SSL_ENGINE_NOTFOUND, 0, sockerr::kTlsHandshake},
    {CURLE_SSL_ENGINE_SETFAILED, 0, sockerr::kTlsHandshake},
    {CURLE_SSL_ENGINE_INITFAILED, 0, sockerr::kTlsHandshake},
    {CURLE_WRITE_ERROR, 0, sockerr::kNoBuffer},
    {CURLE_OUT_OF_MEMORY, 0, sockerr::kNoBuffer},
    {CURLE_ABORTED_BY_CALLBACK, 0, sockerr::kConnectionAborted},
    {CURLE_URL_MALFORMAT, 0, sockerr::kInvalidArgument},
    {CURLE_UNSUPPORTED_PROTOCOL, 0, sockerr::kProtocolNotSupported},
};

struct ProxyRow {
  CURLproxycode Error;
  int Code;
};

// SOCKS failures; an unlisted one means the proxy would not connect us.
constexpr ProxyRow kProxyRows[] = {
    {CURLPX_USER_REJECTED, sockerr::kProxyDenied},
    {CURLPX_NO_AUTH, sockerr::kProxyDenied},
    {CURLPX_RECV_AUTH, sockerr::kProxyDenied},
    {CURLPX_REPLY_NOT_ALLOWED, sockerr::kProxyDenied},
    {CURLPX_RESOLVE_HOST, sockerr::kHostNotFound},
    {CURLPX_REPLY_HOST_UNREACHABLE, sockerr::kHostUnreachable},
    {CURLPX_REPLY_NETWORK_UNREACHABLE, sockerr::kNetworkUnreachable},
    {CURLPX_REPLY_TTL_EXPIRED, sockerr::kTimedOut},
};

int FromProxyError(long error) {
  for (const ProxyRow& row : kProxyRows)
    if (row.Error == error) return row.Code;
  return sockerr::kConnectionRefused;
}

// The proxy answered CONNECT with something other than 2xx.
int FromConnectCode(long code) {
  return code == 401 || code == 407 ? sockerr::kProxyDenied : sockerr::kConnectionRefused;
}

}  // namespace

std::string SockErrorText(int code) {
  if (code == sockerr::kNone) return {};
  for (const ErrorText& row : kTexts)
    if (row.Code == code) return row.Text;
  return "Socket error";
}

int SockErrorFromCurl(const TCurlOutcome& outcome) {
  if (outcome.Result == CURLE_OK) return sockerr::kNone;
  if (outcome.Result == CURLE_PROXY) return FromProxyError(outcome.ProxyError);
  if (outcome.ConnectCode != 0 && outcome.ConnectCode / 100 != 2) return FromConnectCode(outcome.ConnectCode);
  for (const CurlRow& row : kCurlRows)
    if (row.Result == outcome.Result && (row.OsErrno == 0 || row.OsErrno == outcome.OsErrno)) return row.Code;
  return sockerr::kConnectionAborted;
}
