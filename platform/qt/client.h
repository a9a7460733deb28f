#pragma once
// The client area of a window: the wallpaper, when the window has one, behind the
// controls.
#include <QPixmap>
#include <QWidget>

namespace zelk::qtui {

class Client : public QWidget {
 public:
  Client(bool wallpaper, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  bool wallpaper_;
  QPixmap cache_;
};

}  // namespace zelk::qtui
