// Compressed gate packages: a gzip stream inflated whole into memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "exceptions.h"

// A gzip stream that cannot be inflated; the text says why, in the user's
// language.
class EGzipError : public Exception {
  PX_CLASS(EGzipError, Exception)
 public:
  using Exception::Exception;
};

// The inflated content of `data`, a gzip stream of one or more members. Each
// member's CRC-32 and length are checked; zero bytes after the last member
// are passed over, as gzip does. A stream that stops before its end, other
// bytes after it that are not another member, and content longer than
// `maxSize` raise EGzipError. The size a member's trailer states is never
// used to size anything.
std::string InflateGzip(std::string_view data, std::size_t maxSize);
