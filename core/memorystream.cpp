#include "memorystream.h"

#include <algorithm>

void TMemoryStream::SetBytes(std::string bytes) {
  bytes_ = std::move(bytes);
  position_ = 0;
}

void TMemoryStream::SetPosition(int64_t position) { position_ = std::clamp<int64_t>(position, 0, Size()); }

std::string TMemoryStream::Read(int64_t count) {
  if (count <= 0) return {};
  std::string out = bytes_.substr(static_cast<size_t>(position_), static_cast<size_t>(count));
  position_ += static_cast<int64_t>(out.size());
  return out;
}

void TMemoryStream::Write(std::string_view data) {
  size_t at = static_cast<size_t>(position_);
  size_t end = at + data.size();
  if (end > bytes_.size()) bytes_.resize(end);
  bytes_.replace(at, data.size(), data);
  position_ = static_cast<int64_t>(end);
}
