#include "appicon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// An envelope on a blue tile.
QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1f, 0x6f, 0xc5));
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
  QRectF letter(12, 18, 40, 28);
  p.setBrush(Qt::white);
  p.drawRect(letter);
  QPen fold(QColor(0x1f, 0x6f, 0xc5), 3);
  fold.setJoinStyle(Qt::RoundJoin);
  p.setPen(fold);
  QPainterPath flap;
  flap.moveTo(letter.topLeft());
  flap.lineTo(letter.center().x(), letter.top() + 16);
  flap.lineTo(letter.topRight());
  p.setBrush(Qt::NoBrush);
  p.drawPath(flap);
  return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
  // Made anew each time: a pixmap must not outlive the application object.
  QIcon icon;
  for (int size : {16, 22, 32, 48, 64}) icon.addPixmap(DrawIcon(size));
  return icon;
}
