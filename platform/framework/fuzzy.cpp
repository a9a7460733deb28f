#include "platform/framework/fuzzy.h"

namespace zelk::fw {

void FuzzyClass::Init() {
  options_.clear();
  ready_ = true;
}

void FuzzyClass::SetOption(int option, int value) { options_[option] = value; }

int FuzzyClass::option(int option) const {
  auto it = options_.find(option);
  return it == options_.end() ? 0 : it->second;
}

void FuzzyClass::Kill() {
  options_.clear();
  ready_ = false;
}

FuzzyClass& globalFuzzy() {
  static FuzzyClass fuzzy;
  return fuzzy;
}

}  // namespace zelk::fw
