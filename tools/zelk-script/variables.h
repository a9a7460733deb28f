#pragma once
// The program-wide variables a script sets and checks, by name.
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/defs.h"

namespace zelk::script {

// The variable of that name (in any letter case), as a control would use it; nullptr
// none.
const ui::Use* variable(std::string_view name);
// The value of a variable as a script writes it (UTF-8).
std::string shown(const ui::Use& v);
// A script's value of a number or date variable.
std::optional<double> variableNumber(const ui::Use& v, std::string_view s);

}  // namespace zelk::script
