// Captcha bitmaps over QImage and QPainter.
#include "imageproccess.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>

#include "cp1251.h"
#include "exceptions.h"
#include "gatelimits.h"

namespace {

// The face Debian ships in fonts-dejavu-core; a captcha label must look the
// same on every machine, whatever fonts the desktop prefers.
constexpr char kTextFamily[] = "DejaVu Sans";
constexpr int kTextPixelSize = 16;
constexpr QRgb kButtonFace = qRgb(240, 240, 240);

QImage NewBitmap(int64_t width, int64_t height) {
  if (width < 0 || height < 0) throw Exception("Invalid bitmap size");
  if (width * height > kMaxBitmapPixels) throw Exception("Bitmap is too large");
  QImage bitmap(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  if (bitmap.isNull() && width > 0 && height > 0) throw Exception("Out of memory");
  return bitmap;
}

// [from, from + length) clipped to [0, limit): the start and the length
// left, or a length of 0.
struct Span {
  int64_t from, length;
};
Span Clip(int64_t from, int64_t length, int64_t limit) {
  const int64_t start = std::max<int64_t>(from, 0), end = std::min<int64_t>(from + length, limit);
  return {start, std::max<int64_t>(end - start, 0)};
}

}  // namespace

TImageProccess::TImageProccess(const QImage& picture) {
  source_ = NewBitmap(picture.width(), picture.height());
  if (source_.isNull()) return;
  source_.fill(Qt::white);
  QPainter painter(&source_);
  painter.drawImage(0, 0, picture);
}

QColor TImageProccess::ButtonFace() { return QColor(kButtonFace); }

QFont TImageProccess::TextFont() {
  QFont font(QString::fromLatin1(kTextFamily));
  font.setStyleHint(QFont::SansSerif);
  font.setBold(true);
  font.setPixelSize(kTextPixelSize);
  return font;
}

void TImageProccess::SetSize(int width, int height) {
  result_ = NewBitmap(width, height);
  result_.fill(kButtonFace);
}

void TImageProccess::CopyRect(int x, int y, const TRect& rect) {
  if (result_.isNull() || source_.isNull()) return;
  const int64_t left = std::min(rect.Left, rect.Right), top = std::min(rect.Top, rect.Bottom);
  const int64_t width = int64_t{std::max(rect.Left, rect.Right)} - left;
  const int64_t height = int64_t{std::max(rect.Top, rect.Bottom)} - top;
  const Span columns = Clip(left, width, source_.width()), rows = Clip(top, height, source_.height());
  if (columns.length == 0 || rows.length == 0) return;
  // Where the clipped part lands; only what meets Result is drawn, so every
  // coordinate handed to the painter fits an int.
  const int64_t destX = x + (columns.from - left), destY = y + (rows.from - top);
  const Span destColumns = Clip(destX, columns.length, result_.width());
  const Span destRows = Clip(destY, rows.length, result_.height());
  if (destColumns.length == 0 || destRows.length == 0) return;
  const QRect from(static_cast<int>(columns.from + (destColumns.from - destX)),
                   static_cast<int>(rows.from + (destRows.from - destY)), static_cast<int>(destColumns.length),
                   static_cast<int>(destRows.length));
  QPainter painter(&result_);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(QPoint(static_cast<int>(destColumns.from), static_cast<int>(destRows.from)), source_, from);
}

void TImageProccess::TextOut(int x, int y, const std::string& text) {
  // A cell that starts right or below of the bitmap shows nothing (and its
  // far corner might not fit an int).
  if (result_.isNull() || text.empty() || x >= result_.width() || y >= result_.height()) return;
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    throw Exception("TextOut needs the application's font database");
  const QString shown =
      QString::fromUtf8(cp1251::ToUtf8(std::string_view(text).substr(0, std::min(text.size(), kMaxTextOutChars))));
  const QFont font = TextFont();
  const QFontMetrics metrics(font);
  QPainter painter(&result_);
  painter.setFont(font);
  painter.fillRect(QRect(x, y, metrics.horizontalAdvance(shown), metrics.ascent() + metrics.descent()),
                   QColor(kButtonFace));
  painter.setPen(Qt::black);
  painter.drawText(QPoint(x, y + metrics.ascent()), shown);
}
