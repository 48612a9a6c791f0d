#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "charset.h"
#include "cp1251.h"
#include "formencode.h"
#include "mime.h"

namespace {

std::string AllBytes() {
  std::string bytes;
  for (int c = 0; c < 256; ++c) bytes += static_cast<char>(c);
  return bytes;
}

TEST(Charset, KnownBytesOfCyrillicText) {
  const std::string privet = "Привет"_cp;
  EXPECT_EQ(ConvertToEncoding(privet, "KOI8-R"), "\xF0\xD2\xC9\xD7\xC5\xD4");
  EXPECT_EQ(ConvertFromEncoding("\xF0\xD2\xC9\xD7\xC5\xD4", "koi8-r"), privet);
  EXPECT_EQ(ConvertToEncoding(privet, "UTF-8"), "Привет");
  EXPECT_EQ(ConvertFromEncoding("Привет, мир — «ёж»", "utf-8"), "Привет, мир — «ёж»"_cp);
  EXPECT_EQ(ConvertToEncoding("A\xB9", "UTF-16BE"), std::string("\0A\x21\x16", 4));  // № is U+2116
}

TEST(Charset, OwnCodePageEmptyAndUnknownNamesLeaveTextAlone) {
  const std::string bytes = AllBytes();
  for (const char* name : {"windows-1251", "Windows-1251", "CP1251", "", "no-such-charset"}) {
    EXPECT_EQ(ConvertToEncoding(bytes, name), bytes) << name;
    EXPECT_EQ(ConvertFromEncoding(bytes, name), bytes) << name;
  }
}

TEST(Charset, EveryByteSurvivesAUnicodeRoundTrip) {
  const std::string bytes = AllBytes();
  for (const char* name : {"UTF-8", "UTF-16LE", "UTF-32"})
    EXPECT_EQ(ConvertFromEncoding(ConvertToEncoding(bytes, name), name), bytes) << name;
}

TEST(Charset, MissingCharactersAndBrokenInputBecomeQuestionMarks) {
  EXPECT_EQ(ConvertToEncoding("a\xB9" "b", "KOI8-R"), "a?b");  // № is not in KOI8-R
  EXPECT_EQ(ConvertToEncoding("Ж"_cp + "x", "ISO-8859-1"), "?x");
  EXPECT_EQ(ConvertFromEncoding("a\xFF" "b\xD0", "UTF-8"), "a?b?");
  EXPECT_EQ(ConvertFromEncoding("中文", "UTF-8"), "??");
}

// The bytes a Python expression yields: Python's codecs are an independent
// oracle for every byte of the code page.
std::string Python(const std::string& expression) {
  const std::string command = "python3 -c \"import sys; sys.stdout.buffer.write(" + expression + ")\"";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return {};
  std::string out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) out.append(buffer, n);
  return out;
}

TEST(Charset, AgreesWithPythonCodecs) {
  std::string bytes = AllBytes();
  bytes.erase(0x98, 1);  // the one byte the code page leaves undefined
  const std::pair<const char*, const char*> names[] = {
      {"koi8-r", "KOI8-R"}, {"utf-8", "UTF-8"}, {"cp866", "CP866"}, {"iso8859-5", "ISO-8859-5"}, {"utf-16-le", "UTF-16LE"}};
  for (const auto& [python, iconv] : names) {
    const std::string encoded =
        Python("bytes(x for x in range(256) if x!=0x98).decode('cp1251').encode('" + std::string(python) +
               "', errors='replace')");
    ASSERT_FALSE(encoded.empty()) << "python3 is needed as the oracle";
    EXPECT_EQ(ConvertToEncoding(bytes, iconv), encoded) << iconv;
  }
  for (const auto& [python, iconv] : {std::pair{"koi8-r", "KOI8-R"}, {"cp866", "CP866"}, {"iso8859-5", "ISO-8859-5"}}) {
    const std::string decoded =
        Python("bytes(x for x in range(256) if x!=0x98).decode('" + std::string(python) +
               "').encode('cp1251', errors='replace')");
    EXPECT_EQ(ConvertFromEncoding(bytes, iconv), decoded) << iconv;
  }
}

