#include "picture.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QColorSpace>
#include <QImageWriter>

#include "corelimits.h"

namespace {

// A small picture with a red and a blue half, written by Qt's own writers;
// a PNG also holds a compressed text and a colour profile.
std::string Encoded(const char* format, bool progressive = false) {
  QImage image(8, 6, QImage::Format_RGB32);
  image.fill(Qt::red);
  for (int y = 0; y < 6; ++y)
    for (int x = 4; x < 8; ++x) image.setPixel(x, y, qRgb(0, 0, 255));
  if (std::string_view(format) == "PNG") {
    image.setText("Comment", QString(64, 'x'));
    image.setColorSpace(QColorSpace::AdobeRgb);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(100);
  writer.setProgressiveScanWrite(progressive);
  return writer.write(image) ? bytes.toStdString() : std::string();
}

// The JPEG with its last scan repeated until it has `scans` of them.
std::string WithScans(const std::string& jpeg, size_t scans) {
  size_t have = 0;
  for (size_t at = 0; (at = jpeg.find("\xFF\xDA", at)) != std::string::npos; at += 2) ++have;
  const size_t last = jpeg.rfind("\xFF\xDA"), end = jpeg.rfind("\xFF\xD9");
  std::string out = jpeg.substr(0, end);
  for (; have < scans; ++have) out += jpeg.substr(last, end - last);
  return out + jpeg.substr(end);
}

// A 2x1 GIF (Qt has no GIF writer): a black pixel and a transparent one.
constexpr char kGifBytes[] =
    "GIF89a\x02\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff"
    "!\xf9\x04\x01\x00\x00\x01\x00"
    ",\x00\x00\x00\x00\x02\x00\x01\x00\x00\x02\x02\x44\x0a\x00;";
const std::string kGif(kGifBytes, sizeof kGifBytes - 1);

// A JPEG whose first segment after the start marker is not JFIF: the APP0
// segment is cut out, so the file starts FF D8 FF DB.
std::string WithoutJfif(const std::string& jpeg) {
  if (jpeg.size() < 6 || static_cast<unsigned char>(jpeg[3]) != 0xE0) return {};
  const size_t app0Length = (static_cast<unsigned char>(jpeg[4]) << 8) | static_cast<unsigned char>(jpeg[5]);
  return jpeg.substr(0, 2) + jpeg.substr(4 + app0Length);
}

TEST(Picture, LoadsEveryKnownFormatWithoutAGuiApplication) {
  for (const char* format : {"PNG", "BMP", "JPEG"}) {
    const std::string bytes = Encoded(format);
    ASSERT_FALSE(bytes.empty()) << format;
    const auto picture = LoadGraphicFromStream(bytes, "text/html");  // the declared type is ignored
    ASSERT_TRUE(picture) << format;
    EXPECT_EQ(picture->size(), QSize(8, 6)) << format;
    const QColor left = picture->pixelColor(1, 3), right = picture->pixelColor(6, 3);
    EXPECT_GT(left.red(), 200) << format;
    EXPECT_LT(left.blue(), 60) << format;
    EXPECT_GT(right.blue(), 200) << format;
    if (std::string_view(format) == "PNG") {  // neither is inflated
      EXPECT_TRUE(picture->text().isEmpty());
      EXPECT_FALSE(picture->colorSpace().isValid());
    }
  }
  const auto gif = LoadGraphicFromStream(kGif, "");
  ASSERT_TRUE(gif);
  EXPECT_EQ(gif->size(), QSize(2, 1));
  EXPECT_EQ(qAlpha(gif->pixel(1, 0)), 0);
}

TEST(Picture, JpegWithAnyMarkerAfterTheStart) {
  const std::string bare = WithoutJfif(Encoded("JPEG"));
  ASSERT_EQ(bare.substr(0, 4), "\xFF\xD8\xFF\xDB");
  const auto picture = LoadGraphicFromStream(bare, "image/jpeg");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->size(), QSize(8, 6));
}

TEST(Picture, BitmapIsOpaqueOverWhite) {
  const auto bitmap = LoadBitmapFromStream(kGif, "image/gif");
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->format(), QImage::Format_RGB32);
  EXPECT_EQ(bitmap->pixel(0, 0), qRgb(0, 0, 0));
  EXPECT_EQ(bitmap->pixel(1, 0), qRgb(255, 255, 255));
  EXPECT_FALSE(LoadBitmapFromStream("not a picture", ""));
}

TEST(Picture, CorruptOrForeignDataIsNoPicture) {
  EXPECT_FALSE(LoadGraphicFromStream("", ""));
  EXPECT_FALSE(LoadGraphicFromStream("GIF", ""));
  EXPECT_FALSE(LoadGraphicFromStream("<html><body>error</body></html>", "image/png"));
  // A picture in a format the program does not read, even though Qt could.
  EXPECT_FALSE(LoadGraphicFromStream(std::string("\0\0\1\0\1\0", 6) + std::string(64, '\0'), "image/x-icon"));
  for (const char* format : {"PNG", "BMP", "JPEG"}) {
    const std::string bytes = Encoded(format);
    // The right header and then a cut-off or scrambled body.
    EXPECT_FALSE(LoadGraphicFromStream(bytes.substr(0, 12), "")) << format;
    std::string scrambled = bytes.substr(0, 4) + std::string(bytes.size(), '\xA5');
    EXPECT_FALSE(LoadGraphicFromStream(scrambled, "")) << format;
    EXPECT_FALSE(LoadBitmapFromStream(scrambled, "")) << format;
  }
  EXPECT_FALSE(LoadGraphicFromStream(kGif.substr(0, 4) + std::string(40, '\xFF'), ""));
  // A header that claims an absurd size must not allocate its way into a crash.
  std::string huge = Encoded("BMP");
  huge[18] = huge[19] = huge[20] = '\x7F';
  huge[22] = huge[23] = huge[24] = '\x7F';
  EXPECT_FALSE(LoadGraphicFromStream(huge, ""));
  // A JPEG of more scans than encoders write.
  const std::string progressive = Encoded("JPEG", true);
  EXPECT_TRUE(LoadGraphicFromStream(WithScans(progressive, kMaxJpegScans), ""));
  EXPECT_FALSE(LoadGraphicFromStream(WithScans(progressive, kMaxJpegScans + 1), ""));
}

}  // namespace
