// The body of a POST request, url-encoded or multipart/form-data, built
// field by field by gate scripts (bound as `PostData`) and by the feedback
// sender. Field values are converted into the charset the receiving site
// expects; names and url-encoded values are escaped with EncodeFormElem.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "memorystream.h"
#include "proplist.h"

class TPostData : public TObject {
  PX_CLASS(TPostData, TObject)
 public:
  // An empty body with a new boundary. `encoding` names the charset field
  // values are converted into ("" leaves them in the program's code page).
  TPostData(bool multiPart, std::string encoding);
  TPostData(const TPostData&) = delete;
  TPostData& operator=(const TPostData&) = delete;

  std::string Encoding;

  bool MultiPart() const { return multiPart_; }
  // Switches the mode and empties the body.
  void SetMultiPart(bool value);
  // The closing boundary has been written (multipart) or the body handed out.
  bool Finished() const { return finished_; }
  // 8 upper-case hexadecimal digits of a random number from 0 to 2147483646
  // and "_Parlomix_boundary"; fixed for the object's life. The request's
  // content type is "multipart/form-data; boundary=" + Boundary().
  const std::string& Boundary() const { return boundary_; }

  // Empties the body and forgets Finish; mode, boundary and charset stay.
  void Clear();
  // A form field: "name=value" joined by "&" (url-encoded), or a text part.
  void Add(std::string_view name, std::string_view value);
  // A file part from an attachment's entries FileName, ContentType and
  // Stream (a TMemoryStream, sent whole); `content` nullptr gives an empty
  // part with an empty file name. Nothing in url-encoded mode.
  void AddData(std::string_view name, const TPropList* content);
  // Appends `bytes` unchanged.
  void AddRawData(std::string_view bytes);
  // Writes the closing boundary of a multipart body, once until Clear.
  void Finish();
  // Finish, then the body rewound to its start. The body keeps the stream.
  TMemoryStream& GetStream();
  // Finish, then the whole body; the stream is left at its end.
  std::string GetText();
  // Bytes in the body now.
  int64_t Size() const { return stream_.Size(); }

 private:
  // Appends bytes, charged first to the memory budget of the script running
  // on this thread (none for the feedback sender): a script could otherwise
  // make the body grow without end.
  void Append(std::string_view bytes);
  // Appends text converted to `charset` and escaped, in pieces.
  void AppendEscaped(std::string_view text, std::string_view charset);
  // "--" boundary CRLF and the disposition header up to the field name's
  // closing quote.
  void AppendPartStart(std::string_view header, std::string_view name);

  bool multiPart_;
  bool finished_ = false;
  std::string boundary_;
  TMemoryStream stream_;
};
