// Charset conversion through Unicode: the program's own Windows-1251 table on
// one side, glibc iconv by charset name on the other.
#include "charset.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "cp1251.h"

namespace {

// Names under which the program's own code page needs no conversion at all;
// going through iconv would lose the one byte its table leaves undefined.
constexpr std::string_view kOwnCodePage[] = {"windows-1251", "cp1251", "win-1251", "cp-1251", "x-cp1251"};

// Code points travel as UTF-32 in machine byte order.
constexpr const char* kUnicode = "UTF-32LE";
// Text is converted this many characters at a time, through one converter
// whose shift state carries over from slice to slice.
constexpr size_t kSlice = 16384;

bool IsOwnCodePage(std::string_view charset) {
  for (std::string_view name : kOwnCodePage)
    if (cp1251::SameText(name, charset)) return true;
  return false;
}

class Converter {
 public:
  Converter(const std::string& to, const std::string& from) : handle_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (Valid()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of [in, in+inLeft) as it can, appending to out; returns
  // the errno that stopped it, 0 when all input was consumed.
  int Run(const char*& in, size_t& inLeft, std::string& out) {
    while (inLeft > 0) {
      char buffer[4096];
      char* next = buffer;
      size_t room = sizeof buffer;
      char* source = const_cast<char*>(in);
      const size_t done = iconv(handle_, &source, &inLeft, &next, &room);
      in = source;
      out.append(buffer, static_cast<size_t>(next - buffer));
      if (done == static_cast<size_t>(-1) && errno != E2BIG) return errno;
    }
    return 0;
  }

  // Ends the output in the charset's initial shift state.
  void Flush(std::string& out) {
    char buffer[64];
    char* next = buffer;
    size_t room = sizeof buffer;
    iconv(handle_, nullptr, nullptr, &next, &room);
    out.append(buffer, static_cast<size_t>(next - buffer));
  }

 private:
  iconv_t handle_;
};

void AppendUnicode(std::string& out, char32_t cp) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((cp >> shift) & 0xFF);
}

char32_t UnicodeAt(const std::string& utf32, size_t at) {
  char32_t cp = 0;
  for (int i = 3; i >= 0; --i) cp = (cp << 8) | static_cast<unsigned char>(utf32[at + i]);
  return cp;
}

}  // namespace

std::string ConvertFromEncoding(std::string_view s, std::string_view charset) {
  if (charset.empty() || IsOwnCodePage(charset)) return std::string(s);
  Converter converter(kUnicode, std::string(charset));
  if (!converter.Valid()) return std::string(s);
  std::string utf32;
  const char* in = s.data();
  size_t inLeft = s.size();
  while (inLeft > 0) {
    const int stop = converter.Run(in, inLeft, utf32);
    if (stop == 0) break;
    AppendUnicode(utf32, U'?');
    if (stop != EILSEQ) break;  // a sequence cut off at the end, or a broken converter
    ++in;                       // skip the byte that starts no valid sequence
    --inLeft;
  }
  std::string text;
  text.reserve(utf32.size() / 4);
  for (size_t at = 0; at + 4 <= utf32.size(); at += 4) text += cp1251::FromUnicode(UnicodeAt(utf32, at));
  return text;
}

void ConvertToEncoding(std::string_view s, std::string_view charset, const TTextSink& write) {
  auto unchanged = [&] {
    for (size_t at = 0; at < s.size(); at += kSlice) write(s.substr(at, kSlice));
  };
  if (charset.empty() || IsOwnCodePage(charset)) return unchanged();
  Converter converter(std::string(charset), kUnicode);
  if (!converter.Valid()) return unchanged();
  std::string utf32, piece;
  for (size_t at = 0; at < s.size(); at += kSlice) {
    const std::string_view slice = s.substr(at, kSlice);
    utf32.clear();
    for (char c : slice) AppendUnicode(utf32, cp1251::ToUnicode(static_cast<unsigned char>(c)));
    piece.clear();
    const char* in = utf32.data();
    size_t inLeft = utf32.size();
    int stop = 0;
    while ((stop = converter.Run(in, inLeft, piece)) == EILSEQ) {
      // The charset lacks this character: write "?" in its place.
      std::string question;
      AppendUnicode(question, U'?');
      const char* q = question.data();
      size_t qLeft = question.size();
      converter.Run(q, qLeft, piece);
      in += 4;
      inLeft -= 4;
    }
    write(piece);
    if (stop != 0) break;  // a broken converter: what it made so far stands
  }
  piece.clear();
  converter.Flush(piece);
  write(piece);
}

std::string ConvertToEncoding(std::string_view s, std::string_view charset) {
  std::string text;
  ConvertToEncoding(s, charset, [&text](std::string_view piece) { text += piece; });
  return text;
}
