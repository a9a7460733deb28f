#pragma once
// Filter expressions over bound names (bind.h): record fields ("PLN:FIR") and
// variables ("fir"), numbers, quoted texts ('...' or "..."), the comparisons
// = <> ~= < > <= >=, AND, OR, NOT (or ~), unary minus and parentheses. Names and
// the words AND, OR, NOT are case-insensitive.
//
// Values are numbers or texts. Two texts compare as if the shorter were padded with
// blanks; a text compared with a number is read by the decimal number rule first.
// A value is true when it is a number other than 0 or a text that is not blank.
#include <memory>
#include <string>
#include <string_view>

#include "platform/framework/bind.h"

namespace zelk::fw {

// Error codes of a failed compilation (the expression evaluator's).
inline constexpr int kBadExpression = 800;
inline constexpr int kUnknownName = 801;

class Filter {
 public:
  struct Error {
    int code = 0;       // kBadExpression or kUnknownName
    std::string text;   // what went wrong, for the error details
  };

  // Parses expr and resolves its names on the calling thread. Null on failure,
  // with the reason in *error when given.
  static std::unique_ptr<Filter> compile(std::string_view expr, Error* error = nullptr);

  ~Filter();
  Filter(const Filter&) = delete;
  Filter& operator=(const Filter&) = delete;

  // Evaluates the expression with the names' current values.
  bool test() const;

  struct Node;  // the compiled form (filter.cpp)

 private:
  Filter();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zelk::fw