TEST(FormValues, EncodeEscapesExactlyTheEncodingSet) {
  EXPECT_EQ(EncodeFormElem("a b+c"), "a%20b%2Bc");
  EXPECT_EQ(EncodeFormElem("!#'*-._~@AZaz09"), "!#'*-._~@AZaz09");
  EXPECT_EQ(EncodeFormElem("\"$%&()+,/:;<=>?[\\]^`{|}"),
            "%22%24%25%26%28%29%2B%2C%2F%3A%3B%3C%3D%3E%3F%5B%5C%5D%5E%60%7B%7C%7D");
  EXPECT_EQ(EncodeFormElem("Да"_cp), "%C4%E0");
  EXPECT_EQ(EncodeFormElem(std::string("\0\x1F\x7F", 3)), "%00%1F%7F");
  int escaped = 0;
  for (int c = 0; c < 256; ++c) escaped += EncodeFormElem(std::string(1, static_cast<char>(c))).size() == 3;
  EXPECT_EQ(escaped, 185);
}

TEST(FormValues, DecodeUndoesEncodeAndPlus) {
  EXPECT_EQ(DecodeFormElem("a+b"), "a b");
  EXPECT_EQ(DecodeFormElem("%41"), "A");
  EXPECT_EQ(DecodeFormElem("a+b%21"), "a b!");
  EXPECT_EQ(DecodeFormElem("%2B%2b"), "++");
  EXPECT_EQ(DecodeFormElem("100%zz"), "100%zz");
  EXPECT_EQ(DecodeFormElem("a%\r\nb%\nc%\n\rd%\re"), "abcde");
  EXPECT_EQ(DecodeFormElem("ab%4"), "ab");
  EXPECT_EQ(DecodeFormElem("ab%"), "ab");
  EXPECT_EQ(DecodeFormElem("%%41"), "%A");
  const std::string bytes = AllBytes();
  EXPECT_EQ(DecodeFormElem(EncodeFormElem(bytes)), bytes);
}

TEST(FormValues, ConvertAndEncode) {
  EXPECT_EQ(ConvertAndEncodeFormElem("Да"_cp, "UTF-8"), "%D0%94%D0%B0");
  EXPECT_EQ(ConvertAndEncodeFormElem("Да"_cp, "windows-1251"), "%C4%E0");
}

TEST(Mime, ByExtension) {
  EXPECT_EQ(GetMimeTypeByExt(".JPG"), "image/jpeg");
  EXPECT_EQ(GetMimeTypeByExt(".jpeg"), "");
  EXPECT_EQ(GetMimeTypeByExt("jpg"), "");
  EXPECT_EQ(GetMimeTypeByExt(".Mp3"), "audio/mpeg");
  EXPECT_EQ(GetMimeTypeByExt(".mmf"), "application/vnd.smaf");
  EXPECT_EQ(GetMimeTypeByExt(""), "");
}

TEST(Mime, ByContent) {
  EXPECT_EQ(GetImageMimeType("\xFF\xD8\xFF\xE0"), "image/jpeg");
  EXPECT_EQ(GetImageMimeType("\xFF\xD8\xFF\xE1"), "image/jpeg");  // Exif
  EXPECT_EQ(GetImageMimeType("\xFF\xD8\xFF\xDB"), "image/jpeg");
  EXPECT_EQ(GetImageMimeType("\xFF\xD8\xFE\xE0"), "");
  EXPECT_EQ(GetImageMimeType("GIF8"), "image/gif");
  EXPECT_EQ(GetImageMimeType("\x89PNG"), "image/png");
  EXPECT_EQ(GetImageMimeType("BM6x"), "image/bmp");
  EXPECT_EQ(GetImageMimeType("PNG."), "");
  EXPECT_EQ(GetImageMimeType("GIF"), "");  // fewer than four bytes
  EXPECT_EQ(GetImageMimeType("<htm"), "");
}

}  // namespace
