#pragma once
// The program-wide variables a script sets and checks, by name.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zelk::script {

// A program-wide variable of the dictionary.
struct Variable {
  enum class Type { Text, Number, Date } type;
  std::function<void(std::string_view)> setText;  // 1251
  std::function<std::string()> text;
  std::function<void(double)> setNumber;
  std::function<double()> number;
};

// The variable of that name (in any letter case); nullptr none.
const Variable* variable(std::string_view name);
// The value of a variable as a script writes it (UTF-8).
std::string shown(const Variable& v);
// A script's value of a number or date variable.
std::optional<double> variableNumber(const Variable& v, std::string_view s);

}  // namespace zelk::script
