#pragma once
// The window resizer: when the window's size changes it repositions and resizes the
// controls by its strategy, and keeps the window within the limits its flags ask.
#include <vector>

#include "platform/ui/window.h"

namespace zelk::fw {

class WindowResizeClass {
 public:
  // Strategies.
  static constexpr int kKeep = 1;    // the controls keep their places and sizes
  static constexpr int kSpread = 2;  // the controls follow the window in proportion

  // minimumSize: the window is kept at least as large as its definition;
  // maximumSize: at most as large.
  void Init(int strategy, bool minimumSize, bool maximumSize);
  // Each control moves with the control it stands on in the definition (a tab, a
  // group, an option box).
  void SetParentDefaults();
  void Kill();

  // The window manager attaches its window when the resizer is registered; from
  // then on Resize() fits the controls to the window's current place.
  void attach(ui::Window& w);
  void Resize();

  int strategy() const { return strategy_; }
  bool minimumSize() const { return minimumSize_; }
  bool maximumSize() const { return maximumSize_; }

 private:
  ui::Window* window_ = nullptr;
  int strategy_ = kKeep;
  bool minimumSize_ = false, maximumSize_ = false;
  bool parents_ = false;
  ui::Rect origin_;               // the window's place in its definition
  std::vector<ui::Rect> rects_;   // the controls' places in the definition, by control number
  std::vector<int> parentOf_;     // by control number
};

}  // namespace zelk::fw
