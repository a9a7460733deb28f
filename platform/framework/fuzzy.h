#pragma once
// The fuzzy text matcher. The program sets it up with its options and never matches
// anything with it, so it keeps only its options.
#include <map>

namespace zelk::fw {

class FuzzyClass {
 public:
  void Init();                             // starts with no options set
  void SetOption(int option, int value);
  int option(int option) const;            // 0 when never set
  bool ready() const { return ready_; }    // between Init and Kill
  void Kill();

 private:
  std::map<int, int> options_;
  bool ready_ = false;
};

// FUZZYMATCHER: the matcher of the process.
FuzzyClass& globalFuzzy();

}  // namespace zelk::fw
