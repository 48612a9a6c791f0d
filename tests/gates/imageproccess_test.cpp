// Captcha pictures: a script composes a new picture out of the cells of the
// loaded one, for pictures that arrive as PNG, GIF and JPEG, compared pixel
// by pixel with a picture this test composes itself.
#include "imageproccess.h"

#include <QBuffer>
#include <QFontInfo>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <thread>

#include "cp1251.h"
#include "eval.h"
#include "gifwriter.h"
#include "picture.h"

namespace {

// Text needs the application's font database, as in the program.
class GuiEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "test_gates_image";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QGuiApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QGuiApplication> app_;
};
[[maybe_unused]] ::testing::Environment* const gui = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

const QRgb kFace = qRgb(240, 240, 240);

// 48 by 16 pixels: 4 by 4 cells of distinct colours, so that every copied
// cell shows where it came from.
QImage Cells() {
  QImage image(48, 16, QImage::Format_RGB32);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 48; ++x) image.setPixel(x, y, qRgb(20 * (x / 4), 60 * (y / 4), 255 - 20 * (x / 4)));
  return image;
}

std::string Encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format, 100);
  return bytes.toStdString();
}

struct Copy {
  int x, y, left, top, right, bottom;
};

constexpr Copy kCopies[] = {
    {0, 0, 24, 0, 48, 8},      // the right half of the top rows to the left
    {24, 0, 0, 0, 16, 8},      // the left part to the right
    {2, 10, 20, 16, 10, 8},    // given right to left and bottom to top
    {30, 12, 40, 12, 60, 30},  // reaching past the picture
    {36, 18, 0, 0, 10, 10},    // reaching past the result
    {-3, -3, -5, -5, 5, 5},    // starting before both
};

// The composition done by hand: every source pixel of each rectangle
// (right and bottom excluded) that exists lands at its place in the result.
QImage Expected(const QImage& source) {
  QImage result(40, 20, QImage::Format_RGB32);
  result.fill(kFace);
  for (const Copy& c : kCopies) {
    const int left = std::min(c.left, c.right), top = std::min(c.top, c.bottom);
    const int right = std::max(c.left, c.right), bottom = std::max(c.top, c.bottom);
    for (int sy = top; sy < bottom; ++sy)
      for (int sx = left; sx < right; ++sx) {
        const int dx = c.x + sx - left, dy = c.y + sy - top;
        if (source.valid(sx, sy) && result.valid(dx, dy)) result.setPixel(dx, dy, source.pixel(sx, sy));
      }
  }
  return result;
}

std::string CaptchaScript() {
  std::string script = "eval(begin Img.SetSize(40, 20); ";
  for (const Copy& c : kCopies)
    script += "Img.CopyRect(" + std::to_string(c.x) + ", " + std::to_string(c.y) + ", Rect(" + std::to_string(c.left) +
              ", " + std::to_string(c.top) + ", " + std::to_string(c.right) + ", " + std::to_string(c.bottom) + ")); ";
  return script + "end;)";
}

int Differences(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return -1;
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) n += (a.pixel(x, y) | 0xFF000000u) != (b.pixel(x, y) | 0xFF000000u);
  return n;
}

class Captcha : public ::testing::TestWithParam<const char*> {};

TEST_P(Captcha, AScriptComposesTheCellsItWants) {
  const std::string format = GetParam();
  const std::string bytes = format == "GIF" ? EncodeGif(Cells()) : Encoded(Cells(), format.c_str());
  const std::unique_ptr<QImage> loaded = LoadGraphicFromStream(bytes, "");
  ASSERT_TRUE(loaded) << format;
  // The source as the test itself decodes it (JPEG changes pixels).
  const QImage source = QImage::fromData(QByteArray::fromStdString(bytes)).convertToFormat(QImage::Format_RGB32);
  if (format != "JPEG") {
    ASSERT_EQ(Differences(source, Cells()), 0);
  }
  TImageProccess img(*loaded);
  TEvalutor eval;
  eval.SetObject("Img", &img);
  eval.Evaluate(CaptchaScript());
  EXPECT_EQ(Differences(img.GetResult(), Expected(source)), 0) << format;
}

INSTANTIATE_TEST_SUITE_P(Formats, Captcha, ::testing::Values("PNG", "GIF", "JPEG"));

// The box around every pixel that differs from `background`; empty when none.
QRect Marked(const QImage& image, QRgb background) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) | 0xFF000000u) != (background | 0xFF000000u)) box |= QRect(x, y, 1, 1);
  return box;
}

