// The system's own proxy setting, behind the option value "IE". On Linux the
// setting is the environment of the program: http_proxy (or HTTP_PROXY) names
// the proxy, no_proxy (or NO_PROXY) the hosts reached directly.
#pragma once

#include <string>
#include <string_view>

struct TProxySetting {
  std::string Host;
  std::string Port;
  std::string Bypass;  // hosts that go direct, in curl's no_proxy form
};

// Host and port from a proxy text of the form "host:port" or
// "http=host:port ftp=host:port": blanks become commas, the text is split at
// the commas, the first entry that starts with protocol + "=" (in any case)
// gives the text after its "=", else the last entry without "=" does; the
// host is what precedes its first ":", the port what follows, both trimmed.
// Nothing found gives an empty host and port.
TProxySetting ParseProxyText(std::string_view text, std::string_view protocol);

// The proxy text of an environment value: a leading "scheme://", a
// "user:password@" part and anything from the first "/" after the host are
// dropped ("http://u:p@proxy:3128/" gives "proxy:3128").
std::string ProxyTextOfURL(std::string_view value);

// The system's proxy for plain HTTP: empty when http_proxy and HTTP_PROXY are
// both unset or empty, so that the client connects directly.
TProxySetting GetSystemProxy();
