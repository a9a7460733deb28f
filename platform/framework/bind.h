#pragma once
// Names bound for expressions (the lists' filters): record fields under
// "prefix:field" and program variables under their names, per thread. Names are
// case-insensitive.
#include <functional>
#include <string>
#include <string_view>

#include "platform/storage/file.h"

namespace zelk::fw {

struct BoundName {
  const storage::FieldDesc* field = nullptr;  // a record field ...
  const char* buffer = nullptr;               // ... in this record buffer
  std::function<std::string()> text;          // or a variable read as text
  std::function<double()> number;             // or a variable read as a number
};

void bindName(std::string_view name, BoundName value);
const BoundName* findBound(std::string_view name);

// Scopes of the calling thread: a window opens one for the names it binds and closes
// it when it ends. Closing drops the names bound since it was opened, so the names
// bound before are seen again. The outermost scope is never closed.
void pushBindScope();
void popBindScope();

}  // namespace zelk::fw
