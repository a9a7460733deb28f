#include "app/patterns/procedures.h"

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "platform/core/codepage.h"
#include "platform/framework/errors.h"

namespace zelk::app {
namespace {

using Named = std::vector<std::pair<std::string, Procedure>>;

struct Registry {
  std::mutex m;
  Named program;                   // registered by the program's folders
  Named added;                     // tests' stand-ins
  std::vector<std::string> plans;  // not built yet
};

Registry& registry() {
  static Registry r;
  return r;
}

Procedure* find(Named& in, std::string_view name) {
  for (auto& [n, p] : in)
    if (cp::sameName(n, name)) return &p;
  return nullptr;
}

void put(Named& in, std::string name, Procedure p) {
  if (Procedure* old = find(in, name))
    *old = std::move(p);
  else
    in.emplace_back(std::move(name), std::move(p));
}

bool planned(std::string_view name) {
  Registry& r = registry();
  std::lock_guard g(r.m);
  for (const std::string& n : r.plans)
    if (cp::sameName(n, name)) return true;
  return false;
}

}  // namespace

void registerProcedure(std::string name, Procedure p) {
  Registry& r = registry();
  std::lock_guard g(r.m);
  put(r.program, std::move(name), std::move(p));
}

void planProcedure(std::string name) {
  Registry& r = registry();
  std::lock_guard g(r.m);
  for (const std::string& n : r.plans)
    if (cp::sameName(n, name)) return;
  r.plans.push_back(std::move(name));
}

// A test's procedure stands in for the program's of the same name.
Procedure findProcedure(std::string_view name) {
  Registry& r = registry();
  std::lock_guard g(r.m);
  if (Procedure* p = find(r.added, name); p && *p) return *p;
  if (Procedure* p = find(r.program, name)) return *p;
  return {};
}

Procedure procedure(std::string_view name) {
  if (Procedure p = findProcedure(name)) return p;
  if (planned(name)) return [] {};
  return [n = std::string(name)] { fw::globalErrors().ThrowMessage(fw::msg::kUndefinedProcedure, n); };
}

std::vector<std::string> procedureNames() {
  Registry& r = registry();
  std::lock_guard g(r.m);
  std::vector<std::string> names;
  for (const auto& e : r.program) names.push_back(e.first);
  for (const auto& a : r.added)
    if (!find(r.program, a.first)) names.push_back(a.first);
  return names;
}

void addProcedure(std::string name, Procedure p) {
  Registry& r = registry();
  std::lock_guard g(r.m);
  put(r.added, std::move(name), std::move(p));
}

namespace {
std::atomic<Starter> starter{nullptr};
std::atomic<Ender> ender{nullptr};
}  // namespace

void registerStarter(Starter s, Ender e) {
  starter = s;
  ender = e;
}

void startProcedure(std::string_view name, std::size_t stackSize) {
  const Starter s = starter.load();
  if (!s) throw std::logic_error("no thread starter registered for " + std::string(name));
  s(procedure(name), stackSize);
}

void endProceduresStartedFrom(std::uint64_t window) {
  if (const Ender e = ender.load()) e(window);
}

}  // namespace zelk::app
