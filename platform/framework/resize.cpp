#include "platform/framework/resize.h"

#include <algorithm>
#include <cmath>

namespace zelk::fw {
namespace {

int scaled(int v, int to, int from) {
  if (from <= 0) return v;
  return static_cast<int>(std::lround(static_cast<double>(v) * to / from));
}

// Which controls take a share of the window's growth in width and in height;
// the others keep their size and only move.
bool growsAcross(ui::Kind k) {
  switch (k) {
    case ui::Kind::List: case ui::Kind::Sheet: case ui::Kind::Tab: case ui::Kind::Group:
    case ui::Kind::Option: case ui::Kind::Entry: case ui::Kind::Line:
      return true;
    default:
      return false;
  }
}
bool growsDown(ui::Kind k) {
  switch (k) {
    case ui::Kind::List: case ui::Kind::Sheet: case ui::Kind::Tab: case ui::Kind::Group: case ui::Kind::Option:
      return true;
    default:
      return false;
  }
}

}  // namespace

void WindowResizeClass::Init(int strategy, bool minimumSize, bool maximumSize) {
  strategy_ = strategy;
  minimumSize_ = minimumSize;
  maximumSize_ = maximumSize;
  parents_ = false;
}

void WindowResizeClass::SetParentDefaults() {
  parents_ = true;
  if (window_) attach(*window_);
}

void WindowResizeClass::Kill() {
  window_ = nullptr;
  rects_.clear();
  parentOf_.clear();
}

void WindowResizeClass::attach(ui::Window& w) {
  window_ = &w;
  origin_ = w.def().at;
  int last = std::max(w.last(), 0);
  rects_.assign(static_cast<std::size_t>(last) + 1, {});
  parentOf_.assign(rects_.size(), 0);
  for (int n = 1; n <= last; ++n) {
    const ui::ControlDef& c = w.control(n);
    rects_[n] = c.at;
    // A parent is declared before its children, so it is fitted first; one without
    // a size of its own (a tab) leaves its children to the window.
    if (parents_ && c.parent > 0 && c.parent < n && rects_[c.parent].w > 0 && rects_[c.parent].h > 0)
      parentOf_[n] = c.parent;
  }
}

void WindowResizeClass::Resize() {
  if (!window_ || window_->minimized()) return;
  ui::Rect p = window_->place();
  if (!window_->maximized() && origin_.w > 0 && origin_.h > 0) {
    ui::Rect q = p;
    if (minimumSize_) {
      q.w = std::max(q.w, origin_.w);
      q.h = std::max(q.h, origin_.h);
    }
    if (maximumSize_) {
      q.w = std::min(q.w, origin_.w);
      q.h = std::min(q.h, origin_.h);
    }
    if (!(q == p)) {
      window_->setPlace(q);
      p = q;
    }
  }
  // Maximised, the controls spread over the whole area shown; on a screen smaller
  // than the definition they keep the definition's size where the minimum holds.
  if (window_->maximized()) {
    p = window_->area();
    if (minimumSize_) {
      p.w = std::max(p.w, origin_.w);
      p.h = std::max(p.h, origin_.h);
    }
  }
  if (strategy_ != kSpread || origin_.w <= 0 || origin_.h <= 0 || p.w <= 0 || p.h <= 0) return;

  // Each control keeps its share of its frame: the control it stands on, or the
  // window's client area; the frame's place before and after the change.
  std::vector<ui::Rect> fitted(rects_.size());
  const ui::Rect client0{0, 0, origin_.w, origin_.h}, client1{0, 0, p.w, p.h};
  for (std::size_t n = 1; n < rects_.size(); ++n) {
    const ui::Rect& r = rects_[n];
    int par = parentOf_[n];
    const ui::Rect& from = par ? rects_[par] : client0;
    const ui::Rect& to = par ? fitted[par] : client1;
    ui::Kind k = window_->control(static_cast<int>(n)).kind;
    ui::Rect f;
    f.x = to.x + scaled(r.x - from.x, to.w, from.w);
    f.y = to.y + scaled(r.y - from.y, to.h, from.h);
    f.w = growsAcross(k) && r.w > 0 ? scaled(r.w, to.w, from.w) : r.w;
    f.h = growsDown(k) && r.h > 0 ? scaled(r.h, to.h, from.h) : r.h;
    fitted[n] = f;
    window_->setRect(static_cast<int>(n), f);
  }
}

}  // namespace zelk::fw
