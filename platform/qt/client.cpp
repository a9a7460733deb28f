#include "platform/qt/client.h"

#include <QPainter>

#include "platform/qt/wallpaper.h"

namespace zelk::qtui {

Client::Client(bool wallpaper, QWidget* parent) : QWidget(parent), wallpaper_(wallpaper) {}

void Client::paintEvent(QPaintEvent*) {
  if (!wallpaper_) return;
  if (cache_.size() != size()) cache_ = ledgerWallpaper(size());
  QPainter p(this);
  p.drawPixmap(0, 0, cache_);
}

}  // namespace zelk::qtui
