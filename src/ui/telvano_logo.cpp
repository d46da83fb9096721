#include "ui/telvano_logo.h"

#include <QPainter>

namespace telvano::ui {

QPixmap TelvanoLogo(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(QColor(0, 90, 160));
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setBold(true);
  font.setPixelSize(size * 11 / 16);
  painter.setFont(font);
  painter.drawText(pixmap.rect(), Qt::AlignCenter, "T");
  return pixmap;
}

}  // namespace telvano::ui
