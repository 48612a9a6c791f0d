// A stream of bytes held in memory with a read/write position: the content
// of an MMS attachment and of the bodies built for gates.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "object.h"

class TMemoryStream : public TObject {
  PX_CLASS(TMemoryStream, TObject)
 public:
  TMemoryStream() = default;
  // A stream holding `bytes`, positioned at its start.
  explicit TMemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}

  // The whole content, whatever the position.
  const std::string& Bytes() const { return bytes_; }
  // Replaces the content and rewinds.
  void SetBytes(std::string bytes);
  int64_t Size() const { return static_cast<int64_t>(bytes_.size()); }
  void Clear() { SetBytes({}); }

  int64_t Position() const { return position_; }
  // Moves the position; it is kept within 0..Size.
  void SetPosition(int64_t position);
  void Rewind() { position_ = 0; }

  // Up to `count` bytes from the position on; the position moves past them.
  std::string Read(int64_t count);
  // Writes `data` at the position, overwriting and extending the content as
  // needed; the position moves past it.
  void Write(std::string_view data);

 private:
  std::string bytes_;
  int64_t position_ = 0;
};
