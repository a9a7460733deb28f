#pragma once
// Numbers and dates as a script writes them.
#include <optional>
#include <string>
#include <string_view>

namespace zelk::script {

std::optional<double> parseNumber(std::string_view s);
// A decimal number, or a hexadecimal one after 0x.
std::optional<int> parseInt(std::string_view s);
// A date "YYYY-MM-DD" as its day number, or a day number itself.
std::optional<double> parseDate(std::string_view s);
// A day number as "YYYY-MM-DD"; a number that is no date as the number.
std::string dateText(double day);

}  // namespace zelk::script
