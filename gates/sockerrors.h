// Socket error numbers of the HTTP client. The rest of the program (gate error
// 10, its texts, stored gates that test for them) knows Winsock's numbers, so
// curl's outcomes are told in those numbers and texts; TLS failures and proxy
// refusals, which Winsock has no number for, get numbers of their own.
#pragma once

#include <string>

namespace sockerr {

inline constexpr int kNone = 0;
inline constexpr int kProxyDenied = 10013;       // the proxy refused our credentials
inline constexpr int kInvalidArgument = 10022;   // malformed URL or method
inline constexpr int kProtocolNotSupported = 10043;  // a scheme other than http and https
inline constexpr int kNetworkUnreachable = 10051;
inline constexpr int kConnectionAborted = 10053;  // stopped by the caller, or an unlisted failure
inline constexpr int kConnectionReset = 10054;
inline constexpr int kNoBuffer = 10055;           // body over its cap, or the target file failed
inline constexpr int kTimedOut = 10060;
inline constexpr int kConnectionRefused = 10061;
inline constexpr int kHostUnreachable = 10065;
inline constexpr int kHostNotFound = 11001;
inline constexpr int kTlsNotTrusted = 12045;      // the server's certificate did not verify
inline constexpr int kTlsHandshake = 12157;       // any other TLS failure

}  // namespace sockerr

// The description of a socket error number; empty for 0, a generic text for a
// number of no known row.
std::string SockErrorText(int code);

// What curl reported about a failed transfer: its result, CURLINFO_OS_ERRNO,
// CURLINFO_HTTP_CONNECTCODE (the proxy's answer to CONNECT, 0 when none) and
// CURLINFO_PROXY_ERROR (the SOCKS failure, 0 when none).
struct TCurlOutcome {
  int Result = 0;
  long OsErrno = 0;
  long ConnectCode = 0;
  long ProxyError = 0;
};

// The socket error number of a curl outcome; 0 for success. A failure of no
// known row gives kConnectionAborted, never kConnectionReset, so that an
// unknown failure is never taken for the tolerated reset after an answer.
int SockErrorFromCurl(const TCurlOutcome& outcome);
