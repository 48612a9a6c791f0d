// Inflating gzip packages: checksums and lengths checked, streams that stop
// early refused, and the size cap held whatever the trailer claims.
#include "gzipreader.h"

#include <gtest/gtest.h>

#include <string>

#include "core/error_of.h"
#include "cp1251.h"
#include "encoded_bytes.h"

namespace {

// The failure's text in UTF-8, to be searched for words of this source.
std::string InflateError(std::string_view data, size_t maxSize = 1 << 20) {
  return cp1251::ToUtf8(ErrorOf<EGzipError>([&] { InflateGzip(data, maxSize); }));
}

// Text that compresses poorly, so that streams are longer than a few bytes.
std::string Sample(size_t size) {
  std::string text;
  uint32_t x = 12345;
  while (text.size() < size) {
    x = x * 1103515245 + 12345;
    text += static_cast<char>('a' + (x >> 16) % 26);
  }
  return text;
}

}  // namespace

TEST(Gzip, InflatesOneMemberAndASeriesOfThem) {
  std::string text = Sample(300000);
  EXPECT_EQ(InflateGzip(Gzip(text), 1 << 20), text);
  EXPECT_EQ(InflateGzip(Gzip("first ") + Gzip("") + Gzip("second"), 100), "first second");
  EXPECT_EQ(InflateGzip(Gzip(""), 100), "");
  // Zero bytes after the last member are padding, as gzip has it, also
  // when they run past the piece being inflated.
  for (size_t zeros : {size_t{1}, size_t{300000}})
    EXPECT_EQ(InflateGzip(Gzip("first ") + Gzip("second") + std::string(zeros, '\0'), 100), "first second") << zeros;
}

TEST(Gzip, ChecksumAndLengthAreChecked) {
  std::string gz = Gzip(Sample(1000));
  std::string badCrc = gz;
  badCrc[badCrc.size() - 8] ^= 1;
  EXPECT_NE(InflateError(badCrc).find("контрольная сумма"), std::string::npos);
  std::string badLength = gz;
  badLength[badLength.size() - 4] ^= 1;
  EXPECT_NE(InflateError(badLength).find("длина"), std::string::npos);
}

TEST(Gzip, EveryTruncationFails) {
  std::string gz = Gzip(Sample(2500));
  for (size_t cut = 0; cut < gz.size(); ++cut)
    EXPECT_NE(InflateError(std::string_view(gz).substr(0, cut)), "<no exception>") << "cut at " << cut;
}

TEST(Gzip, NotGzipAndTrailingGarbageFail) {
  EXPECT_NE(InflateError("<package/>").find("не сжатый"), std::string::npos);
  EXPECT_NE(InflateError(Gzip("abc") + "garbage").find("не сжатый"), std::string::npos);
  // Padding ends the stream: nothing may follow it.
  EXPECT_NE(InflateError(Gzip("abc") + std::string(4, '\0') + "x").find("не сжатый"), std::string::npos);
  EXPECT_NE(InflateError(Gzip("abc") + std::string(300000, '\0') + Gzip("d")).find("не сжатый"), std::string::npos);
  EXPECT_NE(InflateError(std::string(8, '\0')).find("не сжатый"), std::string::npos);
  std::string corrupt = Gzip(Sample(2000));
  for (size_t i = 12; i < 40; ++i) corrupt[i] = static_cast<char>(0xFF);
  EXPECT_NE(InflateError(corrupt), "<no exception>");
}

TEST(Gzip, TheCapHoldsWhateverTheTrailerSays) {
  std::string zeros(100000, '\0');
  EXPECT_EQ(InflateGzip(Gzip(zeros), zeros.size()).size(), zeros.size());
  EXPECT_NE(InflateError(Gzip(zeros), zeros.size() - 1).find("больше"), std::string::npos);
  // A trailer that claims a tiny length changes nothing: the cap is met by
  // what inflates, not by what the stream says of itself.
  std::string lying = Gzip(zeros);
  lying.replace(lying.size() - 4, 4, std::string("\x01\0\0\0", 4));
  EXPECT_NE(InflateError(lying, 1000).find("больше"), std::string::npos);
  EXPECT_NE(InflateError(lying).find("длина"), std::string::npos);
}

TEST(Gzip, ABombStopsAtTheCap) {
  // 64 MiB of zeros in about 64 KiB: the real cap, the real size.
  std::string bomb = Gzip(std::string((size_t{64} << 20) + 1, '\0'));
  ASSERT_LT(bomb.size(), size_t{1} << 20);
  EXPECT_NE(InflateError(bomb, size_t{64} << 20).find("больше"), std::string::npos);
}
