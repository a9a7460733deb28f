#include "platform/framework/locator.h"

#include <utility>

#include "platform/core/codepage.h"
#include "platform/core/numread.h"

namespace zelk::fw {

void LocatorClass::Init(int control, ui::Use field, bool noCase, BrowseClass& list) {
  control_ = control;
  field_ = std::move(field);
  noCase_ = noCase;
  list_ = &list;
  text_.clear();
}

void LocatorClass::Set() {
  std::string v = noCase_ ? cp::upper(text_) : text_;
  if (field_.type == ui::Use::Type::Text) field_.setText(v);
  else if (field_) field_.setNumber(readDecimalNumber(v));
}

bool StepLocatorClass::TakeKey(int key) {
  if (key < ' ' || key > 255) return false;
  text_.assign(1, static_cast<char>(key));
  return true;
}

bool IncrementalLocatorClass::TakeKey(int key) {
  if (key == '\b') {
    if (text_.empty()) return false;
    text_.pop_back();
    return true;
  }
  if (key < ' ' || key > 255) return false;
  text_.push_back(static_cast<char>(key));
  return true;
}

void IncrementalLocatorClass::Clear() { text_.clear(); }

}  // namespace zelk::fw
