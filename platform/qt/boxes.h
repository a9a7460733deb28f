#pragma once
// Message boxes: the box of a level (its icon, its buttons with the captions the
// framework uses, its default button) and "|" in the text starting a new line.
#include <QMessageBox>
#include <utility>
#include <vector>

#include "platform/framework/errors.h"

namespace zelk::qtui {

class BoxDialog : public QMessageBox {
  Q_OBJECT
 public:
  BoxDialog(const fw::Box& box, QWidget* parent);
  // The button pressed (the escape button's when the box was closed otherwise).
  unsigned answer() const;
  // The caption of a button bit: "OK", "&Yes", "&No", "Cancel" ...
  static QString caption(unsigned button);

 private:
  std::vector<std::pair<QAbstractButton*, unsigned>> buttons_;
  unsigned fallback_;
};

}  // namespace zelk::qtui
