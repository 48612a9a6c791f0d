// POST bodies byte for byte as the operators' forms have always received
// them, header spellings included: text parts say "content-disposition",
// file parts "Content-disposition".
#include "postdata.h"

#include <cstdio>

#include "charset.h"
#include "evalclasses.h"
#include "formencode.h"
#include "random.h"
#include "scriptrun.h"

namespace {

constexpr std::string_view kCRLF = "\r\n";
constexpr std::string_view kTextPartHeader = "content-disposition: form-data; name=\"";
constexpr std::string_view kFilePartHeader = "Content-disposition: form-data; name=\"";

std::string NewBoundary() {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(Random(2147483647)));
  return std::string(digits) + "_Parlomix_boundary";
}

}  // namespace

TPostData::TPostData(bool multiPart, std::string encoding)
    : Encoding(std::move(encoding)), multiPart_(multiPart), boundary_(NewBoundary()) {}

void TPostData::SetMultiPart(bool value) {
  multiPart_ = value;
  Clear();
}

void TPostData::Clear() {
  finished_ = false;
  stream_.Clear();
}

void TPostData::Append(std::string_view bytes) {
  // The body is kept for the script that fills it: its budget pays first.
  ChargeScriptMemory(static_cast<int64_t>(bytes.size()));
  // Always at the end, wherever a reader of GetStream left the position.
  stream_.SetPosition(stream_.Size());
  stream_.Write(bytes);
}

void TPostData::AppendEscaped(std::string_view text, std::string_view charset) {
  ConvertAndEncodeFormElem(text, charset, [this](std::string_view piece) { Append(piece); });
}

void TPostData::AppendPartStart(std::string_view header, std::string_view name) {
  Append("--");
  Append(boundary_);
  Append(kCRLF);
  Append(header);
  AppendEscaped(name, "");
  Append("\"");
}

void TPostData::Add(std::string_view name, std::string_view value) {
  if (!multiPart_) {
    if (stream_.Size() > 0) Append("&");
    AppendEscaped(name, "");
    Append("=");
    AppendEscaped(value, Encoding);
    return;
  }
  AppendPartStart(kTextPartHeader, name);
  Append(kCRLF);
  Append(kCRLF);
  ConvertToEncoding(value, Encoding, [this](std::string_view piece) { Append(piece); });
  Append(kCRLF);
}

void TPostData::AddData(std::string_view name, const TPropList* content) {
  if (!multiPart_) return;
  const std::string fileName = content ? content->GetItemNamed("FileName").AsString() : std::string();
  AppendPartStart(kFilePartHeader, name);
  Append("; filename=\"");
  AppendEscaped(fileName, Encoding);
  Append("\"");
  Append(kCRLF);
  if (!content) {
    Append(kCRLF);
    Append(kCRLF);
    return;
  }
  Append("Content-Type: ");
  Append(content->GetItemNamed("ContentType").AsString());
  Append(kCRLF);
  Append(kCRLF);
  if (const auto* stream = ObjectAs<TMemoryStream>(EntryObject(*content, "Stream"))) Append(stream->Bytes());
  Append(kCRLF);
}

void TPostData::AddRawData(std::string_view bytes) { Append(bytes); }

void TPostData::Finish() {
  if (finished_) return;
  finished_ = true;
  if (!multiPart_) return;
  Append("--");
  Append(boundary_);
  Append("--");
  Append(kCRLF);
}

TMemoryStream& TPostData::GetStream() {
  Finish();
  stream_.Rewind();
  return stream_;
}

std::string TPostData::GetText() {
  Finish();
  stream_.SetPosition(stream_.Size());
  return stream_.Bytes();
}
