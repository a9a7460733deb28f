#pragma once
// A window definition's controls written as a table: one line a control, its kind,
// name and place first, then what it has beyond them.
//
//   Ctl(Kind::Entry, "?FIR", {82, 8, 24, 11}).picture("n3b").use(ui::useNumber(dict::FIR)).attrs(ui::kImmediate),
//
// A control names its parent (the sheet, tab, option box or menu it stands on); the
// window resolves the name when it is built.
//
// Names, texts, tips and list formats are written in UTF-8 and held in 1251.
#include <cstdint>
#include <string_view>
#include <utility>

#include "platform/core/codepage.h"
#include "platform/ui/defs.h"

namespace zelk::app {

class Ctl {
 public:
  Ctl(ui::Kind kind, std::string_view name, ui::Rect at = {}) {
    d_.kind = kind;
    d_.name = ansi(name);
    d_.at = at;
  }
  Ctl& text(std::string_view utf8) { d_.text = ansi(utf8); return *this; }
  Ctl& picture(std::string_view p) { d_.picture = p; return *this; }
  Ctl& use(ui::Use u) { d_.use = std::move(u); return *this; }
  Ctl& attrs(std::uint32_t a) { d_.attrs = a; return *this; }
  Ctl& parent(std::string_view name) { d_.parentName = ansi(name); return *this; }
  Ctl& value(std::string_view v) { d_.value = v; return *this; }
  Ctl& tip(std::string_view utf8) { d_.tip = ansi(utf8); return *this; }
  Ctl& icon(std::string_view i) { d_.icon = i; return *this; }
  Ctl& font(std::string_view face, int size = 0, bool bold = false) {
    d_.font = face;
    d_.fontSize = size;
    d_.bold = bold;
    return *this;
  }
  Ctl& format(std::string_view utf8) { d_.format = ansi(utf8); return *this; }
  Ctl& action(ui::StdAction a) { d_.action = a; return *this; }

  operator ui::ControlDef() const& { return d_; }  // NOLINT: a table line is a control
  operator ui::ControlDef() && { return std::move(d_); }  // NOLINT

 private:
  ui::ControlDef d_;
};

// The help button every window carries, hidden.
inline Ctl helpButton(ui::Rect at) {
  return Ctl(ui::Kind::Button, "?HELP", at).text("&Help").tip("See Help Window").icon("WAHELP.ICO").attrs(ui::kHidden);
}

}  // namespace zelk::app
