// URL text rules of the HTTP client: escaping a URL before it is sent and
// resolving a redirect target against the URL that answered.
#pragma once

#include <string>
#include <string_view>

// Every byte of the escaping set (0x00-0x20, " % < > [ \ ] ^ { | } ~, the grave
// accent and 0x7F-0xFF) becomes "%" and two upper-case hexadecimal digits.
// With keepEscapes a "%" already followed by two hexadecimal digits stays as
// it is, so that a redirect target is not escaped twice; gate URLs are
// escaped whole, because stored gates rely on their "%" becoming "%25".
std::string EscapeURL(std::string_view url, bool keepEscapes = false);

// True when the text starts with a scheme and "://"
// ([A-Za-z][A-Za-z0-9+.-]*://).
bool IsAbsoluteURL(std::string_view url);

// The URL a redirect target names, seen from base: an absolute target as it
// is; "//host/path" with the base's scheme; "?query" replaces the base's query;
// otherwise the target's segments are applied to the base's folder ("/" from
// the host's root, ".." one folder up, "." skipped). A target ending in "/"
// keeps it. A base without "://" gives the target unchanged, unless the
// target is a "?query".
std::string ResolveRelativeURL(std::string_view base, std::string_view target);