TEST(ImageProccess, TextSitsInItsCellOnTheButtonFace) {
  // The face Debian installs, not whatever the desktop would substitute.
  const QFontInfo face(TImageProccess::TextFont());
  EXPECT_EQ(face.family(), "DejaVu Sans");
  EXPECT_TRUE(face.bold());
  EXPECT_EQ(face.pixelSize(), 16);
  TImageProccess img(QImage(1, 1, QImage::Format_RGB32));
  EXPECT_TRUE(img.GetResult().isNull());
  img.TextOut(5, 5, "12");  // no result yet: nothing, no failure
  EXPECT_TRUE(img.GetResult().isNull());
  img.SetSize(100, 30);
  ASSERT_EQ(img.GetResult().size(), QSize(100, 30));
  EXPECT_EQ(Marked(img.GetResult(), kFace), QRect());
  img.TextOut(5, 5, "12");
  const QRect text = Marked(img.GetResult(), kFace);
  ASSERT_FALSE(text.isEmpty());
  // Bold digits 16 pixels high, the cell's top-left at (5, 5).
  EXPECT_GE(text.left(), 5);
  EXPECT_LE(text.left(), 8);
  EXPECT_GE(text.top(), 5);
  EXPECT_LE(text.top(), 10);
  EXPECT_LE(text.bottom(), 5 + 19);
  EXPECT_GE(text.width(), 12);
  EXPECT_LE(text.width(), 24);
  EXPECT_GE(text.height(), 10);
  int dark = 0;
  for (int y = text.top(); y <= text.bottom(); ++y)
    for (int x = text.left(); x <= text.right(); ++x) dark += qGray(img.GetResult().pixel(x, y)) < 64;
  EXPECT_GT(dark, 20);  // bold strokes, in black
}

TEST(ImageProccess, TheTextCellIsFilledWithTheBrush) {
  QImage red(60, 30, QImage::Format_RGB32);
  red.fill(Qt::red);
  TImageProccess img(red);
  img.SetSize(60, 30);
  img.CopyRect(0, 0, {0, 0, 60, 30});
  img.TextOut(10, 4, " ");  // a blank: only its cell
  const QRect cell = Marked(img.GetResult(), qRgb(255, 0, 0));
  ASSERT_FALSE(cell.isEmpty());
  EXPECT_EQ(cell.topLeft(), QPoint(10, 4));
  EXPECT_GE(cell.height(), 16);
  EXPECT_LE(cell.height(), 20);
  for (int y = cell.top(); y <= cell.bottom(); ++y)
    for (int x = cell.left(); x <= cell.right(); ++x) ASSERT_EQ(img.GetResult().pixel(x, y) | 0xFF000000u, kFace | 0xFF000000u);
}

TEST(ImageProccess, TextDrawsTheSameOnAStepThread) {
  auto draw = [] {
    TImageProccess img(QImage(1, 1, QImage::Format_RGB32));
    img.SetSize(120, 24);
    img.TextOut(2, 2, "Код 42"_cp);
    return img.GetResult();
  };
  const QImage here = draw();
  QImage there;
  std::thread step([&] { there = draw(); });
  step.join();
  EXPECT_FALSE(Marked(here, kFace).isEmpty());
  EXPECT_EQ(Differences(here, there), 0);
}

TEST(ImageProccess, SizesAndCoordinatesFromHostileScripts) {
  TImageProccess img(Cells());
  EXPECT_THROW(img.SetSize(4097, 4096), Exception);
  EXPECT_THROW(img.SetSize(-1, 5), Exception);
  img.SetSize(4096, 1);
  img.SetSize(0, 0);
  EXPECT_EQ(img.GetResult().size(), QSize(0, 0));
  img.CopyRect(0, 0, {0, 0, 10, 10});
  img.TextOut(0, 0, "x");
  img.SetSize(16, 16);
  img.CopyRect(INT_MAX, INT_MIN, {INT_MIN, INT_MIN, INT_MAX, INT_MAX});
  img.CopyRect(INT_MIN, INT_MIN, {INT_MIN, INT_MIN, INT_MAX, INT_MAX});
  img.CopyRect(-1, -1, {INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX});
  img.TextOut(INT_MIN, INT_MIN, "x");
  img.TextOut(INT_MAX, INT_MAX, "x");
  img.TextOut(-30, 0, std::string(200000, 'W'));
  EXPECT_EQ(img.GetResult().size(), QSize(16, 16));
  // Through a script the failures are script errors.
  TEvalutor eval;
  eval.SetObject("Img", &img);
  EXPECT_THROW(eval.Evaluate("eval(Img.SetSize(100000, 100000))"), EEvalException);
  EXPECT_THROW(eval.Evaluate("eval(Img.CopyRect(0, 0, 5))"), EEvalException);
}

}  // namespace
