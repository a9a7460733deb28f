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

}  // namespace zelk::fw
