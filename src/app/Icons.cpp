#include "app/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace yelvane {

namespace {
QPixmap Canvas(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  return pixmap;
}
}  // namespace

QIcon AppIcon() {
  // A paw: one pad and four toes.
  QPixmap pixmap = Canvas(32);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 160));
  p.drawEllipse(QRectF(9, 15, 14, 12));
  p.drawEllipse(QRectF(4, 10, 6, 7));
  p.drawEllipse(QRectF(10, 4, 6, 8));
  p.drawEllipse(QRectF(17, 4, 6, 8));
  p.drawEllipse(QRectF(23, 10, 6, 7));
  return QIcon(pixmap);
}

QIcon SaveAsIcon() {
  // A floppy disk with a pencil stroke.
  QPixmap pixmap = Canvas(32);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(20, 20, 90), 1.5));
  p.setBrush(QColor(40, 70, 160));
  p.drawRoundedRect(QRectF(3, 3, 24, 24), 2, 2);
  p.setBrush(QColor(230, 230, 230));
  p.drawRect(QRectF(8, 3.5, 14, 9));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(7, 17, 16, 10));
  p.setPen(QPen(QColor(200, 120, 0), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(19, 29), QPointF(29, 19));
  return QIcon(pixmap);
}

QIcon LogPageIcon() {
  // A page with lines of text.
  QPixmap pixmap = Canvas(16);
  QPainter p(&pixmap);
  p.setPen(QColor(60, 60, 60));
  p.setBrush(Qt::white);
  p.drawRect(QRect(2, 1, 11, 13));
  p.setPen(QColor(0, 0, 200));
  for (int y = 4; y <= 11; y += 3) p.drawLine(4, y, 11, y);
  return QIcon(pixmap);
}

}  // namespace yelvane
