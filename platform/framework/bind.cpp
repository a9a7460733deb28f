#include "platform/framework/bind.h"

#include <map>

#include "platform/core/codepage.h"

namespace zelk::fw {
namespace {

std::string fold(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = cp::upper(c);
  return r;
}

thread_local std::map<std::string, BoundName> names;

}  // namespace

void bindName(std::string_view name, BoundName value) { names[fold(name)] = std::move(value); }

const BoundName* findBound(std::string_view name) {
  auto it = names.find(fold(name));
  return it == names.end() ? nullptr : &it->second;
}

}  // namespace zelk::fw
