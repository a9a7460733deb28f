#include "platform/qt/wallpaper.h"

#include <QLinearGradient>
#include <QPainter>

namespace zelk::qtui {

QPixmap ledgerWallpaper(QSize size) {
  if (size.isEmpty()) return {};
  QPixmap pm(size);
  QPainter p(&pm);
  const int w = size.width(), h = size.height();

  QLinearGradient paper(0, 0, w * 0.35, h);
  paper.setColorAt(0.0, QColor(0xf6, 0xf3, 0xea));
  paper.setColorAt(1.0, QColor(0xe4, 0xe0, 0xd2));
  p.fillRect(pm.rect(), paper);

  // A header band, as on a ledger page.
  constexpr int kHeader = 44;
  QLinearGradient band(0, 0, 0, kHeader);
  band.setColorAt(0.0, QColor(0xdc, 0xe4, 0xee));
  band.setColorAt(1.0, QColor(0xd0, 0xda, 0xe6));
  p.fillRect(QRect(0, 0, w, kHeader), band);

  // Ruled lines.
  constexpr int kRule = 22;
  p.setPen(QPen(QColor(0x8c, 0xa6, 0xc8, 70), 1));
  for (int y = kHeader + kRule; y < h; y += kRule) p.drawLine(0, y, w, y);
  p.setPen(QPen(QColor(0x6c, 0x86, 0xa8, 110), 1));
  p.drawLine(0, kHeader, w, kHeader);

  // Amount columns at the right: debit, credit, balance.
  p.setPen(QPen(QColor(0x8c, 0xa6, 0xc8, 90), 1));
  for (int k = 1; k <= 3; ++k) {
    int x = w - k * 110;
    if (x > 140) p.drawLine(x, 0, x, h);
  }

  // The red double margin line.
  p.setPen(QPen(QColor(0xc8, 0x5a, 0x5a, 120), 1));
  p.drawLine(64, 0, 64, h);
  p.drawLine(68, 0, 68, h);
  return pm;
}

}  // namespace zelk::qtui
