#include "mediapreview.h"

#include <QPainter>
#include <QPainterPath>

QImage AudioIcon() {
  QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1f, 0x6f, 0xc5));
  p.drawEllipse(QRectF(2, 2, 60, 60));
  // A pair of quavers joined by a beam.
  p.setBrush(Qt::white);
  p.drawEllipse(QRectF(14, 38, 14, 10));
  p.drawEllipse(QRectF(36, 34, 14, 10));
  p.drawRect(QRectF(25, 16, 3, 27));
  p.drawRect(QRectF(47, 12, 3, 27));
  QPainterPath beam;
  beam.moveTo(25, 16);
  beam.lineTo(50, 12);
  beam.lineTo(50, 19);
  beam.lineTo(25, 23);
  beam.closeSubpath();
  p.drawPath(beam);
  return image;
}

QImage DisabledLook(const QImage& image) {
  QImage out = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      int grey = qGray(line[x]);
      line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) * 127 / 255);
    }
  }
  return out;
}

QImage FitInto(const QImage& image, QSize box) {
  if (image.isNull() || box.isEmpty()) return image;
  if (image.width() <= box.width() && image.height() <= box.height()) return image;
  return image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}
