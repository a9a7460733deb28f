#include "app/procedures.h"

#include <mutex>

#include "app/frame.h"
#include "firms/firms.h"
#include "import/windows.h"
#include "platform/core/codepage.h"

namespace zelk::app {
namespace {

struct Entry {
  const char* name;
  void (*procedure)();
};

// One line a procedure.
const Entry kProcedures[] = {
    {"MAIN", MAIN},
    {"S_FIR", firms::S_FIR},
    {"FNM_TAB", firms::FNM_TAB},
    {"UPDATEF_NAME", firms::UPDATEF_NAME},
    {"S_ME", import::S_ME},
    {"LOKO", import::LOKO},
    {"KLIENTRFK", import::KLIENTRFK},
    {"KLBSS", import::KLBSS},
};

std::mutex addedMutex;
std::vector<std::pair<std::string, Procedure>>& added() {
  static std::vector<std::pair<std::string, Procedure>> v;
  return v;
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (cp::upper(a[i]) != cp::upper(b[i])) return false;
  return true;
}

}  // namespace

// A test's procedure stands in for the program's of the same name.
Procedure findProcedure(std::string_view name) {
  {
    std::lock_guard g(addedMutex);
    for (const auto& [n, p] : added())
      if (sameName(n, name)) return p;
  }
  for (const Entry& e : kProcedures)
    if (sameName(e.name, name)) return e.procedure;
  return {};
}

Procedure procedure(std::string_view name) {
  if (Procedure p = findProcedure(name)) return p;
  return [] {};
}

std::vector<std::string> procedureNames() {
  std::vector<std::string> r;
  for (const Entry& e : kProcedures) r.emplace_back(e.name);
  std::lock_guard g(addedMutex);
  for (const auto& a : added()) {
    bool program = false;
    for (const Entry& e : kProcedures) program = program || sameName(e.name, a.first);
    if (!program) r.push_back(a.first);
  }
  return r;
}

void addProcedure(std::string name, Procedure p) {
  std::lock_guard g(addedMutex);
  for (auto& a : added())
    if (sameName(a.first, name)) {
      a.second = std::move(p);
      return;
    }
  added().emplace_back(std::move(name), std::move(p));
}

}  // namespace zelk::app
