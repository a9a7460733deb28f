#include "platform/framework/bind.h"

#include <map>
#include <vector>

#include "platform/core/codepage.h"

namespace zelk::fw {
namespace {

using Scope = std::map<std::string, BoundName>;

// Innermost last; never empty.
thread_local std::vector<Scope> scopes(1);

}  // namespace

void bindName(std::string_view name, BoundName value) { scopes.back()[cp::upper(name)] = std::move(value); }

const BoundName* findBound(std::string_view name) {
  std::string key = cp::upper(name);
  for (auto s = scopes.rbegin(); s != scopes.rend(); ++s) {
    auto it = s->find(key);
    if (it != s->end()) return &it->second;
  }
  return nullptr;
}

void pushBindScope() { scopes.emplace_back(); }

void popBindScope() {
  if (scopes.size() > 1) scopes.pop_back();
}

}  // namespace zelk::fw
