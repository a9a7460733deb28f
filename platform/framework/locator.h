#pragma once
// The locators of a list: typed characters that move it to a value of its sort key.
#include <string>

#include "platform/ui/defs.h"

namespace zelk::fw {

class BrowseClass;

// Moves the list by typed characters to the first row at or after a value of its
// field (in the sort order).
class LocatorClass {
 public:
  virtual ~LocatorClass() = default;
  // control: an entry that shows the search value (0 none); field: the field of the
  // sort key it sets; noCase: the typed text is taken in capitals.
  void Init(int control, ui::Use field, bool noCase, BrowseClass& list);
  // A character typed on the list; true when the list is to move.
  virtual bool TakeKey(int key) = 0;
  void Set();  // the search value into the field
  virtual void Clear() {}  // forget what was typed
  const std::string& text() const { return text_; }
  int control() const { return control_; }

 protected:
  std::string text_;
  int control_ = 0;
  ui::Use field_;
  bool noCase_ = false;
  BrowseClass* list_ = nullptr;
};

// Each typed character alone is the value.
class StepLocatorClass : public LocatorClass {
 public:
  bool TakeKey(int key) override;
};

// Typed characters build up the value; Backspace takes the last one back.
class IncrementalLocatorClass : public LocatorClass {
 public:
  bool TakeKey(int key) override;
  void Clear() override;
};

}  // namespace zelk::fw
